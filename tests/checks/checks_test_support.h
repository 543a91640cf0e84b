#pragma once
// Helpers shared by the engine check tests: a local HTTP server that plays the four search engines,
// results pages shaped like theirs, a window that records what a run does to it, and articles
// whose segments are known in advance.

#include "checks/check_run.h"
#include "checks/engine_profile.h"
#include "config/check_settings.h"
#include "text/codepage.h"

#include <httplib.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

// Code page 936 bytes of a UTF-8 literal (this source file is UTF-8).
inline GbkText gbk(std::string_view utf8) {
    return utf8ToGbk(utf8);
}

inline std::string fixturePage(const std::string& name) {
    std::ifstream in(std::filesystem::path(PAGE_FIXTURE_DIR) / name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// ---- Articles --------------------------------------------------------------------------------

// 188 distinct Chinese characters (the first two rows of GB2312), so that every segment of a test
// article is different from every other and a fragment is found only in the segment it comes from.
inline constexpr std::string_view CharacterPool =
    "啊阿埃挨哎唉哀皑癌蔼矮艾碍爱隘鞍氨安俺按暗岸胺案肮昂盎凹敖熬翱袄傲奥懊澳芭捌扒叭吧笆八疤巴拔跋靶把耙坝"
    "霸罢爸白柏百摆佰败拜稗斑班搬扳般颁板版扮拌伴瓣半办绊邦帮梆榜膀绑棒磅蚌镑傍谤苞胞包褒剥薄雹保堡饱宝抱报"
    "暴豹鲍爆杯碑悲卑北辈背贝钡倍狈备惫焙被奔苯本笨崩绷甭泵蹦迸逼鼻比鄙笔彼碧蓖蔽毕毙毖币庇痹闭敝弊必辟壁臂"
    "避陛鞭边编贬扁便变卞辨辩辫遍标彪膘表鳖憋别瘪彬斌濒滨宾摈兵冰柄丙秉饼炳";

// `count` characters of the pool from character `first` on (wrapping around), as UTF-8.
inline std::string poolText(int first, int count) {
    constexpr int poolChars = static_cast<int>(CharacterPool.size() / 3);
    std::string out;
    for (int i = 0; i < count; ++i) {
        const int c = (first + i) % poolChars;
        out += CharacterPool.substr(static_cast<std::size_t>(c) * 3, 3);
    }
    return out;
}

// An article of `segments` segments of `length` characters each (the last may be shorter), all
// distinct, in UTF-8 and as the run will see them.
struct TestArticle {
    std::vector<std::string> segments; // UTF-8
    int length = 10;

    TestArticle(int count, int segmentLength, int lastLength = 0) : length(segmentLength) {
        for (int i = 0; i < count; ++i) {
            const int n = (i == count - 1 && lastLength > 0) ? lastLength : segmentLength;
            segments.push_back(poolText(i * segmentLength, n));
        }
    }
    std::string utf8() const {
        std::string out;
        for (const auto& s : segments) {
            out += s;
        }
        return out;
    }
    GbkText text() const { return gbk(utf8()); }
    // The index of the segment a query asks for, -1 when none.
    int indexOf(const std::string& queryUtf8) const {
        for (std::size_t i = 0; i < segments.size(); ++i) {
            if (segments[i] == queryUtf8) {
                return static_cast<int>(i);
            }
        }
        return -1;
    }
};

// The first n characters of a UTF-8 text of Chinese characters.
inline std::string leadingChars(const std::string& utf8, int n) {
    return utf8.substr(0, static_cast<std::size_t>(n) * 3);
}

// ---- Results pages ---------------------------------------------------------------------------

// A results page in the engine's shape (UTF-8): one result entry per highlight, the highlight in
// the engine's markup inside a title, and other markup around it (links, spans, a source line, an
// advertisement without highlights).
inline std::string resultsPage(EngineId engine, const std::vector<std::string>& highlights) {
    auto mark = [engine](const std::string& h) -> std::string {
        switch (engine) {
        case EngineId::Baidu:
        case EngineId::So360:
            return "<em>" + h + "</em>";
        case EngineId::Sogou:
            return "<em><!--red_beg-->" + h + "<!--red_end--></em>";
        case EngineId::Google:
            return "<b>" + h + "</b>";
        }
        return h;
    };
    std::string page = "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>相关网页</title></head><body>\n"
                       "<div id=\"content_left\" class=\"results\">\n";
    int n = 0;
    for (const std::string& h : highlights) {
        ++n;
        const std::string id = std::to_string(n);
        switch (engine) {
        case EngineId::Baidu:
            page += "<div class=\"result c-container new-pmd\" id=\"" + id +
                    "\" tpl=\"www_index\">\n <h3 class=\"t\"><a "
                    "href=\"http://www.baidu.com/link?url=R" +
                    id + "\"><span class=\"tts-b-hl\"><!--s-text-->相关" + mark(h) +
                    "网页<!--/s-text--></span></a></h3>\n <span class=\"summary-text\">来源示例…</span></div>\n";
            break;
        case EngineId::So360:
            page += "<li class=\"res-list\"><h3 class=\"res-title\"><a href=\"https://www.so.com/link?m=E" + id +
                    "\" data-res='{\"tp\":12}'>" + mark(h) +
                    "相关</a></h3>\n <p class=\"res-desc\">来源示例</p></li>\n";
            break;
        case EngineId::Sogou:
            page += "<div class=\"vrwrap\"><h3 class=\"vr-title\"><a target=\"_blank\" href=\"/link?url=S" + id +
                    "\">相关" + mark(h) +
                    "</a></h3>\n <div class=\"fz-mid\">来源示例</div><cite>example.org</cite></div>\n";
            break;
        case EngineId::Google:
            page += "<div class=\"g\"><a href=\"/url?q=https://example.org/" + id +
                    "\"><h3 class=\"LC20lb\">相关网页</h3></a>\n <div class=\"VwiC3b\"><span>来源" + mark(h) +
                    "示例</span></div><cite>example.org</cite></div>\n";
            break;
        }
    }
    page += "<div class=\"ad\"><a href=\"http://e.example/ad\">广告</a><span>推广</span></div>\n"
            "<!-- ResultListViewEnd -->\n</div></body></html>\n";
    return page;
}

// ---- A local HTTP server -------------------------------------------------------------------

// A cpp-httplib server on 127.0.0.1 at a free port, listening on its own thread. Routes are set up
// by the callback before it starts; it is stopped and joined on destruction, whatever happened.
class LocalServer {
public:
    explicit LocalServer(const std::function<void(httplib::Server&)>& routes) {
        routes(server_);
        port_ = server_.bind_to_any_port("127.0.0.1");
        if (port_ <= 0) {
            ADD_FAILURE() << "cannot bind a port on 127.0.0.1";
            return;
        }
        thread_ = std::thread([this] { server_.listen_after_bind(); });
        for (int i = 0; i < 500 && !server_.is_running(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        EXPECT_TRUE(server_.is_running());
    }
    ~LocalServer() {
        server_.stop();
        if (thread_.joinable()) {
            thread_.join();
        }
    }
    LocalServer(const LocalServer&) = delete;
    LocalServer& operator=(const LocalServer&) = delete;

    int port() const { return port_; }
    std::string host() const { return "127.0.0.1:" + std::to_string(port_); }

private:
    httplib::Server server_;
    int port_ = -1;
    std::thread thread_;
};

// A port on 127.0.0.1 that nothing listens on: bound without listening, then released, so a
// connection to it is refused.
inline int closedPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof(address);
    int port = 0;
    if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0) {
        port = ntohs(address.sin_port);
    }
    if (fd >= 0) {
        ::close(fd);
    }
    return port;
}

// ---- The four engines on the local server ---------------------------------------------------

struct EngineQuery {
    std::optional<EngineId> engine; // none for a path that is not an engine's search path
    std::string text;               // the decoded query as UTF-8 (Baidu and Google send GBK)
    int page = 1;                   // 360 Search's pn
    std::string path;
    std::string target; // path and query as received
};

struct Reply {
    int status = 200;
    std::string contentType = "text/html; charset=utf-8";
    std::string body;
    std::string location; // answered as a redirect (status 302 unless status says otherwise)
};

using EngineScript = std::function<Reply(const EngineQuery&)>;

// Serves /s (Baidu's wd, 360 Search's q), /web (Sogou) and /search (Google), and every other path,
// through one script; records every request.
class FakeEngines {
public:
    explicit FakeEngines(EngineScript script)
        : script_(std::move(script)), server_([this](httplib::Server& s) {
              s.Get(".*", [this](const httplib::Request& req, httplib::Response& res) { answer(req, res); });
          }) {}

    // The engine's profile pointed at this server.
    EngineProfile profile(EngineId engine) const {
        EngineProfile p = engineProfiles()[static_cast<std::size_t>(engine)];
        p.searchHost = server_.host();
        return p;
    }
    std::string host() const { return server_.host(); }
    std::vector<EngineQuery> queries() const {
        std::lock_guard lock(mutex_);
        return queries_;
    }
    std::vector<EngineQuery> queries(EngineId engine) const {
        std::vector<EngineQuery> out;
        for (const auto& q : queries()) {
            if (q.engine == engine) {
                out.push_back(q);
            }
        }
        return out;
    }

private:
    void answer(const httplib::Request& req, httplib::Response& res) {
        EngineQuery query;
        query.path = req.path;
        query.target = req.target;
        auto param = [&req](const char* name) {
            return req.get_param_value(name);
        };
        if (req.path == "/s" && req.has_param("wd")) {
            query.engine = EngineId::Baidu;
            query.text = gbkToUtf8(param("wd"));
        } else if (req.path == "/s" && req.has_param("q")) {
            query.engine = EngineId::So360;
            query.text = param("q");
            query.page = std::atoi(param("pn").c_str());
        } else if (req.path == "/web") {
            query.engine = EngineId::Sogou;
            query.text = param("query");
        } else if (req.path == "/search") {
            query.engine = EngineId::Google;
            query.text = gbkToUtf8(param("q"));
        }
        {
            std::lock_guard lock(mutex_);
            queries_.push_back(query);
        }
        const Reply reply = script_(query);
        if (!reply.location.empty()) {
            res.status = reply.status == 200 ? 302 : reply.status;
            res.set_header("Location", reply.location);
        } else {
            res.status = reply.status;
        }
        if (!reply.body.empty() || reply.location.empty()) {
            res.set_content(reply.body, reply.contentType.c_str());
        }
    }

    EngineScript script_;
    mutable std::mutex mutex_;
    std::vector<EngineQuery> queries_;
    LocalServer server_; // last: stopped before the script and the log go away
};

// ---- A window that records ------------------------------------------------------------------

struct GridRow {
    std::map<int, GbkText> cells; // column -> text; a number is kept as its decimal text
    std::map<int, unsigned> colours;
    bool onlyNumberAndText() const { return cells.size() == 2 && cells.count(0) && cells.count(1); }
};

// Records what runs do to the window; answers block questions from a script (OK when the script
// has run out). Thread-safe, so several runs may share it.
class FakeWindow : public RunWindow {
public:
    explicit FakeWindow(GbkText article = {}) : article_(std::move(article)) {}

    // Answers to the block questions, in order; OK once they run out.
    void answerWith(std::vector<bool> answers) {
        std::lock_guard lock(mutex_);
        answers_ = std::move(answers);
    }
    // Called with each question before it is answered (e.g. to hold a run inside it).
    void onQuestion(std::function<void(const GbkText& title)> hook) {
        std::lock_guard lock(mutex_);
        questionHook_ = std::move(hook);
    }

    GbkText articleText() override {
        std::lock_guard lock(mutex_);
        log_.push_back("articleText");
        return article_;
    }
    void setLabelText(std::string_view label, const GbkText& text) override {
        std::lock_guard lock(mutex_);
        labels_[std::string(label)] = text;
        log_.push_back("setLabelText " + std::string(label));
    }
    void setLabelHint(std::string_view label, const GbkText& hint) override {
        std::lock_guard lock(mutex_);
        hints_[std::string(label)] = hint;
    }
    void setStartEnabled(bool enabled) override {
        std::lock_guard lock(mutex_);
        startStates_.push_back(enabled);
        log_.push_back(enabled ? "enableStart" : "disableStart");
    }
    void clearGrid(std::string_view grid) override {
        std::lock_guard lock(mutex_);
        grids_[std::string(grid)].clear();
        log_.push_back("clearGrid " + std::string(grid));
    }
    void appendRow(std::string_view grid, int row, const GbkText& heading) override {
        std::lock_guard lock(mutex_);
        auto& rows = grids_[std::string(grid)];
        EXPECT_EQ(row, static_cast<int>(rows.size()) + 1) << "rows are appended at the end";
        rows.push_back(GridRow{{{0, heading}}, {}});
        log_.push_back("appendRow " + std::string(grid));
    }
    void setCellText(std::string_view grid, int row, int column, const GbkText& text) override {
        std::lock_guard lock(mutex_);
        cell(grid, row).cells[column] = text;
    }
    void setCellNumber(std::string_view grid, int row, int column, int value) override {
        std::lock_guard lock(mutex_);
        cell(grid, row).cells[column] = intToText(value);
    }
    void setCellTextColour(std::string_view grid, int row, int column, unsigned colour) override {
        std::lock_guard lock(mutex_);
        cell(grid, row).colours[column] = colour;
    }
    void showMessage(const GbkText& text, const GbkText& title) override {
        std::lock_guard lock(mutex_);
        messages_.push_back({text, title});
        log_.push_back("showMessage");
    }
    bool askOkCancel(const GbkText& text, const GbkText& title) override {
        std::function<void(const GbkText&)> hook;
        {
            std::lock_guard lock(mutex_);
            questions_.push_back({text, title});
            hook = questionHook_;
        }
        if (hook) {
            hook(title);
        }
        std::lock_guard lock(mutex_);
        const std::size_t index = questions_.size() - 1;
        const bool ok = index < answers_.size() ? answers_[index] : true;
        log_.push_back(ok ? "answer OK" : "answer Cancel");
        return ok;
    }
    void openAddress(const GbkText& address) override {
        std::lock_guard lock(mutex_);
        opened_.push_back(address);
        log_.push_back("openAddress");
    }

    // What was recorded.
    std::vector<GridRow> rows(const std::string& grid) const {
        std::lock_guard lock(mutex_);
        auto it = grids_.find(grid);
        return it == grids_.end() ? std::vector<GridRow>{} : it->second;
    }
    std::optional<GbkText> label(const std::string& name) const {
        std::lock_guard lock(mutex_);
        auto it = labels_.find(name);
        return it == labels_.end() ? std::nullopt : std::optional<GbkText>(it->second);
    }
    GbkText hint(const std::string& name) const {
        std::lock_guard lock(mutex_);
        auto it = hints_.find(name);
        return it == hints_.end() ? GbkText{} : it->second;
    }
    std::vector<bool> startStates() const {
        std::lock_guard lock(mutex_);
        return startStates_;
    }
    std::vector<std::pair<GbkText, GbkText>> questions() const {
        std::lock_guard lock(mutex_);
        return questions_;
    }
    std::vector<std::pair<GbkText, GbkText>> messages() const {
        std::lock_guard lock(mutex_);
        return messages_;
    }
    std::vector<GbkText> opened() const {
        std::lock_guard lock(mutex_);
        return opened_;
    }
    std::vector<std::string> log() const {
        std::lock_guard lock(mutex_);
        return log_;
    }

private:
    GridRow& cell(std::string_view grid, int row) {
        auto& rows = grids_[std::string(grid)];
        if (row < 1 || row > static_cast<int>(rows.size())) {
            ADD_FAILURE() << "a cell of row " << row << " that was never appended";
            rows.resize(static_cast<std::size_t>(std::max(row, 1)));
        }
        return rows[static_cast<std::size_t>(row - 1)];
    }

    mutable std::mutex mutex_;
    GbkText article_;
    std::vector<bool> answers_;
    std::function<void(const GbkText&)> questionHook_;
    std::map<std::string, std::vector<GridRow>> grids_;
    std::map<std::string, GbkText> labels_;
    std::map<std::string, GbkText> hints_;
    std::vector<bool> startStates_;
    std::vector<std::pair<GbkText, GbkText>> messages_;
    std::vector<std::pair<GbkText, GbkText>> questions_;
    std::vector<GbkText> opened_;
    std::vector<std::string> log_;
};

// A scratch directory, removed with everything in it at the end of the test.
class ScratchDir {
public:
    ScratchDir() {
        char pattern[] = "/tmp/checks-test-XXXXXX";
        const char* made = mkdtemp(pattern);
        EXPECT_NE(made, nullptr);
        path_ = made ? made : "/tmp";
    }
    ~ScratchDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const std::filesystem::path& path() const { return path_; }

    // A settings file whose 段落字数 line holds value (code page 936, CR LF), returning its path.
    std::string settingsWithSegmentLength(const std::string& valueUtf8) const {
        const auto file = path_ / SettingsFileName;
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out << gbk("[原创检测配置]\r\n段落字数=" + valueUtf8 + "\r\n飘红检测数=12\r\n最后段字数=5\r\n");
        return file.string();
    }

private:
    std::filesystem::path path_;
};
