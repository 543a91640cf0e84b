#pragma once
// A window that shows nothing: what the check runs cost without one. It counts the rows appended
// and the block questions asked, and answers every question with OK.

#include "checks/check_run.h"

#include <atomic>
#include <utility>

class NullWindow : public RunWindow {
public:
    explicit NullWindow(GbkText article) : article_(std::move(article)) {}
    GbkText articleText() override { return article_; }
    void setLabelText(std::string_view, const GbkText&) override {}
    void setLabelHint(std::string_view, const GbkText&) override {}
    void setStartEnabled(bool) override {}
    void clearGrid(std::string_view) override {}
    void appendRow(std::string_view, int, const GbkText&) override { ++rows; }
    void setCellText(std::string_view, int, int, const GbkText&) override {}
    void setCellNumber(std::string_view, int, int, int) override {}
    void setCellTextColour(std::string_view, int, int, unsigned) override {}
    void showMessage(const GbkText&, const GbkText&) override {}
    bool askOkCancel(const GbkText&, const GbkText&) override {
        ++blocks;
        return true;
    }
    void openAddress(const GbkText&) override {}

    std::atomic<int> rows{0};
    std::atomic<int> blocks{0};

private:
    GbkText article_;
};
