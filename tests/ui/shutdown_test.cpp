// Closing the main window while runs are under way. The window stops the process's network for good
// when it closes, so each case runs in a process of its own (see CMakeLists.txt).

#include "gui_test_support.h"

#include "config/check_settings.h"
#include "ui/main_window.h"

#include <QCheckBox>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>

#include <atomic>
#include <memory>

namespace {

QString article() {
    return QStringLiteral("春天的早晨空气清新，鸟儿在枝头欢快地歌唱").repeated(5);
}

} // namespace

class ShutdownTest : public QObject {
    Q_OBJECT
private slots:
    void closeWhileBlockBoxOpen();
    void closeWhileQuerying();

private:
    std::unique_ptr<MainWindow> makeWindow(const std::string& host, const QTemporaryDir& dir);
};

std::unique_ptr<MainWindow> ShutdownTest::makeWindow(const std::string& host, const QTemporaryDir& dir) {
    MainWindowOptions options; // the real network stop
    for (EngineProfile& profile : options.profiles)
        profile.searchHost = host;
    options.settingsPath = QDir(dir.path()).filePath(QString::fromUtf8(SettingsFileName)).toStdString();
    options.opener = [](const QString&) {
    };
    options.advertAddress = QStringLiteral("about:blank");
    auto window = std::make_unique<MainWindow>(std::move(options));
    window->findChild<QPlainTextEdit*>(QStringLiteral("编辑框_待检测原创度内容"))->setPlainText(article());
    window->show();
    return window;
}

void ShutdownTest::closeWhileBlockBoxOpen() {
    QTemporaryDir dir;
    // Every engine gets an empty page: each run asks its block question.
    LocalServer server([](const httplib::Request&, httplib::Response& response) {
        response.set_content("", "text/html; charset=utf-8");
    });
    auto window = makeWindow(server.host(), dir);
    QTest::mouseClick(window->findChild<QPushButton*>(QStringLiteral("按钮_检测")), Qt::LeftButton);
    auto openBoxes = [&window] {
        QList<QPointer<QMessageBox>> boxes;
        for (QMessageBox* box : window->findChildren<QMessageBox*>())
            if (box->isVisible())
                boxes.append(box);
        return boxes;
    };
    QTRY_COMPARE(openBoxes().size(), 4);
    const auto boxes = openBoxes();

    QVERIFY(window->close());
    // The boxes go with the window, and no run asks anything any more.
    for (const auto& box : boxes)
        QVERIFY(!box || !box->isVisible());
    QTest::qWait(100);
    QCOMPARE(openBoxes().size(), 0);
    window.reset();    // joins the run threads, which have all been answered Cancel
    QTest::qWait(100); // anything a run still queued would land here
}

void ShutdownTest::closeWhileQuerying() {
    QTemporaryDir dir;
    Gate gate;
    std::atomic<int> received{0};
    std::atomic<int> answered{0};
    // The server takes every request and answers only when the gate opens.
    LocalServer server([&](const httplib::Request&, httplib::Response& response) {
        ++received;
        gate.pass();
        response.set_content("<em>x</em>", "text/html; charset=utf-8");
        ++answered;
    });
    // Whatever happens below, the handlers are let go before the server stops.
    struct OpenOnExit {
        Gate& gate;
        ~OpenOnExit() { gate.open(); }
    } openOnExit{gate};
    auto window = makeWindow(server.host(), dir);
    auto* start = window->findChild<QPushButton*>(QStringLiteral("按钮_检测"));
    QTest::mouseClick(start, Qt::LeftButton);
    // All four runs are waiting for their first page.
    QTRY_COMPARE(received.load(), 4);
    QCOMPARE(window->runThreadCount(), 4);

    QVERIFY(window->close());
    window.reset(); // the runs end without their pages: none waits for the server
    QCOMPARE(answered.load(), 0);
    QTest::qWait(100); // anything a run still queued would land here
}

GUI_TEST_MAIN(ShutdownTest)
#include "shutdown_test.moc"
