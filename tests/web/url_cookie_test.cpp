// The cookie and URL helpers and the pure parts of the request routine, as tables of cases.

#include "text/codepage.h"
#include "web/url_cookie.h"
#include "web/web_request.h"

#include <gtest/gtest.h>

namespace {

TEST(FindTextNoCase, Table) {
    struct Case {
        const char* name;
        GbkText text;
        GbkText needle;
        int start;
        int expected;
    };
    const Case cases[] = {
        {"letters fold both ways", "Set-Cookie: a", "set-COOKIE:", 1, 1},
        {"found later", "abc", "B", 1, 2},
        {"start position skips a match", "aXa", "A", 2, 3},
        {"start below 1 counts as 1", "abc", "A", -5, 1},
        {"start beyond the end", "abc", "a", 4, -1},
        {"absent", "abc", "d", 1, -1},
        {"needle longer than the text", "ab", "abc", 1, -1},
        // 0x81 0x41 is one character whose second byte is "A": no match may start inside it.
        {"second byte of a character is not a start", "\x81\x41xa", "a", 1, 4},
        {"odd offset inside two-byte characters", "\xB0\xA1\xB0\xA1", "\xA1\xB0", 1, -1},
        {"two-byte characters compare exactly", "x\xB0\xA1", "\xB0\xA1", 1, 2},
        {"digits and punctuation compare exactly", "a-1", "A_1", 1, -1},
        {"a lone final lead byte is still compared", "a\xB0", "\xB0", 1, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(findTextNoCase(c.text, c.needle, c.start), c.expected);
        const bool hasLetter =
            c.needle.find_first_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz") != GbkText::npos;
        if (!hasLetter) {
            EXPECT_EQ(findText(c.text, c.needle, c.start), c.expected); // the same walk as findText
        }
    }
}

TEST(TextBetween, Table) {
    const GbkText quote = "#\xD2\xFD\xBA\xC5"; // "#引号"
    EXPECT_EQ(quote, utf8ToGbk("#引号"));
    struct Case {
        const char* name;
        GbkText text;
        GbkText startMarker;
        GbkText endMarker;
        int start;
        bool caseSensitive;
        GbkText expected;
    };
    const Case cases[] = {
        {"quote placeholder in both markers", "x \"a\" y", quote, quote, 1, false, "a"},
        {"placeholder inside a longer marker", "<a href=\"u\">", "href=" + quote, quote, 1, false, "u"},
        {"case ignored by default", "set-cookie: a=1; path=/", "Set-Cookie:", ";", 1, false, " a=1"},
        {"case-sensitive switch", "set-cookie: a=1; path=/", "Set-Cookie:", ";", 1, true, ""},
        {"end marker missing", "abc", "a", "z", 1, false, ""},
        {"start marker missing", "abc", "z", "c", 1, false, ""},
        {"markers touch", "ab", "a", "b", 1, false, ""},
        {"end marker searched after the start marker", "b a1b", "a", "b", 1, false, "1"},
        {"start position", "a1b a2b", "a", "b", 3, false, "2"},
        {"start position below 1", "a1b", "a", "b", 0, false, "1"},
        {"two-byte text between", "[\xD6\xD0\xCE\xC4]", "[", "]", 1, false, "\xD6\xD0\xCE\xC4"},
        {"status line", "HTTP/1.1 301 Moved Permanently\r\n", "HTTP/1.1 ", " Moved", 1, false, "301"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(textBetween(c.text, c.startMarker, c.endMarker, c.start, c.caseSensitive), c.expected);
    }
}

TEST(HeaderValue, Table) {
    struct Case {
        GbkText line;
        GbkText expected;
    };
    const Case cases[] = {
        {"Location: http://host/x", "http://host/x"}, // only the first colon counts
        {"NoColon", ""},
        {"X:   ", ""},
        {"Name:\t v ", "\t v"},       // only spaces are trimmed
        {"X:\xA1\xA1v\xA1\xA1", "v"}, // full-width spaces too
        {"Set-Cookie:a=1", "a=1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(headerValue(c.line), c.expected);
    }
}

TEST(AddressParts, Table) {
    struct Case {
        GbkText address;
        GbkText host;
        GbkText hostWithPort;
        int port;
        GbkText path;
    };
    const Case cases[] = {
        {"HTTP://Example.COM:8080/Path", "example.com", "example.com:8080", 8080, "/Path"},
        {"example.com", "example.com", "example.com", 80, "/"},
        {"example.com:81/p", "example.com", "example.com:81", 81, "/p"},
        {"https://host/", "host", "host", 443, "/"},
        {"HTTPS://Host:8443/X?Y=Z", "host", "host:8443", 8443, "/X?Y=Z"},
        {"http://host:8080/", "host", "host:8080", 8080, "/"},
        {"http://host:/", "host", "host:", 0, "/"},
        {"https://host:abc/", "host", "host:abc", 0, "/"},
        {"http://host:8080/a/b?c=1", "host", "host:8080", 8080, "/a/b?c=1"},
        {"http://host", "host", "host", 80, "/"},
        {"http://host?q=1", "host?q=1", "host?q=1", 80, "/"},
        // The host is looked for after the scheme: "t" also occurs in "http".
        {"http://t/x", "t", "t", 80, "/x"},
        {"https://s:9/p", "s", "s:9", 9, "/p"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.address);
        EXPECT_EQ(urlHost(c.address), c.host);
        EXPECT_EQ(urlHost(c.address, true), c.hostWithPort);
        EXPECT_EQ(urlPort(c.address), c.port);
        EXPECT_EQ(urlPath(c.address), c.path);
    }
}

TEST(MergeCookies, RewritesBothArguments) {
    struct Case {
        GbkText kept;
        GbkText fresh;
        GbkText merged;
        GbkText freshAfter;
    };
    const Case cases[] = {
        {"a=1; b=2", "b=3", "b=3; a=1", "b=3"},
        {"a=1; b=2", "b=deleted", "a=1", "b=deleted"},
        {"", "x=1; y=2", "x=1; y=2", "x=1;y=2"},
        {"a=1;a=2", "", "a=1", ""},
        {"a=1", "a=1", "a=1", "a=1"},
        {"", "", "", ""},
        {"c=1", "x=1; x=1", "x=1; c=1", "x=1;x=1"},
        {"c=1", "x=1; x=2", "x=1; x=2; c=1", "x=1;x=2"}, // only identical entries are repeats
        {"a = 1; b=2", "", "a=1; b=2", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("kept '" + c.kept + "' fresh '" + c.fresh + "'");
        GbkText kept = c.kept;
        GbkText fresh = c.fresh;
        EXPECT_EQ(mergeCookies(kept, fresh), c.merged);
        EXPECT_EQ(kept, c.merged);
        EXPECT_EQ(fresh, c.freshAfter);
    }
}

TEST(CookieItems, Table) {
    EXPECT_EQ(cookieName(" a =1"), "a");
    EXPECT_EQ(cookieName("flag"), "flag");
    EXPECT_EQ(cookieName("=v"), "");
    EXPECT_EQ(cookieName("a=b=c"), "a");

    const TextList entries = {"a=1", "b=2"};
    EXPECT_TRUE(hasCookieName(entries, "b"));
    EXPECT_FALSE(hasCookieName(entries, "B"));
    EXPECT_FALSE(hasCookieName({}, ""));

    struct Case {
        GbkText text;
        GbkText separator;
        GbkText expected;
    };
    const Case cases[] = {
        {"a; b; a", "; ", "a; b"}, {"", "; ", ""}, {"a;;b;;", ";", "a;;b"}, {"a; a; ", "; ", "a"}, {"ab", "", "ab"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("'" + c.text + "' at '" + c.separator + "'");
        EXPECT_EQ(dedupeItems(c.text, c.separator), c.expected);
    }

    EXPECT_EQ(itemIndex({"a", "b", "a"}, "a"), 1);
    EXPECT_EQ(itemIndex({"a", "b", "a"}, "b"), 2);
    EXPECT_EQ(itemIndex({"a", "b"}, "c"), -1);
    EXPECT_EQ(itemIndex({}, ""), -1);
}

TEST(RequestAgent, Table) {
    struct Case {
        GbkText headers;
        GbkText agent;
    };
    const Case cases[] = {
        {"", WebRequestDefaultAgent},
        {"referer: x", WebRequestDefaultAgent},
        {"user-agent: Foo", "Foo"}, // the agent test ignores case
        {"Accept: a\r\nUser-Agent: Foo", "Foo"},
        {"User-Agent:  Foo Bar  \r\nX: y", "Foo Bar"},
        {"X-User-Agent: Bar\r\nUser-Agent: Foo", "Bar"}, // the first occurrence, wherever it stands
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.headers);
        EXPECT_EQ(requestAgent(c.headers), c.agent);
    }
}

TEST(ComposeRequestHeaders, Table) {
    const GbkText url = "http://h/p?q=1";
    const GbkText standard = "\r\nAccept: */*\r\nAccept-Language: zh-cn\r\nContent-Type: "
                             "application/x-www-form-urlencoded";
    struct Case {
        const char* name;
        GbkText headers;
        GbkText cookies;
        GbkText expected;
    };
    const Case cases[] = {
        {"nothing given", "", "", "Referer: " + url + standard},
        {"the Referer test is case-sensitive", "referer: x", "", "referer: x\r\nReferer: " + url + standard},
        {"caller's lines kept in front", "Referer: r\r\nAccept: a", "",
         "Referer: r\r\nAccept: a\r\nAccept-Language: zh-cn\r\nContent-Type: application/x-www-form-urlencoded"},
        {"cookies appended", "", "a=1; b=2", "Referer: " + url + standard + "\r\nCookie: a=1; b=2"},
        {"a second Cookie line on a follow-up", "Referer: " + url + standard + "\r\nCookie: a=1", "a=2",
         "Referer: " + url + standard + "\r\nCookie: a=1\r\nCookie: a=2"},
        {"a name inside another line counts", "X-Referer: y", "", "X-Referer: y" + standard},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(composeRequestHeaders(c.headers, url, c.cookies), c.expected);
    }
}

TEST(FollowUpAddress, Table) {
    struct Case {
        GbkText current;
        GbkText location;
        GbkText expected;
    };
    const Case cases[] = {
        {"http://h:8080/a/b?c", "http://other/x", "http://other/x"},
        {"http://h/a", "HTTPS://Other/X", "HTTPS://Other/X"},
        {"http://h:8080/a/b?c", "/next?q=1", "http://h:8080/next?q=1"},
        {"HTTPS://H/a", "/n", "https://h/n"},
        {"http://h/a", "//cdn:81/x", "http://cdn:81/x"},
        {"http://h/a/b?x=/y", "c?d=1", "http://h/a/c?d=1"},
        {"http://h", "c", "http://h/c"},
        {"http://h/a", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.current + " -> " + c.location);
        EXPECT_EQ(followUpAddress(c.current, c.location), c.expected);
    }
}

} // namespace
