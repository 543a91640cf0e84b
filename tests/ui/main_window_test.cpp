// The main window driven through its controls, with the runs against a results server on
// 127.0.0.1.

#include "gui_test_support.h"

#include "checks/check_run.h"
#include "config/check_settings.h"
#include "text/codepage.h"
#include "ui/main_window.h"
#include "ui/qt_text.h"
#include "ui/sample_article.h"
#include "ui/settings_window.h"

#include <QCheckBox>
#include <QClipboard>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QWebEngineView>

#include <atomic>
#include <memory>

namespace {

// 100 Chinese characters: with the default 38 characters a segment, three segments (38, 38, 24).
QString testArticle() {
    return QStringLiteral("春天的早晨空气清新，鸟儿在枝头欢快地歌唱").repeated(5);
}

// Answers Baidu with a page highlighting the query itself (every segment a hit) and Sogou with a
// highlight found nowhere in the article (every segment original). While an engine is blocked it
// gets an empty page, which its run answers with the block question.
class ResultsServer {
public:
    ResultsServer()
        : server_([this](const httplib::Request& request, httplib::Response& response) { answer(request, response); }) {
    }

    ~ResultsServer() { baiduGate_.open(); } // before the server stops

    std::string host() const { return server_.host(); }
    void block(const std::string& path, bool blocked) { (path == "/s" ? baiduBlocked_ : sogouBlocked_) = blocked; }
    // Baidu's answers wait until releaseBaidu().
    void holdBaidu() { holdBaidu_ = true; }
    void releaseBaidu() { baiduGate_.open(); }
    int requests() const { return requests_; }

private:
    void answer(const httplib::Request& request, httplib::Response& response) {
        ++requests_;
        if (request.path == "/s") {
            if (holdBaidu_)
                baiduGate_.pass();
            if (baiduBlocked_)
                return response.set_content("", "text/html; charset=gbk");
            // The parameter arrives percent-decoded: the segment's code page 936 bytes.
            response.set_content("<html><body><em>" + request.get_param_value("wd") + "</em></body></html>",
                                 "text/html; charset=gbk");
        } else {
            if (sogouBlocked_)
                return response.set_content("", "text/html; charset=utf-8");
            response.set_content("<html><!--red_beg-->与本文毫无关系的另外一段话<!--red_end--></html>",
                                 "text/html; charset=utf-8");
        }
    }

    std::atomic<bool> baiduBlocked_{false};
    std::atomic<bool> sogouBlocked_{false};
    std::atomic<int> requests_{0};
    std::atomic<bool> holdBaidu_{false};
    Gate baiduGate_;
    LocalServer server_; // last: stopped first, before the flags go
};

QString name(const std::string& utf8) {
    return QString::fromUtf8(utf8.c_str());
}

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void initialState();
    void designAndLayout_data();
    void designAndLayout();
    void tooSmallAndPlacement();
    void clearPasteCopy();
    void noEngineTicked();
    void emptyArticle();
    void fullCheck();
    void cancelEndsOnlyThatRun_data();
    void cancelEndsOnlyThatRun();
    void gridClickOpens();
    void settingsFromLink();

private:
    // A window whose engines all query the test server.
    void makeWindow();
    template <typename T> T* control(const QString& objectName) const {
        T* widget = window_->findChild<T*>(objectName);
        if (!widget)
            qWarning("no control %s", qPrintable(objectName));
        return widget;
    }
    void tickOnly(std::initializer_list<EngineId> engines);
    // Gives the window this outer size (frame included), as the user would by dragging its border.
    void resizeOuter(int width, int height);
    QList<QMessageBox*> openBoxes() const;

    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<ResultsServer> server_;
    QStringList opened_;
    // Destroyed first: the window answers its open boxes with Cancel and joins its run threads.
    std::unique_ptr<MainWindow> window_;
};

void MainWindowTest::init() {
    dir_ = std::make_unique<QTemporaryDir>();
    server_ = std::make_unique<ResultsServer>();
    opened_.clear();
}

void MainWindowTest::cleanup() {
    window_.reset();
    server_.reset();
    dir_.reset();
}

void MainWindowTest::makeWindow() {
    MainWindowOptions options;
    for (EngineProfile& profile : options.profiles)
        profile.searchHost = server_->host();
    options.settingsPath = QDir(dir_->path()).filePath(QString::fromUtf8(SettingsFileName)).toStdString();
    options.opener = [this](const QString& address) {
        opened_.append(address);
    };
    // The process's network must outlive each test's window.
    options.stopNetwork = [] {
    };
    options.advertAddress = QStringLiteral("about:blank");
    window_ = std::make_unique<MainWindow>(std::move(options));
}

void MainWindowTest::tickOnly(std::initializer_list<EngineId> engines) {
    for (const EngineProfile& profile : engineProfiles()) {
        const bool tick = std::find(engines.begin(), engines.end(), profile.id) != engines.end();
        control<QCheckBox>(name(profile.checkBox))->setChecked(tick);
    }
}

void MainWindowTest::resizeOuter(int width, int height) {
    const QSize frame = window_->frameGeometry().size() - window_->size();
    window_->resize(width - frame.width(), height - frame.height());
}

QList<QMessageBox*> MainWindowTest::openBoxes() const {
    QList<QMessageBox*> boxes;
    for (QMessageBox* box : window_->findChildren<QMessageBox*>()) {
        if (box->isVisible())
            boxes.append(box);
    }
    return boxes;
}

void MainWindowTest::initialState() {
    // The window as the program creates it, with its own advertising address.
    MainWindowOptions options;
    options.settingsPath = QDir(dir_->path()).filePath(QStringLiteral("x.ini")).toStdString();
    options.stopNetwork = [] {
    };
    window_ = std::make_unique<MainWindow>(std::move(options));
    window_->showMaximized();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    QVERIFY(window_->isMaximized());
    QVERIFY(window_->windowTitle().startsWith(QStringLiteral("墨衡文章原创度检测工具v1.0 ")));
    QVERIFY(window_->windowTitle().size() > QStringLiteral("墨衡文章原创度检测工具v1.0 ").size());

    auto* article = control<QPlainTextEdit>(QStringLiteral("编辑框_待检测原创度内容"));
    QCOMPARE(article->toPlainText(), sampleArticle());
    const GbkText sample = window_->articleText();
    QVERIFY2(sample.size() > 1000 && sample.size() < 1200, std::to_string(sample.size()).c_str());
    QVERIFY(sample.find("\r\n \r\n\xA1\xA1\xA1\xA1") != std::string::npos); // space line, full-width indent
    QVERIFY(!sampleArticle().contains(u'\r'));

    QCOMPARE(control<QLabel>(QStringLiteral("标签_文章字数"))->text(), QString());
    const QStringList tabs{QStringLiteral("百度"), QStringLiteral("谷歌"), QStringLiteral("360"),
                           QStringLiteral("搜狗")};
    auto* tabWidget = control<QTabWidget>(QStringLiteral("选择夹1"));
    QCOMPARE(tabWidget->count(), 4);
    QCOMPARE(tabWidget->currentIndex(), 0);
    for (int i = 0; i < 4; ++i) {
        const EngineProfile& profile = engineProfiles()[static_cast<std::size_t>(i)];
        QCOMPARE(tabWidget->tabText(i), tabs[i]);
        QVERIFY(control<QCheckBox>(name(profile.checkBox))->isChecked());
        QCOMPARE(control<QLabel>(name(profile.valueLabel))->text(), QString());
        auto* grid = control<ResultGrid>(name(profile.grid));
        QCOMPARE(grid->parentWidget(), tabWidget->widget(i));
        QCOMPARE(grid->rowCount(), 1);
        QCOMPARE(grid->cellText(0, 1), QStringLiteral("文本"));
        QCOMPARE(grid->columnWidth(3), 250);
    }
    QVERIFY(control<QPushButton>(QStringLiteral("按钮_检测"))->isEnabled());
    auto* browser = control<QWebEngineView>(QStringLiteral("超文本浏览框1"));
    QCOMPARE(browser->url(), QUrl(QString::fromUtf8(AdvertPageAddress)));
    QCOMPARE(browser->zoomFactor(), 1.0);
    QCOMPARE(window_->runThreadCount(), 0);
}

void MainWindowTest::designAndLayout_data() {
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("parent");
    QTest::addColumn<QRect>("geometry"); // after a size change to 1001 x 674
    QTest::addColumn<QString>("caption");
    const QString window;
    auto row = [](const char* control, const QString& parent, QRect geometry, const char* caption) {
        QTest::newRow(control) << QString::fromUtf8(control) << parent << geometry << QString::fromUtf8(caption);
    };
    row("分组框_文章", window, {0, 16, 1001, 232}, "请将文章粘贴到这里，标题可以放到第一行");
    row("编辑框_待检测原创度内容", QStringLiteral("分组框_文章"), {8, 16, 989, 208}, "");
    row("按钮_清空文本", window, {14, 256, 64, 32}, "清空文本");
    row("按钮_复制进来", window, {86, 256, 64, 32}, "复制进来");
    row("按钮_检测", window, {158, 256, 64, 32}, "开始检测");
    row("按钮_拷贝出去", window, {230, 256, 64, 32}, "拷贝出去");
    row("标签6", window, {302, 256, 48, 32}, "文章字数");
    row("标签_文章字数", window, {352, 256, 56, 32}, "");
    row("标签5", window, {410, 256, 62, 32}, "百度原创度");
    row("标签_原创值", window, {478, 256, 66, 32}, "");
    row("标签2", window, {544, 264, 80, 24}, "谷歌原创度");
    row("标签_原创值谷歌", window, {608, 256, 56, 32}, "");
    row("标签3", window, {672, 264, 64, 24}, "360原创度");
    row("标签_原创值360", window, {736, 256, 64, 32}, "");
    row("标签4", window, {808, 264, 64, 24}, "搜狗原创度");
    row("标签_原创值搜狗", window, {880, 256, 64, 32}, "");
    row("选择框_查百度", window, {16, 296, 72, 24}, "查百度");
    row("选择框_查谷歌", window, {96, 296, 72, 24}, "查谷歌");
    row("选择框_查360", window, {168, 296, 72, 24}, "查360");
    row("选择框_查搜狗", window, {232, 296, 56, 24}, "查搜狗");
    row("标签1", window, {888, 0, 80, 16}, "参数设置");
    row("分组框_搜索引擎", window, {0, 320, 700, 324}, "");
    row("选择夹1", QStringLiteral("分组框_搜索引擎"), {8, 16, 688, 300}, "");
    row("分组框_广告", window, {700, 320, 291, 324}, "");
    row("超文本浏览框1", QStringLiteral("分组框_广告"), {8, 16, 281, 300}, "");
    // The grids sit on the tab pages, placed in the tab control's coordinates below the tabs.
    for (const char* grid : {"高级表格_原创度", "高级表格_原创度谷歌", "高级表格_原创度360", "高级表格_原创度搜狗"})
        row(grid, QStringLiteral("选择夹1"), {8, 40, 676, 252}, "");
}

void MainWindowTest::designAndLayout() {
    QFETCH(QString, control);
    QFETCH(QString, parent);
    QFETCH(QRect, geometry);
    QFETCH(QString, caption);
    makeWindow();
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    resizeOuter(1001, 674);
    QCOMPARE(window_->frameGeometry().size(), QSize(1001, 674));

    auto* widget = this->control<QWidget>(control);
    QVERIFY(widget);
    QWidget* reference = parent.isEmpty() ? window_.get() : this->control<QWidget>(parent);
    QVERIFY(reference->isAncestorOf(widget));
    QCOMPARE(QRect(widget->mapTo(reference, QPoint()), widget->size()), geometry);
    if (parent.isEmpty() || parent == QStringLiteral("分组框_文章") || parent == QStringLiteral("分组框_搜索引擎") ||
        parent == QStringLiteral("分组框_广告")) {
        QCOMPARE(widget->parentWidget(), reference);
    }

    QString text;
    if (auto* label = qobject_cast<QLabel*>(widget))
        text = label->text();
    else if (auto* button = qobject_cast<QAbstractButton*>(widget))
        text = button->text();
    else if (auto* group = qobject_cast<QGroupBox*>(widget))
        text = group->title();
    if (!qobject_cast<QPlainTextEdit*>(widget))
        QCOMPARE(text, caption);

    // Fonts and colours that belong to the design. Fonts given a height are in a face with Chinese
    // glyphs, whose Latin digits are narrow enough for the values.
    if (control.startsWith(QStringLiteral("标签_")) || control.startsWith(QStringLiteral("按钮_")) ||
        control == QStringLiteral("标签1") || control == QStringLiteral("标签5") ||
        control == QStringLiteral("标签6")) {
        const QString face = QFontInfo(widget->font()).family();
        QVERIFY2(QFontDatabase::writingSystems(face).contains(QFontDatabase::SimplifiedChinese), qPrintable(face));
    }
    if (control.startsWith(QStringLiteral("标签_"))) {
        auto* label = qobject_cast<QLabel*>(widget);
        QCOMPARE(label->palette().color(QPalette::WindowText), QColor(0xFF, 0, 0));
        QCOMPARE(label->palette().color(QPalette::Window), QColor(Qt::white));
        QVERIFY(label->autoFillBackground());
        QCOMPARE(label->font().pixelSize(), 16);
        QVERIFY(label->font().bold());
        QCOMPARE(label->frameShadow(), QFrame::Sunken);
        // The widest texts a run writes: a long article's count, a value with two decimals.
        const QFontMetrics metrics(label->font());
        const QString widest =
            control == QStringLiteral("标签_文章字数") ? QStringLiteral("99999") : QStringLiteral("66.67%");
        const int indent = label->indent() < 0 ? metrics.horizontalAdvance(u'x') / 2 : label->indent();
        QVERIFY2(indent + metrics.horizontalAdvance(widest) <= label->contentsRect().width(),
                 qPrintable(QStringLiteral("%1 + %2 > %3")
                                .arg(indent)
                                .arg(metrics.horizontalAdvance(widest))
                                .arg(label->contentsRect().width())));
    } else if (control == QStringLiteral("标签1")) {
        auto* label = qobject_cast<QLabel*>(widget);
        QCOMPARE(label->palette().color(QPalette::WindowText), QColor(0, 0, 0xFF));
        QVERIFY(label->font().underline());
        QCOMPARE(label->font().pixelSize(), 12);
    } else if (control.startsWith(QStringLiteral("按钮_")) || control == QStringLiteral("标签5") ||
               control == QStringLiteral("标签6")) {
        QCOMPARE(widget->font().pixelSize(), 12);
        QVERIFY(!widget->font().bold());
    }
}

void MainWindowTest::tooSmallAndPlacement() {
    makeWindow();
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    // A size change of a normal window puts it at a quarter of the screen.
    window_->move(0, 0);
    resizeOuter(66, 350);
    const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
    QCOMPARE(window_->frameGeometry().topLeft(), QPoint(screen.width() / 4, screen.height() / 4));
    // Outer width 66 leaves the browser no width; height 350 leaves the lower band no height.
    QCOMPARE(control<QWidget>(QStringLiteral("超文本浏览框1"))->size(), QSize(0, 0));
    QCOMPARE(control<QWidget>(QStringLiteral("分组框_广告"))->geometry(), QRect(46, 320, 10, 0));
    QCOMPARE(control<QWidget>(QStringLiteral("分组框_搜索引擎"))->size(), QSize(46, 0));
    QCOMPARE(control<QWidget>(QStringLiteral("选择夹1"))->size(), QSize(34, 0));
    QCOMPARE(control<QWidget>(QStringLiteral("高级表格_原创度搜狗"))->size(), QSize(22, 0));
    QCOMPARE(control<QWidget>(QStringLiteral("编辑框_待检测原创度内容"))->size(), QSize(54, 208));

    // Growing again restores the lower band; a maximised window stays where it is.
    resizeOuter(1001, 674);
    QCOMPARE(control<QWidget>(QStringLiteral("高级表格_原创度"))->size(), QSize(676, 252));
    window_->showMaximized();
    QTRY_VERIFY(window_->isMaximized());
    // The maximised window fills the screen: the placement rule leaves it there.
    QTRY_COMPARE(window_->frameGeometry(), QGuiApplication::primaryScreen()->availableGeometry());
    QCOMPARE(control<QWidget>(QStringLiteral("分组框_文章"))->width(), window_->frameGeometry().width());
}

void MainWindowTest::clearPasteCopy() {
    makeWindow();
    window_->show();
    auto* article = control<QPlainTextEdit>(QStringLiteral("编辑框_待检测原创度内容"));
    QClipboard* clipboard = QGuiApplication::clipboard();

    QTest::mouseClick(control<QPushButton>(QStringLiteral("按钮_清空文本")), Qt::LeftButton);
    QCOMPARE(article->toPlainText(), QString());

    // Paste goes through code page 936: what it cannot hold becomes "?"; CR LF lines become lines.
    clipboard->setText(QStringLiteral("标题\r\n正文 text 😀 한 €"));
    QTest::mouseClick(control<QPushButton>(QStringLiteral("按钮_复制进来")), Qt::LeftButton);
    QCOMPARE(article->toPlainText(), QStringLiteral("标题\n正文 text ? ? €"));
    QCOMPARE(window_->articleText(), utf8ToGbk("标题\r\n正文 text ? ? €"));

    // Paste replaces the whole content; a clipboard without text empties the box.
    auto* picture = new QMimeData;
    picture->setData(QStringLiteral("image/png"), QByteArray("\x89PNG", 4));
    clipboard->setMimeData(picture);
    QTest::mouseClick(control<QPushButton>(QStringLiteral("按钮_复制进来")), Qt::LeftButton);
    QCOMPARE(article->toPlainText(), QString());

    // Copy puts the article, through code page 936, on the clipboard.
    article->setPlainText(QStringLiteral("第一行\n第二行 😀"));
    QTest::mouseClick(control<QPushButton>(QStringLiteral("按钮_拷贝出去")), Qt::LeftButton);
    QCOMPARE(clipboard->text(), QStringLiteral("第一行\n第二行 ?"));
    // Copying an empty box leaves an empty text, replacing what was there.
    QTest::mouseClick(control<QPushButton>(QStringLiteral("按钮_清空文本")), Qt::LeftButton);
    QTest::mouseClick(control<QPushButton>(QStringLiteral("按钮_拷贝出去")), Qt::LeftButton);
    QVERIFY(clipboard->mimeData()->hasText());
    QCOMPARE(clipboard->text(), QString());
}

void MainWindowTest::noEngineTicked() {
    makeWindow();
    window_->show();
    tickOnly({});
    auto* start = control<QPushButton>(QStringLiteral("按钮_检测"));
    QTest::mouseClick(start, Qt::LeftButton);
    QTest::qWait(100);
    QCOMPARE(window_->runThreadCount(), 0);
    QVERIFY(start->isEnabled());
    QVERIFY(openBoxes().isEmpty());
    QCOMPARE(server_->requests(), 0);
}

void MainWindowTest::emptyArticle() {
    makeWindow();
    window_->show();
    tickOnly({EngineId::Baidu, EngineId::Sogou});
    // Earlier results stay: the grids are cleared only once a run has an article.
    auto* baiduGrid = control<ResultGrid>(QStringLiteral("高级表格_原创度"));
    baiduGrid->appendRow(QStringLiteral("1"), 1);
    QTest::mouseClick(control<QPushButton>(QStringLiteral("按钮_清空文本")), Qt::LeftButton);
    auto* start = control<QPushButton>(QStringLiteral("按钮_检测"));
    QTest::mouseClick(start, Qt::LeftButton);

    // One message per ticked engine.
    QTRY_COMPARE(openBoxes().size(), 2);
    QVERIFY(!start->isEnabled());
    for (QMessageBox* box : openBoxes()) {
        QCOMPARE(box->text(), QStringLiteral("请拷贝待检测文章"));
        QCOMPARE(box->windowTitle(), QStringLiteral("提示"));
        QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
    }
    QTRY_VERIFY(start->isEnabled());
    QCOMPARE(openBoxes().size(), 0);
    QCOMPARE(baiduGrid->rowCount(), 2);
    QCOMPARE(server_->requests(), 0);
}

void MainWindowTest::fullCheck() {
    makeWindow();
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    tickOnly({EngineId::Baidu, EngineId::Sogou});
    auto* article = control<QPlainTextEdit>(QStringLiteral("编辑框_待检测原创度内容"));
    article->setPlainText(testArticle());
    server_->holdBaidu();
    auto* start = control<QPushButton>(QStringLiteral("按钮_检测"));
    QTest::mouseClick(start, Qt::LeftButton);
    QVERIFY(!start->isEnabled());

    // While Baidu's run waits for its first page, the window shows its progress and takes input.
    auto* baiduGrid = control<ResultGrid>(QStringLiteral("高级表格_原创度"));
    QTRY_COMPARE(baiduGrid->rowCount(), 2);
    QCOMPARE(baiduGrid->cellText(1, 2), QString());
    auto* tabs = control<QTabWidget>(QStringLiteral("选择夹1"));
    QTest::mouseClick(tabs->tabBar(), Qt::LeftButton, {}, tabs->tabBar()->tabRect(3).center());
    QCOMPARE(tabs->currentIndex(), 3);
    article->setFocus();
    article->moveCursor(QTextCursor::End);
    QTest::keyClicks(article, QStringLiteral("abc"));
    QVERIFY(article->toPlainText().endsWith(QStringLiteral("abc")));
    QVERIFY(!start->isEnabled());
    server_->releaseBaidu();

    auto* baiduValue = control<QLabel>(QStringLiteral("标签_原创值"));
    auto* sogouValue = control<QLabel>(QStringLiteral("标签_原创值搜狗"));
    QTRY_VERIFY(start->isEnabled());
    QCOMPARE(baiduValue->text(), QStringLiteral("0%"));
    QCOMPARE(sogouValue->text(), QStringLiteral("100%"));
    QCOMPARE(baiduValue->toolTip(), QStringLiteral("别灰心额，还需努力"));
    QCOMPARE(sogouValue->toolTip(), QStringLiteral("你乃神人，此文原创"));
    QCOMPARE(control<QLabel>(QStringLiteral("标签_文章字数"))->text(), QStringLiteral("100"));
    QCOMPARE(control<QLabel>(QStringLiteral("标签_原创值谷歌"))->text(), QString());

    const QString host = QString::fromStdString(server_->host());
    for (const char* gridName : {"高级表格_原创度", "高级表格_原创度搜狗"}) {
        auto* grid = control<ResultGrid>(QString::fromUtf8(gridName));
        QCOMPARE(grid->rowCount(), 4);
        const QString article100 = testArticle();
        const QStringList segments{article100.mid(0, 38), article100.mid(38, 38), article100.mid(76)};
        for (int r = 1; r <= 3; ++r) {
            QCOMPARE(grid->cellText(r, 0), QString::number(r));
            QCOMPARE(grid->cellText(r, 1), segments[r - 1]);
            QVERIFY(grid->cellText(r, 3).startsWith(QStringLiteral("http://") + host));
            QCOMPARE(grid->cellTextColour(r, 3), AddressColour);
        }
        QCOMPARE(grid->cellText(1, 2), QString::fromUtf8(gridName) == QStringLiteral("高级表格_原创度")
                                           ? QStringLiteral("1")
                                           : QStringLiteral("0"));
    }
    QCOMPARE(control<ResultGrid>(QStringLiteral("高级表格_原创度谷歌"))->rowCount(), 1);

    // A second check clears the grids first and fills them again.
    QTest::mouseClick(start, Qt::LeftButton);
    QTRY_VERIFY(start->isEnabled());
    QCOMPARE(control<ResultGrid>(QStringLiteral("高级表格_原创度"))->rowCount(), 4);
    QCOMPARE(window_->runThreadCount(), 2); // the first check's threads were joined
}

void MainWindowTest::cancelEndsOnlyThatRun_data() {
    QTest::addColumn<bool>("cancelBaidu"); // else Sogou's box is cancelled, Baidu's answered OK
    QTest::newRow("cancel Baidu") << true;
    QTest::newRow("cancel Sogou") << false;
}

void MainWindowTest::cancelEndsOnlyThatRun() {
    QFETCH(bool, cancelBaidu);
    makeWindow();
    window_->show();
    tickOnly({EngineId::Baidu, EngineId::Sogou});
    control<QPlainTextEdit>(QStringLiteral("编辑框_待检测原创度内容"))->setPlainText(testArticle());
    server_->block("/s", true);
    server_->block("/web", true);
    auto* start = control<QPushButton>(QStringLiteral("按钮_检测"));
    QTest::mouseClick(start, Qt::LeftButton);

    // Both runs ask at once, each in a box of its own; the main window stays usable.
    QTRY_COMPARE(openBoxes().size(), 2);
    QCOMPARE(QApplication::activeModalWidget(), nullptr);
    QMessageBox* baiduBox = nullptr;
    QMessageBox* sogouBox = nullptr;
    for (QMessageBox* box : openBoxes()) {
        QCOMPARE(box->windowModality(), Qt::NonModal);
        (box->windowTitle() == QStringLiteral("百度提示") ? baiduBox : sogouBox) = box;
    }
    QVERIFY(baiduBox && sogouBox);
    QCOMPARE(sogouBox->windowTitle(), QStringLiteral("搜狗提示"));
    QVERIFY(baiduBox->text().startsWith(QStringLiteral("百度可能暂时屏蔽本机搜索")));

    server_->block("/s", false);
    server_->block("/web", false);
    QMessageBox* cancelled = cancelBaidu ? baiduBox : sogouBox;
    QMessageBox* continued = cancelBaidu ? sogouBox : baiduBox;
    QTest::mouseClick(cancelled->button(QMessageBox::Cancel), Qt::LeftButton);
    QTRY_COMPARE(openBoxes().size(), 1);
    QTest::mouseClick(continued->button(QMessageBox::Ok), Qt::LeftButton);
    QTRY_VERIFY(start->isEnabled());

    auto* baiduGrid = control<ResultGrid>(QStringLiteral("高级表格_原创度"));
    auto* sogouGrid = control<ResultGrid>(QStringLiteral("高级表格_原创度搜狗"));
    auto* baiduValue = control<QLabel>(QStringLiteral("标签_原创值"));
    auto* sogouValue = control<QLabel>(QStringLiteral("标签_原创值搜狗"));
    ResultGrid* cancelledGrid = cancelBaidu ? baiduGrid : sogouGrid;
    ResultGrid* continuedGrid = cancelBaidu ? sogouGrid : baiduGrid;
    // The cancelled run stopped at its first segment: number and text only, no score.
    QCOMPARE(cancelledGrid->rowCount(), 2);
    QCOMPARE(cancelledGrid->cellText(1, 2), QString());
    QCOMPARE(cancelledGrid->cellText(1, 3), QString());
    QCOMPARE((cancelBaidu ? baiduValue : sogouValue)->text(), QString());
    // The other went on: its first segment had the empty page (no highlight, not original).
    QCOMPARE(continuedGrid->rowCount(), 4);
    QCOMPARE(continuedGrid->cellText(1, 3), QString());
    QVERIFY(!continuedGrid->cellText(2, 3).isEmpty());
    QCOMPARE((cancelBaidu ? sogouValue : baiduValue)->text(),
             cancelBaidu ? QStringLiteral("66.67%") : QStringLiteral("0%"));
    // Sogou's cancel opens its query in the browser; Baidu's does not.
    if (cancelBaidu) {
        QCOMPARE(opened_, QStringList());
    } else {
        QCOMPARE(opened_.size(), 1);
        QVERIFY(
            opened_[0].startsWith(QStringLiteral("http://%1/web?query=").arg(QString::fromStdString(server_->host()))));
    }
}

void MainWindowTest::gridClickOpens() {
    makeWindow();
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    tickOnly({EngineId::Baidu});
    control<QPlainTextEdit>(QStringLiteral("编辑框_待检测原创度内容"))->setPlainText(testArticle());
    auto* start = control<QPushButton>(QStringLiteral("按钮_检测"));
    QTest::mouseClick(start, Qt::LeftButton);
    QTRY_VERIFY(start->isEnabled());

    auto* grid = control<ResultGrid>(QStringLiteral("高级表格_原创度"));
    QTableWidget* table = grid->table();
    auto click = [table](int row, int column) {
        const QRect cell = table->visualRect(table->model()->index(row - 1, column - 1));
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell.center());
    };
    click(2, 1);
    click(2, 2);
    QCOMPARE(opened_, QStringList());
    click(2, 3);
    QCOMPARE(opened_, QStringList{grid->cellText(2, 3)});
    QCOMPARE(grid->cellTextColour(2, 3), OpenedAddressColour);
    QCOMPARE(grid->cellTextColour(1, 3), AddressColour);
}

void MainWindowTest::settingsFromLink() {
    makeWindow();
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    QTest::mousePress(control<QLabel>(QStringLiteral("标签1")), Qt::LeftButton);
    auto* settings = window_->findChild<SettingsWindow*>();
    QVERIFY(settings);
    QTRY_VERIFY(settings->isVisible());
    QVERIFY(settings->isModal());
    // The main window takes no input while it is open.
    QCOMPARE(QApplication::activeModalWidget(), settings);
    settings->saveSettings();
    QCOMPARE(
        readCheckSettings(QDir(dir_->path()).filePath(QString::fromUtf8(SettingsFileName)).toStdString()).segmentLength,
        38);
    settings->close();
    QTRY_VERIFY(!window_->findChild<SettingsWindow*>());
}

GUI_TEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
