#include "ui/main_layout.h"

#include <algorithm>

namespace {

int applied(double extent) {
    const double truncated = extent < 0 ? 0.0 : static_cast<double>(static_cast<long long>(extent));
    return static_cast<int>(std::min<double>(truncated, MaxLayoutExtent));
}

int applied(long long extent) {
    return static_cast<int>(std::clamp<long long>(extent, 0, MaxLayoutExtent));
}

} // namespace

MainLayout layoutMainWindow(int outerWidth, int outerHeight) {
    const long long w = outerWidth;
    const long long h = outerHeight;
    MainLayout l;
    l.windowWidth = applied(w);
    l.articleGroupWidth = applied(w);
    l.articleBoxWidth = applied(w - 12);
    l.engineGroupWidth = applied(static_cast<double>(w) * 0.7);
    const long long e = l.engineGroupWidth;
    l.tabWidth = applied(e - 12);
    l.gridWidth = applied(static_cast<long long>(l.tabWidth) - 12);
    l.adGroupLeft = static_cast<int>(e);
    l.adGroupWidth = applied(w - e - 10);
    l.browserWidth = applied(w - e - 20);
    l.adGroupHeight = applied(h - 350);
    l.engineGroupHeight = applied(h - 350);
    l.browserHeight = applied(static_cast<long long>(l.adGroupHeight) - 24);
    l.tabHeight = applied(static_cast<long long>(l.engineGroupHeight) - 24);
    l.gridHeight = applied(static_cast<long long>(l.tabHeight) - 48);
    return l;
}
