// The layout function, the result grid and the settings window, each on its own.

#include "gui_test_support.h"

#include "checks/check_run.h"
#include "config/check_settings.h"
#include "config/settings_file.h"
#include "text/codepage.h"
#include "ui/main_layout.h"
#include "ui/result_grid.h"
#include "ui/settings_window.h"

#include <QClipboard>
#include <QFile>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>

#include <memory>

class WidgetsTest : public QObject {
    Q_OBJECT
private slots:
    void layout_data();
    void layout();

    void freshGrid();
    void gridRows();
    void gridColours_data();
    void gridColours();
    void gridClick_data();
    void gridClick();

    void normalise_data();
    void normalise();
    void settingsDesign();
    void integerTyping();
    void integerPaste_data();
    void integerPaste();
    void settingsSave();
};

// ---- Layout --------------------------------------------------------------------------------------

void WidgetsTest::layout_data() {
    QTest::addColumn<int>("w");
    QTest::addColumn<int>("h");
    // engine group width, tab width, grid width, ad left, ad width, browser width,
    // group heights, tab height, grid height, browser height
    QTest::addColumn<QList<int>>("expected");
    QTest::newRow("example 1001 x 674") << 1001 << 674 << QList<int>{700, 688, 676, 700, 291, 281, 324, 300, 252, 300};
    // 1000 * 0.7 and 1003 * 0.7 in doubles: truncation, not rounding.
    QTest::newRow("1003 wide truncates") << 1003 << 674 << QList<int>{702, 690, 678, 702, 291, 281, 324, 300, 252, 300};
    QTest::newRow("height 350: lower band gone") << 1001 << 350 << QList<int>{700, 688, 676, 700, 291, 281, 0, 0, 0, 0};
    QTest::newRow("height 380: tab above, grid clamped")
        << 1001 << 380 << QList<int>{700, 688, 676, 700, 291, 281, 30, 6, 0, 6};
    QTest::newRow("width 66: browser gone") << 66 << 674 << QList<int>{46, 34, 22, 46, 10, 0, 324, 300, 252, 300};
    QTest::newRow("width 10: everything clamped at 0") << 10 << 0 << QList<int>{7, 0, 0, 7, 0, 0, 0, 0, 0, 0};
    QTest::newRow("negative size") << -5 << -5 << QList<int>{0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    QTest::newRow("huge size clamped at 32627")
        << 100000 << 100000 << QList<int>{32627, 32615, 32603, 32627, 32627, 32627, 32627, 32603, 32555, 32603};
}

void WidgetsTest::layout() {
    QFETCH(int, w);
    QFETCH(int, h);
    QFETCH(QList<int>, expected);
    const MainLayout l = layoutMainWindow(w, h);
    const QList<int> actual{l.engineGroupWidth, l.tabWidth,          l.gridWidth, l.adGroupLeft, l.adGroupWidth,
                            l.browserWidth,     l.engineGroupHeight, l.tabHeight, l.gridHeight,  l.browserHeight};
    QCOMPARE(actual, expected);
    QCOMPARE(l.adGroupHeight, l.engineGroupHeight);
    QCOMPARE(l.windowWidth, std::clamp(w, 0, MaxLayoutExtent));
    QCOMPARE(l.articleGroupWidth, std::clamp(w, 0, MaxLayoutExtent));
    QCOMPARE(l.articleBoxWidth, std::clamp(w - 12, 0, MaxLayoutExtent));
}

// ---- Result grid ---------------------------------------------------------------------------------

namespace {

// A set-up grid on screen with a recording opener.
struct GridOnScreen {
    GridOnScreen() {
        grid.resize(676, 252);
        grid.setUpGrid();
        grid.setOpener([this](const QString& address) { opened.append(address); });
        grid.show();
    }
    // Appends segment rows with an address in each 搜索 cell, as a run writes them.
    void fill(int rows) {
        for (int r = 1; r <= rows; ++r) {
            grid.appendRow(QString::number(r), grid.rowCount());
            grid.setCellText(r, 1, QStringLiteral("第%1段").arg(r));
            grid.setCellNumber(r, 2, 0);
            grid.setCellText(r, 3, QStringLiteral("http://127.0.0.1/s?wd=%1").arg(r));
            grid.setCellTextColour(r, 3, r, 3, AddressColour);
        }
    }
    void click(int row, int column) {
        QTableWidget* table = grid.table();
        const QRect cell = table->visualRect(table->model()->index(row - 1, column - 1));
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell.center());
    }

    ResultGrid grid;
    QStringList opened;
};

} // namespace

void WidgetsTest::freshGrid() {
    GridOnScreen g;
    QCOMPARE(g.grid.rowCount(), 1);
    g.grid.clearGrid(); // a fresh grid stays as it is
    QCOMPARE(g.grid.rowCount(), 1);
    const QStringList headers{QStringLiteral("编号"), QStringLiteral("文本"), QStringLiteral("飘红"),
                              QStringLiteral("搜索")};
    const QList<int> widths{30, 300, 30, 250};
    for (int c = 0; c < 4; ++c) {
        QCOMPARE(g.grid.cellText(0, c), headers[c]);
        QCOMPARE(g.grid.columnWidth(c), widths[c]);
    }
    QTableWidget* table = g.grid.table();
    QCOMPARE(table->verticalHeader()->defaultSectionSize(), 24);
    QCOMPARE(table->selectionMode(), QAbstractItemView::SingleSelection);
    QCOMPARE(table->selectionBehavior(), QAbstractItemView::SelectItems);
    g.fill(1);
    QCOMPARE(table->verticalHeader()->sectionResizeMode(0), QHeaderView::Interactive);
    QCOMPARE(table->horizontalHeader()->sectionResizeMode(0), QHeaderView::Interactive);
    QCOMPARE(table->rowHeight(0), 24);
    QVERIFY(table->editTriggers() != QAbstractItemView::NoEditTriggers);
    // Selection colour 0xFF9933 is BGR: light blue #3399FF, with black text.
    QCOMPARE(table->palette().color(QPalette::Highlight), QColor(0x33, 0x99, 0xFF));
    QCOMPARE(table->palette().color(QPalette::HighlightedText), QColor(Qt::black));
    QVERIFY(table->styleSheet().contains(QStringLiteral("#c0c0c0")));
    QCOMPARE(g.grid.setColumnWidth(4, 10), false);
    QCOMPARE(g.grid.currentRow(), 0);
}

void WidgetsTest::gridRows() {
    GridOnScreen g;
    g.fill(25);
    QCOMPARE(g.grid.rowCount(), 26);
    QCOMPARE(g.grid.cellText(25, 0), QStringLiteral("25"));
    QCOMPARE(g.grid.cellText(25, 1), QStringLiteral("第25段"));
    QCOMPARE(g.grid.cellText(25, 2), QStringLiteral("0"));
    // Positions below 1 or not below the row count append; others insert.
    QVERIFY(g.grid.appendRow(QStringLiteral("end"), 0));
    QCOMPARE(g.grid.cellText(26, 0), QStringLiteral("end"));
    QVERIFY(g.grid.appendRow(QStringLiteral("inserted"), 2));
    QCOMPARE(g.grid.cellText(2, 0), QStringLiteral("inserted"));
    QCOMPARE(g.grid.cellText(3, 1), QStringLiteral("第2段"));
    QVERIFY(!g.grid.deleteRow(0));
    QVERIFY(!g.grid.deleteRow(28));
    QVERIFY(g.grid.deleteRow(2));
    QCOMPARE(g.grid.cellText(2, 1), QStringLiteral("第2段"));
    // Cells outside the grid are ignored.
    g.grid.setCellText(99, 1, QStringLiteral("x"));
    g.grid.setCellText(1, 4, QStringLiteral("x"));
    QCOMPARE(g.grid.cellText(99, 1), QString());

    g.grid.clearGrid();
    QCOMPARE(g.grid.rowCount(), 1);
    QCOMPARE(g.grid.cellText(0, 3), QStringLiteral("搜索"));
    QCOMPARE(g.grid.columnWidth(1), 300);
    // After a clear the next segment is row 1 again.
    g.fill(1);
    QCOMPARE(g.grid.rowCount(), 2);
    QCOMPARE(g.grid.cellText(1, 0), QStringLiteral("1"));
}

void WidgetsTest::gridColours_data() {
    QTest::addColumn<QList<int>>("rectangle"); // first row, first column, last row, last column
    QTest::addColumn<QList<int>>("coloured");  // cells that turn red, as row * 10 + column
    QTest::newRow("one cell") << QList<int>{2, 3, 2, 3} << QList<int>{23};
    QTest::newRow("last indices lowered to the grid") << QList<int>{3, 2, 99, 99} << QList<int>{32, 33};
    QTest::newRow("negative first index: nothing") << QList<int>{-1, 1, 2, 2} << QList<int>{};
    QTest::newRow("last before first: nothing") << QList<int>{2, 2, 1, 2} << QList<int>{};
    QTest::newRow("header row and column") << QList<int>{0, 0, 1, 1} << QList<int>{0, 1, 10, 11};
}

void WidgetsTest::gridColours() {
    QFETCH(QList<int>, rectangle);
    QFETCH(QList<int>, coloured);
    GridOnScreen g;
    g.fill(3);
    for (int r = 1; r <= 3; ++r)
        g.grid.setCellTextColour(r, 3, r, 3, 0); // black again, as a start
    g.grid.setCellTextColour(rectangle[0], rectangle[1], rectangle[2], rectangle[3], 0x0000FF);
    for (int r = 0; r < g.grid.rowCount(); ++r) {
        for (int c = 0; c < 4; ++c) {
            const unsigned expected = coloured.contains(r * 10 + c) ? 0x0000FF : 0;
            QCOMPARE(g.grid.cellTextColour(r, c), expected);
        }
    }
}

void WidgetsTest::gridClick_data() {
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("cellText"); // written into the clicked 搜索 cell first, when not null
    QTest::addColumn<bool>("opens");
    QTest::newRow("address") << 2 << 3 << QString() << true;
    QTest::newRow("https address") << 2 << 3 << QStringLiteral("https://127.0.0.1/web?query=x") << true;
    QTest::newRow("text column") << 2 << 1 << QString() << false;
    QTest::newRow("hits column") << 2 << 2 << QString() << false;
    // A row finished early has an empty 搜索 cell.
    QTest::newRow("empty address cell") << 2 << 3 << QStringLiteral("") << false;
    // The user may edit a cell: only web addresses ever reach the browser.
    QTest::newRow("edited to a local file") << 2 << 3 << QStringLiteral("file:///etc/passwd") << false;
    QTest::newRow("edited to a program") << 2 << 3 << QStringLiteral("calc.exe") << false;
    QTest::newRow("edited to another address") << 2 << 3 << QStringLiteral("http://127.0.0.1/edited") << true;
}

void WidgetsTest::gridClick() {
    QFETCH(int, row);
    QFETCH(int, column);
    QFETCH(QString, cellText);
    QFETCH(bool, opens);
    GridOnScreen g;
    g.fill(3);
    if (!cellText.isNull())
        g.grid.setCellText(row, 3, cellText);
    const QString address = g.grid.cellText(row, 3);
    const unsigned colourBefore = g.grid.cellTextColour(row, 3);

    g.click(row, column);
    QCOMPARE(g.grid.currentRow(), row);
    QCOMPARE(g.grid.currentColumn(), column);
    if (opens) {
        QCOMPARE(g.opened, QStringList{address});
        QCOMPARE(g.grid.cellTextColour(row, 3), OpenedAddressColour);
        // A second click opens it again; it stays purple.
        g.click(row, column);
        QCOMPARE(g.opened, (QStringList{address, address}));
        QCOMPARE(g.grid.cellTextColour(row, 3), OpenedAddressColour);
    } else {
        QCOMPARE(g.opened, QStringList());
        QCOMPARE(g.grid.cellTextColour(row, 3), colourBefore);
    }
    // The other rows keep their colour.
    QCOMPARE(g.grid.cellTextColour(row == 1 ? 2 : 1, 3), AddressColour);
}

// ---- Settings window -----------------------------------------------------------------------------

void WidgetsTest::normalise_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("plain") << QStringLiteral("38") << QStringLiteral("38");
    QTest::newRow("zero is empty") << QStringLiteral("0") << QString();
    QTest::newRow("minus zero is empty") << QStringLiteral("-0") << QString();
    QTest::newRow("no digits") << QStringLiteral("abc") << QString();
    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("trailing letters") << QStringLiteral("12abc") << QStringLiteral("12");
    QTest::newRow("negative") << QStringLiteral("-5") << QStringLiteral("-5");
    QTest::newRow("plus sign") << QStringLiteral("+7") << QStringLiteral("7");
    QTest::newRow("leading white space") << QStringLiteral(" \t 42") << QStringLiteral("42");
    QTest::newRow("leading zeros") << QStringLiteral("007") << QStringLiteral("7");
    QTest::newRow("sign after space, then junk") << QStringLiteral("  -3x9") << QStringLiteral("-3");
    QTest::newRow("above 32 bits") << QStringLiteral("99999999999") << QStringLiteral("2147483647");
    QTest::newRow("below 32 bits") << QStringLiteral("-99999999999") << QStringLiteral("-2147483648");
    QTest::newRow("above 64 bits") << QStringLiteral("123456789012345678901234567890") << QStringLiteral("2147483647");
    QTest::newRow("32-bit edge") << QStringLiteral("2147483647") << QStringLiteral("2147483647");
    QTest::newRow("full-width digits are not digits here") << QStringLiteral("３８") << QString();
    QTest::newRow("sign alone") << QStringLiteral("-") << QString();
}

void WidgetsTest::normalise() {
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(normaliseInteger(text), expected);
}

namespace {

struct SettingsOnScreen {
    SettingsOnScreen() : window(path()) {
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
    }
    std::string path() const { return QDir(dir.path()).filePath(QString::fromUtf8(SettingsFileName)).toStdString(); }
    IntegerEdit* box(const char* name) const { return window.findChild<IntegerEdit*>(QString::fromUtf8(name)); }
    QString read(const char* key) const {
        return QString::fromUtf8(gbkToUtf8(readSetting(path(), utf8ToGbk(key), utf8ToGbk("missing"))));
    }

    QTemporaryDir dir;
    SettingsWindow window;
};

} // namespace

void WidgetsTest::settingsDesign() {
    SettingsOnScreen s;
    QCOMPARE(s.window.windowTitle(), QStringLiteral("参数设置"));
    QVERIFY(s.window.isModal());
    QCOMPARE(s.window.frameGeometry().size(), QSize(405, 242));
    QCOMPARE(s.window.minimumSize(), s.window.maximumSize());
    QVERIFY(!(s.window.windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(!(s.window.windowFlags() & Qt::WindowMinimizeButtonHint));
    const QRect screen = s.window.screen()->geometry();
    QCOMPARE(s.window.frameGeometry().center(), QRect(screen.topLeft(), QSize(405, 242))
                                                    .translated((screen.width() - 405) / 2, (screen.height() - 242) / 2)
                                                    .center());

    struct Control {
        const char* name;
        QRect geometry;
        const char* text;
    };
    const Control controls[] = {
        {"标签1", {24, 40, 104, 24}, "分段文本字数设置"},
        {"编辑框_段落数", {136, 32, 24, 32}, "38"},
        {"标签2", {176, 40, 176, 24}, "百度的查询限制在36个汉字以内"},
        {"标签3", {24, 80, 104, 24}, "飘红计数字数设置"},
        {"编辑框_飘红检测数", {136, 72, 24, 32}, "12"},
        {"标签4", {176, 72, 176, 32}, "至少多少个字连续出现，才算飘红，此值越小，原创精确度越高"},
        {"标签5", {24, 120, 104, 24}, "最后一段字数设置"},
        {"编辑框_最后段字数", {136, 120, 24, 32}, "5"},
        {"标签6", {176, 120, 176, 32}, "最后一段小于此值，则不计入原创度算法。"},
        {"按钮_保存参数", {232, 168, 80, 32}, "保存"},
    };
    for (const Control& c : controls) {
        QWidget* widget = s.window.findChild<QWidget*>(QString::fromUtf8(c.name));
        QVERIFY2(widget, c.name);
        QCOMPARE(widget->geometry(), c.geometry);
        QString text;
        if (auto* label = qobject_cast<QLabel*>(widget))
            text = label->text();
        else if (auto* edit = qobject_cast<QLineEdit*>(widget))
            text = edit->text();
        else if (auto* button = qobject_cast<QPushButton*>(widget))
            text = button->text();
        QCOMPARE(text, QString::fromUtf8(c.text));
    }
    const QColor red(0xFF, 0, 0);
    for (const char* name : {"标签2", "标签4", "标签6"})
        QCOMPARE(s.window.findChild<QLabel*>(QString::fromUtf8(name))->palette().color(QPalette::WindowText), red);
}

void WidgetsTest::integerTyping() {
    SettingsOnScreen s;
    IntegerEdit* box = s.box("编辑框_段落数");
    box->setFocus();
    box->selectAll();
    QTest::keyClicks(box, QStringLiteral("a1b-2 c3."));
    QKeyEvent chinese(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QStringLiteral("中"));
    QApplication::sendEvent(box, &chinese);
    QCOMPARE(box->text(), QStringLiteral("1-23"));
    QTest::keyClick(box, Qt::Key_Backspace);
    QCOMPARE(box->text(), QStringLiteral("1-2"));
    // A popup menu over the box (its context menu) does not count as leaving it.
    QMenu menu;
    menu.addAction(QStringLiteral("x"));
    menu.popup(box->mapToGlobal(QPoint(2, 2)));
    QVERIFY(QTest::qWaitForWindowExposed(&menu));
    QCOMPARE(box->text(), QStringLiteral("1-2"));
    menu.close();
    QTRY_VERIFY(box->hasFocus());
    // Leaving the box normalises it.
    s.box("编辑框_飘红检测数")->setFocus();
    QCOMPARE(box->text(), QStringLiteral("1"));
}

void WidgetsTest::integerPaste_data() {
    QTest::addColumn<QString>("pasted");
    QTest::addColumn<QString>("afterLeaving");
    QTest::newRow("trailing letters") << QStringLiteral("12abc") << QStringLiteral("12");
    QTest::newRow("too large") << QStringLiteral("99999999999") << QStringLiteral("2147483647");
    QTest::newRow("negative") << QStringLiteral("-5") << QStringLiteral("-5");
    QTest::newRow("zero") << QStringLiteral("0") << QString();
}

void WidgetsTest::integerPaste() {
    QFETCH(QString, pasted);
    QFETCH(QString, afterLeaving);
    SettingsOnScreen s;
    IntegerEdit* box = s.box("编辑框_最后段字数");
    box->setFocus();
    box->selectAll();
    QGuiApplication::clipboard()->setText(pasted);
    QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(box->text(), pasted); // pasting is not filtered
    s.box("编辑框_段落数")->setFocus();
    QCOMPARE(box->text(), afterLeaving);
}

void WidgetsTest::settingsSave() {
    SettingsOnScreen s;
    // "0" typed and the save pressed: the box loses the focus, turns empty, and the key is written
    // with an empty value.
    IntegerEdit* segment = s.box("编辑框_段落数");
    segment->setFocus();
    segment->selectAll();
    QTest::keyClicks(segment, QStringLiteral("0"));
    auto* save = s.window.findChild<QPushButton*>(QStringLiteral("按钮_保存参数"));
    QTest::mouseClick(save, Qt::LeftButton);
    QCOMPARE(segment->text(), QString());
    QCOMPARE(s.read("段落字数"), QString());
    QCOMPARE(s.read("飘红检测数"), QStringLiteral("12"));
    QCOMPARE(s.read("最后段字数"), QStringLiteral("5"));
    // A first save creates the file with the three keys in the order of the boxes.
    QFile file(QString::fromStdString(s.path()));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QCOMPARE(QString::fromUtf8(gbkToUtf8(GbkText(bytes.constData(), static_cast<std::size_t>(bytes.size())))),
             QStringLiteral("[原创检测配置]\r\n段落字数=\r\n飘红检测数=12\r\n最后段字数=5\r\n"));
    QVERIFY(s.window.isVisible()); // the save keeps the window open

    // Saving again writes the boxes as they stand now.
    s.box("编辑框_飘红检测数")->setText(QStringLiteral("30"));
    s.window.saveSettings();
    QCOMPARE(s.read("飘红检测数"), QStringLiteral("30"));
    QCOMPARE(readCheckSettings(s.path()).highlightMinimum, 30);

    // A new window shows the design values again, and saving writes them back.
    SettingsWindow again(s.path());
    again.saveSettings();
    QCOMPARE(s.read("段落字数"), QStringLiteral("38"));
    QCOMPARE(s.read("飘红检测数"), QStringLiteral("12"));
}

GUI_TEST_MAIN(WidgetsTest)
#include "widgets_test.moc"
