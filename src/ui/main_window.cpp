#include "ui/main_window.h"

#include "checks/check_run.h"
#include "ui/qt_text.h"
#include "ui/run_link.h"
#include "ui/sample_article.h"
#include "ui/settings_window.h"
#include "web/http_transfer.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QMimeData>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStackedWidget>
#include <QTabWidget>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <system_error>

namespace {

// Design positions and sizes of the upper band, which the layout leaves alone.
constexpr int ArticleGroupTop = 16;
constexpr int ArticleGroupHeight = 232;
constexpr int ArticleBoxHeight = 208;
constexpr int LowerBandTop = 320;
constexpr QPoint GridPosition{8, 40}; // in the tab control's coordinates
constexpr unsigned ValueLabelText = 0x0000FF;
constexpr unsigned LinkLabelText = 0xFF0000;

// The face for texts in the GB2312 character set: the application's own face when it has Chinese
// glyphs, else the first proportional face the platform lists for simplified Chinese. Left to the
// default face, Latin digits and "%" came from a wide Latin face and the value labels cut "66.67%".
QString chineseFace() {
    static const QString face = [] {
        const QStringList faces = QFontDatabase::families(QFontDatabase::SimplifiedChinese);
        const QString own = QFontInfo(QFont()).family();
        if (faces.contains(own))
            return own;
        for (const QString& candidate : faces) {
            if (!QFontDatabase::isFixedPitch(candidate))
                return candidate;
        }
        return faces.isEmpty() ? QString() : faces.first();
    }();
    return face;
}

QFont pixelFont(int height, bool bold = false) {
    QFont font;
    if (const QString face = chineseFace(); !face.isEmpty())
        font.setFamily(face);
    font.setPixelSize(height);
    font.setBold(bold);
    return font;
}

// A label that reacts to a left mouse press, like a link.
class LinkLabel : public QLabel {
public:
    LinkLabel(const QString& text, QWidget* parent, std::function<void()> pressed)
        : QLabel(text, parent), pressed_(std::move(pressed)) {
        setCursor(Qt::PointingHandCursor);
    }

protected:
    void mousePressEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton && pressed_)
            pressed_();
        QLabel::mousePressEvent(event);
    }

private:
    std::function<void()> pressed_;
};

// The advertising page shows no dialog of its own and keeps its script messages to itself.
class SilentPage : public QWebEnginePage {
public:
    using QWebEnginePage::QWebEnginePage;

protected:
    void javaScriptAlert(const QUrl&, const QString&) override {}
    bool javaScriptConfirm(const QUrl&, const QString&) override { return false; }
    bool javaScriptPrompt(const QUrl&, const QString&, const QString&, QString*) override { return false; }
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString&, int, const QString&) override {}
    QStringList chooseFiles(FileSelectionMode, const QStringList&, const QStringList&) override { return {}; }
};

// The RunWindow of one run: every call is queued to the window's thread through the link. The
// window pointer is only used inside queued work, which runs only while the window exists.
class WindowRun : public RunWindow {
public:
    WindowRun(std::shared_ptr<RunLink> link, MainWindow* window, GbkText article)
        : link_(std::move(link)), window_(window), article_(std::move(article)) {}

    GbkText articleText() override { return article_; }

    void setLabelText(std::string_view label, const GbkText& text) override {
        post([name = fromUtf8View(label), text = fromGbk(text)](MainWindow* w) {
            if (QLabel* l = w->label(name))
                l->setText(text);
        });
    }
    void setLabelHint(std::string_view label, const GbkText& hint) override {
        post([name = fromUtf8View(label), hint = fromGbk(hint)](MainWindow* w) {
            if (QLabel* l = w->label(name))
                l->setToolTip(hint);
        });
    }
    void setStartEnabled(bool enabled) override {
        post([enabled](MainWindow* w) { w->startButton()->setEnabled(enabled); });
    }
    void clearGrid(std::string_view grid) override {
        post([name = fromUtf8View(grid)](MainWindow* w) {
            if (ResultGrid* g = w->grid(name))
                g->clearGrid();
        });
    }
    void appendRow(std::string_view grid, int row, const GbkText& heading) override {
        post([name = fromUtf8View(grid), row, heading = fromGbk(heading)](MainWindow* w) {
            if (ResultGrid* g = w->grid(name))
                g->appendRow(heading, row);
        });
    }
    void setCellText(std::string_view grid, int row, int column, const GbkText& text) override {
        post([name = fromUtf8View(grid), row, column, text = fromGbk(text)](MainWindow* w) {
            if (ResultGrid* g = w->grid(name))
                g->setCellText(row, column, text);
        });
    }
    void setCellNumber(std::string_view grid, int row, int column, int value) override {
        post([name = fromUtf8View(grid), row, column, value](MainWindow* w) {
            if (ResultGrid* g = w->grid(name))
                g->setCellNumber(row, column, value);
        });
    }
    void setCellTextColour(std::string_view grid, int row, int column, unsigned colour) override {
        post([name = fromUtf8View(grid), row, column, colour](MainWindow* w) {
            if (ResultGrid* g = w->grid(name))
                g->setCellTextColour(row, column, row, column, colour);
        });
    }
    void showMessage(const GbkText& text, const GbkText& title) override { ask(text, title, false); }
    bool askOkCancel(const GbkText& text, const GbkText& title) override { return ask(text, title, true); }
    void openAddress(const GbkText& address) override {
        post([address = fromGbk(address)](MainWindow* w) { w->openAddress(address); });
    }

private:
    template <typename Work> void post(Work work) {
        link_->post([window = window_, work = std::move(work)] { work(window); });
    }

    bool ask(const GbkText& text, const GbkText& title, bool withCancel) {
        std::shared_ptr<PendingAnswer> answer = link_->newAnswer();
        if (!answer)
            return false;
        post([text = fromGbk(text), title = fromGbk(title), withCancel, answer](MainWindow* w) {
            w->showRunBox(text, title, withCancel, answer);
        });
        return answer->wait();
    }

    std::shared_ptr<RunLink> link_;
    MainWindow* window_;
    const GbkText article_;
};

} // namespace

QString mainWindowCaption() {
    return QStringLiteral("墨衡文章原创度检测工具v1.0 作者联系：author@example.com");
}

MainWindow::MainWindow(MainWindowOptions options, QWidget* parent)
    : QWidget(parent), options_(std::move(options)), link_(std::make_shared<RunLink>(this)),
      counter_(std::make_shared<RunCounter>()) {
    if (options_.settingsPath.empty())
        options_.settingsPath = defaultSettingsPath();
    if (!options_.stopNetwork)
        options_.stopNetwork = abortAllTransfers;
    if (options_.advertAddress.isEmpty())
        options_.advertAddress = QString::fromUtf8(AdvertPageAddress);

    setWindowTitle(mainWindowCaption());
    buildControls();

    // Created with the screen's size: the window takes the screen's width, the controls follow.
    QScreen* screen = QGuiApplication::primaryScreen();
    const QSize screenSize = screen ? screen->geometry().size() : QSize(1001, 674);
    setGeometry(50, 50, 1001, 674);
    applyLayout(layoutMainWindow(screenSize.width(), screenSize.height()), true);
    for (ResultGrid* grid : grids_)
        grid->setUpGrid();
}

MainWindow::~MainWindow() {
    stopRuns();
    for (RunThread& run : runs_) {
        if (run.thread.joinable())
            run.thread.join();
    }
}

void MainWindow::buildControls() {
    articleGroup_ = new QGroupBox(QStringLiteral("请将文章粘贴到这里，标题可以放到第一行"), this);
    articleGroup_->setObjectName(QStringLiteral("分组框_文章"));
    articleGroup_->setGeometry(0, ArticleGroupTop, 976, ArticleGroupHeight);

    articleBox_ = new QPlainTextEdit(articleGroup_);
    articleBox_->setObjectName(QStringLiteral("编辑框_待检测原创度内容"));
    articleBox_->setGeometry(8, 16, 960, ArticleBoxHeight);
    articleBox_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    articleBox_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    articleBox_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    articleBox_->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    {
        QPalette palette = articleBox_->palette();
        palette.setColor(QPalette::Base, Qt::white);
        palette.setColor(QPalette::Text, Qt::black);
        articleBox_->setPalette(palette);
    }
    articleBox_->setPlainText(sampleArticle());

    auto addButton = [this](const QString& name, const QString& caption, int left, void (MainWindow::*handler)()) {
        auto* button = new QPushButton(caption, this);
        button->setObjectName(name);
        button->setGeometry(left, 256, 64, 32);
        button->setFont(pixelFont(12));
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this, handler);
        return button;
    };
    addButton(QStringLiteral("按钮_清空文本"), QStringLiteral("清空文本"), 14, &MainWindow::clearArticle);
    addButton(QStringLiteral("按钮_复制进来"), QStringLiteral("复制进来"), 86, &MainWindow::pasteArticle);
    startButton_ = addButton(QStringLiteral("按钮_检测"), QStringLiteral("开始检测"), 158, &MainWindow::startChecks);
    addButton(QStringLiteral("按钮_拷贝出去"), QStringLiteral("拷贝出去"), 230, &MainWindow::copyArticle);

    auto addLabel = [this](const QString& name, const QString& caption, const QRect& geometry) {
        auto* label = new QLabel(caption, this);
        label->setObjectName(name);
        label->setGeometry(geometry);
        label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        labelsByName_.insert(name, label);
        return label;
    };
    auto addValueLabel = [&](const QString& name, const QRect& geometry) {
        QLabel* label = addLabel(name, QString(), geometry);
        label->setFont(pixelFont(16, true));
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setLineWidth(1);
        // The text starts right inside the edge; a framed label would otherwise indent it by half an
        // "x", and a value such as "66.67%" no longer fits the narrower labels.
        label->setIndent(0);
        label->setAutoFillBackground(true);
        QPalette palette = label->palette();
        palette.setColor(QPalette::Window, Qt::white);
        palette.setColor(QPalette::WindowText, fromColorRef(ValueLabelText));
        label->setPalette(palette);
    };
    addLabel(QStringLiteral("标签6"), QStringLiteral("文章字数"), {302, 256, 48, 32})->setFont(pixelFont(12));
    addValueLabel(QStringLiteral("标签_文章字数"), {352, 256, 56, 32});
    addLabel(QStringLiteral("标签5"), QStringLiteral("百度原创度"), {410, 256, 62, 32})->setFont(pixelFont(12));
    addLabel(QStringLiteral("标签2"), QStringLiteral("谷歌原创度"), {544, 264, 80, 24});
    addLabel(QStringLiteral("标签3"), QStringLiteral("360原创度"), {672, 264, 64, 24});
    addLabel(QStringLiteral("标签4"), QStringLiteral("搜狗原创度"), {808, 264, 64, 24});
    // The value labels and check boxes belong to the engines: their names come from the profiles.
    const std::array<QRect, 4> valueLabels = {QRect(478, 256, 66, 32), QRect(608, 256, 56, 32), QRect(736, 256, 64, 32),
                                              QRect(880, 256, 64, 32)};
    const std::array<QRect, 4> checkBoxes = {QRect(16, 296, 72, 24), QRect(96, 296, 72, 24), QRect(168, 296, 72, 24),
                                             QRect(232, 296, 56, 24)};
    const std::array<QString, 4> checkCaptions = {QStringLiteral("查百度"), QStringLiteral("查谷歌"),
                                                  QStringLiteral("查360"), QStringLiteral("查搜狗")};
    for (std::size_t i = 0; i < 4; ++i) {
        addValueLabel(fromUtf8View(options_.profiles[i].valueLabel), valueLabels[i]);
        auto* box = new QCheckBox(checkCaptions[i], this);
        box->setObjectName(fromUtf8View(options_.profiles[i].checkBox));
        box->setGeometry(checkBoxes[i]);
        box->setChecked(true);
        checkBoxes_[i] = box;
    }

    auto* settingsLink = new LinkLabel(QStringLiteral("参数设置"), this, [this] { openSettings(); });
    settingsLink->setObjectName(QStringLiteral("标签1"));
    settingsLink->setGeometry(888, 0, 80, 16);
    QFont linkFont = pixelFont(12);
    linkFont.setUnderline(true);
    settingsLink->setFont(linkFont);
    {
        QPalette palette = settingsLink->palette();
        palette.setColor(QPalette::WindowText, fromColorRef(LinkLabelText));
        settingsLink->setPalette(palette);
    }
    labelsByName_.insert(settingsLink->objectName(), settingsLink);

    engineGroup_ = new QGroupBox(this);
    engineGroup_->setObjectName(QStringLiteral("分组框_搜索引擎"));
    engineGroup_->setGeometry(0, LowerBandTop, 700, 320);
    tabs_ = new QTabWidget(engineGroup_);
    tabs_->setObjectName(QStringLiteral("选择夹1"));
    tabs_->setGeometry(8, 16, 688, 296);
    for (std::size_t i = 0; i < 4; ++i) {
        auto* page = new QWidget;
        tabs_->addTab(page, fromGbk(options_.profiles[i].tabText));
        auto* grid = new ResultGrid(page);
        grid->setObjectName(fromUtf8View(options_.profiles[i].grid));
        grid->setGeometry(QRect(GridPosition, QSize(672, 248)));
        grid->setOpener([this](const QString& address) { openAddress(address); });
        grids_[i] = grid;
        gridsByName_.insert(grid->objectName(), grid);
    }
    tabs_->setCurrentIndex(0);
    // The tab control moves its pages when it lays itself out; the grids keep their place in it.
    if (auto* stack = tabs_->findChild<QStackedWidget*>())
        stack->installEventFilter(this);

    advertGroup_ = new QGroupBox(this);
    advertGroup_->setObjectName(QStringLiteral("分组框_广告"));
    advertGroup_->setGeometry(704, LowerBandTop, 272, 320);
    browser_ = new QWebEngineView(advertGroup_);
    browser_->setObjectName(QStringLiteral("超文本浏览框1"));
    browser_->setGeometry(8, 16, 264, 296);
    browser_->setPage(new SilentPage(browser_));
    browser_->setZoomFactor(1.0);
    browser_->setUrl(QUrl(options_.advertAddress));
}

void MainWindow::applyLayout(const MainLayout& l, bool setWindowWidth) {
    if (setWindowWidth)
        resize(l.windowWidth, height());
    articleGroup_->resize(l.articleGroupWidth, ArticleGroupHeight);
    articleBox_->resize(l.articleBoxWidth, ArticleBoxHeight);
    engineGroup_->resize(l.engineGroupWidth, l.engineGroupHeight);
    tabs_->resize(l.tabWidth, l.tabHeight);
    for (ResultGrid* grid : grids_)
        grid->resize(l.gridWidth, l.gridHeight);
    advertGroup_->setGeometry(l.adGroupLeft, LowerBandTop, l.adGroupWidth, l.adGroupHeight);
    browser_->resize(l.browserWidth, l.browserHeight);
    placeGrids();
}

void MainWindow::placeGrids() {
    for (ResultGrid* grid : grids_) {
        // The page's place in the tab control is the tab control's own; the grid keeps its place in
        // the tab control's coordinates, below the tabs.
        grid->move(GridPosition - grid->parentWidget()->mapTo(tabs_, QPoint()));
    }
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const QSize outer = frameGeometry().size();
    applyLayout(layoutMainWindow(outer.width(), outer.height()), false);
    // Placement: a window that is not maximised goes to a quarter of the screen, its size kept.
    // Not on the size that the first showing brings.
    if (shown_ && !(windowState() & Qt::WindowMaximized)) {
        if (QScreen* screen = QGuiApplication::primaryScreen()) {
            const QSize size = screen->geometry().size();
            move(size.width() / 4, size.height() / 4);
        }
    }
}

void MainWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    shown_ = true;
    placeGrids();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Move || event->type() == QEvent::Resize)
        placeGrids();
    return QWidget::eventFilter(watched, event);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    stopRuns();
    QWidget::closeEvent(event);
}

void MainWindow::clearArticle() {
    articleBox_->setPlainText(QString());
}

void MainWindow::pasteArticle() {
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    QString text = data && data->hasText() ? data->text() : QString();
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    articleBox_->setPlainText(throughGbk(text));
}

void MainWindow::copyArticle() {
    QGuiApplication::clipboard()->setText(throughGbk(articleBox_->toPlainText()));
}

GbkText MainWindow::articleText() const {
    QString text = articleBox_->toPlainText();
    text.replace(u'\n', QStringLiteral("\r\n"));
    return toGbk(text);
}

void MainWindow::startChecks() {
    std::vector<const EngineProfile*> ticked;
    for (std::size_t i = 0; i < checkBoxes_.size(); ++i) {
        if (checkBoxes_[i]->isChecked())
            ticked.push_back(&options_.profiles[i]);
    }
    if (ticked.empty() || !link_->attached())
        return;
    joinFinishedRuns();
    const GbkText article = articleText();
    // Counted before any starts, so the button comes back only when the last of them has ended.
    counter_->add(static_cast<int>(ticked.size()));
    startButton_->setEnabled(false);
    for (const EngineProfile* profile : ticked) {
        auto done = std::make_shared<std::atomic<bool>>(false);
        try {
            std::thread thread([link = link_, counter = counter_, profile = *profile, path = options_.settingsPath,
                                article, done, window = this] {
                WindowRun run(link, window, article);
                checkRun(profile, path, run, *counter);
                done->store(true);
            });
            runs_.push_back({std::move(thread), done});
        } catch (const std::system_error&) {
            // No thread could be had: this run never starts, so it must not keep the button off.
            if (counter_->finish())
                startButton_->setEnabled(true);
        }
    }
}

void MainWindow::joinFinishedRuns() {
    std::erase_if(runs_, [](RunThread& run) {
        if (!run.done->load())
            return false;
        run.thread.join();
        return true;
    });
}

int MainWindow::runThreadCount() const {
    return static_cast<int>(runs_.size());
}

void MainWindow::openSettings() {
    auto* settings = new SettingsWindow(options_.settingsPath, this);
    settings->setAttribute(Qt::WA_DeleteOnClose);
    settings->setWindowModality(Qt::WindowModal);
    settings->show();
}

ResultGrid* MainWindow::grid(const QString& name) const {
    return gridsByName_.value(name);
}

QLabel* MainWindow::label(const QString& name) const {
    return labelsByName_.value(name);
}

void MainWindow::stopRuns() {
    if (!link_->attached())
        return;
    link_->detach();
    options_.stopNetwork();
    for (QMessageBox* box : findChildren<QMessageBox*>(QString(), Qt::FindDirectChildrenOnly))
        box->close();
}

void MainWindow::showRunBox(const QString& text, const QString& title, bool withCancel,
                            std::shared_ptr<PendingAnswer> answer) {
    // A box of its own for each question; it blocks only the run that waits on it.
    auto* box = new QMessageBox(QMessageBox::NoIcon, title, text,
                                withCancel ? QMessageBox::Ok | QMessageBox::Cancel : QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    connect(box, &QMessageBox::finished, box,
            [box, answer] { answer->give(box->clickedButton() == box->button(QMessageBox::Ok)); });
    connect(box, &QObject::destroyed, [answer] { answer->give(false); });
    box->show();
}

void MainWindow::openAddress(const QString& address) {
    if (isWebAddress(address) && options_.opener)
        options_.opener(address);
}
