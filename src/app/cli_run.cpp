#include "app/cli_run.h"

#include "checks/check_run.h"
#include "checks/engine_profile.h"
#include "config/check_settings.h"
#include "text/article.h"

#include <thread>

namespace {

// The window of one run: collects what the run writes, answers its block questions as the command
// line says. Used by its run's thread only.
class CollectingWindow : public RunWindow {
public:
    CollectingWindow(const EngineProfile& profile, const GbkText& article, BlockAnswer answer, ProgressSink& progress)
        : profile_(profile), article_(article), answer_(answer), progress_(progress) {
        result_.key = profile.key;
        result_.tabText = profile.tabText;
    }

    EngineResult result(RunOutcome outcome) {
        result_.outcome = outcome;
        return result_;
    }

    GbkText articleText() override { return article_; }
    void setLabelText(std::string_view label, const GbkText& text) override {
        if (label == profile_.valueLabel) {
            result_.score = text;
        }
    }
    void setLabelHint(std::string_view label, const GbkText& hint) override {
        if (label == profile_.valueLabel) {
            result_.grade = hint;
        }
    }
    void setStartEnabled(bool) override {}
    void clearGrid(std::string_view) override { result_.segments.clear(); }
    void appendRow(std::string_view, int row, const GbkText&) override {
        SegmentResult segment;
        segment.row = row;
        result_.segments.push_back(segment);
        progress_.segment(profile_.key, row);
    }
    void setCellText(std::string_view, int row, int column, const GbkText& text) override {
        if (SegmentResult* s = rowAt(row)) {
            if (column == TextColumn) {
                s->text = text;
            } else if (column == AddressColumn) {
                s->address = text;
            }
        }
    }
    void setCellNumber(std::string_view, int row, int column, int value) override {
        if (SegmentResult* s = rowAt(row); s && column == HitsColumn) {
            s->hits = value;
        }
    }
    void setCellTextColour(std::string_view, int, int, unsigned) override {}
    void showMessage(const GbkText& text, const GbkText&) override { progress_.message(profile_.key, text); }
    bool askOkCancel(const GbkText& text, const GbkText&) override {
        const bool goOn = answer_ == BlockAnswer::Continue;
        progress_.blocked(profile_.key, result_.segments.empty() ? 0 : result_.segments.back().row, text, goOn);
        return goOn;
    }
    void openAddress(const GbkText& address) override {
        result_.blockedAddress = address;
        progress_.opened(profile_.key, address);
    }

private:
    SegmentResult* rowAt(int row) {
        if (row < 1 || row > static_cast<int>(result_.segments.size())) {
            return nullptr;
        }
        return &result_.segments[static_cast<std::size_t>(row - 1)];
    }

    const EngineProfile& profile_;
    const GbkText& article_;
    BlockAnswer answer_;
    ProgressSink& progress_;
    EngineResult result_;
};

} // namespace

CheckReport runChecks(const CliOptions& options, const GbkText& article, const std::string& settingsPath,
                      ProgressSink& progress) {
    std::vector<EngineProfile> profiles;
    for (const std::string& key : options.engines) {
        if (const EngineProfile* profile = findProfile(key)) {
            profiles.push_back(*profile);
            if (auto host = options.engineHosts.find(key); host != options.engineHosts.end()) {
                profiles.back().searchHost = host->second;
            }
        }
    }

    const GbkText prepared = prepareArticle(article);
    CheckReport report;
    report.articleChars = articleCharCount(prepared);
    const int length = options.segmentLength ? *options.segmentLength : readCheckSettings(settingsPath).segmentLength;
    const int total = article.empty() ? 0 : static_cast<int>(articleSegments(prepared, length).size());

    report.engines.resize(profiles.size());
    RunCounter counter;
    counter.add(static_cast<int>(profiles.size()));
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < profiles.size(); ++i) {
        progress.started(profiles[i].key, total);
        threads.emplace_back([&, i] {
            CollectingWindow window(profiles[i], article, options.onBlock, progress);
            const RunOutcome outcome = checkRun(profiles[i], settingsPath, window, counter, options.segmentLength);
            report.engines[i] = window.result(outcome);
            progress.finished(report.engines[i]);
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    return report;
}

// ---- Progress on a stream -------------------------------------------------------------------

StreamProgress::StreamProgress(std::FILE* stream, bool terminal, std::vector<std::string> engines)
    : stream_(stream), terminal_(terminal) {
    for (std::string& engine : engines) {
        lines_.push_back(Line{std::move(engine)});
    }
}

StreamProgress::Line* StreamProgress::lineOf(const std::string& engine) {
    for (Line& line : lines_) {
        if (line.engine == engine) {
            return &line;
        }
    }
    return nullptr;
}

void StreamProgress::printAbove(const std::string& text) {
    if (terminal_ && drawn_) {
        std::fprintf(stream_, "\x1b[%zuA\r\x1b[J", lines_.size());
        drawn_ = false;
    }
    std::fprintf(stream_, "%s\n", text.c_str());
    if (terminal_) {
        draw(true);
    }
    std::fflush(stream_);
}

void StreamProgress::draw(bool force) {
    if (!terminal_) {
        return;
    }
    const auto now = std::chrono::steady_clock::now();
    if (!force && drawn_ && now - lastDraw_ < std::chrono::milliseconds(50)) {
        return;
    }
    lastDraw_ = now;
    if (drawn_) {
        std::fprintf(stream_, "\x1b[%zuA", lines_.size());
    }
    for (const Line& line : lines_) {
        std::string text = line.engine + ": ";
        if (line.state == "querying") {
            text += "segment " + std::to_string(line.row) + " of " + std::to_string(line.total);
        } else {
            text += line.state;
        }
        std::fprintf(stream_, "\r\x1b[2K%s\n", text.c_str());
    }
    drawn_ = true;
    std::fflush(stream_);
}

void StreamProgress::started(const std::string& engine, int segmentTotal) {
    std::lock_guard lock(mutex_);
    if (Line* line = lineOf(engine)) {
        line->total = segmentTotal;
        line->state = "starting";
    }
    if (terminal_) {
        draw(true);
    } else {
        std::fprintf(stream_, "%s: %d segment%s\n", engine.c_str(), segmentTotal, segmentTotal == 1 ? "" : "s");
        std::fflush(stream_);
    }
}

void StreamProgress::segment(const std::string& engine, int row) {
    std::lock_guard lock(mutex_);
    if (Line* line = lineOf(engine)) {
        line->row = row;
        line->state = "querying";
    }
    draw(false);
}

void StreamProgress::message(const std::string& engine, const GbkText& text) {
    std::lock_guard lock(mutex_);
    printAbove(engine + ": " + toUtf8(text));
}

void StreamProgress::blocked(const std::string& engine, int row, const GbkText& text, bool goOn) {
    std::lock_guard lock(mutex_);
    // The block message's first line says it all; the rest speaks of buttons.
    std::string first = toUtf8(text);
    first = first.substr(0, first.find('\r'));
    printAbove(engine + ": blocked at segment " + std::to_string(row) + " (" + first + "); " +
               (goOn ? "going on" : "stopping"));
}

void StreamProgress::opened(const std::string& engine, const GbkText& address) {
    std::lock_guard lock(mutex_);
    printAbove(engine + ": open this address in a browser to pass the engine's check: " + toUtf8(address));
}

void StreamProgress::finished(const EngineResult& result) {
    std::lock_guard lock(mutex_);
    std::string state;
    switch (result.outcome) {
    case RunOutcome::Scored:
        state = "done, " + toUtf8(result.score);
        break;
    case RunOutcome::Cancelled:
        state = "stopped at a block";
        break;
    case RunOutcome::EmptyArticle:
    case RunOutcome::NoText:
        state = "no text to check";
        break;
    }
    if (Line* line = lineOf(result.key)) {
        line->state = state;
    }
    if (terminal_) {
        draw(true);
    } else {
        std::fprintf(stream_, "%s: %s\n", result.key.c_str(), state.c_str());
        std::fflush(stream_);
    }
}
