// Engine profiles, query addresses, page conversion, refusal signs, highlight extraction, the hit
// test and the score: the pure parts of a check, without a network.

#include "checks_test_support.h"

#include "checks/check_run.h"
#include "checks/engine_profile.h"
#include "text/codepage.h"

#include <gtest/gtest.h>

#include <random>

namespace {

const EngineProfile& profileOf(EngineId id) {
    return engineProfiles()[static_cast<std::size_t>(id)];
}

TEST(EngineProfiles, AreListedInStartOrderAndFoundByKey) {
    const auto& profiles = engineProfiles();
    const std::vector<std::pair<EngineId, std::string>> expected = {
        {EngineId::Baidu, "baidu"}, {EngineId::Google, "google"}, {EngineId::So360, "360"}, {EngineId::Sogou, "sogou"}};
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(profiles[i].id, expected[i].first);
        EXPECT_EQ(profiles[i].key, expected[i].second);
        EXPECT_EQ(findProfile(expected[i].second), &profiles[i]);
    }
    EXPECT_EQ(findProfile("bing"), nullptr);
    EXPECT_EQ(findProfile(""), nullptr);
}

// The block messages are shown as they stand: "点击" is followed by two spaces before 确认 and one
// before 取消, and the lines are separated by CR LF pairs.
TEST(EngineProfiles, BlockMessagesAndTitles) {
    struct Case {
        EngineId id;
        const char* message;
        const char* title;
        bool opens;
    };
    const Case cases[] = {
        {EngineId::Baidu,
         "百度可能暂时屏蔽本机搜索\r\n\r\n点击  确认，继续查询\r\n\r\n点击 "
         "取消，放弃本次查询，然后用IE打开百度搜素关键词，并输入验证码",
         "百度提示", false},
        {EngineId::Google,
         "谷歌可能暂时屏蔽本机搜索\r\n\r\n点击  确认，继续查询\r\n\r\n点击 "
         "取消，放弃本次查询，然后用IE打开谷歌搜素关键词，并输入验证码",
         "谷歌提示", false},
        {EngineId::So360,
         "360可能暂时屏蔽本机搜索\r\n\r\n点击  确认，继续查询\r\n\r\n点击 "
         "取消，放弃本次查询，然后用IE打开360搜素关键词，并输入验证码",
         "360提示", false},
        {EngineId::Sogou,
         "搜狗可能暂时屏蔽本机搜索\r\n\r\n点击  确认，继续查询\r\n\r\n点击 "
         "取消，放弃本次查询，软件会自动打开，IE在搜狗搜素关键词，手动输入验证码",
         "搜狗提示", true},
    };
    for (const Case& c : cases) {
        const EngineProfile& p = profileOf(c.id);
        SCOPED_TRACE(p.key);
        EXPECT_EQ(p.blockMessage, gbk(c.message));
        EXPECT_EQ(p.blockTitle, gbk(c.title));
        EXPECT_EQ(p.openOnCancel, c.opens);
    }
}

TEST(QueryAddress, PerEngine) {
    struct Case {
        const char* name;
        EngineId id;
        const char* segment;
        int page;
        const char* address;
    };
    const Case cases[] = {
        // Baidu and Google query the half-width segment, every GBK byte encoded.
        {"baidu full-width comma", EngineId::Baidu, "中，文", 1,
         "http://www.baidu.com/s?wd=%D6%D0%2C%CE%C4&rn=20&lm=0"},
        {"google full-width comma", EngineId::Google, "中，文", 1,
         "http://www.google.com/search?q=%D6%D0%2C%CE%C4&ie=GB2312&oe=GB2312&hl=zh-CN&num=20"},
        // 360 Search and Sogou query the segment as it stands, in UTF-8.
        {"sogou full-width comma", EngineId::Sogou, "中，文", 1,
         "http://www.sogou.com/web?query=%E4%B8%AD%EF%BC%8C%E6%96%87&num=20"},
        {"360 page 1", EngineId::So360, "中", 1, "http://www.so.com/s?q=%E4%B8%AD&pn=1"},
        {"360 page 2", EngineId::So360, "中", 2, "http://www.so.com/s?q=%E4%B8%AD&pn=2"},
        {"baidu line break", EngineId::Baidu, "中\r\n文", 1, "http://www.baidu.com/s?wd=%D6%D0%0D%0A%CE%C4&rn=20&lm=0"},
        {"360 line break", EngineId::So360, "中\r\n文", 1, "http://www.so.com/s?q=%E4%B8%AD%0D%0A%E6%96%87&pn=1"},
        {"sogou line break", EngineId::Sogou, "中\r\n文", 1,
         "http://www.sogou.com/web?query=%E4%B8%AD%0D%0A%E6%96%87&num=20"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(buildQueryAddress(profileOf(c.id), gbk(c.segment), c.page), c.address);
    }
}

TEST(QueryAddress, UsesTheProfilesHost) {
    EngineProfile p = profileOf(EngineId::Sogou);
    p.searchHost = "127.0.0.1:8080";
    EXPECT_EQ(buildQueryAddress(p, gbk("中"), 1), "http://127.0.0.1:8080/web?query=%E4%B8%AD&num=20");
}

// ---- Page conversion --------------------------------------------------------------------------

TEST(PageConversion, ReadsUtf8OrTheDeclaredGbCharset) {
    const std::string utf8 = "<em>中文</em>页面";
    const std::string gb = gbk(utf8);
    struct Case {
        const char* name;
        std::string body;
        std::string contentType;
        std::string expectedUtf8; // empty: the page counts as empty
    };
    const Case cases[] = {
        {"utf-8, no charset", utf8, "text/html", utf8},
        {"utf-8 declared", utf8, "text/html; charset=utf-8", utf8},
        {"no content type", utf8, "", utf8},
        {"gbk body, no charset: not valid UTF-8", gb, "text/html", ""},
        {"gbk body declared utf-8", gb, "text/html; charset=UTF-8", ""},
        {"gbk declared", gb, "text/html; charset=GBK", utf8},
        {"gb2312 declared", gb, "text/html;charset=gb2312", utf8},
        {"gb18030 declared, quoted", gb, "text/html; charset=\"GB18030\"", utf8},
        {"utf-8 ending inside a character", utf8 + "\xE4\xB8", "text/html", ""},
        {"zero byte ends the text", "<em>a</em>" + std::string(1, '\0') + "<em>b</em>", "text/html", "<em>a</em>"},
        {"empty body", "", "text/html; charset=utf-8", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FetchedPage page;
        page.body = c.body;
        page.contentType = c.contentType;
        page.status = 200;
        EXPECT_EQ(convertPage(page), c.expectedUtf8.empty() ? GbkText{} : gbk(c.expectedUtf8));
    }
}

// ---- Refusal signs ----------------------------------------------------------------------------

TEST(RefusalSigns, RecogniseEachEnginesChallenges) {
    // A results page for a query that holds a challenge page's words: they stand in the highlights.
    const std::string sogouQuotingChallenge =
        "<html><body><h3><a href=\"/link?url=A\">为何<em><!--red_beg-->访问过于频繁<!--red_end--></em></a></h3>"
        "<div>页面提示请输入验证码</div></body></html>";
    struct Case {
        const char* name;
        EngineId id;
        std::string body;
        long status;
        std::string finalUrl;
        bool refused;
    };
    const std::string baiduResults = fixturePage("baidu-results.html");
    const Case cases[] = {
        {"baidu results", EngineId::Baidu, baiduResults, 200, "http://www.baidu.com/s?wd=x", false},
        {"baidu captcha page, status 200", EngineId::Baidu, fixturePage("baidu-captcha.html"), 200,
         "http://www.baidu.com/s?wd=x", true},
        {"baidu redirected to wappass", EngineId::Baidu, baiduResults, 200,
         "https://wappass.baidu.com/static/captcha/tuxing.html?ak=1", true},
        {"baidu wappass, other case and a port", EngineId::Baidu, baiduResults, 200, "http://WAPPASS.baidu.com:8080/x",
         true},
        {"baidu wappass only in the query", EngineId::Baidu, baiduResults, 200,
         "http://www.baidu.com/s?wd=wappass.baidu.com", false},
        {"baidu 429", EngineId::Baidu, baiduResults, 429, "http://www.baidu.com/s?wd=x", true},
        {"baidu 403", EngineId::Baidu, baiduResults, 403, "http://www.baidu.com/s?wd=x", true},
        {"baidu 503", EngineId::Baidu, "", 503, "http://www.baidu.com/s?wd=x", true},
        {"baidu 500 error page is searched", EngineId::Baidu, baiduResults, 500, "http://www.baidu.com/s?wd=x", false},
        {"sogou results", EngineId::Sogou, fixturePage("sogou-results.html"), 200, "http://www.sogou.com/web?query=x",
         false},
        {"sogou antispider page, status 200", EngineId::Sogou, fixturePage("sogou-antispider.html"), 200,
         "http://www.sogou.com/web?query=x", true},
        {"sogou redirected to antispider", EngineId::Sogou, fixturePage("sogou-results.html"), 200,
         "http://www.sogou.com/antispider/?from=%2Fweb%3Fquery%3Dx", true},
        {"sogou 429", EngineId::Sogou, fixturePage("sogou-results.html"), 429, "http://www.sogou.com/web?query=x",
         true},
        {"sogou results quoting the challenge's words", EngineId::Sogou, sogouQuotingChallenge, 200,
         "http://www.sogou.com/web?query=x", false},
        {"google sorry page, 429", EngineId::Google, fixturePage("google-sorry.html"), 429,
         "http://www.google.com/sorry/index?continue=x", true},
        {"google sorry page served with 200", EngineId::Google, fixturePage("google-sorry.html"), 200,
         "http://www.google.com/search?q=x", true},
        {"google redirected to sorry", EngineId::Google, "<html><b>a</b></html>", 200,
         "http://www.google.com/sorry/index?continue=x", true},
        {"google enablejs page", EngineId::Google, fixturePage("google-enablejs.html"), 200,
         "http://www.google.com/search?q=x", true},
        {"google results", EngineId::Google, "<html><div class=\"g\"><b>中文</b></div></html>", 200,
         "http://www.google.com/search?q=x", false},
        {"360 results", EngineId::So360, fixturePage("360-results.html"), 200, "http://www.so.com/s?q=x&pn=1", false},
        {"360 429", EngineId::So360, fixturePage("360-results.html"), 429, "http://www.so.com/s?q=x&pn=1", true},
        {"360 503", EngineId::So360, "", 503, "http://www.so.com/s?q=x&pn=1", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_FALSE(c.body.empty() && c.status == 200) << "fixture missing";
        FetchedPage page;
        page.body = c.body;
        page.status = c.status;
        page.contentType = "text/html; charset=utf-8";
        page.finalUrl = c.finalUrl;
        EXPECT_EQ(showsRefusal(profileOf(c.id), page), c.refused);
    }
}

// ---- Highlight extraction ---------------------------------------------------------------------

std::vector<std::string> utf8List(const TextList& list) {
    std::vector<std::string> out;
    for (const auto& t : list) {
        out.push_back(gbkToUtf8(t));
    }
    return out;
}

TEST(Highlights, ExtractedAsThePatternSays) {
    using V = std::vector<std::string>;
    struct Case {
        const char* name;
        EngineId id;
        std::string pageUtf8;
        V fragments;
    };
    const Case cases[] = {
        {"six characters in one em", EngineId::Baidu, "<p><em>人民币对日元</em>汇率</p>", {"人民币对日元"}},
        {"adjacent elements stay apart", EngineId::Baidu, "<em>人民</em><em>币</em>", {"人民", "币"}},
        {"a fragment holding a line break", EngineId::Baidu, "<em>人民\r\n币</em>", {"人民\r\n币"}},
        {"empty and nested markup kept", EngineId::So360, "<em></em>x<em>a<b>苏州</b></em>", {"", "a<b>苏州</b>"}},
        {"capital EM is not a highlight", EngineId::Baidu, "<EM>人民币</EM>", {}},
        {"sogou ignores plain em", EngineId::Sogou, "<em>苏州大学</em>", {}},
        {"sogou comments inside em", EngineId::Sogou, "<em><!--red_beg-->苏州大学<!--red_end--></em>", {"苏州大学"}},
        {"google takes every bold element", EngineId::Google, "<b>苏州</b> <B>大学</B> <b>评估</b>", {"苏州", "评估"}},
        {"an opening marker without a closing one", EngineId::Baidu, "<em>a</em><em>b", {"a"}},
        {"no markup", EngineId::Baidu, "中文页面", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(utf8List(extractFragments(profileOf(c.id), gbk(c.pageUtf8))), c.fragments);
    }
}

TEST(Highlights, FromTheFixturePages) {
    using V = std::vector<std::string>;
    struct Case {
        EngineId id;
        const char* file;
        V fragments;
    };
    const Case cases[] = {
        {EngineId::Baidu, "baidu-results.html", {"人民币对日元汇率", "查询", "人民币", "人民币", "日元"}},
        {EngineId::So360, "360-results.html", {"苏州大学学科评估", "苏州大学", "评估", "苏州大学", "苏州大学"}},
        {EngineId::Sogou, "sogou-results.html", {"苏州大学", "苏州大学", "苏州大学", "评估"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        FetchedPage page;
        page.body = fixturePage(c.file);
        ASSERT_FALSE(page.body.empty());
        EXPECT_EQ(utf8List(extractFragments(profileOf(c.id), convertPage(page))), c.fragments);
    }
}

// The fragments a plain left-to-right scan finds: the reference the regular expression must match.
TextList scanFragments(const std::string& page, const std::string& open, const std::string& close) {
    TextList out;
    std::size_t at = 0;
    while ((at = page.find(open, at)) != std::string::npos) {
        const std::size_t end = page.find(close, at + open.size());
        if (end == std::string::npos) {
            break;
        }
        out.push_back(page.substr(at + open.size(), end - at - open.size()));
        at = end + close.size();
    }
    return out;
}

// Random pages of markers, partial markers, text and line breaks: the search that stops at the last
// closing marker and starts at each opening must find exactly what a plain scan finds.
TEST(Highlights, AgreeWithAPlainScanOnRandomPages) {
    struct Case {
        EngineId id;
        std::string open;
        std::string close;
        std::vector<std::string> pieces;
    };
    const Case cases[] = {
        {EngineId::Baidu, "<em>", "</em>", {"<em>", "</em>", "<em", "em>", "</", "a", "\xD6\xD0", "\r\n", "<", ">"}},
        {EngineId::Sogou,
         "<!--red_beg-->",
         "<!--red_end-->",
         {"<!--red_beg-->", "<!--red_end-->", "<!--red_", "beg-->", "<em>", "a", "\xD6\xD0", "\n", "<!--"}},
        {EngineId::Google, "<b>", "</b>", {"<b>", "</b>", "<B>", "<b", "b>", "</", "a", "\xD6\xD0", "\n"}},
    };
    std::mt19937 random(20240601);
    for (const Case& c : cases) {
        std::uniform_int_distribution<std::size_t> pick(0, c.pieces.size() - 1);
        std::uniform_int_distribution<int> length(0, 40);
        for (int i = 0; i < 300; ++i) {
            std::string page;
            for (int n = length(random); n > 0; --n) {
                page += c.pieces[pick(random)];
            }
            SCOPED_TRACE(page);
            ASSERT_EQ(extractFragments(profileOf(c.id), page), scanFragments(page, c.open, c.close));
        }
    }
}

// A hostile page: tens of thousands of opening markers. Without a closing marker nothing is found;
// with one at the very end the first opening runs up to it. Either way the search ends (a search
// over the whole page would give up with an exception, or take time quadratic in the openings).
TEST(Highlights, HostilePagesEndWithTheRightAnswer) {
    std::string openings;
    for (int i = 0; i < 50000; ++i) {
        openings += "<em>\xD6\xD0";
    }
    EXPECT_TRUE(extractFragments(profileOf(EngineId::Baidu), openings).empty());
    EXPECT_TRUE(extractFragments(profileOf(EngineId::Sogou), std::string(50000, 'x') + "<!--red_beg-->").empty());

    const TextList one = extractFragments(profileOf(EngineId::Baidu), openings + "</em>");
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one[0].size(), openings.size() - 4);

    const TextList tail = extractFragments(profileOf(EngineId::Baidu), "<em>a</em>" + openings);
    EXPECT_EQ(tail, TextList{"a"});
}

// Patterns of another shape than marker, "(.*?)", marker are searched as they stand.
TEST(Highlights, OtherPatterns) {
    const GbkText page = "<em>a</em><em>b<i>c</i></em><EM>d</EM><em>e</em>";
    EXPECT_EQ(extractFragments(GbkText("<em>([^<]*)</em>"), page), (TextList{"a", "e"}));
    EXPECT_EQ(extractFragments(GbkText("<(?:em|EM)>(.*?)</(?:em|EM)>"), page), (TextList{"a", "b<i>c</i>", "d", "e"}));
    // Alternatives end with different markers: the search is not cut at the last "</i>".
    EXPECT_EQ(extractFragments(GbkText("<em>(.*?)</em>|<i>(.*?)</i>"), page), (TextList{"a", "b<i>c</i>", "e"}));
    EXPECT_TRUE(extractFragments(GbkText("<em>(.*?</em>"), page).empty()) << "an invalid pattern";
}

// ---- Hits ----------------------------------------------------------------------------------

TEST(Hits, CountFragmentsOfTwelveBytesFoundInTheHalfWidthSegment) {
    using V = std::vector<std::string>;
    struct Case {
        const char* name;
        std::string segment;
        V fragments;
        int hits;
    };
    const Case cases[] = {
        {"six characters found", "今日人民币对日元汇率", {"人民币对日元"}, 1},
        {"each occurrence counts", "今日人民币对日元汇率", {"人民币对日元", "汇率", "人民币对日元", "人民币对日元"}, 3},
        {"five characters are too short", "今日人民币对日元汇率", {"人民币对日"}, 0},
        {"not in the segment", "今日人民币对日元汇率", {"人民币对美元汇"}, 0},
        {"a full-width comma in the fragment never matches", "人民币，对日元汇率", {"人民币，对日元"}, 0},
        {"the segment's comma is compared half-width", "人民币，对日元汇率", {"人民币,对日元"}, 1},
        {"a Chinese full stop matches", "人民币。对日元汇率", {"人民币。对日元"}, 1},
        {"no fragments", "今日人民币对日元汇率", {}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TextList fragments;
        for (const auto& f : c.fragments) {
            fragments.push_back(gbk(f));
        }
        EXPECT_EQ(countHits(gbk(c.segment), fragments), c.hits);
    }
}

// A fragment that spells the segment's bytes from the middle of a character is not found.
TEST(Hits, MatchOnlyWhereACharacterStarts) {
    // 中 D6 D0, 文 CE C4: the bytes D0 CE ... straddle two characters.
    const GbkText segment = gbk("中文中文中文中文中文");
    const GbkText straddling = segment.substr(1, 12);
    EXPECT_EQ(countHits(segment, {straddling}), 0);
    EXPECT_EQ(countHits(segment, {segment.substr(2, 12)}), 1);
}

// ---- Score, grade and segment length -----------------------------------------------------------

TEST(Score, CaptionRoundsToTwoDecimalsOfAPercent) {
    struct Case {
        int original;
        int total;
        const char* caption;
    };
    const Case cases[] = {
        {2, 3, "66.67%"}, {1, 3, "33.33%"}, {1, 8, "12.5%"}, {1, 32, "3.13%"}, {19, 20, "95%"},
        {5, 5, "100%"},   {0, 5, "0%"},     {7, 5, "100%"},  {0, 0, ""},       {1, 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.original) + " of " + std::to_string(c.total));
        EXPECT_EQ(scoreCaption(c.original, c.total), c.caption);
    }
}

TEST(Score, GradeOfTheTruncatedPercentage) {
    struct Case {
        int original;
        int total;
        int percent;
        const char* grade;
    };
    const Case cases[] = {
        {0, 5, 0, "别灰心额，还需努力"},     {59, 100, 59, "别灰心额，还需努力"}, {3, 5, 60, "已经合格，有待提升"},
        {2, 3, 66, "已经合格，有待提升"},    {79, 100, 79, "已经合格，有待提升"}, {4, 5, 80, "百尺竿头，更进一步"},
        {89, 100, 89, "百尺竿头，更进一步"}, {9, 10, 90, "非常不错，挑战满分"},   {19, 20, 95, "非常不错，挑战满分"},
        {98, 100, 98, "非常不错，挑战满分"}, {99, 100, 99, "你乃神人，此文原创"}, {5, 5, 100, "你乃神人，此文原创"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.original) + " of " + std::to_string(c.total));
        EXPECT_EQ(scorePercent(c.original, c.total), c.percent);
        EXPECT_EQ(scoreGrade(scorePercent(c.original, c.total)), gbk(c.grade));
    }
}

TEST(SegmentLength, FallsBackToTheDefaultAndIsCappedAt38) {
    const std::pair<int, int> cases[] = {{0, 38}, {-5, 38}, {1, 1}, {20, 20}, {38, 38}, {39, 38}, {50, 38}};
    for (const auto& [configured, used] : cases) {
        SCOPED_TRACE(configured);
        EXPECT_EQ(effectiveSegmentLength(configured), used);
    }
    const GbkText article = gbk(poolText(0, 76));
    EXPECT_EQ(articleSegments(article, 38).size(), 2u);
    EXPECT_EQ(articleSegments(article, 0).size(), 2u);
    EXPECT_EQ(articleSegments(article, 20).size(), 4u);
    EXPECT_TRUE(articleSegments({}, 38).empty());
}

} // namespace
