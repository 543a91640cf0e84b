// Text and byte-buffer operations: positions, the two-byte walk, width tables, splitting.

#include "text/gbk_text.h"
#include "text_test_support.h"

#include <gtest/gtest.h>

#include <climits>
#include <random>

namespace {

// Two-byte characters used below, as bytes.
const GbkText Ah = "\xB0\xA1";        // 啊
const GbkText Quote = "\xA1\xB0";     // “ (its bytes also spell the middle of 啊啊)
const GbkText IdeoSpace = "\xA1\xA1"; // full-width space
const GbkText TrailA = "\x81\x41";    // a character whose second byte is the ASCII letter A

// ---- Cutting by position ------------------------------------------------------------------------

TEST(TextCut, LeftRightMidClampAndRejectOutOfRange) {
    const GbkText ten = "0123456789";
    struct Row {
        const char* name;
        GbkText got;
        GbkText want;
    };
    const Row rows[] = {
        {"mid from 9, 5 bytes: stops at the end", textMid(ten, 9, 5), "89"},
        {"mid from 11: beyond the end", textMid(ten, 11, 5), ""},
        {"mid from 10, last byte", textMid(ten, 10, 1), "9"},
        {"mid from 0", textMid(ten, 0, 3), ""},
        {"mid count 0", textMid(ten, 3, 0), ""},
        {"mid count negative", textMid(ten, 3, -1), ""},
        {"mid huge count", textMid(ten, 1, INT_MAX), ten},
        {"mid INT_MAX position", textMid(ten, INT_MAX, 1), ""},
        {"mid INT_MIN position", textMid(ten, INT_MIN, 5), ""},
        {"mid of empty", textMid("", 1, 1), ""},
        {"left 3", textLeft(ten, 3), "012"},
        {"left 0", textLeft(ten, 0), ""},
        {"left INT_MIN", textLeft(ten, INT_MIN), ""},
        {"left INT_MAX", textLeft(ten, INT_MAX), ten},
        {"left cuts a two-byte character", textLeft(gbk("中文"), 3), "\xD6\xD0\xCE"},
        {"right 3", textRight(ten, 3), "789"},
        {"right 0", textRight(ten, 0), ""},
        {"right INT_MIN", textRight(ten, INT_MIN), ""},
        {"right INT_MAX", textRight(ten, INT_MAX), ten},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(hexBytes(r.got), hexBytes(r.want));
    }
    EXPECT_EQ(textLength(ten), 10);
    EXPECT_EQ(textLength(gbk("中文")), 4);
}

TEST(TextCut, CharCodeIsSignedAndZeroOutOfRange) {
    const GbkText t = "a" + gbk("中");
    EXPECT_EQ(charCode(t), 97);
    EXPECT_EQ(charCode(t, 2), static_cast<signed char>('\xD6'));
    EXPECT_LT(charCode(t, 2), 0);
    EXPECT_EQ(charCode(t, 0), 0);
    EXPECT_EQ(charCode(t, 4), 0);
    EXPECT_EQ(charCode(t, INT_MIN), 0);
    EXPECT_EQ(charCode(t, INT_MAX), 0);
    EXPECT_EQ(charCode(""), 0);
}

// ---- Search, replacement and splitting walk by characters ---------------------------------------

TEST(TextSearch, FindTextMatchesOnlyAtCharacterStarts) {
    struct Row {
        const char* name;
        GbkText t;
        GbkText s;
        int p;
        int want;
    };
    const Row rows[] = {
        {"point in 2.5", "2.5", ".", 1, 2},
        {"no point in 2", "2", ".", 1, -1},
        {"start beyond the end", "2.5", ".", 4, -1},
        {"start at INT_MAX", "2.5", ".", INT_MAX, -1},
        {"start 0 counts as 1", "2.5", ".", 0, 2},
        {"start INT_MIN counts as 1", "2.5", ".", INT_MIN, 2},
        {"start after the occurrence", "a.b.c", ".", 3, 4},
        {"start on the occurrence", "a.b.c", ".", 4, 4},
        {"needle at an odd offset inside two-byte characters", Ah + Ah, Quote, 1, -1},
        {"the same bytes after a one-byte character are aligned", "x" + Ah + "y" + Quote, Quote, 1, 5},
        {"characters are counted from the scan start", Ah + Ah, Quote, 2, 2},
        {"second byte in the ASCII range is not a letter", TrailA + "A", "A", 1, 3},
        {"needle is the whole text", Ah + "b", Ah + "b", 1, 1},
        {"needle longer than the text", "ab", "abc", 1, -1},
        {"lone lead byte at the end matches itself", "a\xB0", "\xB0", 1, 2},
        {"incomplete final character ends the walk", "a\xB0", "b", 1, -1},
        {"case counts", "ABC", "b", 1, -1},
        {"width counts", gbk("ＡＢ"), "A", 1, -1},
        {"Chinese needle", gbk("原创度检测"), gbk("检测"), 1, 7},
        {"empty needle from the start", "abc", "", 1, 1},
        {"empty needle beyond the end", "abc", "", 4, -1},
        {"empty needle from a later position still gives 1", "abc", "", 2, 1},
        {"empty text", "", "a", 1, -1},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(findText(r.t, r.s, r.p), r.want);
    }
}

TEST(TextSearch, FindLastText) {
    struct Row {
        const char* name;
        GbkText t;
        GbkText s;
        int want;
    };
    const Row rows[] = {
        {"last of several", "a.b.c", ".", 4},
        {"none", "abc", ".", -1},
        {"occurrences may overlap", "aaa", "aa", 2},
        {"misaligned bytes are skipped", Quote + Ah + Ah, Quote, 1},
        {"empty text", "", "a", -1},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(findLastText(r.t, r.s), r.want);
    }
}

TEST(TextSearch, ReplaceAll) {
    struct Row {
        const char* name;
        GbkText t;
        GbkText oldText;
        GbkText newText;
        GbkText want;
    };
    const Row rows[] = {
        {"CR LF pairs go, lone CR and LF stay", "a\r\nb\rc\n\r\nd", "\r\n", "", "ab\rc\nd"},
        {"occurrences do not overlap", "aaa", "aa", "b", "ba"},
        {"the replacement is not searched again", "aa", "a", "aa", "aaaa"},
        {"misaligned bytes are not replaced", Ah + Ah, Quote, "x", Ah + Ah},
        {"aligned occurrence is replaced", Quote + Ah, Quote, "x", "x" + Ah},
        {"second byte in the ASCII range", TrailA + "A", "A", "b", TrailA + "b"},
        {"full-width to half-width letter", gbk("ＡｂＡ"), gbk("Ａ"), "A", "A" + gbk("ｂ") + "A"},
        {"empty old gives t", "abc", "", "x", "abc"},
        {"empty t gives t", "", "a", "x", ""},
        {"absent", "abc", "d", "x", "abc"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(hexBytes(replaceAll(r.t, r.oldText, r.newText)), hexBytes(r.want));
    }
}

TEST(TextSearch, SplitText) {
    struct Row {
        const char* name;
        GbkText t;
        GbkText sep;
        TextList want;
    };
    const Row rows[] = {
        {"plain", "a,b,c", ",", {"a", "b", "c"}},
        {"empty piece between two separators stays", "a,,b", ",", {"a", "", "b"}},
        {"leading separator gives an empty first piece", ",a", ",", {"", "a"}},
        {"trailing empty piece is dropped", "a,b,", ",", {"a", "b"}},
        {"empty text", "", ",", {}},
        {"empty separator", "abc", "", {"abc"}},
        {"misaligned separator bytes do not split", Ah + Ah, Quote, {Ah + Ah}},
        {"CR LF lines", "x\r\ny\r\n", "\r\n", {"x", "y"}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(splitText(r.t, r.sep), r.want);
    }
}

// The character walk reduces a search to "compare at every character start"; these references do
// exactly that, byte by byte, and random texts full of misaligned look-alikes are checked against them.
int referenceFind(const GbkText& t, const GbkText& s, int p) {
    std::size_t i = p < 1 ? 0 : static_cast<std::size_t>(p) - 1;
    if (i >= t.size()) {
        return -1;
    }
    while (t.size() - i >= s.size()) {
        if (t.compare(i, s.size(), s) == 0) {
            return static_cast<int>(i) + 1;
        }
        if (static_cast<unsigned char>(t[i]) >= 0x80) {
            if (i + 1 == t.size()) {
                return -1;
            }
            i += 2;
        } else {
            i += 1;
        }
    }
    return -1;
}

int referenceFindLast(const GbkText& t, const GbkText& s) {
    int last = -1;
    std::size_t i = 0;
    while (i < t.size() && t.size() - i >= s.size()) {
        if (t.compare(i, s.size(), s) == 0) {
            last = static_cast<int>(i) + 1;
        }
        i += static_cast<unsigned char>(t[i]) >= 0x80 ? 2 : 1;
    }
    return last;
}

GbkText referenceReplace(const GbkText& t, const GbkText& o, const GbkText& n) {
    GbkText out;
    std::size_t i = 0;
    while (i < t.size()) {
        if (t.size() - i < o.size()) {
            out += t.substr(i);
            break;
        }
        if (t.compare(i, o.size(), o) == 0) {
            out += n;
            i += o.size();
            continue;
        }
        const std::size_t w = static_cast<unsigned char>(t[i]) >= 0x80 ? 2 : 1;
        out += t.substr(i, w);
        i += w;
    }
    return out;
}

// The width table applied character by character.
GbkText referenceHalfWidth(const GbkText& t) {
    GbkText out;
    std::size_t i = 0;
    while (i < t.size()) {
        const auto c = static_cast<unsigned char>(t[i]);
        if (c < 0x80) {
            out += t[i++];
            continue;
        }
        if (i + 1 == t.size()) {
            break;
        }
        const auto d = static_cast<unsigned char>(t[i + 1]);
        if (c == 0xA1 && d == 0xA1) {
            out += ' ';
        } else if (c == 0xA1 && d == 0xAB) {
            out += '~';
        } else if (c == 0xA1 && (d == 0xEE || d == 0xEF)) {
            out += '*';
        } else if (c == 0xA3 && d >= 0xA1 && d <= 0xFE) {
            out += static_cast<char>(d - 0x80);
        } else {
            out += t.substr(i, 2);
        }
        i += 2;
    }
    return out;
}

TEST(TextSearch, RandomTextsAgreeWithACharacterByCharacterWalk) {
    // Among them full-width forms, and A1 and A3 as second bytes (啊 is B0 A1) and as lone bytes.
    const GbkText pieces[] = {"a",    "A",    "\r",       "\n",       Ah,         Quote,  IdeoSpace, TrailA,
                              "\xA1", "\xB0", "\xA3\xC1", "\xA1\xAB", "\xA1\xEE", "\xA3", "\xB0\xA3"};
    std::mt19937 rng(20240601);
    auto randomText = [&](int maxPieces) {
        GbkText t;
        const int n = static_cast<int>(rng() % static_cast<unsigned>(maxPieces + 1));
        for (int i = 0; i < n; ++i) {
            t += pieces[rng() % std::size(pieces)];
        }
        return t;
    };
    for (int round = 0; round < 4000; ++round) {
        const GbkText t = randomText(24);
        GbkText s;
        if (round % 2 == 0 && !t.empty()) {
            // A slice of t at any byte offset: often misaligned.
            const std::size_t at = rng() % t.size();
            s = t.substr(at, 1 + rng() % 4);
        } else {
            s = randomText(3);
        }
        if (s.empty()) {
            s = "a";
        }
        const int p = static_cast<int>(rng() % (t.size() + 3)) - 1;
        SCOPED_TRACE("t = " + hexBytes(t) + ", s = " + hexBytes(s) + ", p = " + std::to_string(p));
        ASSERT_EQ(findText(t, s, p), referenceFind(t, s, p));
        ASSERT_EQ(findLastText(t, s), referenceFindLast(t, s));
        ASSERT_EQ(hexBytes(replaceAll(t, s, "#")), hexBytes(t.empty() ? t : referenceReplace(t, s, "#")));
        ASSERT_EQ(hexBytes(toHalfWidth(t)), hexBytes(referenceHalfWidth(t)));
    }
}

// ---- Spaces, case and width ---------------------------------------------------------------------

TEST(TextSpaces, TrimSpaces) {
    struct Row {
        const char* name;
        GbkText t;
        GbkText want;
    };
    const Row rows[] = {
        {"leading TAB and trailing CR LF stay", " \tabc\r\n ", "\tabc\r\n"},
        {"mixed leading run of both spaces", " " + IdeoSpace + "  " + IdeoSpace + "x", "x"},
        {"trailing run of both spaces", "x " + IdeoSpace + " ", "x"},
        {"inner spaces stay", " a b" + IdeoSpace + "c ", "a b" + IdeoSpace + "c"},
        {"only spaces", "  " + IdeoSpace, ""},
        {"empty", "", ""},
        {"incomplete final character: only that byte goes", "ab  \xB0", "ab  "},
        {"full-width space after a character ending in A1", Ah + IdeoSpace, Ah},
        {"A1 A1 across two characters is no space", Ah + "\xA1\xB0", Ah + Quote},
        {"lone A1 at the end", IdeoSpace + "\xA1", ""},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(hexBytes(trimSpaces(r.t)), hexBytes(r.want));
    }
}

TEST(TextSpaces, RemoveSpacesAndLowerCase) {
    EXPECT_EQ(removeSpaces(" a b" + IdeoSpace + "c "), "abc");
    EXPECT_EQ(removeSpaces(Ah + IdeoSpace + Ah), Ah + Ah);
    // The bytes A1 A1 that straddle two characters are no full-width space.
    EXPECT_EQ(removeSpaces(Ah + Quote), Ah + Quote);
    EXPECT_EQ(removeSpaces(""), "");

    EXPECT_EQ(toLowerAscii("ABC" + Ah + "Zz"), "abc" + Ah + "zz");
    EXPECT_EQ(toLowerAscii(TrailA + "A"), TrailA + "a") << "the second byte of a character is not a letter";
    EXPECT_EQ(toLowerAscii(gbk("ＡＢ")), gbk("ＡＢ"));
}

TEST(TextWidth, HalfWidthTable) {
    struct Row {
        const char* name;
        GbkText in;
        GbkText want;
    };
    const Row rows[] = {
        {"full-width space", "\xA1\xA1", " "},
        {"full-width tilde", "\xA1\xAB", "~"},
        {"white star", "\xA1\xEE", "*"},
        {"black star", "\xA1\xEF", "*"},
        {"full-width exclamation mark", "\xA3\xA1", "!"},
        {"full-width yen sign", "\xA3\xA4", "$"},
        {"full-width digit 0", "\xA3\xB0", "0"},
        {"full-width A", "\xA3\xC1", "A"},
        {"full-width z", "\xA3\xFA", "z"},
        {"full-width macron", "\xA3\xFE", "~"},
        {"ideographic full stop stays", "\xA1\xA3", "\xA1\xA3"},
        {"A3 A0 is outside the row", "\xA3\xA0", "\xA3\xA0"},
        {"A3 FF is outside the row", "\xA3\xFF", "\xA3\xFF"},
        {"Chinese stays", gbk("中文"), gbk("中文")},
        {"ASCII and controls stay", "aZ9 ~\t\r\n\x7F", "aZ9 ~\t\r\n\x7F"},
        {"incomplete final character dropped", "\xA3\xC1\xA3", "A"},
        {"cut by textLeft", textLeft(gbk("中文"), 3), gbk("中")},
        {"star after a character ending in A1", Ah + "\xA1\xEE", Ah + "*"},
        {"A3 as a second byte starts no row A3 form", "\xB0\xA3\xC1", "\xB0\xA3"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(hexBytes(toHalfWidth(r.in)), hexBytes(r.want));
    }
}

TEST(TextWidth, FullWidthTable) {
    struct Row {
        const char* name;
        GbkText in;
        GbkText want;
    };
    const Row rows[] = {
        {"a, space, b, tilde", "a b~", "\xA3\xE1\xA1\xA1\xA3\xE2\xA1\xAB"},
        {"exclamation mark", "!", "\xA3\xA1"},
        {"letter A", "A", "\xA3\xC1"},
        {"closing brace", "}", "\xA3\xFD"},
        {"controls and DEL stay", "\t\r\n\x01\x1F\x7F", "\t\r\n\x01\x1F\x7F"},
        {"Chinese stays", gbk("中"), gbk("中")},
        {"second byte in the ASCII range stays", TrailA, TrailA},
        {"incomplete final character dropped", "a\xB0", "\xA3\xE1"},
        {"empty", "", ""},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(hexBytes(toFullWidth(r.in)), hexBytes(r.want));
    }
}

TEST(TextWidth, RoundTrips) {
    GbkText ascii;
    for (int c = 1; c < 0x80; ++c) {
        ascii += static_cast<char>(c);
    }
    EXPECT_EQ(hexBytes(toHalfWidth(toFullWidth(ascii))), hexBytes(ascii));
    // The reverse is not a round trip for the macron and the stars.
    EXPECT_EQ(hexBytes(toFullWidth(toHalfWidth("\xA3\xFE"))), "A1 AB");
    EXPECT_EQ(hexBytes(toFullWidth(toHalfWidth("\xA1\xEE\xA1\xEF"))), "A3 AA A3 AA");
}

// ---- Small builders -----------------------------------------------------------------------------

TEST(TextBuilders, CharFromCodeHexAndSpaces) {
    EXPECT_EQ(charFromCode(65), "A");
    EXPECT_EQ(charFromCode(0), "");
    EXPECT_EQ(charFromCode(256), "") << "only the low 8 bits count";
    EXPECT_EQ(charFromCode(0x141), "A");
    EXPECT_EQ(charFromCode(-1), "\xFF");
    EXPECT_EQ(charFromCode(INT_MIN), "");

    EXPECT_EQ(toHexText(0), "0");
    EXPECT_EQ(toHexText(10), "A");
    EXPECT_EQ(toHexText(0xD6), "D6");
    EXPECT_EQ(toHexText(0x1F0), "1F0");
    EXPECT_EQ(toHexText(-1), "FFFFFFFF");
    EXPECT_EQ(toHexText(INT_MIN), "80000000");

    EXPECT_EQ(spaceText(3), "   ");
    EXPECT_EQ(spaceText(0), "");
    EXPECT_EQ(spaceText(INT_MIN), "");
}

// ---- Byte buffers -------------------------------------------------------------------------------

TEST(Bytes, CutsAndConversions) {
    const Bytes b("ab\0cd", 5);
    EXPECT_EQ(bytesLength(b), 5);
    EXPECT_EQ(bytesToText(b), "ab");
    EXPECT_EQ(bytesToText("abc"), "abc");
    EXPECT_EQ(bytesToText(Bytes(1, '\0')), "");
    EXPECT_EQ(textToBytes(gbk("中")), "\xD6\xD0");
    EXPECT_EQ(zeroBytes(3), Bytes(3, '\0'));
    EXPECT_EQ(zeroBytes(0), "");
    EXPECT_EQ(zeroBytes(INT_MIN), "");
    EXPECT_EQ(bytesLeft(b, 3), Bytes("ab\0", 3));
    EXPECT_EQ(bytesLeft(b, -1), "");
    EXPECT_EQ(bytesLeft(b, INT_MAX), b);

    struct Row {
        const char* name;
        int p;
        int n;
        Bytes want;
    };
    const Row rows[] = {
        {"middle", 2, 2, Bytes("b\0", 2)},
        {"position 0 counts as 1", 0, 2, "ab"},
        {"INT_MIN position counts as 1", INT_MIN, 1, "a"},
        {"negative count counts as 0", 1, -3, ""},
        {"count past the end stops there", 4, 10, "cd"},
        {"beyond the end", 6, 1, ""},
        {"huge both", INT_MAX, INT_MAX, ""},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(hexBytes(bytesMid(b, r.p, r.n)), hexBytes(r.want));
    }
}

TEST(Bytes, SplitBytesScansByteByByte) {
    const Bytes sep = "<>";
    struct Row {
        const char* name;
        Bytes b;
        Bytes sep;
        BytesList want;
    };
    const Row rows[] = {
        {"X sep Y sep", "X<>Y<>", sep, {"X", "Y"}},
        {"sep X", "<>X", sep, {"", "X"}},
        {"X sep sep Y", "X<><>Y", sep, {"X", "", "Y"}},
        {"sep only", "<>", sep, {""}},
        {"no sep", "XY", sep, {"XY"}},
        {"empty buffer", "", sep, {}},
        {"empty separator", "XY", "", {"XY"}},
        {"overlapping candidates", "aaa", "aa", {"", "a"}},
        {"zero bytes are ordinary bytes", Bytes("a\0b\0", 4), Bytes(1, '\0'), {"a", "b"}},
        // Unlike splitText, a separator at an odd offset inside two-byte characters splits.
        {"misaligned separator splits", Ah + Ah, Quote, {"\xB0", "\xA1"}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(splitBytes(r.b, r.sep), r.want);
    }
}

} // namespace
