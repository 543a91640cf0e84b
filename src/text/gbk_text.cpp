#include "text/gbk_text.h"

#include "text/char_starts.h"

#include <charconv>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <new>
#include <string_view>

namespace {

constexpr std::size_t npos = std::string::npos;

unsigned char byteAt(std::string_view t, std::size_t i) {
    return static_cast<unsigned char>(t[i]);
}

// Bytes of the character that starts at i by the two-byte rule (the caller checks i < size).
std::size_t charWidth(std::string_view t, std::size_t i) {
    return byteAt(t, i) >= 0x80 ? 2 : 1;
}

int clampToInt(std::size_t n) {
    return n > static_cast<std::size_t>(INT_MAX) ? INT_MAX : static_cast<int>(n);
}

// The first occurrence of the non-empty s in t at or after `from` that begins where a character
// starts, the characters being counted from `from`; npos when none.
//
// Linear: candidates come from memmem, and whether a candidate is a character start is decided
// from the run of bytes >= 0x80 just before it (char_starts.h). Each byte is looked at by this
// backward check at most once per call.
std::size_t findAtCharStart(std::string_view t, std::size_t from, std::string_view s) {
    const std::size_t n = t.size();
    const std::size_t m = s.size();
    std::size_t cur = from; // a character start of the walk
    while (cur <= n && n - cur >= m) {
        const char* hit = text_detail::findBytes(t.data() + cur, n - cur, s.data(), m);
        if (hit == nullptr) {
            return npos;
        }
        const std::size_t q = static_cast<std::size_t>(hit - t.data());
        if (text_detail::startsCharacter(reinterpret_cast<const unsigned char*>(t.data()), cur, q)) {
            return q;
        }
        cur = q + 1; // q is the second byte of the character at q - 1
    }
    return npos;
}

bool isWhite(unsigned char c) {
    return c == ' ' || (c >= 0x09 && c <= 0x0D);
}

std::size_t skipWhite(std::string_view t, std::size_t i) {
    while (i < t.size() && isWhite(byteAt(t, i))) {
        ++i;
    }
    return i;
}

bool isDigit(unsigned char c) {
    return c >= '0' && c <= '9';
}

} // namespace

// ---- Texts --------------------------------------------------------------------------------------

int textLength(const GbkText& t) {
    return clampToInt(t.size());
}

GbkText textLeft(const GbkText& t, int n) {
    if (n <= 0) {
        return {};
    }
    return t.substr(0, static_cast<std::size_t>(n));
}

GbkText textRight(const GbkText& t, int n) {
    if (n <= 0) {
        return {};
    }
    const std::size_t k = std::min(t.size(), static_cast<std::size_t>(n));
    return t.substr(t.size() - k);
}

GbkText textMid(const GbkText& t, int p, int n) {
    if (p < 1 || n <= 0 || static_cast<std::size_t>(p) > t.size()) {
        return {};
    }
    return t.substr(static_cast<std::size_t>(p) - 1, static_cast<std::size_t>(n));
}

int charCode(const GbkText& t, int p) {
    if (p < 1 || static_cast<std::size_t>(p) > t.size()) {
        return 0;
    }
    return static_cast<signed char>(t[static_cast<std::size_t>(p) - 1]);
}

int findText(const GbkText& t, const GbkText& s, int p) {
    const std::size_t start = p < 1 ? 0 : static_cast<std::size_t>(p) - 1;
    if (start >= t.size()) {
        return -1;
    }
    if (s.empty()) {
        // Callers never search for the empty text; it is reported at position 1 while bytes remain.
        return 1;
    }
    const std::size_t q = findAtCharStart(t, start, s);
    return q == npos ? -1 : clampToInt(q + 1);
}

int findLastText(const GbkText& t, const GbkText& s) {
    if (t.empty()) {
        return -1;
    }
    if (s.empty()) {
        return 1;
    }
    std::size_t last = npos;
    std::size_t cur = 0;
    for (;;) {
        const std::size_t q = findAtCharStart(t, cur, s);
        if (q == npos) {
            break;
        }
        last = q;
        cur = q + charWidth(t, q); // occurrences may overlap: go on from the next character
    }
    return last == npos ? -1 : clampToInt(last + 1);
}

GbkText replaceAll(const GbkText& t, const GbkText& oldText, const GbkText& newText) {
    if (t.empty() || oldText.empty()) {
        return t;
    }
    GbkText out;
    std::size_t cur = 0;
    for (;;) {
        const std::size_t q = findAtCharStart(t, cur, oldText);
        if (q == npos) {
            break;
        }
        if (out.empty()) {
            out.reserve(t.size());
        }
        out.append(t, cur, q - cur);
        out += newText;
        cur = q + oldText.size();
    }
    if (cur == 0) {
        return t;
    }
    out.append(t, cur, npos);
    return out;
}

GbkText trimSpaces(const GbkText& t) {
    const std::size_t n = t.size();
    std::size_t start = 0;
    while (start < n) {
        if (byteAt(t, start) == 0x20) {
            ++start;
        } else if (start + 1 < n && byteAt(t, start) == 0xA1 && byteAt(t, start + 1) == 0xA1) {
            start += 2;
        } else {
            break;
        }
    }
    std::size_t end = start; // end of the last character that is not a space
    std::size_t i = start;
    while (i < n) {
        const unsigned char c = byteAt(t, i);
        if (c >= 0x80) {
            if (i + 1 >= n) {
                // An incomplete final character: only that byte goes.
                return t.substr(start, i - start);
            }
            if (!(c == 0xA1 && byteAt(t, i + 1) == 0xA1)) {
                end = i + 2;
            }
            i += 2;
        } else {
            if (c != 0x20) {
                end = i + 1;
            }
            ++i;
        }
    }
    return t.substr(start, end - start);
}

GbkText removeSpaces(const GbkText& t) {
    GbkText out;
    out.reserve(t.size());
    const std::size_t n = t.size();
    std::size_t i = 0;
    while (i < n) {
        const unsigned char c = byteAt(t, i);
        if (c >= 0x80) {
            if (i + 1 >= n) {
                out += t[i];
                break;
            }
            if (!(c == 0xA1 && byteAt(t, i + 1) == 0xA1)) {
                out.append(t, i, 2);
            }
            i += 2;
        } else {
            if (c != 0x20) {
                out += t[i];
            }
            ++i;
        }
    }
    return out;
}

GbkText toLowerAscii(const GbkText& t) {
    GbkText out = t;
    const std::size_t n = out.size();
    std::size_t i = 0;
    while (i < n) {
        const unsigned char c = byteAt(out, i);
        if (c >= 0x80) {
            i += 2;
        } else {
            if (c >= 'A' && c <= 'Z') {
                out[i] = static_cast<char>(c + ('a' - 'A'));
            }
            ++i;
        }
    }
    return out;
}

GbkText toHalfWidth(const GbkText& t) {
    GbkText out;
    out.resize(t.size());
    char* o = out.data();
    const unsigned char* p = reinterpret_cast<const unsigned char*>(t.data());
    const unsigned char* end = p + t.size();
    while (p < end) {
        const unsigned char c = *p;
        if (c < 0x80) {
            *o++ = static_cast<char>(c);
            ++p;
            continue;
        }
        if (end - p < 2) {
            break; // incomplete final character
        }
        const unsigned char d = p[1];
        if (c == 0xA1 && d == 0xA1) {
            *o++ = ' ';
        } else if (c == 0xA1 && d == 0xAB) {
            *o++ = '~';
        } else if (c == 0xA1 && (d == 0xEE || d == 0xEF)) {
            *o++ = '*';
        } else if (c == 0xA3 && d >= 0xA1 && d <= 0xFE) {
            *o++ = static_cast<char>(d - 0x80);
        } else {
            *o++ = static_cast<char>(c);
            *o++ = static_cast<char>(d);
        }
        p += 2;
    }
    out.resize(static_cast<std::size_t>(o - out.data()));
    return out;
}

GbkText toFullWidth(const GbkText& t) {
    GbkText out;
    out.reserve(t.size() * 2);
    const std::size_t n = t.size();
    std::size_t i = 0;
    while (i < n) {
        const unsigned char c = byteAt(t, i);
        if (c >= 0x80) {
            if (i + 1 >= n) {
                break; // incomplete final character
            }
            out.append(t, i, 2);
            i += 2;
            continue;
        }
        if (c == 0x20) {
            out += "\xA1\xA1";
        } else if (c == 0x7E) {
            out += "\xA1\xAB";
        } else if (c >= 0x21 && c <= 0x7D) {
            out += '\xA3';
            out += static_cast<char>(c + 0x80);
        } else {
            out += static_cast<char>(c);
        }
        ++i;
    }
    return out;
}

TextList splitText(const GbkText& t, const GbkText& sep) {
    TextList list;
    if (t.empty()) {
        return list;
    }
    if (sep.empty()) {
        list.push_back(t);
        return list;
    }
    std::size_t cur = 0;
    for (;;) {
        const std::size_t q = findAtCharStart(t, cur, sep);
        if (q == npos) {
            break;
        }
        list.push_back(t.substr(cur, q - cur));
        cur = q + sep.size();
    }
    if (cur < t.size()) {
        list.push_back(t.substr(cur));
    }
    return list;
}

GbkText charFromCode(int c) {
    const char b = static_cast<char>(static_cast<unsigned>(c) & 0xFFu);
    if (b == 0) {
        return {};
    }
    return GbkText(1, b);
}

GbkText toHexText(int n) {
    char buf[16];
    const auto r = std::to_chars(buf, buf + sizeof buf, static_cast<std::uint32_t>(n), 16);
    for (char* p = buf; p != r.ptr; ++p) {
        if (*p >= 'a' && *p <= 'f') {
            *p = static_cast<char>(*p - 'a' + 'A');
        }
    }
    return GbkText(buf, r.ptr);
}

GbkText spaceText(int n) {
    if (n <= 0) {
        return {};
    }
    try {
        return GbkText(static_cast<std::size_t>(n), ' ');
    } catch (const std::bad_alloc&) {
        return {};
    }
}

// ---- Numbers ------------------------------------------------------------------------------------

GbkText intToText(int n) {
    return std::to_string(n);
}

// std::to_chars with a precision is defined as printf "%.*g" in the "C" locale; unlike snprintf it
// cannot pick up a decimal comma from the process locale (which the window toolkit sets).
GbkText realToText(double x) {
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, x, std::chars_format::general, 13);
    if (r.ec != std::errc{}) {
        return {};
    }
    return GbkText(buf, r.ptr);
}

double textToReal(const GbkText& t) {
    const GbkText h = toHalfWidth(t);
    const std::string_view v = h;
    std::size_t i = skipWhite(v, 0);
    bool negative = false;
    if (i < v.size() && (v[i] == '+' || v[i] == '-')) {
        negative = v[i] == '-';
        ++i;
    }
    const std::size_t numStart = i;
    // Decimal magnitude of the number (position of its first significant digit relative to the
    // point), kept to decide between infinity and zero when the value leaves the double range.
    long long magnitude = 0;
    bool seenSignificant = false;
    std::size_t digits = 0;
    while (i < v.size() && isDigit(byteAt(v, i))) {
        seenSignificant = seenSignificant || v[i] != '0';
        if (seenSignificant && magnitude < 1000000) {
            ++magnitude;
        }
        ++i;
        ++digits;
    }
    if (i < v.size() && v[i] == '.') {
        std::size_t j = i + 1;
        std::size_t fracDigits = 0;
        while (j < v.size() && isDigit(byteAt(v, j))) {
            if (!seenSignificant) {
                if (v[j] != '0') {
                    seenSignificant = true;
                } else if (magnitude > -1000000) {
                    --magnitude;
                }
            }
            ++j;
            ++fracDigits;
        }
        if (digits + fracDigits > 0) {
            i = j;
            digits += fracDigits;
        }
    }
    if (digits == 0) {
        return 0.0;
    }
    if (i < v.size() && (v[i] == 'e' || v[i] == 'E')) {
        std::size_t j = i + 1;
        bool expNegative = false;
        if (j < v.size() && (v[j] == '+' || v[j] == '-')) {
            expNegative = v[j] == '-';
            ++j;
        }
        if (j < v.size() && isDigit(byteAt(v, j))) {
            long long e = 0;
            while (j < v.size() && isDigit(byteAt(v, j))) {
                if (e < 1000000) {
                    e = e * 10 + (v[j] - '0');
                }
                ++j;
            }
            i = j;
            magnitude += expNegative ? -e : e;
        }
    }
    double value = 0.0;
    const auto r = std::from_chars(v.data() + numStart, v.data() + i, value, std::chars_format::general);
    if (r.ec == std::errc::result_out_of_range) {
        value = magnitude <= 0 ? 0.0 : std::numeric_limits<double>::infinity();
    } else if (r.ec != std::errc{}) {
        value = 0.0;
    }
    return negative ? -value : value;
}

int textToInt(const GbkText& t) {
    const GbkText h = toHalfWidth(t);
    const std::string_view v = h;
    std::size_t i = skipWhite(v, 0);
    bool negative = false;
    if (i < v.size() && (v[i] == '+' || v[i] == '-')) {
        negative = v[i] == '-';
        ++i;
    }
    // Accumulated as a magnitude capped just past the 32-bit range.
    constexpr std::int64_t cap = static_cast<std::int64_t>(INT_MAX) + 1;
    std::int64_t value = 0;
    while (i < v.size() && isDigit(byteAt(v, i))) {
        value = value * 10 + (v[i] - '0');
        if (value > cap) {
            value = cap;
        }
        ++i;
    }
    if (negative) {
        return static_cast<int>(-value); // -cap is INT_MIN
    }
    return value >= cap ? INT_MAX : static_cast<int>(value);
}

int realToInt(double x) {
    if (std::isnan(x)) {
        return 0;
    }
    const double tr = std::trunc(x);
    if (tr >= 2147483647.0) {
        return INT_MAX;
    }
    if (tr <= -2147483648.0) {
        return INT_MIN;
    }
    return static_cast<int>(tr);
}

int floorToInt(double x) {
    if (std::isnan(x)) {
        return 0;
    }
    double i = 0.0;
    const double f = std::modf(x, &i);
    if (f > 0.999999999999) {
        i += 1.0;
    }
    return realToInt(i);
}

double roundTo(double x, int n) {
    if (x == 0.0) {
        return 0.0;
    }
    double m = std::fabs(x);
    const double scale = std::pow(10.0, std::fabs(static_cast<double>(n)));
    if (n > 0) {
        m = m * scale;
    } else if (n < 0) {
        m = m / scale;
    }
    if (!std::isfinite(m) || !std::isfinite(scale)) {
        // So many places that the scaled value leaves the double range: the value needs no rounding
        // (n > 0) or rounds to zero (n < 0).
        if (std::isnan(x) || std::isinf(x)) {
            return x;
        }
        return n > 0 ? x : std::copysign(0.0, x);
    }
    double i = 0.0;
    const double f = std::modf(m + 0.000000000001, &i);
    double r = f >= 0.5 ? i + 1.0 : i;
    if (n > 0) {
        r = r / scale;
    } else if (n < 0) {
        r = r * scale;
    }
    return x < 0 ? -r : r;
}

// ---- Byte buffers -------------------------------------------------------------------------------

Bytes zeroBytes(int n) {
    if (n <= 0) {
        return {};
    }
    try {
        return Bytes(static_cast<std::size_t>(n), '\0');
    } catch (const std::bad_alloc&) {
        return {};
    }
}

Bytes bytesLeft(const Bytes& b, int n) {
    if (n <= 0) {
        return {};
    }
    return b.substr(0, static_cast<std::size_t>(n));
}

Bytes textToBytes(const GbkText& t) {
    return t;
}

GbkText bytesToText(const Bytes& b) {
    const std::size_t z = b.find('\0');
    return z == npos ? b : b.substr(0, z);
}

int bytesLength(const Bytes& b) {
    return clampToInt(b.size());
}

Bytes bytesMid(const Bytes& b, int p, int n) {
    const std::size_t start = p < 1 ? 0 : static_cast<std::size_t>(p) - 1;
    if (n <= 0 || start >= b.size()) {
        return {};
    }
    return b.substr(start, static_cast<std::size_t>(n));
}

BytesList splitBytes(const Bytes& b, const Bytes& sep) {
    BytesList list;
    if (b.empty()) {
        return list;
    }
    if (sep.empty()) {
        list.push_back(b);
        return list;
    }
    std::size_t cur = 0;
    while (b.size() - cur >= sep.size()) {
        const char* hit = text_detail::findBytes(b.data() + cur, b.size() - cur, sep.data(), sep.size());
        if (hit == nullptr) {
            break;
        }
        const std::size_t q = static_cast<std::size_t>(hit - b.data());
        list.push_back(b.substr(cur, q - cur));
        cur = q + sep.size();
    }
    if (cur < b.size()) {
        list.push_back(b.substr(cur));
    }
    return list;
}
