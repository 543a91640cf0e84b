// The segmenter: the pieces of the prepared article and the segment list a check run works on.

#include "text/segmenter.h"
#include "text_test_support.h"

#include <gtest/gtest.h>

#include <climits>
#include <random>

namespace {

const Bytes Separator(SegmentSeparator);
const GbkText Zhong = "\xD6\xD0"; // 中

std::vector<std::size_t> sizesOf(const TextList& list) {
    std::vector<std::size_t> sizes;
    for (const GbkText& s : list) {
        sizes.push_back(s.size());
    }
    return sizes;
}

TEST(Segmenter, SeparatorBytes) {
    EXPECT_EQ(Separator, gbk("●◆●●◆●●●"));
    EXPECT_EQ(Separator.size(), 16u);
}

TEST(Segmenter, WorkedExamples) {
    struct Row {
        const char* name;
        GbkText t;
        int pieceSize;
        std::vector<std::size_t> segmentSizes;
        bool bufferEndsWithSeparator; // the extra last piece came out empty
    };
    const Row rows[] = {
        {"100 bytes", repeated(Zhong, 50), 76, {76, 24}, true},
        {"152 bytes: a whole number of pieces", repeated(Zhong, 76), 76, {76, 76}, true},
        {"75 characters and CR LF: the LF alone at the end", repeated(Zhong, 75) + "\r\n", 76, {76, 75, 1}, false},
        {"exactly one piece", repeated(Zhong, 38), 76, {76}, true},
        {"one piece and one character", repeated(Zhong, 39), 76, {76, 2}, true},
        {"not a multiple of the piece size", repeated(Zhong, 100), 76, {76, 76, 48}, true},
        {"one character", Zhong, 76, {2}, true},
        {"huge piece size", repeated(Zhong, 100), INT_MAX, {200}, true},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        const Bytes buffer = segmentText(r.t, r.pieceSize);
        const TextList segments = splitSegments(buffer);
        EXPECT_EQ(sizesOf(segments), r.segmentSizes);
        EXPECT_EQ(buffer.size() >= 16 && buffer.compare(buffer.size() - 16, 16, Separator) == 0,
                  r.bufferEndsWithSeparator);
        GbkText joined;
        for (const GbkText& s : segments) {
            joined += s;
        }
        EXPECT_EQ(joined, r.t);
    }
}

TEST(Segmenter, CrLfExampleInDetail) {
    const GbkText t = repeated(Zhong, 75) + "\r\n";
    const TextList segments = splitSegments(segmentText(t, 76));
    ASSERT_EQ(segments.size(), 3u);
    EXPECT_EQ(segments[0], repeated(Zhong, 38));
    EXPECT_EQ(segments[1], repeated(Zhong, 37) + "\r");
    EXPECT_EQ(segments[2], "\n");
}

TEST(Segmenter, LineFeedsShiftTheAlignment) {
    // Bytes 1-20: ten characters; 21: LF; 22-39: nine characters; 40: LF; 41-60: ten characters.
    // The first LF leaves piece 2 one byte short; after the second, the character at 59 is
    // taken whole into piece 3, one byte long.
    const GbkText t = repeated(Zhong, 10) + "\n" + repeated(Zhong, 9) + "\n" + repeated(Zhong, 10);
    const TextList segments = splitSegments(segmentText(t, 20));
    ASSERT_EQ(sizesOf(segments), (std::vector<std::size_t>{20, 19, 21}));
    EXPECT_EQ(segments[1], "\n" + repeated(Zhong, 9));
    EXPECT_EQ(segments[2], "\n" + repeated(Zhong, 10));
}

TEST(Segmenter, EmptyResults) {
    struct Row {
        const char* name;
        GbkText t;
        int pieceSize;
    };
    const Row rows[] = {
        {"empty article", "", 76},
        {"piece size 0", repeated(Zhong, 10), 0},
        {"negative piece size", repeated(Zhong, 10), -2},
        {"INT_MIN piece size", repeated(Zhong, 10), INT_MIN},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        const Bytes buffer = segmentText(r.t, r.pieceSize);
        EXPECT_TRUE(buffer.empty());
        EXPECT_TRUE(splitSegments(buffer).empty());
    }
}

// The article's own "●◆●●◆●●●" is indistinguishable from a separator once the buffer is split.
TEST(Segmenter, SeparatorInsideTheArticleCutsToo) {
    const GbkText five = repeated(Zhong, 5);
    EXPECT_EQ(splitSegments(segmentText(five + Separator + five, 76)), (TextList{five, five}));
    EXPECT_EQ(splitSegments(segmentText(Separator + five, 76)), (TextList{"", five}));
}

// splitSegments is splitBytes by the separator with bytesToText on each element; buffers with zero
// bytes, separators at the ends, doubled and cut-off separators must split alike.
TEST(Segmenter, SplitSegmentsIsSplitBytesThenBytesToText) {
    const Bytes parts[] = {Separator,           Separator, Zhong, "\n", Bytes(1, '\0'), Separator.substr(0, 8),
                           Separator.substr(2), "\xA1"};
    std::mt19937 rng(3);
    for (int round = 0; round < 2000; ++round) {
        Bytes b;
        const int n = static_cast<int>(rng() % 10);
        for (int i = 0; i < n; ++i) {
            b += parts[rng() % std::size(parts)];
        }
        TextList want;
        for (const Bytes& piece : splitBytes(b, Separator)) {
            want.push_back(bytesToText(piece));
        }
        ASSERT_EQ(splitSegments(b), want) << "b = " << hexBytes(b);
    }
}

// The algorithm as stated, one character per step through textMid and charCode, with the piece count
// from the "%.13g" text and the real comparison; the fast segmenter must produce the same buffer.
Bytes referenceSegments(const GbkText& t, int pieceSize) {
    const int length = textLength(t);
    const GbkText q = realToText(static_cast<double>(length) / pieceSize);
    const int n = findText(q, ".") == -1 ? realToInt(textToReal(q) + 1.0) : realToInt(floorToInt(textToReal(q)) + 2.0);
    Bytes out;
    int e = 1;
    for (int k = 1; k <= n; ++k) {
        GbkText piece;
        for (int step = 0; step < length; ++step) {
            if (!(static_cast<double>(e) - static_cast<double>(k) * pieceSize < -0.0000001)) {
                break;
            }
            if (charCode(textMid(t, e, 1)) < 0) {
                piece += textMid(t, e, 2);
                e += 2;
            } else {
                piece += textMid(t, e, 1);
                e += 1;
            }
        }
        out += textToBytes(piece) + Separator;
    }
    return bytesMid(out, 1, bytesLength(out) - 16);
}

TEST(Segmenter, RandomArticlesMatchTheStepByStepAlgorithm) {
    const GbkText pieces[] = {Zhong, Zhong, Zhong, "\xB0\xA1", "\r\n", "\n", "\t", "\x81\x40"};
    std::mt19937 rng(7);
    for (int round = 0; round < 1500; ++round) {
        GbkText t;
        const int n = static_cast<int>(rng() % 120);
        for (int i = 0; i < n; ++i) {
            t += pieces[rng() % std::size(pieces)];
        }
        if (rng() % 8 == 0) {
            t += "\xD6"; // an incomplete final character
        }
        const int pieceSize = 1 + static_cast<int>(rng() % 80);
        SCOPED_TRACE("t = " + hexBytes(t) + ", piece size " + std::to_string(pieceSize));
        const Bytes buffer = segmentText(t, pieceSize);
        ASSERT_EQ(hexBytes(buffer), hexBytes(referenceSegments(t, pieceSize)));

        if (pieceSize < 2) {
            continue;
        }
        // Element k holds the characters whose first byte p has (k - 1) * S <= p < k * S.
        TextList expected;
        std::size_t i = 0;
        while (i < t.size()) {
            const std::size_t k = (i + 1) / static_cast<std::size_t>(pieceSize);
            if (expected.size() <= k) {
                expected.resize(k + 1);
            }
            const std::size_t w = static_cast<unsigned char>(t[i]) >= 0x80 ? 2 : 1;
            expected[k] += t.substr(i, w);
            i += w;
        }
        ASSERT_EQ(splitSegments(buffer), expected);
    }
}

} // namespace
