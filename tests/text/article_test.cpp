// Article preparation: what survives of the pasted text, and the character count shown for it.

#include "text/article.h"
#include "text_test_support.h"

#include <gtest/gtest.h>

#include <boost/regex.hpp>

#include <random>

namespace {

TEST(Article, PrepareArticle) {
    struct Row {
        const char* name;
        GbkText raw;
        GbkText want;
        int count;
    };
    const Row rows[] = {
        {"white space only", " \t\r\n \r\n\v\f", "", 0},
        {"English text only", "Hello World 2013, plain ASCII.", "", 0},
        {"outer CR LF and spaces go, a full-width indent stays", "\r\n  " + gbk("　　正文") + " \r\n", gbk("　　正文"),
         4},
        {"title line with ASCII letters", gbk("标题一 abc\r\n正文段落"), gbk("标题一\r\n正文段落"), 8},
        {"ASCII digits vanish", gbk("2013年"), gbk("年"), 1},
        {"full-width digits stay", gbk("２０１３年"), gbk("２０１３年"), 5},
        {"full-width punctuation stays", gbk("你好，世界！"), gbk("你好，世界！"), 6},
        {"an inner TAB and CR LF stay, one ASCII line at the end", gbk("甲\t乙\r\nlast line"), gbk("甲\t乙\r\n"), 3},
        // The second byte of 丂 is "@": a byte-wise filter would break the character.
        {"second byte in the ASCII range", gbk("丂x"), "\x81\x40", 1},
        {"DEL goes, other controls stay", "\x01\x7F" + gbk("中"), "\x01" + gbk("中"), 1},
        {"empty", "", "", 0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        const GbkText prepared = prepareArticle(r.raw);
        EXPECT_EQ(hexBytes(prepared), hexBytes(r.want));
        EXPECT_EQ(articleCharCount(prepared), r.count);
    }
}

TEST(Article, TrimArticle) {
    struct Row {
        const char* name;
        GbkText raw;
        GbkText want;
    };
    const Row rows[] = {
        {"single non-white byte", " \r\nx\t ", "x"},
        {"inner white space stays", "\t a  b \r\n", "a  b"},
        {"VT and FF are white", "\v\fa\v\f", "a"},
        {"full-width spaces are not white", gbk("　中　"), gbk("　中　")},
        {"ASCII is kept by the trim", " Title \r\n", "Title"},
        {"nothing but white", " \r\n\t", ""},
        {"empty", "", ""},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(hexBytes(trimArticle(r.raw)), hexBytes(r.want));
    }
}

TEST(Article, KeepNonAsciiDropsAnIncompleteFinalCharacter) {
    EXPECT_EQ(keepNonAscii(gbk("中") + "\xD6"), gbk("中"));
    EXPECT_EQ(keepNonAscii("\r\n"), "\r\n");
}

TEST(Article, CharacterCountHalvesAndTruncates) {
    EXPECT_EQ(articleCharCount(repeated(gbk("中"), 50) + "\n"), 50);
    EXPECT_EQ(articleCharCount(""), 0);
    EXPECT_EQ(articleCharCount("\r\n\t"), 1);
}

// The trim is defined as the first match of a Perl pattern; the scan must give the same span for
// every kind of byte, among them the controls next to the white-space range and bytes >= 0x80.
TEST(Article, TrimArticleAgreesWithThePattern) {
    const boost::regex pattern(R"(\S[\s\S]*\S|\S)", boost::regex::perl);
    const char alphabet[] = {' ',    '\t', '\n',   '\v',   '\f',   '\r',   '\x08', '\x0E', '\x1C',
                             '\x1F', 'a',  '\x7F', '\x85', '\xA0', '\xA1', '\xD6', '\xFF', '\x01'};
    std::mt19937 rng(99);
    for (int round = 0; round < 3000; ++round) {
        GbkText t;
        const int n = static_cast<int>(rng() % 12);
        for (int i = 0; i < n; ++i) {
            // Mostly white space, so that the ends are often white.
            t += rng() % 3 == 0 ? alphabet[rng() % std::size(alphabet)] : alphabet[rng() % 6];
        }
        boost::smatch m;
        const GbkText want = boost::regex_search(t, m, pattern) ? m.str() : GbkText();
        ASSERT_EQ(hexBytes(trimArticle(t)), hexBytes(want)) << "t = " << hexBytes(t);
    }
}

// A large article trims in one piece: the pattern's first alternative spans megabytes, and the
// white space around a lone character must not make the search give up.
TEST(Article, LargeArticles) {
    const GbkText body = repeated(gbk("这是一个测试段落，用来检查原创度。") + "\r\n", 60000) + gbk("完");
    const GbkText raw = std::string(100000, ' ') + body + std::string(100000, '\n');
    EXPECT_EQ(trimArticle(raw).size(), body.size());
    EXPECT_EQ(trimArticle(raw), body);

    const GbkText lone = std::string(2000000, ' ') + "x" + std::string(2000000, '\t');
    EXPECT_EQ(trimArticle(lone), "x");
}

} // namespace
