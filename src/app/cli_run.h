#pragma once
// The command-line checker's runs: one check run per chosen engine, all at once, each on a thread
// of its own, each with a window of its own that collects its rows and value instead of showing
// them.

#include "app/cli_options.h"
#include "app/cli_report.h"

#include <chrono>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

// What the runs report while they go on, from their own threads. Implementations are thread-safe.
class ProgressSink {
public:
    virtual ~ProgressSink() = default;
    virtual void started(const std::string& engine, int segmentTotal) = 0;
    virtual void segment(const std::string& engine, int row) = 0;
    // A message box of the run (the empty-article message).
    virtual void message(const std::string& engine, const GbkText& text) = 0;
    // A block message at a row, and how it was answered.
    virtual void blocked(const std::string& engine, int row, const GbkText& text, bool goOn) = 0;
    // The address the engine would open in the browser after a block.
    virtual void opened(const std::string& engine, const GbkText& address) = 0;
    virtual void finished(const EngineResult& result) = 0;
};

// Runs the chosen engines on the article, all at once, and waits for them. Engines listed in
// options.engineHosts are queried at that host. Results come in the order Baidu, Google, 360, Sogou.
CheckReport runChecks(const CliOptions& options, const GbkText& article, const std::string& settingsPath,
                      ProgressSink& progress);

// Progress on a stream (standard error). On a terminal: a line per engine, kept up to date in place,
// with messages printed above them. Otherwise: a line when an engine starts, is blocked and ends.
class StreamProgress : public ProgressSink {
public:
    StreamProgress(std::FILE* stream, bool terminal, std::vector<std::string> engines);

    void started(const std::string& engine, int segmentTotal) override;
    void segment(const std::string& engine, int row) override;
    void message(const std::string& engine, const GbkText& text) override;
    void blocked(const std::string& engine, int row, const GbkText& text, bool goOn) override;
    void opened(const std::string& engine, const GbkText& address) override;
    void finished(const EngineResult& result) override;

private:
    struct Line {
        std::string engine;
        int total = 0;
        int row = 0;
        std::string state = "waiting";
    };
    Line* lineOf(const std::string& engine);
    void printAbove(const std::string& text); // caller holds mutex_
    void draw(bool force);                    // caller holds mutex_

    std::mutex mutex_;
    std::FILE* stream_;
    bool terminal_;
    std::vector<Line> lines_;
    bool drawn_ = false;
    std::chrono::steady_clock::time_point lastDraw_{};
};
