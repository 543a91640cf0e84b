#pragma once
// What the command-line checker found, and its three output formats. Texts in the report are code
// page 936; every output is UTF-8.

#include "checks/check_run.h"
#include "text/gbk_text.h"

#include <optional>
#include <string>
#include <vector>

struct SegmentResult {
    int row = 0;
    GbkText text;
    std::optional<int> hits;        // none when the row kept only its number and text
    std::optional<GbkText> address; // likewise
};

struct EngineResult {
    std::string key; // "baidu", "google", "360", "sogou"
    GbkText tabText; // the engine's name in the window, e.g. 百度
    RunOutcome outcome = RunOutcome::NoText;
    GbkText score; // e.g. "66.67%"; empty without a score
    GbkText grade; // empty without a score
    std::vector<SegmentResult> segments;
    GbkText blockedAddress; // what the engine would open for the user after a block (Sogou)
};

struct CheckReport {
    int articleChars = 0;
    std::vector<EngineResult> engines; // in the order Baidu, Google, 360, Sogou
};

// "scored", "cancelled" or "no-text" (an empty article counts as no text).
std::string statusName(RunOutcome outcome);

// 0 when every run ended with a score or had no text, 3 when one ended on a block.
int exitStatus(const CheckReport& report);

// UTF-8 form of a code page 936 text; a byte sequence that is not GBK becomes U+FFFD.
std::string toUtf8(const GbkText& text);

// {"article_chars": N, "engines": [{"engine", "status", "score", "grade", "segments": [{"row",
// "text", "hits", "address"}]}]} on one line, then a line break.
std::string formatJson(const CheckReport& report);
// A header line, then one record per segment: engine,row,text,hits,address (RFC 4180 quoting).
std::string formatCsv(const CheckReport& report);
// A readable table per engine and its value line.
std::string formatText(const CheckReport& report);
