// The simple page fetch and the transfer under it, against servers on 127.0.0.1.

#include "test_servers.h"
#include "web/http_transfer.h"
#include "web/page_fetch.h"
#include "web/web_request.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

using namespace webtest;

namespace {

TEST(FetchPage, SendsHttp10WithAcceptAndTheOldAgentOnly) {
    RawServer server([](const std::string&) {
        return RawResponse{rawResponse("HTTP/1.1 200 OK", "Content-Type: text/html; charset=GBK\r\n", "hello")};
    });
    const std::string url = server.origin() + "/s?wd=%D6%D0&rn=20";
    const FetchedPage page = fetchPage(url);
    EXPECT_EQ(page.body, "hello");
    EXPECT_EQ(page.status, 200);
    EXPECT_EQ(page.contentType, "text/html; charset=GBK");
    EXPECT_EQ(page.finalUrl, url);
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_EQ(server.requests()[0],
              "GET /s?wd=%D6%D0&rn=20 HTTP/1.0\r\nHost: 127.0.0.1:" + std::to_string(server.port()) +
                  "\r\nUser-Agent: " + SimpleFetchAgent + "\r\nAccept: */*\r\n\r\n");
}

TEST(FetchPage, FollowsRedirectsAndReportsTheFinalAddress) {
    HttpServer other;
    other.server().Get("/final", [](const httplib::Request&, httplib::Response& res) {
        res.set_content("done", "text/plain; charset=utf-8");
    });
    ASSERT_TRUE(other.start());
    HttpServer server;
    server.server().Get("/r1", [](const httplib::Request&, httplib::Response& res) { res.set_redirect("/r2", 302); });
    server.server().Get("/r2", [&](const httplib::Request&, httplib::Response& res) {
        res.set_redirect(other.origin() + "/final", 301);
    });
    ASSERT_TRUE(server.start());

    const FetchedPage page = fetchPage(server.origin() + "/r1");
    EXPECT_EQ(page.body, "done");
    EXPECT_EQ(page.status, 200);
    EXPECT_EQ(page.contentType, "text/plain; charset=utf-8");
    EXPECT_EQ(page.finalUrl, other.origin() + "/final");
}

TEST(FetchPage, ReturnsTheBodyWhateverTheStatus) {
    HttpServer server;
    server.server().Get(R"(/status/(\d+))", [](const httplib::Request& req, httplib::Response& res) {
        res.status = std::stoi(req.matches[1]);
        if (res.status != 500) {
            res.set_content("page " + std::string(req.matches[1]), "text/html");
        }
    });
    ASSERT_TRUE(server.start());
    struct Case {
        int status;
        Bytes body;
    };
    const Case cases[] = {{200, "page 200"}, {404, "page 404"}, {429, "page 429"}, {503, "page 503"}, {500, ""}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.status);
        const FetchedPage page = fetchPage(server.origin() + "/status/" + std::to_string(c.status));
        EXPECT_EQ(page.status, c.status);
        EXPECT_EQ(page.body, c.body);
    }
}

TEST(FetchPage, RefusedConnectionGivesNothing) {
    const FetchedPage page = fetchPage("http://127.0.0.1:" + std::to_string(refusedPort()) + "/s?wd=x");
    EXPECT_EQ(page.body, "");
    EXPECT_EQ(page.status, 0);
    EXPECT_EQ(page.contentType, "");
    EXPECT_EQ(page.finalUrl, "");
}

TEST(FetchPage, ReadsALargeBodyWhole) {
    std::string big(3u << 20, 'x');
    for (std::size_t i = 0; i < big.size(); i += 997) {
        big[i] = static_cast<char>('a' + i % 26);
    }
    HttpServer server;
    server.server().Get("/big", [&](const httplib::Request&, httplib::Response& res) {
        res.set_content(big, "application/octet-stream");
    });
    ASSERT_TRUE(server.start());
    EXPECT_EQ(fetchPage(server.origin() + "/big").body, big);
}

TEST(FetchPage, SharesCookiesBetweenFetches) {
    HttpServer server;
    server.server().Get("/shared/set", [](const httplib::Request&, httplib::Response& res) {
        res.set_header("Set-Cookie", "s1=v1; Path=/shared");
        res.set_content("set", "text/plain");
    });
    server.server().Get("/shared/echo", [](const httplib::Request& req, httplib::Response& res) {
        res.set_content(req.get_header_value("Cookie"), "text/plain");
    });
    ASSERT_TRUE(server.start());
    EXPECT_EQ(fetchPage(server.origin() + "/shared/echo").body, "");
    ASSERT_EQ(fetchPage(server.origin() + "/shared/set").body, "set");
    EXPECT_EQ(fetchPage(server.origin() + "/shared/echo").body, "s1=v1");
    // The request routine without its own cookies reads the same store, from another thread too.
    FetchedPage fromThread;
    std::thread([&] { fromThread = webRequestPage(server.origin() + "/shared/echo"); }).join();
    EXPECT_EQ(fromThread.body, "s1=v1");
}

TEST(FetchPage, HonoursTheProxyEnvironment) {
    RawServer proxy([](const std::string&) { return RawResponse{rawResponse("HTTP/1.1 200 OK", "", "proxied")}; });
    const std::string proxyUrl = "http://127.0.0.1:" + std::to_string(proxy.port());
    ::setenv("http_proxy", proxyUrl.c_str(), 1);
    const FetchedPage page = fetchPage("http://example.invalid/web?query=x");
    ::unsetenv("http_proxy");
    EXPECT_EQ(page.body, "proxied");
    ASSERT_EQ(proxy.requests().size(), 1u);
    EXPECT_EQ(requestLines(proxy.requests()[0])[0], "GET http://example.invalid/web?query=x HTTP/1.0");
}

TEST(FetchPage, ConcurrentFetchesFromFourThreads) {
    HttpServer server;
    server.server().Get(R"(/n/(\d+))", [](const httplib::Request& req, httplib::Response& res) {
        res.set_content("page " + std::string(req.matches[1]), "text/plain");
    });
    server.server().Get(R"(/c/(\d+)/set)", [](const httplib::Request& req, httplib::Response& res) {
        const std::string t = req.matches[1];
        res.set_header("Set-Cookie", "t" + t + "=" + t + "; Path=/c/" + t);
    });
    server.server().Get(R"(/c/(\d+)/echo)", [](const httplib::Request& req, httplib::Response& res) {
        res.set_content(req.get_header_value("Cookie"), "text/plain");
    });
    ASSERT_TRUE(server.start());

    constexpr int Threads = 4;
    constexpr int Fetches = 30;
    std::vector<int> failures(Threads, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < Threads; ++t) {
        threads.emplace_back([&, t] {
            const std::string base = server.origin();
            fetchPage(base + "/c/" + std::to_string(t) + "/set");
            for (int i = 0; i < Fetches; ++i) {
                const std::string n = std::to_string(t * 1000 + i);
                const Bytes body =
                    (i % 2 == 0) ? fetchPage(base + "/n/" + n).body : webRequestPage(base + "/n/" + n).body;
                failures[t] += body != "page " + n;
            }
            const std::string own = "t" + std::to_string(t) + "=" + std::to_string(t);
            failures[t] += fetchPage(base + "/c/" + std::to_string(t) + "/echo").body != own;
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    for (int t = 0; t < Threads; ++t) {
        EXPECT_EQ(failures[t], 0) << "thread " << t;
    }
}

// ---- The transfer's limits, with short timeouts ------------------------------------------------

HttpTransfer quickTransfer(const std::string& url) {
    HttpTransfer request;
    request.url = url;
    request.userAgent = "test";
    request.useSystemProxy = false;
    request.connectTimeoutSeconds = 2;
    request.stallTimeoutSeconds = 1;
    request.totalTimeoutSeconds = 60;
    return request;
}

TEST(HttpTransfer, AStalledServerEndsTheTransfer) {
    struct Case {
        const char* name;
        std::string sent; // what the server sends before it stops sending
    };
    const Case cases[] = {
        {"nothing at all", ""},
        {"headers only", "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n"},
        {"part of the body", "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nhalf a page"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RawServer server([&](const std::string&) { return RawResponse{c.sent, true}; });
        const auto started = std::chrono::steady_clock::now();
        const HttpResult result = performTransfer(quickTransfer(server.origin() + "/"));
        const auto seconds =
            std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - started).count();
        EXPECT_FALSE(result.ok);
        EXPECT_EQ(result.body, ""); // a partial page is not handed on as if it were whole
        EXPECT_EQ(result.status, 0);
        EXPECT_LT(seconds, 30) << "ended by the total limit, not by the stall limit";
    }
}

TEST(HttpTransfer, BodyCap) {
    const std::string body(2000, 'b');
    RawServer server([&](const std::string&) { return RawResponse{rawResponse("HTTP/1.1 200 OK", "", body)}; });
    HttpTransfer request = quickTransfer(server.origin() + "/");
    request.maxBodyBytes = 1999;
    HttpResult result = performTransfer(request);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.body, "");
    request.maxBodyBytes = 2000;
    result = performTransfer(request);
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(result.body, body);
}

TEST(HttpTransfer, RawHeadersOfTheFinalResponseWithCrLf) {
    RawServer server([](const std::string& request) {
        if (request.find("GET /first ") == 0) {
            return RawResponse{rawResponse("HTTP/1.1 302 Found", "Location: /last\r\nSet-Cookie: r=1\r\n", "")};
        }
        // Bare LF line ends, as some servers send them.
        return RawResponse{"HTTP/1.1 200 OK\nX-Last: 1\nContent-Length: 2\nConnection: close\n\nhi"};
    });
    const HttpResult result = performTransfer(quickTransfer(server.origin() + "/first"));
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(result.body, "hi");
    EXPECT_EQ(result.rawHeaders, "HTTP/1.1 200 OK\r\nX-Last: 1\r\nContent-Length: 2\r\nConnection: close\r\n\r\n");
}

TEST(HttpTransfer, RedirectsCanBeSwitchedOff) {
    RawServer server([](const std::string&) {
        return RawResponse{rawResponse("HTTP/1.1 302 Found", "Location: /elsewhere\r\n", "moved")};
    });
    HttpTransfer request = quickTransfer(server.origin() + "/here");
    request.followRedirects = false;
    const HttpResult result = performTransfer(request);
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(result.status, 302);
    EXPECT_EQ(result.body, "moved");
    EXPECT_EQ(server.requests().size(), 1u);
}

} // namespace
