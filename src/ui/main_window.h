#pragma once
// The main window: the article box and its buttons, the engine check boxes, the value labels, the
// tab control with the four result grids, the advertising browser box and the link to the settings
// window. Controls carry their control names as objectNames. The start button starts one check run
// per ticked engine, each on a thread of its own; the runs reach the window only through a RunLink.

#include "checks/engine_profile.h"
#include "ui/main_layout.h"
#include "ui/result_grid.h"

#include <QHash>
#include <QWidget>

#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

class QCheckBox;
class QGroupBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class QWebEngineView;
class RunCounter;
class RunLink;
class PendingAnswer;

// The advertising page the browser box opens: plain HTTP on a host under a reserved example domain
// until the tool has a site of its own.
inline constexpr const char* AdvertPageAddress = "http://www.example.com/yuanchuangdu.html";

// The window caption.
QString mainWindowCaption();

// What the window works with; tests replace the engines' hosts, the settings file, the browser
// opener and the network stop.
struct MainWindowOptions {
    std::array<EngineProfile, 4> profiles = engineProfiles(); // Baidu, Google, 360 Search, Sogou
    std::string settingsPath;                                 // empty: 配置.ini beside the executable
    AddressOpener opener = openInDesktopBrowser;
    // Called when the window closes so that no run waits on the network any longer.
    std::function<void()> stopNetwork; // empty: abortAllTransfers
    QString advertAddress;             // empty: AdvertPageAddress
};

class MainWindow : public QWidget {
    Q_OBJECT
public:
    explicit MainWindow(MainWindowOptions options = {}, QWidget* parent = nullptr);
    // Ends the runs (see stopRuns) and waits for their threads, which then end at once.
    ~MainWindow() override;

    // The button handlers.
    void clearArticle();
    // The clipboard's text through code page 936 becomes the whole article; no text empties it.
    void pasteArticle();
    // The article through code page 936 goes on the clipboard.
    void copyArticle();
    // One run per ticked engine, in the order Baidu, Google, 360 Search, Sogou; nothing when none is
    // ticked. The article is taken here, once, for all of them.
    void startChecks();
    // Opens the settings window, modal to this window, and returns at once.
    void openSettings();

    // The article box's text as the runs read it: CR LF line ends, code page 936.
    GbkText articleText() const;
    ResultGrid* grid(const QString& name) const;
    QLabel* label(const QString& name) const;
    // Threads started and not yet joined.
    int runThreadCount() const;

    // After this no run touches the window again: questions open in boxes are answered Cancel, the
    // network is stopped so that the runs end quickly, and the boxes are closed. Called when the
    // window closes; idempotent.
    void stopRuns();

    // What the runs do to the window, on the window's thread (the RunWindow calls land here).
    void showRunBox(const QString& text, const QString& title, bool withCancel, std::shared_ptr<PendingAnswer> answer);
    void openAddress(const QString& address);
    QPushButton* startButton() const { return startButton_; }

    // The layout for an outer size, applied. The window's own width is set only when setWindowWidth.
    void applyLayout(const MainLayout& layout, bool setWindowWidth);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct RunThread {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };

    void buildControls();
    void placeGrids();
    void joinFinishedRuns();

    MainWindowOptions options_;
    std::shared_ptr<RunLink> link_;
    std::shared_ptr<RunCounter> counter_;
    std::vector<RunThread> runs_;
    bool shown_ = false;

    QGroupBox* articleGroup_ = nullptr;
    QPlainTextEdit* articleBox_ = nullptr;
    QPushButton* startButton_ = nullptr;
    QGroupBox* engineGroup_ = nullptr;
    QTabWidget* tabs_ = nullptr;
    QGroupBox* advertGroup_ = nullptr;
    QWebEngineView* browser_ = nullptr;
    std::array<QCheckBox*, 4> checkBoxes_{};
    std::array<ResultGrid*, 4> grids_{};
    QHash<QString, ResultGrid*> gridsByName_;
    QHash<QString, QLabel*> labelsByName_;
};
