// The request routine against real servers on 127.0.0.1 that record what they receive.

#include "test_servers.h"
#include "web/page_fetch.h"
#include "web/web_request.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

using namespace webtest;

namespace {

using Lines = std::vector<std::string>;

const std::string StandardLines[] = {"Accept: */*", "Accept-Language: zh-cn",
                                     "Content-Type: application/x-www-form-urlencoded"};

std::string defaultAgentLine() {
    return std::string("User-Agent: ") + WebRequestDefaultAgent;
}

RawResponse ok(const std::string& body, const std::string& headers = {}) {
    return {rawResponse("HTTP/1.1 200 OK", headers, body)};
}

std::string pathOf(const std::string& request) {
    const auto from = request.find(' ') + 1;
    return request.substr(from, request.find(' ', from) - from);
}

bool hasLineStarting(const Lines& lines, const std::string& prefix) {
    for (const std::string& line : lines) {
        if (line.rfind(prefix, 0) == 0) {
            return true;
        }
    }
    return false;
}

TEST(WebRequest, AddressAloneSendsTheFourComposedLinesInOrder) {
    RawServer server([](const std::string&) { return ok("body", "X-Test: 1\r\n"); });
    const std::string url = server.origin() + "/a/B?c=1";
    GbkText headers, rawHeaders;
    const Bytes body =
        webRequest(url, 0, {}, nullptr, nullptr, &headers, nullptr, false, nullptr, nullptr, &rawHeaders);

    EXPECT_EQ(body, "body");
    ASSERT_EQ(server.requests().size(), 1u);
    const Lines expected = {"GET /a/B?c=1 HTTP/1.1", "Host: 127.0.0.1:" + std::to_string(server.port()),
                            defaultAgentLine(),      "Referer: " + url,
                            StandardLines[0],        StandardLines[1],
                            StandardLines[2]};
    EXPECT_EQ(requestLines(server.requests()[0]), expected);
    EXPECT_EQ(headers, "Referer: " + url +
                           "\r\nAccept: */*\r\nAccept-Language: zh-cn\r\n"
                           "Content-Type: application/x-www-form-urlencoded");
    EXPECT_EQ(rawHeaders, "HTTP/1.1 200 OK\r\nX-Test: 1\r\nContent-Length: 4\r\nConnection: close\r\n\r\n");
}

TEST(WebRequest, AddressGoesOutAsWrittenWithUnsendableBytesEscaped) {
    RawServer server([](const std::string&) { return ok("x"); });
    struct Case {
        std::string path;
        std::string requestLine;
    };
    const Case cases[] = {
        {"/A/../b/./C?Q=1", "GET /A/../b/./C?Q=1 HTTP/1.1"},             // no normalising, letter case kept
        {"/\xD6\xD0 x?w=\xD6\xD0", "GET /%D6%D0%20x?w=%D6%D0 HTTP/1.1"}, // GBK bytes and a space
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.requestLine);
        EXPECT_EQ(webRequest(server.origin() + c.path), "x");
        EXPECT_EQ(requestLines(server.requests().back())[0], c.requestLine);
    }
}

TEST(WebRequest, CallerHeaderLines) {
    struct Case {
        const char* name;
        GbkText headers;
        Lines sent; // after the request line and Host; "{url}" stands for the address
    };
    const Case cases[] = {
        // "Referer:" is looked for case-sensitively, so a lower-case line gets a second one.
        {"lower-case referer",
         "referer: x",
         {defaultAgentLine(), "referer: x", "Referer: {url}", StandardLines[0], StandardLines[1], StandardLines[2]}},
        // The agent line is looked for without regard to case, and goes out as the caller wrote it.
        {"lower-case user-agent",
         "user-agent: Foo",
         {"user-agent: Foo", "Referer: {url}", StandardLines[0], StandardLines[1], StandardLines[2]}},
        {"accept and agent given",
         "Accept: a\r\nUser-Agent: Foo",
         {"Accept: a", "User-Agent: Foo", "Referer: {url}", StandardLines[1], StandardLines[2]}},
        {"everything given",
         "Referer: r\r\nAccept: a\r\nAccept-Language: en\r\nContent-Type: t",
         {defaultAgentLine(), "Referer: r", "Accept: a", "Accept-Language: en", "Content-Type: t"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RawServer server([](const std::string&) { return ok("x"); });
        const std::string url = server.origin() + "/h";
        GbkText headers = c.headers;
        EXPECT_EQ(webRequest(url, 0, {}, nullptr, nullptr, &headers), "x");
        ASSERT_EQ(server.requests().size(), 1u);
        Lines expected = {"GET /h HTTP/1.1", "Host: 127.0.0.1:" + std::to_string(server.port())};
        for (std::string line : c.sent) {
            if (const auto at = line.find("{url}"); at != std::string::npos) {
                line.replace(at, 5, url);
            }
            expected.push_back(line);
        }
        EXPECT_EQ(requestLines(server.requests()[0]), expected);
    }
}

TEST(WebRequest, PostBodies) {
    struct Case {
        const char* name;
        GbkText postText;
        Bytes postBytes;
        Bytes sentBody;
    };
    const Case cases[] = {
        {"text when the bytes are empty", "q=1&w=%D6%D0", "", "q=1&w=%D6%D0"},
        {"bytes take precedence, zero bytes included", "ignored", std::string("a\0b", 3), std::string("a\0b", 3)},
        {"nothing to send", "", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RawServer server([](const std::string&) { return ok("posted"); });
        const std::string url = server.origin() + "/form";
        Bytes postBytes = c.postBytes;
        EXPECT_EQ(webRequest(url, 1, c.postText, nullptr, nullptr, nullptr, nullptr, false, &postBytes), "posted");
        ASSERT_EQ(server.requests().size(), 1u);
        const std::string request = server.requests()[0];
        const Lines expected = {"POST /form HTTP/1.1", "Host: 127.0.0.1:" + std::to_string(server.port()),
                                defaultAgentLine(),    "Referer: " + url,
                                StandardLines[0],      StandardLines[1],
                                StandardLines[2],      "Content-Length: " + std::to_string(c.sentBody.size())};
        EXPECT_EQ(requestLines(request), expected);
        EXPECT_EQ(requestBody(request), c.sentBody);
        EXPECT_EQ(postBytes, c.sentBody); // the caller's empty buffer takes the text that was sent
    }
}

TEST(WebRequest, SuppliedCookiesReplaceTheSystemStore) {
    RawServer server([](const std::string& request) {
        const std::string path = pathOf(request);
        if (path == "/store/set") {
            return ok("set", "Set-Cookie: stored=1; Path=/store\r\n");
        }
        return ok("echo", "Set-Cookie: fresh=2; Path=/store\r\nSet-Cookie: other=3; Path=/store\r\n");
    });
    const std::string origin = server.origin();
    ASSERT_EQ(fetchPage(origin + "/store/set").body, "set"); // puts stored=1 into the system store

    // Supplied but empty: no Cookie line at all, and the response's cookies come back merged.
    GbkText cookies, newCookies;
    EXPECT_EQ(webRequest(origin + "/store/echo", 0, {}, &cookies, &newCookies), "echo");
    ASSERT_EQ(server.requests().size(), 2u);
    EXPECT_FALSE(hasLineStarting(requestLines(server.requests()[1]), "Cookie:"));
    EXPECT_EQ(cookies, "fresh=2; other=3");
    EXPECT_EQ(newCookies, "fresh=2;other=3"); // mergeCookies removed the spaces

    // The store neither lent its cookie nor took the response's.
    fetchPage(origin + "/store/echo");
    ASSERT_EQ(server.requests().size(), 3u);
    const Lines storeRequest = requestLines(server.requests()[2]);
    EXPECT_TRUE(hasLineStarting(storeRequest, "Cookie: stored=1"));
    EXPECT_FALSE(hasLineStarting(storeRequest, "Cookie: stored=1;"));

    // Without supplied cookies the routine uses the same store as the page fetch.
    webRequest(origin + "/store/echo");
    ASSERT_EQ(server.requests().size(), 4u);
    EXPECT_TRUE(hasLineStarting(requestLines(server.requests()[3]), "Cookie: "));
}

TEST(WebRequest, SuppliedCookiesAreSentAndMerged) {
    RawServer server([](const std::string&) { return ok("m", "Set-Cookie: b=3; path=/\r\n"); });
    GbkText cookies = "a=1; b=2";
    GbkText newCookies;
    EXPECT_EQ(webRequest(server.origin() + "/merge", 0, {}, &cookies, &newCookies), "m");
    ASSERT_EQ(server.requests().size(), 1u);
    const Lines lines = requestLines(server.requests()[0]);
    EXPECT_EQ(lines.back(), "Cookie: a=1; b=2");
    EXPECT_EQ(cookies, "b=3; a=1");
    EXPECT_EQ(newCookies, "b=3");
}

TEST(WebRequest, SetCookieLinesGiveNewCookies) {
    struct Case {
        const char* name;
        std::string headerLines;
        GbkText newCookies;
    };
    const Case cases[] = {
        {"two cookies with attributes", "Set-Cookie: a=1; path=/\r\nSet-Cookie: b=2; path=/\r\n", "a=1; b=2"},
        {"no semicolon after the pair", "Set-Cookie: a=1\r\n", ""},
        {"second without semicolon", "Set-Cookie: a=1; path=/\r\nSet-Cookie: b=2\r\n", "a=1; "},
        {"the line test is case-sensitive", "set-cookie: c=3; path=/\r\n", ""},
        {"no cookie", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RawServer server([&](const std::string&) { return ok("c", c.headerLines); });
        // "localhost" keeps these cookies out of the store's 127.0.0.1 entries used elsewhere.
        const std::string url = "http://localhost:" + std::to_string(server.port()) + "/cookies";
        GbkText newCookies = "stale";
        EXPECT_EQ(webRequest(url, 0, {}, nullptr, &newCookies), "c");
        EXPECT_EQ(newCookies, c.newCookies);
    }
}

TEST(WebRequest, LocationOutput) {
    RawServer server([](const std::string& request) {
        if (pathOf(request) == "/with") {
            return ok("w", "Location: http://elsewhere/x\r\n");
        }
        return ok("n");
    });
    GbkText location;
    webRequest(server.origin() + "/with", 0, {}, nullptr, nullptr, nullptr, &location);
    EXPECT_EQ(location, "http://elsewhere/x");

    // Without a Location line an empty variable takes the whole raw header text; a given one stays.
    GbkText rawHeaders;
    location.clear();
    webRequest(server.origin() + "/none", 0, {}, nullptr, nullptr, nullptr, &location, false, nullptr, nullptr,
               &rawHeaders);
    EXPECT_EQ(location, rawHeaders);
    EXPECT_EQ(rawHeaders.rfind("HTTP/1.1 200 OK\r\n", 0), 0u);
    location = "mine";
    webRequest(server.origin() + "/none", 0, {}, nullptr, nullptr, nullptr, &location);
    EXPECT_EQ(location, "mine");
}

TEST(WebRequest, FollowsA301ToWhereItPoints) {
    RawServer other([](const std::string&) { return ok("on the other server"); });
    struct Case {
        const char* name;
        std::string locationLines; // header lines of the 301 answer
        bool followed;
        std::string followUpPath; // on this server when followUpOther is false
        bool followUpOther;
        Bytes body;
    };
    const Case cases[] = {
        {"relative Location", "Location: /new?x=1\r\n", true, "/new?x=1", false, "moved here"},
        {"absolute Location", "Location: " + other.origin() + "/b\r\n", true, "/b", true, "on the other server"},
        {"no Location", "", false, "", false, "gone"},
        {"only Content-Location", "Content-Location: /new\r\n", false, "", false, "gone"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RawServer server([&](const std::string& request) {
            if (pathOf(request) == "/old") {
                return RawResponse{rawResponse("HTTP/1.1 301 Moved Permanently", c.locationLines, "gone")};
            }
            return ok("moved here");
        });
        const std::size_t otherBefore = other.requests().size();
        const std::string url = server.origin() + "/old";
        GbkText headers, location;
        // noRedirect: curl leaves the 301 to the routine, which follows it itself.
        EXPECT_EQ(webRequest(url, 0, {}, nullptr, nullptr, &headers, &location, true), c.body);

        const auto own = server.requests();
        const auto others = other.requests();
        const std::size_t followUps = (own.size() - 1) + (others.size() - otherBefore);
        EXPECT_EQ(followUps, c.followed ? 1u : 0u);
        if (!c.followed) {
            continue;
        }
        const std::string& followUp = c.followUpOther ? others.back() : own.back();
        EXPECT_EQ(pathOf(followUp), c.followUpPath);
        // The follow-up sends the first request's composed text again: its Referer is the first address.
        Lines first = requestLines(own[0]);
        Lines second = requestLines(followUp);
        first.erase(first.begin(), first.begin() + 2);
        second.erase(second.begin(), second.begin() + 2);
        EXPECT_EQ(second, first);
        EXPECT_TRUE(hasLineStarting(second, "Referer: " + url));
    }
}

TEST(WebRequest, FollowUpSendsTheMergedCookiesAgain) {
    RawServer server([](const std::string& request) {
        if (pathOf(request) == "/old") {
            return RawResponse{
                rawResponse("HTTP/1.1 301 Moved Permanently", "Location: /new\r\nSet-Cookie: s=2; x\r\n", "")};
        }
        return ok("new");
    });
    GbkText cookies = "k=1";
    EXPECT_EQ(webRequest(server.origin() + "/old", 0, {}, &cookies, nullptr, nullptr, nullptr, true), "new");
    ASSERT_EQ(server.requests().size(), 2u);
    const Lines second = requestLines(server.requests()[1]);
    ASSERT_GE(second.size(), 2u);
    EXPECT_EQ(second[second.size() - 2], "Cookie: k=1");
    EXPECT_EQ(second.back(), "Cookie: s=2; k=1");
    EXPECT_EQ(cookies, "s=2; k=1");
}

TEST(WebRequest, AutomaticRedirectsAndTheRoutinesOwnFollowUpDoNotDouble) {
    RawServer server([](const std::string& request) {
        if (pathOf(request) == "/old") {
            return RawResponse{rawResponse("HTTP/1.1 301 Moved Permanently", "Location: /new\r\n", "")};
        }
        return ok("new");
    });
    GbkText headers;
    EXPECT_EQ(webRequest(server.origin() + "/old", 0, {}, nullptr, nullptr, &headers), "new");
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(pathOf(requests[1]), "/new");
    EXPECT_EQ(headers.find("Referer:"), headers.rfind("Referer:")); // composed once
}

TEST(WebRequest, OtherStatusLinesAreNotFollowedByTheRoutine) {
    const std::string statusLines[] = {"HTTP/1.1 302 Found", "HTTP/1.1 302 Moved Temporarily",
                                       "HTTP/1.0 301 Moved Permanently", "HTTP/1.1 301 Permanent"};
    for (const std::string& statusLine : statusLines) {
        SCOPED_TRACE(statusLine);
        RawServer server([&](const std::string&) {
            return RawResponse{rawResponse(statusLine, "Location: /new\r\n", "redirect page")};
        });
        GbkText location;
        EXPECT_EQ(webRequest(server.origin() + "/old", 0, {}, nullptr, nullptr, nullptr, &location, true),
                  "redirect page");
        EXPECT_EQ(server.requests().size(), 1u);
        EXPECT_EQ(location, "/new");
    }
}

TEST(WebRequest, EndlessMovesEndEmpty) {
    for (const bool noRedirect : {true, false}) {
        SCOPED_TRACE(noRedirect ? "the routine follows" : "curl follows");
        RawServer server([](const std::string&) {
            return RawResponse{rawResponse("HTTP/1.1 301 Moved Permanently", "Location: /loop\r\n", "again")};
        });
        GbkText location = "given";
        EXPECT_EQ(webRequest(server.origin() + "/loop", 0, {}, nullptr, nullptr, nullptr, &location, noRedirect), "");
        EXPECT_EQ(server.requests().size(), 11u); // the first request and ten follow-ups
    }
}

TEST(WebRequest, ProxyCarriesPlainHttpOnly) {
    RawServer proxy([](const std::string&) { return ok("via proxy"); });
    const GbkText proxyAddress = "127.0.0.1:" + std::to_string(proxy.port());
    const GbkText url = "http://example.invalid/p?q=1";
    // A supplied proxy has an empty bypass list: the environment's no_proxy does not send the
    // request past it.
    ::setenv("no_proxy", "*", 1);
    const Bytes body = webRequest(url, 0, {}, nullptr, nullptr, nullptr, nullptr, false, nullptr, &proxyAddress);
    ::unsetenv("no_proxy");
    EXPECT_EQ(body, "via proxy");
    ASSERT_EQ(proxy.requests().size(), 1u);
    const Lines lines = requestLines(proxy.requests()[0]);
    EXPECT_EQ(lines[0], "GET http://example.invalid/p?q=1 HTTP/1.1");
    EXPECT_EQ(lines[1], "Host: example.invalid");

    // A secure address goes direct, not through the proxy.
    const GbkText secure = "https://127.0.0.1:" + std::to_string(refusedPort()) + "/";
    EXPECT_EQ(webRequest(secure, 0, {}, nullptr, nullptr, nullptr, nullptr, false, nullptr, &proxyAddress), "");
    EXPECT_EQ(proxy.requests().size(), 1u);
}

TEST(WebRequest, SecureAddressSpeaksTls) {
    RawServer server([](const std::string&) { return RawResponse{}; });
    const GbkText url = "HTTPS://127.0.0.1:" + std::to_string(server.port()) + "/x";
    EXPECT_EQ(webRequest(url), "");
    ASSERT_EQ(server.requests().size(), 1u);
    ASSERT_FALSE(server.requests()[0].empty());
    EXPECT_EQ(server.requests()[0][0], '\x16'); // a TLS handshake record, not a plain request line
}

TEST(WebRequest, RefusedConnectionLeavesTheCallersVariables) {
    const GbkText url = "http://127.0.0.1:" + std::to_string(refusedPort()) + "/";
    GbkText cookies = "c=1", newCookies = "n", headers = "X-A: 1", location = "l", rawHeaders = "r";
    Bytes postBytes;
    EXPECT_EQ(
        webRequest(url, 1, "text", &cookies, &newCookies, &headers, &location, false, &postBytes, nullptr, &rawHeaders),
        "");
    EXPECT_EQ(cookies, "c=1");
    EXPECT_EQ(newCookies, "n");
    EXPECT_EQ(headers, "X-A: 1");
    EXPECT_EQ(location, "l");
    EXPECT_EQ(postBytes, "");
    EXPECT_EQ(rawHeaders, "r");

    const FetchedPage page = webRequestPage(url);
    EXPECT_EQ(page.body, "");
    EXPECT_EQ(page.status, 0);
}

TEST(WebRequestPage, ReportsStatusTypeAndFinalAddress) {
    RawServer server([](const std::string& request) {
        const std::string path = pathOf(request);
        if (path == "/start") {
            return RawResponse{rawResponse("HTTP/1.1 302 Found", "Location: /final\r\n", "")};
        }
        if (path == "/missing") {
            return RawResponse{rawResponse("HTTP/1.1 404 Not Found", "", "not here")};
        }
        return ok("<html>", "Content-Type: text/html; charset=GB2312\r\n");
    });
    FetchedPage page = webRequestPage(server.origin() + "/start");
    EXPECT_EQ(page.body, "<html>");
    EXPECT_EQ(page.status, 200);
    EXPECT_EQ(page.contentType, "text/html; charset=GB2312");
    EXPECT_EQ(page.finalUrl, server.origin() + "/final");

    page = webRequestPage(server.origin() + "/missing");
    EXPECT_EQ(page.body, "not here");
    EXPECT_EQ(page.status, 404);
}

} // namespace
