#pragma once
// Conversions between code page 936 (GBK), GB18030 and UTF-8, on iconv. This is the one place
// where the tool crosses between its GBK texts and the UTF-8 of the outside world (the window, the
// network, files written by other editors). Thread-safe: each call opens its own converter.

#include "text/gbk_text.h"

#include <string>
#include <string_view>

// The UTF-8 form of a GBK text. Invalid or truncated GBK input gives the empty text.
std::string gbkToUtf8(const GbkText& t);

// The UTF-8 form of a GBK text that need not be valid as a whole (an article read as GBK that was
// not): converted character by character where the whole fails, each character that does not
// convert becoming `replacement`, as the Windows conversion puts its default character there.
std::string gbkToUtf8Replacing(const GbkText& t, std::string_view replacement);

// The code page 936 form of a UTF-8 text, as the Windows ANSI conversion makes it: a character that
// code page 936 cannot hold becomes "?". Invalid UTF-8 sequences also become "?" each (one per
// maximal ill-formed subpart). U+0000 is dropped, since a text holds no zero byte.
GbkText utf8ToGbk(std::string_view utf8);

// True when the bytes are well-formed UTF-8 (no truncated or overlong sequence).
bool isValidUtf8(std::string_view bytes);

// Converts the whole buffer from one iconv encoding to another in one piece. Any invalid or
// truncated sequence gives the empty result (a failed conversion and an empty input look alike).
Bytes convertStrict(std::string_view bytes, const char* fromEncoding, const char* toEncoding);
