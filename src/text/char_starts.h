#pragma once
// Internal to the text library: where characters start, without walking a text character by
// character. The byte after any byte below 0x80 always starts a character (that byte is either a
// one-byte character or the second byte of a two-byte one); within a run of bytes of 0x80 or more
// the starts alternate from the run's beginning.

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace text_detail {

// The start of the run of bytes >= 0x80 that ends just before index q, not going below `from`.
inline std::size_t highRunStart(const unsigned char* bytes, std::size_t from, std::size_t q) {
    constexpr std::uint64_t highBits = 0x8080808080808080ull;
    std::size_t j = q;
    while (j - from >= 8) {
        std::uint64_t word;
        std::memcpy(&word, bytes + j - 8, 8);
        if ((word & highBits) != highBits) {
            break;
        }
        j -= 8;
    }
    while (j > from && bytes[j - 1] >= 0x80) {
        --j;
    }
    return j;
}

// The first occurrence of the m bytes at s in the n bytes at h, byte by byte; nullptr when none.
// Linear. glibc's memmem compares a two-byte needle one byte at a time; memchr for its first byte
// is many times faster.
inline const char* findBytes(const char* h, std::size_t n, const char* s, std::size_t m) {
    if (m > 2) {
        return static_cast<const char*>(memmem(h, n, s, m));
    }
    if (m == 0) {
        return h;
    }
    const char* const end = h + n;
    const char* p = h;
    while (static_cast<std::size_t>(end - p) >= m) {
        p = static_cast<const char*>(std::memchr(p, s[0], static_cast<std::size_t>(end - p) - (m - 1)));
        if (p == nullptr || m == 1 || p[1] == s[1]) {
            return p;
        }
        ++p;
    }
    return nullptr;
}

// Whether index q starts a character, given that `from` (<= q) does.
inline bool startsCharacter(const unsigned char* bytes, std::size_t from, std::size_t q) {
    return (q - highRunStart(bytes, from, q)) % 2 == 0;
}

} // namespace text_detail
