#pragma once
// The main window's layout as a pure function of the window's outer size. Only widths and heights
// change, and the left of the advertising group box; every other position keeps its design value.
// Every result is truncated toward zero and then clamped to 0..MaxLayoutExtent; a step that builds
// on an earlier one uses the earlier one's clamped value, as the window applies it.

inline constexpr int MaxLayoutExtent = 32627;

struct MainLayout {
    int windowWidth = 0;
    int articleGroupWidth = 0; // 分组框_文章
    int articleBoxWidth = 0;   // 编辑框_待检测原创度内容
    int engineGroupWidth = 0;  // 分组框_搜索引擎
    int engineGroupHeight = 0;
    int tabWidth = 0; // 选择夹1
    int tabHeight = 0;
    int gridWidth = 0; // the four result grids
    int gridHeight = 0;
    int adGroupLeft = 0; // 分组框_广告
    int adGroupWidth = 0;
    int adGroupHeight = 0;
    int browserWidth = 0; // 超文本浏览框1
    int browserHeight = 0;
};

MainLayout layoutMainWindow(int outerWidth, int outerHeight);
