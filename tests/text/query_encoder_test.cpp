// Percent-encoding of segments for the engines' query addresses, in both modes.

#include "text/query_encoder.h"
#include "text_test_support.h"

#include <gtest/gtest.h>

namespace {

TEST(QueryEncoder, BothModes) {
    struct Row {
        const char* name;
        GbkText t;
        bool keepUnreserved;
        bool asUtf8;
        GbkText want;
    };
    const Row rows[] = {
        {"plain: Baidu and Google", gbk("中"), false, false, "%D6%D0"},
        {"web: 360 Search and Sogou", gbk("中"), true, true, "%E4%B8%AD"},
        {"plain: letters and space", "a b", false, false, "%61%20%62"},
        {"plain: Chinese", gbk("中文"), false, false, "%D6%D0%CE%C4"},
        {"plain: full-width comma", gbk("，"), false, false, "%A3%AC"},
        {"plain: single hex digit padded", "\n", false, false, "%0A"},
        {"web: letters and space", "a b", true, true, "a%20b"},
        {"web: unreserved set", "A-Z.0_~", true, true, "A-Z.0%5F%7E"},
        {"web: slash", "/", true, true, "%2F"},
        {"web: full-width comma", gbk("，"), true, true, "%EF%BC%8C"},
        {"web: plus and percent", "+%", true, true, "%2B%25"},
        {"only keepUnreserved", gbk("中") + "a", true, false, "%D6%D0a"},
        {"only asUtf8", "a" + gbk("中"), false, true, "%61%E4%B8%AD"},
        // Bytes are looked at alone: the second byte of 丂 is "@", of 乤 is "A".
        {"second byte in the ASCII range, plain", gbk("丂"), true, false, "%81%40"},
        {"second byte that is a letter passes", "\x81\x41", true, false, "%81A"},
        // Stray bytes become "?" each; the rest of the segment is still encoded.
        {"web: truncated character", "a\xD6", true, true, "a%3F"},
        {"web: invalid character among valid ones", "\xFF\xA1" + gbk("中"), true, true, "%3F%E4%B8%AD"},
        {"empty, plain", "", false, false, ""},
        {"empty, web", "", true, true, ""},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(encodeQuery(r.t, r.keepUnreserved, r.asUtf8), r.want);
    }
}

TEST(QueryEncoder, DefaultsArePlainMode) {
    EXPECT_EQ(encodeQuery("a-"), "%61%2D");
}

} // namespace
