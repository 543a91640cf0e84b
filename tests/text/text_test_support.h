#pragma once
// Helpers shared by the text core tests.

#include "text/codepage.h"
#include "text/gbk_text.h"

#include <string>

// A code page 936 text from a UTF-8 literal of this source file.
inline GbkText gbk(const char* utf8) {
    return utf8ToGbk(utf8);
}

// The bytes of s as "D6 D0 0A", for readable failure messages.
inline std::string hexBytes(const std::string& s) {
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string out;
    for (const char ch : s) {
        const auto c = static_cast<unsigned char>(ch);
        if (!out.empty()) {
            out += ' ';
        }
        out += digits[c >> 4];
        out += digits[c & 0x0F];
    }
    return out;
}

// n copies of s.
inline std::string repeated(const std::string& s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) {
        out += s;
    }
    return out;
}
