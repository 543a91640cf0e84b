#include "checks/check_run.h"

#include "config/check_settings.h"
#include "text/article.h"
#include "text/codepage.h"
#include "text/segmenter.h"

#include <algorithm>

namespace {

constexpr int DefaultSegmentLength = 38;

// Ends a run on every way out: the start button comes back only with the last run under way.
class RunEnd {
public:
    RunEnd(RunWindow& window, RunCounter& counter) : window_(window), counter_(counter) {}
    ~RunEnd() {
        if (counter_.finish()) {
            window_.setStartEnabled(true);
        }
    }
    RunEnd(const RunEnd&) = delete;
    RunEnd& operator=(const RunEnd&) = delete;

private:
    RunWindow& window_;
    RunCounter& counter_;
};

} // namespace

void RunCounter::add(int count) {
    std::lock_guard lock(mutex_);
    active_ += std::max(0, count);
}

bool RunCounter::finish() {
    std::lock_guard lock(mutex_);
    if (active_ > 0) {
        --active_;
    }
    return active_ == 0;
}

int RunCounter::active() const {
    std::lock_guard lock(mutex_);
    return active_;
}

int effectiveSegmentLength(int configured) {
    if (configured <= 0) {
        return DefaultSegmentLength;
    }
    return std::min(configured, DefaultSegmentLength);
}

TextList articleSegments(const GbkText& prepared, int segmentLength) {
    return splitSegments(segmentText(prepared, 2 * effectiveSegmentLength(segmentLength)));
}

GbkText scoreGrade(int percent) {
    if (percent < 60) {
        return utf8ToGbk("别灰心额，还需努力");
    }
    if (percent < 80) {
        return utf8ToGbk("已经合格，有待提升");
    }
    if (percent < 90) {
        return utf8ToGbk("百尺竿头，更进一步");
    }
    if (percent < 99) {
        return utf8ToGbk("非常不错，挑战满分");
    }
    return utf8ToGbk("你乃神人，此文原创");
}

namespace {

double roundedShare(int originalCount, int segmentTotal) {
    const int original = std::clamp(originalCount, 0, segmentTotal);
    return roundTo(static_cast<double>(original) / static_cast<double>(segmentTotal), 4);
}

} // namespace

GbkText scoreCaption(int originalCount, int segmentTotal) {
    if (segmentTotal <= 0) {
        return {};
    }
    return realToText(roundedShare(originalCount, segmentTotal) * 100.0) + "%";
}

int scorePercent(int originalCount, int segmentTotal) {
    if (segmentTotal <= 0) {
        return 0;
    }
    return realToInt(roundedShare(originalCount, segmentTotal) * 100.0);
}

RunOutcome checkRun(const EngineProfile& profile, const std::string& settingsPath, RunWindow& window,
                    RunCounter& counter) {
    return checkRun(profile, settingsPath, window, counter, std::nullopt);
}

RunOutcome checkRun(const EngineProfile& profile, const std::string& settingsPath, RunWindow& window,
                    RunCounter& counter, std::optional<int> segmentLength) {
    const RunEnd end(window, counter);

    window.setLabelText(profile.valueLabel, {});
    window.setLabelHint(profile.valueLabel, {});
    window.setStartEnabled(false);

    const GbkText article = window.articleText();
    if (article.empty()) {
        window.showMessage(utf8ToGbk("请拷贝待检测文章"), utf8ToGbk("提示"));
        return RunOutcome::EmptyArticle;
    }

    const int configuredLength = segmentLength ? *segmentLength : readCheckSettings(settingsPath).segmentLength;
    const GbkText prepared = prepareArticle(article);
    window.setLabelText(CharCountLabel, intToText(articleCharCount(prepared)));

    const TextList segments = articleSegments(prepared, configuredLength);
    const int segmentTotal = static_cast<int>(segments.size());
    window.clearGrid(profile.grid);
    if (segments.empty()) {
        // 0 of 0 has no value: the value label stays empty.
        return RunOutcome::NoText;
    }

    int originalCount = 0;
    int row = 0;
    for (const GbkText& segment : segments) {
        ++row;
        window.appendRow(profile.grid, row, intToText(row));
        window.setCellText(profile.grid, row, TextColumn, segment);

        const SegmentPage page = loadSegmentPage(profile, segment, window);
        if (page.cancelled) {
            return RunOutcome::Cancelled;
        }
        // A page that could not be had (answered with OK on the block message) says nothing about
        // the segment: the row keeps only its number and text, and the segment is not original.
        if (page.pageText.empty()) {
            continue;
        }
        const TextList fragments = extractFragments(profile, page.pageText);
        if (fragments.empty() && !profile.countPageWithoutHighlight) {
            continue;
        }
        const int hits = countHits(segment, fragments);
        window.setCellNumber(profile.grid, row, HitsColumn, hits);
        window.setCellText(profile.grid, row, AddressColumn, page.queryAddress);
        window.setCellTextColour(profile.grid, row, AddressColumn, AddressColour);
        if (hits == 0) {
            ++originalCount;
        }
    }

    window.setLabelText(profile.valueLabel, scoreCaption(originalCount, segmentTotal));
    window.setLabelHint(profile.valueLabel, scoreGrade(scorePercent(originalCount, segmentTotal)));
    return RunOutcome::Scored;
}
