// Four check runs of 2,000 segments each against a local server that answers at once: the longest
// time the window's event loop went without running a 5 ms timer while the window showed the runs,
// and the total time beside the same four runs through a window interface that does nothing.
//
//   QT_QPA_PLATFORM=offscreen ui_bench [segments]
// With UI_BENCH_GAPS set, every gap over 25 ms is printed with its time.

#include "checks/check_run.h"
#include "null_window.h"
#include "text/codepage.h"
#include "ui/main_window.h"

#include <httplib.h>

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <thread>
#include <vector>

namespace {

// Answers every query at once with a small page holding one highlight found in no segment.
class InstantServer {
public:
    InstantServer() {
        server_.Get(".*", [this](const httplib::Request&, httplib::Response& response) {
            lastRequest_ = std::chrono::steady_clock::now().time_since_epoch().count();
            response.set_content("<html><em>与任何段落都不相同的文字</em>"
                                 "<!--red_beg-->与任何段落都不相同的文字<!--red_end-->"
                                 "<b>与任何段落都不相同的文字</b></html>",
                                 "text/html; charset=utf-8");
        });
        port_ = server_.bind_to_any_port("127.0.0.1");
        thread_ = std::thread([this] { server_.listen_after_bind(); });
        while (!server_.is_running())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ~InstantServer() {
        server_.stop();
        thread_.join();
    }
    std::string host() const { return "127.0.0.1:" + std::to_string(port_); }
    // When the latest request came in, as a steady_clock count.
    std::chrono::steady_clock::time_point lastRequest() const {
        return std::chrono::steady_clock::time_point(std::chrono::steady_clock::duration(lastRequest_.load()));
    }

private:
    std::atomic<std::chrono::steady_clock::rep> lastRequest_{0};
    httplib::Server server_;
    int port_ = 0;
    std::thread thread_;
};

// segments x 38 Chinese characters, varied so that no two segments are alike.
QString makeArticle(int segments) {
    const QString characters =
        QStringLiteral("天地玄黄宇宙洪荒日月盈昃辰宿列张寒来暑往秋收冬藏闰余成岁律吕调阳云腾致雨露结为霜"
                       "金生丽水玉出昆冈剑号巨阙珠称夜光果珍李柰菜重芥姜海咸河淡鳞潜羽翔");
    QString article;
    article.reserve(segments * 38);
    for (int i = 0; i < segments * 38; ++i)
        article.append(characters[(i * 7 + i / 38) % characters.size()]);
    return article;
}

std::array<EngineProfile, 4> profilesFor(const std::string& host) {
    std::array<EngineProfile, 4> profiles = engineProfiles();
    for (EngineProfile& profile : profiles)
        profile.searchHost = host;
    return profiles;
}

double runWithoutWindow(const std::array<EngineProfile, 4>& profiles, const std::string& settingsPath,
                        const GbkText& article) {
    QElapsedTimer clock;
    clock.start();
    RunCounter counter;
    counter.add(4);
    std::vector<std::thread> threads;
    for (const EngineProfile& profile : profiles) {
        threads.emplace_back([&profile, &settingsPath, &article, &counter] {
            NullWindow window(article);
            checkRun(profile, settingsPath, window, counter);
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    return static_cast<double>(clock.nsecsElapsed()) / 1e9;
}

double threadCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

struct WindowFigures {
    double seconds = 0;
    double windowCpuSeconds = 0;   // the window thread's processor time during the runs
    double lastRequestSeconds = 0; // when the runs sent their last query
    double longestGapMs = 0;
    int rows = 0;
};

WindowFigures runWithWindow(const std::array<EngineProfile, 4>& profiles, const std::string& settingsPath,
                            const QString& article, const InstantServer& server) {
    MainWindowOptions options;
    options.profiles = profiles;
    options.settingsPath = settingsPath;
    options.opener = [](const QString&) {
    };
    options.stopNetwork = [] {
    };
    options.advertAddress = QStringLiteral("about:blank");
    MainWindow window(std::move(options));
    window.findChild<QPlainTextEdit*>(QStringLiteral("编辑框_待检测原创度内容"))->setPlainText(article);
    window.showMaximized();
    for (int i = 0; i < 50; ++i) // let the window and its web view settle
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);

    WindowFigures figures;
    QElapsedTimer clock;
    QElapsedTimer sinceTick;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const double gap = static_cast<double>(sinceTick.nsecsElapsed()) / 1e6;
        if (qEnvironmentVariableIsSet("UI_BENCH_GAPS") && gap > 25)
            std::printf("gap %.1f ms at %.3f s\n", gap, static_cast<double>(clock.nsecsElapsed()) / 1e9);
        figures.longestGapMs = std::max(figures.longestGapMs, gap);
        sinceTick.restart();
    });

    QPushButton* start = window.startButton();
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (start->isEnabled())
            loop.quit();
    });
    const double cpuBefore = threadCpuSeconds();
    const auto began = std::chrono::steady_clock::now();
    clock.start();
    sinceTick.start();
    ticker.start(5);
    start->click();
    poll.start(20);
    loop.exec();
    figures.seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    figures.windowCpuSeconds = threadCpuSeconds() - cpuBefore;
    figures.lastRequestSeconds = std::chrono::duration<double>(server.lastRequest() - began).count();
    for (const EngineProfile& profile : profiles)
        figures.rows += window.grid(QString::fromUtf8(profile.grid.c_str()))->rowCount() - 1;
    return figures;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    const int segments = argc > 1 ? std::max(1, std::atoi(argv[1])) : 2000;

    InstantServer server;
    QTemporaryDir dir;
    const std::string settingsPath = dir.filePath(QStringLiteral("none.ini")).toStdString();
    const auto profiles = profilesFor(server.host());
    const QString article = makeArticle(segments);
    const QByteArray utf8 = article.toUtf8();
    const GbkText gbk = utf8ToGbk(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));

    // The machine may be shared: three rounds, each pair run back to back, and the medians.
    constexpr int Rounds = 3;
    std::vector<double> ratios;
    std::vector<double> gaps;
    std::printf("four runs of %d segments each; round: without a window / with the window shown "
                "(ratio), last query, window thread's processor time, longest event-loop gap\n",
                segments);
    for (int round = 1; round <= Rounds; ++round) {
        const double without = runWithoutWindow(profiles, settingsPath, gbk);
        const WindowFigures with = runWithWindow(profiles, settingsPath, article, server);
        ratios.push_back(with.seconds / without);
        gaps.push_back(with.longestGapMs);
        std::printf("  %d: %6.2f s / %6.2f s (%.2f x), last query %5.2f s, window busy %5.2f s, gap %6.1f ms "
                    "(%d rows)\n",
                    round, without, with.seconds, with.seconds / without, with.lastRequestSeconds,
                    with.windowCpuSeconds, with.longestGapMs, with.rows);
    }
    std::sort(ratios.begin(), ratios.end());
    std::sort(gaps.begin(), gaps.end());
    std::printf("median ratio %.2f x (goal: within 1.5 x); median longest gap %.1f ms, worst %.1f ms "
                "(5 ms timer; goal: under 50 ms)\n",
                ratios[Rounds / 2], gaps[Rounds / 2], gaps.back());
    return 0;
}
