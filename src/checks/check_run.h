#pragma once
// One engine's check of the article: from the article box's text to rows in the engine's grid and
// its originality value. Knows nothing of any window toolkit: everything it does to the window goes
// through RunWindow.

#include "checks/engine_profile.h"
#include "text/gbk_text.h"

#include <mutex>
#include <optional>
#include <string>
#include <string_view>

// The character-count label that every run writes (UTF-8 control name).
inline constexpr std::string_view CharCountLabel = "标签_文章字数";

// Columns of a result grid: 编号, 文本, 飘红, 搜索.
enum GridColumn { NumberColumn = 0, TextColumn = 1, HitsColumn = 2, AddressColumn = 3 };

// Colours are COLORREF values 0x00BBGGRR.
inline constexpr unsigned AddressColour = 0xFF0000;       // blue: an address written by a run
inline constexpr unsigned OpenedAddressColour = 0x800080; // purple: an address the user opened

// What a run does to the window. A run calls these from its own thread, in order; the window's
// implementation forwards them to its own thread keeping that order. Grids and labels are named by
// their control names.
class RunWindow {
public:
    virtual ~RunWindow() = default;
    // The article box's whole text, in code page 936.
    virtual GbkText articleText() = 0;
    virtual void setLabelText(std::string_view label, const GbkText& text) = 0;
    // Where the user sees the grade of a score (the value label's tooltip in the window).
    virtual void setLabelHint(std::string_view label, const GbkText& hint) = 0;
    virtual void setStartEnabled(bool enabled) = 0;
    // Deletes every row but the header row.
    virtual void clearGrid(std::string_view grid) = 0;
    // Appends row `row` (the grid's row count before the append) with heading in column 0.
    virtual void appendRow(std::string_view grid, int row, const GbkText& heading) = 0;
    virtual void setCellText(std::string_view grid, int row, int column, const GbkText& text) = 0;
    virtual void setCellNumber(std::string_view grid, int row, int column, int value) = 0;
    virtual void setCellTextColour(std::string_view grid, int row, int column, unsigned colour) = 0;
    // A message with an OK button; returns when the user has closed it.
    virtual void showMessage(const GbkText& text, const GbkText& title) = 0;
    // A question with OK and Cancel; true for OK. Closing the box counts as Cancel. Blocks only the
    // calling run.
    virtual bool askOkCancel(const GbkText& text, const GbkText& title) = 0;
    // Hands an address to the user's web browser.
    virtual void openAddress(const GbkText& address) = 0;
};

// Counts the runs under way, so that the start button is enabled again only when the last one has
// ended and no engine's run can overlap a run of the same engine. Thread-safe.
class RunCounter {
public:
    // Called by the starter, on its own thread, before it starts `count` runs.
    void add(int count);
    // Called by each run as it ends; true when no run is left.
    bool finish();
    int active() const;

private:
    mutable std::mutex mutex_;
    int active_ = 0;
};

enum class RunOutcome {
    Scored,       // the value label holds the originality value
    Cancelled,    // Cancel on a block message: no score
    EmptyArticle, // the article box was empty: the message was shown, no score
    NoText,       // the prepared article was empty: no segment, no score
};

// The segment length a run uses for a configured 段落字数: at most 38; 0 or less (an empty or
// non-numeric setting) falls back to the default 38.
int effectiveSegmentLength(int configured);
// The segments of a prepared article for a segment length in characters (pieces of twice that many
// bytes). An empty article gives none.
TextList articleSegments(const GbkText& prepared, int segmentLength);

// The grade of a percentage truncated to a whole number, e.g. "已经合格，有待提升" for 60..79.
GbkText scoreGrade(int percent);
// "66.67%" for 2 of 3: the share rounded to four decimals, times 100, "%.13g", and "%". An original
// count above the total counts as the total; a total of 0 or less has no score (empty text).
GbkText scoreCaption(int originalCount, int segmentTotal);
// The whole percentage that scoreGrade grades: the rounded share times 100, truncated. 0 when the
// total is 0 or less.
int scorePercent(int originalCount, int segmentTotal);

// Performs one run of the engine in `profile`, reading the settings from `settingsPath`. The caller
// has counted the run in `counter` beforehand; the run finishes it on every way out and enables
// the start button when it was the last.
RunOutcome checkRun(const EngineProfile& profile, const std::string& settingsPath, RunWindow& window,
                    RunCounter& counter);
// The same, with the settings file's 段落字数 replaced by segmentLength when it holds a value (the
// command line's --segment-length). The value goes through effectiveSegmentLength like the file's.
RunOutcome checkRun(const EngineProfile& profile, const std::string& settingsPath, RunWindow& window,
                    RunCounter& counter, std::optional<int> segmentLength);
