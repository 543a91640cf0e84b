// Code page conversions: what the window hands in (UTF-8, possibly malformed), what goes out.

#include "text/codepage.h"
#include "text_test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace {

TEST(Codepage, Utf8ToGbk) {
    struct Row {
        const char* name;
        std::string utf8;
        GbkText want;
    };
    const Row rows[] = {
        {"Chinese and full-width comma", "中文，", "\xD6\xD0\xCE\xC4\xA3\xAC"},
        {"ASCII passes", "a b\r\n", "a b\r\n"},
        {"empty", "", ""},
        {"euro sign is 0x80 in code page 936", "€", "\x80"},
        {"Hangul is not in code page 936", "a한b", "a?b"},
        {"emoji is not in code page 936", "a😀b", "a?b"},
        {"invalid byte",
         "a\xFF"
         "b",
         "a?b"},
        {"truncated sequence in the middle",
         "a\xE4\xB8"
         "b",
         "a?b"},
        {"truncated sequence at the end", "a\xE4\xB8", "a?"},
        {"overlong slash: two bad bytes", "\xC0\xAF", "??"},
        {"encoded surrogate: three bad bytes", "\xED\xA0\x80", "???"},
        {"stray continuation byte", "\x80中", "?\xD6\xD0"},
        {"U+0000 dropped", std::string("a\0b", 3), "ab"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(hexBytes(utf8ToGbk(r.utf8)), hexBytes(r.want));
    }
}

TEST(Codepage, GbkToUtf8) {
    struct Row {
        const char* name;
        GbkText gbk;
        std::string want;
    };
    const Row rows[] = {
        {"Chinese", "\xD6\xD0\xCE\xC4", "中文"},
        {"full-width space", "\xA1\xA1", "\u3000"},
        {"euro sign", "\x80", "€"},
        {"empty", "", ""},
        {"truncated: empty", "a\xD6", ""},
        {"invalid second byte: empty", "\xD6\x20", ""},
        {"invalid lead byte: empty", "\xFF\xA1", ""},
        {"the text ends at a zero byte", std::string("a\0\xD6\xD0", 4), "a"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(gbkToUtf8(r.gbk), r.want);
    }
}

// Where the whole text is not code page 936, every character that converts is kept and only the
// others are replaced, so that one stray byte never blanks a whole segment.
TEST(Codepage, GbkToUtf8Replacing) {
    struct Row {
        const char* name;
        GbkText gbk;
        std::string want;
    };
    const Row rows[] = {
        {"valid text as gbkToUtf8 gives it", "\xD6\xD0\xCE\xC4", "中文"},
        {"empty", "", ""},
        {"truncated final byte", "a\xD6", "a?"},
        {"invalid pair among valid ones", "\xD6\xD0\xFF\xA1\xCE\xC4", "中?文"},
        {"invalid second byte", "\xD6\x20x", "?x"},
        {"ends at a zero byte", std::string("\xFF\xA1\0\xD6\xD0", 5), "?"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(gbkToUtf8Replacing(r.gbk, "?"), r.want);
    }
}

TEST(Codepage, ConvertStrict) {
    struct Row {
        const char* name;
        std::string in;
        const char* from;
        const char* to;
        std::string want;
    };
    const Row rows[] = {
        {"results page direction", "中€", "UTF-8", "GB18030", "\xD6\xD0\xA2\xE3"},
        {"GB18030 holds every character", "😀", "UTF-8", "GB18030", "\x94\x39\xFC\x36"},
        {"invalid UTF-8: empty", "ok\xFF", "UTF-8", "GB18030", ""},
        {"truncated UTF-8: empty", "ok\xE4\xB8", "UTF-8", "GB18030", ""},
        {"unconvertible character: empty", "😀", "UTF-8", "CP936", ""},
        {"unknown encoding: empty", "abc", "NO-SUCH-CODE", "UTF-8", ""},
        {"missing encoding name: empty", "abc", nullptr, "UTF-8", ""},
        {"empty input", "", "UTF-8", "GB18030", ""},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(hexBytes(convertStrict(r.in, r.from, r.to)), hexBytes(r.want));
    }
}

// The output outgrows the first buffer guess many times over (one byte of ASCII becomes four).
TEST(Codepage, ConvertStrictGrowsItsBuffer) {
    const std::string ascii(300000, 'a');
    const Bytes wide = convertStrict(ascii, "UTF-8", "UTF-32LE");
    ASSERT_EQ(wide.size(), ascii.size() * 4);
    EXPECT_EQ(convertStrict(wide, "UTF-32LE", "UTF-8"), ascii);

    const std::string chinese = repeated("中文，", 100000);
    EXPECT_EQ(gbkToUtf8(utf8ToGbk(chinese)), chinese);
}

TEST(Codepage, IsValidUtf8) {
    struct Row {
        const char* name;
        std::string bytes;
        bool want;
    };
    const Row rows[] = {
        {"empty", "", true},
        {"ASCII", "abc", true},
        {"Chinese", "中文", true},
        {"four-byte", "😀", true},
        {"largest code point", "\xF4\x8F\xBF\xBF", true},
        {"beyond U+10FFFF", "\xF4\x90\x80\x80", false},
        {"overlong", "\xC0\xAF", false},
        {"overlong three-byte", "\xE0\x80\xAF", false},
        {"surrogate", "\xED\xA0\x80", false},
        {"truncated", "\xE4\xB8", false},
        {"stray continuation", "\x80", false},
        {"GBK bytes", "\xD6\xD0", false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(isValidUtf8(r.bytes), r.want);
    }
}

// Up to four check runs convert at the same time; each call must use its own converter.
TEST(Codepage, ConcurrentConversionsAgree) {
    const std::string page = repeated("<em>原创</em>检测，", 2000);
    const Bytes expected = convertStrict(page, "UTF-8", "GB18030");
    ASSERT_FALSE(expected.empty());
    std::vector<std::thread> threads;
    std::vector<int> failures(4, 0);
    for (int i = 0; i < 4; ++i) {
        threads.emplace_back([&, i] {
            for (int k = 0; k < 50; ++k) {
                if (convertStrict(page, "UTF-8", "GB18030") != expected || gbkToUtf8(expected) != page) {
                    ++failures[static_cast<std::size_t>(i)];
                }
            }
        });
    }
    for (std::thread& t : threads) {
        t.join();
    }
    EXPECT_EQ(failures, std::vector<int>(4, 0));
}

} // namespace
