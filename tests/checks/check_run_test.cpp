// Whole check runs against a local HTTP server that plays the engines: rows, hits and values,
// blocks and refusals, failures of the network, and runs side by side.

#include "checks_test_support.h"

#include "checks/check_run.h"
#include "checks/engine_profile.h"
#include "text/codepage.h"

#include <gtest/gtest.h>

#include <poll.h>

#include <atomic>
#include <future>
#include <set>

namespace {

using namespace std::chrono_literals;

const EngineId AllEngines[] = {EngineId::Baidu, EngineId::Google, EngineId::So360, EngineId::Sogou};

const EngineProfile& profileOf(EngineId id) {
    return engineProfiles()[static_cast<std::size_t>(id)];
}

// One run with its own counter, segments of `length` characters.
RunOutcome runOnce(const EngineProfile& profile, FakeWindow& window, std::optional<int> length = 10,
                   const std::string& settingsPath = {}) {
    RunCounter counter;
    counter.add(1);
    const RunOutcome outcome = checkRun(profile, settingsPath, window, counter, length);
    EXPECT_EQ(counter.active(), 0);
    return outcome;
}

// A fragment of the segment that is too short to count (five characters) and one of eight
// characters that the segment does not hold: a page with highlights and no hit.
std::vector<std::string> missHighlights(const std::string& segment) {
    return {leadingChars(segment, 5), "相关网页来源示例"};
}

Reply page(EngineId engine, const std::vector<std::string>& highlights) {
    return Reply{200, "text/html; charset=utf-8", resultsPage(engine, highlights), {}};
}

// Every segment whose index is in `hitSegments` gets one hit (its first six characters are
// highlighted); the others get highlights that are no hit.
EngineScript scoringScript(const TestArticle& article, std::set<int> hitSegments) {
    return [article, hitSegments](const EngineQuery& q) -> Reply {
        if (!q.engine) {
            return Reply{404, "text/plain", "no such page", {}};
        }
        const int i = article.indexOf(q.text);
        EXPECT_GE(i, 0) << "a query for no segment of the article: " << q.target;
        if (i < 0) {
            return Reply{404, "text/plain", "no such segment", {}};
        }
        auto highlights = missHighlights(article.segments[static_cast<std::size_t>(i)]);
        if (hitSegments.count(i)) {
            highlights.push_back(leadingChars(article.segments[static_cast<std::size_t>(i)], 6));
        }
        return page(*q.engine, highlights);
    };
}

// Checks that row r holds the segment's number and text and nothing else.
void expectBareRow(const GridRow& row, int number, const std::string& segmentUtf8) {
    EXPECT_TRUE(row.onlyNumberAndText()) << "row " << number << " has " << row.cells.size() << " cells";
    EXPECT_EQ(row.cells.at(0), intToText(number));
    EXPECT_EQ(row.cells.at(1), gbk(segmentUtf8));
}

void expectFullRow(const GridRow& row, int number, const std::string& segmentUtf8, int hits, const GbkText& address) {
    ASSERT_EQ(row.cells.size(), 4u) << "row " << number;
    EXPECT_EQ(row.cells.at(0), intToText(number));
    EXPECT_EQ(row.cells.at(1), gbk(segmentUtf8));
    EXPECT_EQ(row.cells.at(2), intToText(hits));
    EXPECT_EQ(row.cells.at(3), address);
    EXPECT_EQ(row.colours.at(3), AddressColour);
}

// ---- Rows and values ----------------------------------------------------------------------

TEST(CheckRun, ScoresWholeArticles) {
    struct Case {
        EngineId engine;
        int segments;
        std::set<int> hitSegments;
        const char* caption;
        const char* grade;
    };
    const Case cases[] = {
        {EngineId::Baidu, 3, {0}, "66.67%", "已经合格，有待提升"},
        {EngineId::Google, 3, {0, 2}, "33.33%", "别灰心额，还需努力"},
        {EngineId::Sogou, 8, {0, 1, 2, 3, 4, 5, 6}, "12.5%", "别灰心额，还需努力"},
        {EngineId::So360, 5, {}, "100%", "你乃神人，此文原创"},
        {EngineId::Baidu, 5, {0, 1, 2, 3, 4}, "0%", "别灰心额，还需努力"},
        {EngineId::Sogou, 20, {7}, "95%", "非常不错，挑战满分"},
    };
    for (const Case& c : cases) {
        const TestArticle article(c.segments, 10);
        FakeEngines engines(scoringScript(article, c.hitSegments));
        const EngineProfile profile = engines.profile(c.engine);
        SCOPED_TRACE(profile.key + " " + c.caption);
        FakeWindow window(article.text());

        EXPECT_EQ(runOnce(profile, window), RunOutcome::Scored);

        const auto rows = window.rows(profile.grid);
        ASSERT_EQ(rows.size(), article.segments.size());
        for (int i = 0; i < c.segments; ++i) {
            const std::string& segment = article.segments[static_cast<std::size_t>(i)];
            expectFullRow(rows[static_cast<std::size_t>(i)], i + 1, segment, c.hitSegments.count(i) ? 1 : 0,
                          buildQueryAddress(profile, gbk(segment), profile.pagesPerSegment));
        }
        EXPECT_EQ(window.label(profile.valueLabel), c.caption);
        EXPECT_EQ(window.hint(profile.valueLabel), gbk(c.grade));
        EXPECT_EQ(window.label(std::string(CharCountLabel)), intToText(c.segments * 10));
        EXPECT_EQ(window.startStates(), (std::vector<bool>{false, true}));
        EXPECT_EQ(engines.queries().size(), static_cast<std::size_t>(c.segments * profile.pagesPerSegment));
        EXPECT_TRUE(window.questions().empty());
    }
}

// The run's steps in order: value label emptied, start button disabled, article read, count
// written, grid cleared, then rows; the start button comes back last.
TEST(CheckRun, StepsInOrder) {
    const TestArticle article(1, 10);
    FakeEngines engines(scoringScript(article, {}));
    const EngineProfile profile = engines.profile(EngineId::Baidu);
    FakeWindow window(article.text());
    runOnce(profile, window);
    const std::vector<std::string> expected = {"setLabelText " + profile.valueLabel,
                                               "disableStart",
                                               "articleText",
                                               "setLabelText " + std::string(CharCountLabel),
                                               "clearGrid " + profile.grid,
                                               "appendRow " + profile.grid,
                                               "setLabelText " + profile.valueLabel,
                                               "enableStart"};
    EXPECT_EQ(window.log(), expected);
}

TEST(CheckRun, So360QueriesTwoPagesAndKeepsTheSecondAddress) {
    const TestArticle article(2, 10);
    // The same hit on both pages counts twice.
    FakeEngines engines([&article](const EngineQuery& q) {
        const std::string& segment = article.segments[static_cast<std::size_t>(article.indexOf(q.text))];
        return page(EngineId::So360, {leadingChars(segment, 6), "相关网页来源示例"});
    });
    const EngineProfile profile = engines.profile(EngineId::So360);
    FakeWindow window(article.text());
    EXPECT_EQ(runOnce(profile, window), RunOutcome::Scored);

    const auto rows = window.rows(profile.grid);
    ASSERT_EQ(rows.size(), 2u);
    for (int i = 0; i < 2; ++i) {
        const GbkText address = buildQueryAddress(profile, gbk(article.segments[static_cast<std::size_t>(i)]), 2);
        EXPECT_TRUE(address.ends_with("&pn=2"));
        expectFullRow(rows[static_cast<std::size_t>(i)], i + 1, article.segments[static_cast<std::size_t>(i)], 2,
                      address);
    }
    const auto queries = engines.queries();
    ASSERT_EQ(queries.size(), 4u);
    const int pages[] = {1, 2, 1, 2};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(queries[i].page, pages[i]);
        EXPECT_EQ(queries[i].text, article.segments[i / 2]);
    }
    EXPECT_EQ(window.label(profile.valueLabel), "0%");
}

// 360 Search asks after each page: an empty first page asks, and after OK the second page counts;
// a first page with content and an empty second one asks nothing; two empty pages ask twice and,
// answered OK, leave the row bare and the segment not original.
TEST(CheckRun, So360BlockTestAfterEachPage) {
    struct Case {
        const char* name;
        bool firstEmpty;
        bool secondEmpty;
        int questions;
        std::optional<int> hits; // none: the row stays bare
        const char* caption;
    };
    const Case cases[] = {
        {"empty first page", true, false, 1, 1, "0%"},
        {"empty second page", false, true, 0, 1, "0%"},
        {"both empty", true, true, 2, std::nullopt, "0%"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const TestArticle article(1, 10);
        FakeEngines engines([&](const EngineQuery& q) {
            const bool empty = q.page == 1 ? c.firstEmpty : c.secondEmpty;
            return empty ? Reply{200, "text/html", "", {}}
                         : page(EngineId::So360, {leadingChars(article.segments[0], 6)});
        });
        const EngineProfile profile = engines.profile(EngineId::So360);
        FakeWindow window(article.text());
        EXPECT_EQ(runOnce(profile, window), RunOutcome::Scored);
        EXPECT_EQ(window.questions().size(), static_cast<std::size_t>(c.questions));
        EXPECT_EQ(engines.queries().size(), 2u);
        const auto rows = window.rows(profile.grid);
        ASSERT_EQ(rows.size(), 1u);
        if (c.hits) {
            expectFullRow(rows[0], 1, article.segments[0], *c.hits,
                          buildQueryAddress(profile, gbk(article.segments[0]), 2));
        } else {
            expectBareRow(rows[0], 1, article.segments[0]);
        }
        EXPECT_EQ(window.label(profile.valueLabel), c.caption);
    }
}

// Each occurrence of a fragment counts; fragments under 12 bytes and fragments the segment does
// not hold do not.
TEST(CheckRun, HitsCountEachOccurrenceOfALongEnoughFragment) {
    const TestArticle article(1, 10);
    const std::string& segment = article.segments[0];
    const std::string six = leadingChars(segment, 6);
    FakeEngines engines([&](const EngineQuery&) {
        return page(EngineId::Baidu, {six, leadingChars(segment, 5), six, "相关网页来源示例", six, segment});
    });
    const EngineProfile profile = engines.profile(EngineId::Baidu);
    FakeWindow window(article.text());
    runOnce(profile, window);
    const auto rows = window.rows(profile.grid);
    ASSERT_EQ(rows.size(), 1u);
    expectFullRow(rows[0], 1, segment, 4, buildQueryAddress(profile, gbk(segment), 1));
    EXPECT_EQ(window.label(profile.valueLabel), "0%");
}

// A page without any highlight: Baidu, Google and Sogou leave the row bare and the segment not
// original; 360 Search writes 0 and the address and counts it original.
TEST(CheckRun, PageWithoutHighlights) {
    for (EngineId id : AllEngines) {
        const TestArticle article(2, 10);
        FakeEngines engines([](const EngineQuery& q) { return page(*q.engine, {}); });
        const EngineProfile profile = engines.profile(id);
        SCOPED_TRACE(profile.key);
        FakeWindow window(article.text());
        EXPECT_EQ(runOnce(profile, window), RunOutcome::Scored);
        const auto rows = window.rows(profile.grid);
        ASSERT_EQ(rows.size(), 2u);
        for (int i = 0; i < 2; ++i) {
            const std::string& segment = article.segments[static_cast<std::size_t>(i)];
            if (profile.countPageWithoutHighlight) {
                expectFullRow(rows[static_cast<std::size_t>(i)], i + 1, segment, 0,
                              buildQueryAddress(profile, gbk(segment), profile.pagesPerSegment));
            } else {
                expectBareRow(rows[static_cast<std::size_t>(i)], i + 1, segment);
            }
        }
        EXPECT_EQ(window.label(profile.valueLabel), id == EngineId::So360 ? "100%" : "0%");
        EXPECT_TRUE(window.questions().empty());
    }
}

// ---- Encodings ------------------------------------------------------------------------------

TEST(CheckRun, PagesAreReadInTheirDeclaredEncoding) {
    struct Case {
        const char* name;
        EngineId engine;
        bool gbBody;
        const char* contentType;
        bool blocked;
    };
    const Case cases[] = {
        {"baidu utf-8", EngineId::Baidu, false, "text/html; charset=utf-8", false},
        {"baidu gbk page declaring its charset", EngineId::Baidu, true, "text/html; charset=GBK", false},
        {"baidu gbk page without charset", EngineId::Baidu, true, "text/html", true},
        {"sogou gb18030 declared", EngineId::Sogou, true, "text/html;charset=gb18030", false},
        {"google gb2312 page declaring its charset", EngineId::Google, true, "text/html; charset=GB2312", false},
        {"google gb2312 page without charset", EngineId::Google, true, "text/html", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const TestArticle article(1, 10);
        FakeEngines engines([&](const EngineQuery& q) {
            const std::string body = resultsPage(*q.engine, {leadingChars(article.segments[0], 6)});
            return Reply{200, c.contentType, c.gbBody ? gbk(body) : body, {}};
        });
        const EngineProfile profile = engines.profile(c.engine);
        FakeWindow window(article.text());
        window.answerWith({false});
        const RunOutcome outcome = runOnce(profile, window);
        const auto rows = window.rows(profile.grid);
        ASSERT_EQ(rows.size(), 1u);
        if (c.blocked) {
            EXPECT_EQ(outcome, RunOutcome::Cancelled);
            ASSERT_EQ(window.questions().size(), 1u);
            EXPECT_EQ(window.questions()[0].first, profile.blockMessage);
            expectBareRow(rows[0], 1, article.segments[0]);
        } else {
            EXPECT_EQ(outcome, RunOutcome::Scored);
            EXPECT_TRUE(window.questions().empty());
            expectFullRow(rows[0], 1, article.segments[0], 1, buildQueryAddress(profile, gbk(article.segments[0]), 1));
        }
    }
}

TEST(CheckRun, BodyThatIsNotUtf8IsABlock) {
    const TestArticle article(1, 10);
    FakeEngines engines([](const EngineQuery&) {
        return Reply{200, "text/html", "<html><em>\xFF\xFE\xE4\xB8</em></html>", {}};
    });
    for (EngineId id : AllEngines) {
        const EngineProfile profile = engines.profile(id);
        SCOPED_TRACE(profile.key);
        FakeWindow window(article.text());
        window.answerWith({false});
        EXPECT_EQ(runOnce(profile, window), RunOutcome::Cancelled);
        EXPECT_EQ(window.questions().size(), 1u);
    }
}

// ---- Network failures -----------------------------------------------------------------------

TEST(CheckRun, RefusedConnectionIsABlock) {
    const TestArticle article(2, 10);
    const std::string host = "127.0.0.1:" + std::to_string(closedPort());
    for (EngineId id : AllEngines) {
        EngineProfile profile = profileOf(id);
        profile.searchHost = host;
        SCOPED_TRACE(profile.key);
        FakeWindow window(article.text());
        window.setLabelText(profile.valueLabel, "50%"); // from an earlier run
        window.answerWith({false});
        EXPECT_EQ(runOnce(profile, window), RunOutcome::Cancelled);
        ASSERT_EQ(window.questions().size(), 1u);
        EXPECT_EQ(window.questions()[0], std::make_pair(profile.blockMessage, profile.blockTitle));
        const auto rows = window.rows(profile.grid);
        ASSERT_EQ(rows.size(), 1u);
        expectBareRow(rows[0], 1, article.segments[0]);
        EXPECT_EQ(window.label(profile.valueLabel), "");
        const GbkText address = buildQueryAddress(profile, gbk(article.segments[0]), 1);
        EXPECT_EQ(window.opened(), profile.openOnCancel ? std::vector<GbkText>{address} : std::vector<GbkText>{});
        EXPECT_EQ(window.startStates().back(), true);
    }
}

// A server that accepts, reads the request, sends `prefix` and then stays silent until it drops
// the connection after `hold`. The fetch's own stall limit is far longer; dropping the connection
// is how a stalled server usually ends, and it must end as a block rather than as a page.
class StallingServer {
public:
    StallingServer(std::string prefix, std::chrono::milliseconds hold) : prefix_(std::move(prefix)), hold_(hold) {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof(address);
        if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&address), size) != 0 || ::listen(fd_, 8) != 0 ||
            ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
            ADD_FAILURE() << "cannot listen on 127.0.0.1";
            return;
        }
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { serve(); });
    }
    ~StallingServer() {
        stop_ = true;
        if (thread_.joinable()) {
            thread_.join();
        }
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    std::string host() const { return "127.0.0.1:" + std::to_string(port_); }
    int connections() const { return connections_; }

private:
    void serve() {
        while (!stop_) {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0) {
                continue;
            }
            const int client = ::accept(fd_, nullptr, nullptr);
            if (client < 0) {
                continue;
            }
            ++connections_;
            char buffer[4096];
            pollfd c{client, POLLIN, 0};
            if (::poll(&c, 1, 2000) > 0) {
                [[maybe_unused]] auto n = ::recv(client, buffer, sizeof(buffer), 0);
            }
            if (!prefix_.empty()) {
                [[maybe_unused]] auto n = ::send(client, prefix_.data(), prefix_.size(), MSG_NOSIGNAL);
            }
            const auto until = std::chrono::steady_clock::now() + hold_;
            while (!stop_ && std::chrono::steady_clock::now() < until) {
                std::this_thread::sleep_for(20ms);
            }
            ::close(client);
        }
    }

    std::string prefix_;
    std::chrono::milliseconds hold_;
    int fd_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<int> connections_{0};
    std::thread thread_;
};

TEST(CheckRun, StalledServerEndsAsABlock) {
    const TestArticle article(1, 10);
    const std::string body = resultsPage(EngineId::Baidu, {leadingChars(article.segments[0], 6)});
    struct Case {
        const char* name;
        std::string prefix;
    };
    const Case cases[] = {
        {"says nothing", ""},
        {"headers and half the body", "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\nContent-Length: " +
                                          std::to_string(body.size()) + "\r\n\r\n" + body.substr(0, body.size() / 2)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StallingServer server(c.prefix, 1500ms);
        EngineProfile profile = profileOf(EngineId::Baidu);
        profile.searchHost = server.host();
        FakeWindow window(article.text());
        window.answerWith({false});
        EXPECT_EQ(runOnce(profile, window), RunOutcome::Cancelled);
        EXPECT_EQ(window.questions().size(), 1u);
        EXPECT_EQ(server.connections(), 1);
    }
}

// ---- Refusals -------------------------------------------------------------------------------

// Sets an environment variable for the scope of a test and restores it.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            old_ = old;
        }
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() {
        if (old_) {
            ::setenv(name_, old_->c_str(), 1);
        } else {
            ::unsetenv(name_);
        }
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

// Each kind of refusal of each engine is answered with the block message, even when what came
// back would have passed for a results page.
TEST(CheckRun, RefusalsAreBlocks) {
    const TestArticle article(1, 10);
    const std::string six = leadingChars(article.segments[0], 6);
    struct Case {
        const char* name;
        EngineId engine;
        std::function<Reply(const EngineQuery&)> answer;
    };
    auto results = [six](EngineId e) {
        return resultsPage(e, {six});
    };
    auto fixture = [](int status, const char* file) {
        return Reply{status, "text/html; charset=utf-8", fixturePage(file), {}};
    };
    const Case cases[] = {
        {"baidu captcha page with status 200", EngineId::Baidu,
         [&](const EngineQuery&) {
             return fixture(200, "baidu-captcha.html");
         }},
        {"baidu 429 with a results page", EngineId::Baidu,
         [&](const EngineQuery&) {
             return Reply{429, "text/html; charset=utf-8", results(EngineId::Baidu), {}};
         }},
        {"baidu 503", EngineId::Baidu,
         [&](const EngineQuery&) {
             return Reply{503, "text/plain", "busy", {}};
         }},
        {"sogou redirect to /antispider/", EngineId::Sogou,
         [&](const EngineQuery& q) {
             return q.engine ? Reply{302, "", "", "/antispider/?from=%2Fweb%3Fquery%3Dx"}
                             : fixture(200, "sogou-antispider.html");
         }},
        {"sogou antispider page with status 200", EngineId::Sogou,
         [&](const EngineQuery&) {
             return fixture(200, "sogou-antispider.html");
         }},
        {"sogou 403 with a results page", EngineId::Sogou,
         [&](const EngineQuery&) {
             return Reply{403, "text/html; charset=utf-8", results(EngineId::Sogou), {}};
         }},
        {"google redirect to /sorry/ answered 429", EngineId::Google,
         [&](const EngineQuery& q) {
             return q.engine ? Reply{302, "", "", "/sorry/index?continue=x"} : fixture(429, "google-sorry.html");
         }},
        {"google redirect to /sorry/ answered 200 with bold text", EngineId::Google,
         [&](const EngineQuery& q) {
             return q.engine ? Reply{302, "", "", "/sorry/index?continue=x"}
                             : Reply{200, "text/html; charset=utf-8", results(EngineId::Google), {}};
         }},
        {"google unusual-traffic page with status 200", EngineId::Google,
         [&](const EngineQuery&) {
             return fixture(200, "google-sorry.html");
         }},
        {"google enablejs page", EngineId::Google,
         [&](const EngineQuery&) {
             return fixture(200, "google-enablejs.html");
         }},
        {"360 429 with a results page", EngineId::So360,
         [&](const EngineQuery&) {
             return Reply{429, "text/html; charset=utf-8", results(EngineId::So360), {}};
         }},
        {"360 503 with an empty body", EngineId::So360,
         [&](const EngineQuery&) {
             return Reply{503, "text/html", "", {}};
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeEngines engines(c.answer);
        const EngineProfile profile = engines.profile(c.engine);
        FakeWindow window(article.text());
        window.answerWith({false, false});
        EXPECT_EQ(runOnce(profile, window), RunOutcome::Cancelled);
        ASSERT_EQ(window.questions().size(), 1u);
        EXPECT_EQ(window.questions()[0], std::make_pair(profile.blockMessage, profile.blockTitle));
        expectBareRow(window.rows(profile.grid).at(0), 1, article.segments[0]);
        EXPECT_EQ(window.label(profile.valueLabel), "");
    }
}

// Baidu's captcha lives on another host. The test routes that host through the local server as an
// HTTP proxy (the fetch honours the standard proxy variables), which serves a page that would pass
// for results; the final host alone makes it a refusal.
TEST(CheckRun, BaiduRedirectToItsCaptchaHostIsABlock) {
    const TestArticle article(1, 10);
    const std::string six = leadingChars(article.segments[0], 6);
    std::atomic<int> captchaRequests{0};
    FakeEngines engines([&](const EngineQuery& q) {
        if (q.engine) {
            return Reply{302, "", "", "http://wappass.baidu.com/static/captcha/tuxing.html?ak=1"};
        }
        if (q.target.starts_with("http://wappass.baidu.com/")) {
            ++captchaRequests;
        }
        return page(EngineId::Baidu, {six});
    });
    const ScopedEnv proxy("http_proxy", "http://" + engines.host());
    const ScopedEnv direct("no_proxy", "127.0.0.1");
    const ScopedEnv directUpper("NO_PROXY", "127.0.0.1");

    const EngineProfile profile = engines.profile(EngineId::Baidu);
    FakeWindow window(article.text());
    window.answerWith({false});
    EXPECT_EQ(runOnce(profile, window), RunOutcome::Cancelled);
    EXPECT_EQ(captchaRequests, 1) << "the redirect reached the captcha host through the proxy";
    EXPECT_EQ(window.questions().size(), 1u);
    expectBareRow(window.rows(profile.grid).at(0), 1, article.segments[0]);
}

// ---- The block message ------------------------------------------------------------------------

// OK on every block: every segment gets its row, bare, and none is original, for every engine
// (360 Search included: a page that could not be had is no evidence of originality).
TEST(CheckRun, BlockAnsweredOkOnEverySegment) {
    const TestArticle article(3, 10);
    FakeEngines engines([](const EngineQuery&) { return Reply{200, "text/html", "", {}}; });
    for (EngineId id : AllEngines) {
        const EngineProfile profile = engines.profile(id);
        SCOPED_TRACE(profile.key);
        FakeWindow window(article.text());
        EXPECT_EQ(runOnce(profile, window), RunOutcome::Scored);
        EXPECT_EQ(window.questions().size(), static_cast<std::size_t>(3 * profile.pagesPerSegment));
        const auto rows = window.rows(profile.grid);
        ASSERT_EQ(rows.size(), 3u);
        for (int i = 0; i < 3; ++i) {
            expectBareRow(rows[static_cast<std::size_t>(i)], i + 1, article.segments[static_cast<std::size_t>(i)]);
        }
        EXPECT_EQ(window.label(profile.valueLabel), "0%");
        EXPECT_TRUE(window.opened().empty());
    }
}

// Cancel on the third segment's block: rows 1 and 2 complete, row 3 bare, no value, start button
// back; Sogou opens the third segment's address, the others open nothing.
TEST(CheckRun, BlockCancelledOnTheThirdSegment) {
    const TestArticle article(4, 10);
    FakeEngines engines([&article](const EngineQuery& q) {
        const int i = article.indexOf(q.text);
        if (i == 2) {
            return Reply{200, "text/html", "", {}};
        }
        return page(*q.engine, {leadingChars(article.segments[static_cast<std::size_t>(i)], 6)});
    });
    for (EngineId id : AllEngines) {
        const EngineProfile profile = engines.profile(id);
        SCOPED_TRACE(profile.key);
        FakeWindow window(article.text());
        // 360 Search asks after each of the third segment's two pages; Cancel on the second.
        window.answerWith(id == EngineId::So360 ? std::vector<bool>{true, false} : std::vector<bool>{false});
        EXPECT_EQ(runOnce(profile, window), RunOutcome::Cancelled);
        const auto rows = window.rows(profile.grid);
        ASSERT_EQ(rows.size(), 3u);
        for (int i = 0; i < 2; ++i) {
            const std::string& segment = article.segments[static_cast<std::size_t>(i)];
            expectFullRow(rows[static_cast<std::size_t>(i)], i + 1, segment, id == EngineId::So360 ? 2 : 1,
                          buildQueryAddress(profile, gbk(segment), profile.pagesPerSegment));
        }
        expectBareRow(rows[2], 3, article.segments[2]);
        EXPECT_EQ(window.label(profile.valueLabel), "");
        EXPECT_EQ(window.hint(profile.valueLabel), "");
        EXPECT_EQ(window.startStates(), (std::vector<bool>{false, true}));
        const GbkText third = buildQueryAddress(profile, gbk(article.segments[2]), profile.pagesPerSegment);
        EXPECT_EQ(window.opened(), id == EngineId::Sogou ? std::vector<GbkText>{third} : std::vector<GbkText>{});
    }
}

// ---- Articles without text and the segment length ---------------------------------------------

TEST(CheckRun, EmptyArticleShowsTheMessageAndLeavesTheGrid) {
    FakeEngines engines([](const EngineQuery& q) { return page(*q.engine, {}); });
    const EngineProfile profile = engines.profile(EngineId::Baidu);
    FakeWindow window{GbkText{}};
    EXPECT_EQ(runOnce(profile, window), RunOutcome::EmptyArticle);
    ASSERT_EQ(window.messages().size(), 1u);
    EXPECT_EQ(window.messages()[0], std::make_pair(gbk("请拷贝待检测文章"), gbk("提示")));
    const std::vector<std::string> expected = {"setLabelText " + profile.valueLabel, "disableStart", "articleText",
                                               "showMessage", "enableStart"};
    EXPECT_EQ(window.log(), expected);
    EXPECT_TRUE(engines.queries().empty());
}

// An article of ASCII only passes the empty test but prepares to nothing: the count shows 0, the
// grid is cleared, nothing is queried and there is no value (0 of 0 has none).
TEST(CheckRun, ArticleWithoutChineseTextHasNoScore) {
    FakeEngines engines([](const EngineQuery& q) { return page(*q.engine, {}); });
    for (EngineId id : AllEngines) {
        const EngineProfile profile = engines.profile(id);
        SCOPED_TRACE(profile.key);
        FakeWindow window(GbkText("An English article, 2024.\r\n"));
        window.setLabelText(profile.valueLabel, "50%");
        EXPECT_EQ(runOnce(profile, window), RunOutcome::NoText);
        EXPECT_EQ(window.label(std::string(CharCountLabel)), "0");
        EXPECT_EQ(window.label(profile.valueLabel), "");
        EXPECT_TRUE(window.rows(profile.grid).empty());
        const auto log = window.log();
        EXPECT_NE(std::find(log.begin(), log.end(), "clearGrid " + profile.grid), log.end());
        EXPECT_EQ(log.back(), "enableStart");
    }
    EXPECT_TRUE(engines.queries().empty());
}

// 段落字数 from the settings file: 0, negative, empty or not a number fall back to 38; above 38 is
// lowered to 38.
TEST(CheckRun, SegmentLengthFromTheSettingsFile) {
    struct Case {
        const char* value;
        int segments;
        int firstLength;
    };
    const Case cases[] = {{"38", 2, 38}, {"50", 2, 38}, {"20", 4, 20},  {"0", 2, 38},
                          {"-5", 2, 38}, {"", 2, 38},   {"abc", 2, 38}, {"１０", 8, 10}};
    const TestArticle article(1, 76);
    FakeEngines engines([](const EngineQuery& q) { return page(*q.engine, {}); });
    const EngineProfile profile = engines.profile(EngineId::Baidu);
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("段落字数=") + c.value);
        ScratchDir dir;
        FakeWindow window(article.text());
        EXPECT_EQ(runOnce(profile, window, std::nullopt, dir.settingsWithSegmentLength(c.value)), RunOutcome::Scored);
        const auto rows = window.rows(profile.grid);
        ASSERT_EQ(rows.size(), static_cast<std::size_t>(c.segments));
        EXPECT_EQ(rows[0].cells.at(1), gbk(poolText(0, c.firstLength)));
    }
    // Without a settings file the default applies.
    FakeWindow window(article.text());
    runOnce(profile, window, std::nullopt, "/nonexistent/配置.ini");
    EXPECT_EQ(window.rows(profile.grid).size(), 2u);
}

// ---- Runs side by side ------------------------------------------------------------------------

// Joins the threads and releases a held run on every way out of a test.
struct RunThreads {
    std::vector<std::thread> threads;
    std::function<void()> release;
    ~RunThreads() {
        if (release) {
            release();
        }
        for (auto& t : threads) {
            if (t.joinable()) {
                t.join();
            }
        }
    }
};

// The start button comes back only when the last run under way has ended, so no engine can be
// started again while its run still goes on.
TEST(CheckRun, StartButtonWaitsForTheLastRun) {
    const TestArticle article(2, 10);
    FakeEngines engines([&article](const EngineQuery& q) {
        if (q.engine == EngineId::Baidu) {
            return Reply{200, "text/html", "", {}};
        }
        return page(*q.engine, {leadingChars(article.segments[static_cast<std::size_t>(article.indexOf(q.text))], 6)});
    });
    FakeWindow window(article.text());
    RunCounter counter;
    std::promise<void> asked;
    std::promise<void> released;
    std::shared_future<void> release = released.get_future().share();
    std::once_flag askedOnce;
    window.onQuestion([&](const GbkText&) {
        std::call_once(askedOnce, [&] { asked.set_value(); });
        release.wait();
    });
    std::once_flag releaseOnce;
    RunThreads runs;
    runs.release = [&] {
        std::call_once(releaseOnce, [&] { released.set_value(); });
    };

    counter.add(2);
    std::atomic<RunOutcome> baidu{RunOutcome::NoText};
    std::atomic<RunOutcome> sogou{RunOutcome::NoText};
    runs.threads.emplace_back([&] { baidu = checkRun(engines.profile(EngineId::Baidu), {}, window, counter, 10); });
    ASSERT_EQ(asked.get_future().wait_for(20s), std::future_status::ready) << "Baidu's run never asked";

    runs.threads.emplace_back([&] { sogou = checkRun(engines.profile(EngineId::Sogou), {}, window, counter, 10); });
    runs.threads[1].join();
    EXPECT_EQ(sogou, RunOutcome::Scored);
    EXPECT_EQ(counter.active(), 1);
    EXPECT_EQ(window.startStates(), (std::vector<bool>{false, false})) << "Sogou's end must not enable the button";

    runs.release();
    runs.threads[0].join();
    EXPECT_EQ(baidu, RunOutcome::Scored);
    EXPECT_EQ(counter.active(), 0);
    EXPECT_EQ(window.startStates(), (std::vector<bool>{false, false, true}));
}

// Three engines at once: each engine's first query waits at the server until the other two have
// sent theirs, which only happens when the runs really proceed side by side.
TEST(CheckRun, ThreeEnginesRunAtOnce) {
    const TestArticle article(3, 10);
    std::mutex mutex;
    std::condition_variable arrived;
    std::set<EngineId> seen;
    std::atomic<bool> metTogether{true};
    auto score = scoringScript(article, {1});
    FakeEngines engines([&](const EngineQuery& q) {
        if (q.engine) {
            std::unique_lock lock(mutex);
            seen.insert(*q.engine);
            arrived.notify_all();
            if (!arrived.wait_for(lock, 15s, [&] { return seen.size() == 3; })) {
                metTogether = false;
            }
        }
        return score(q);
    });
    FakeWindow window(article.text());
    RunCounter counter;
    const EngineId ids[] = {EngineId::Baidu, EngineId::So360, EngineId::Sogou};
    counter.add(3);
    {
        RunThreads runs;
        for (EngineId id : ids) {
            runs.threads.emplace_back(
                [&, id] { EXPECT_EQ(checkRun(engines.profile(id), {}, window, counter, 10), RunOutcome::Scored); });
        }
    }
    EXPECT_TRUE(metTogether) << "the runs did not query at the same time";
    for (EngineId id : ids) {
        const EngineProfile profile = engines.profile(id);
        SCOPED_TRACE(profile.key);
        const auto rows = window.rows(profile.grid);
        ASSERT_EQ(rows.size(), 3u);
        for (int i = 0; i < 3; ++i) {
            const std::string& segment = article.segments[static_cast<std::size_t>(i)];
            // 360 Search finds the hit on both of its pages.
            expectFullRow(rows[static_cast<std::size_t>(i)], i + 1, segment, i == 1 ? profile.pagesPerSegment : 0,
                          buildQueryAddress(profile, gbk(segment), profile.pagesPerSegment));
        }
        EXPECT_EQ(window.label(profile.valueLabel), "66.67%");
    }
    const auto states = window.startStates();
    EXPECT_EQ(std::count(states.begin(), states.end(), true), 1);
    EXPECT_EQ(states.back(), true);
    EXPECT_EQ(counter.active(), 0);
}

} // namespace
