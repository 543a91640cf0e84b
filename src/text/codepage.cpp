#include "text/codepage.h"

#include <cerrno>
#include <iconv.h>
#include <memory>
#include <new>
#include <type_traits>

namespace {

struct IconvCloser {
    void operator()(void* cd) const { iconv_close(static_cast<iconv_t>(cd)); }
};
using Converter = std::unique_ptr<std::remove_pointer_t<iconv_t>, IconvCloser>;

// glibc loads a conversion module when a converter needs it and unloads it once no converter has
// used it for a while; with converters opened and closed per call on several threads, the modules
// were loaded and unloaded thousands of times a second (each unload a munmap that stalls every
// thread of the process). One converter per module, opened once and never closed, keeps them loaded.
void keepModulesLoaded() {
    // Held in static storage so that leak checkers see them as still in use.
    static const iconv_t keptOpen[] = {iconv_open("UTF-8", "CP936"), iconv_open("UTF-8", "GB18030")};
    (void)keptOpen;
}

Converter openConverter(const char* from, const char* to) {
    if (from == nullptr || to == nullptr) {
        return Converter{};
    }
    keepModulesLoaded();
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        return Converter{};
    }
    return Converter{cd};
}

unsigned char at(std::string_view s, std::size_t i) {
    return static_cast<unsigned char>(s[i]);
}

// Length of the well-formed UTF-8 sequence at i, or 0 when the bytes there do not form one.
// When 0, *invalidLength is the number of bytes to replace by one "?": the maximal prefix of a
// sequence that could still have become valid, at least one byte.
std::size_t utf8SequenceAt(std::string_view s, std::size_t i, std::size_t* invalidLength) {
    const unsigned char c = at(s, i);
    std::size_t need = 0;
    unsigned char lo = 0x80;
    unsigned char hi = 0xBF;
    if (c < 0x80) {
        return 1;
    } else if (c >= 0xC2 && c <= 0xDF) {
        need = 1;
    } else if (c == 0xE0) {
        need = 2;
        lo = 0xA0;
    } else if (c == 0xED) {
        need = 2;
        hi = 0x9F; // no surrogates
    } else if (c >= 0xE1 && c <= 0xEF) {
        need = 2;
    } else if (c == 0xF0) {
        need = 3;
        lo = 0x90;
    } else if (c == 0xF4) {
        need = 3;
        hi = 0x8F; // nothing above U+10FFFF
    } else if (c >= 0xF1 && c <= 0xF3) {
        need = 3;
    } else {
        *invalidLength = 1;
        return 0;
    }
    std::size_t k = 1;
    for (; k <= need; ++k) {
        if (i + k >= s.size()) {
            break;
        }
        const unsigned char d = at(s, i + k);
        const unsigned char l = k == 1 ? lo : 0x80;
        const unsigned char h = k == 1 ? hi : 0xBF;
        if (d < l || d > h) {
            break;
        }
    }
    if (k == need + 1) {
        return need + 1;
    }
    *invalidLength = k;
    return 0;
}

} // namespace

bool isValidUtf8(std::string_view bytes) {
    std::size_t i = 0;
    while (i < bytes.size()) {
        if (at(bytes, i) < 0x80) {
            ++i;
            continue;
        }
        std::size_t bad = 0;
        const std::size_t len = utf8SequenceAt(bytes, i, &bad);
        if (len == 0) {
            return false;
        }
        i += len;
    }
    return true;
}

Bytes convertStrict(std::string_view bytes, const char* fromEncoding, const char* toEncoding) {
    try {
        if (bytes.empty()) {
            return {};
        }
        Converter cd = openConverter(fromEncoding, toEncoding);
        if (!cd) {
            return {};
        }
        Bytes out;
        out.resize(bytes.size() * 2 + 16);
        char* in = const_cast<char*>(bytes.data()); // iconv's signature only; it does not write
        std::size_t inLeft = bytes.size();
        std::size_t used = 0;
        bool flushing = false;
        for (;;) {
            char* o = out.data() + used;
            std::size_t outLeft = out.size() - used;
            const std::size_t r = flushing ? iconv(cd.get(), nullptr, nullptr, &o, &outLeft)
                                           : iconv(cd.get(), &in, &inLeft, &o, &outLeft);
            used = static_cast<std::size_t>(o - out.data());
            if (r != static_cast<std::size_t>(-1)) {
                if (flushing) {
                    break;
                }
                flushing = true; // write any final shift sequence
                continue;
            }
            if (errno != E2BIG) {
                return {}; // EILSEQ (invalid or unconvertible) or EINVAL (truncated)
            }
            out.resize(out.size() * 2);
        }
        out.resize(used);
        return out;
    } catch (const std::bad_alloc&) {
        return {};
    }
}

std::string gbkToUtf8(const GbkText& t) {
    // The text ends at a zero byte, as a C string handed to the Windows conversion does.
    return convertStrict(bytesToText(t), "CP936", "UTF-8");
}

std::string gbkToUtf8Replacing(const GbkText& t, std::string_view replacement) {
    std::string whole = gbkToUtf8(t);
    if (!whole.empty() || bytesToText(t).empty()) {
        return whole;
    }
    std::string out;
    for (std::size_t i = 0; i < t.size() && t[i] != '\0';) {
        const std::size_t n = static_cast<unsigned char>(t[i]) >= 0x80 && i + 1 < t.size() ? 2 : 1;
        const std::string piece = gbkToUtf8(t.substr(i, n));
        if (piece.empty()) {
            out += replacement;
        } else {
            out += piece;
        }
        i += n;
    }
    return out;
}

GbkText utf8ToGbk(std::string_view utf8) {
    try {
        if (utf8.empty()) {
            return {};
        }
        Converter cd = openConverter("UTF-8", "CP936");
        if (!cd) {
            return {};
        }
        GbkText out;
        out.resize(utf8.size() + 16);
        std::size_t used = 0;
        std::size_t pos = 0;
        while (pos < utf8.size()) {
            char* in = const_cast<char*>(utf8.data() + pos);
            std::size_t inLeft = utf8.size() - pos;
            char* o = out.data() + used;
            std::size_t outLeft = out.size() - used;
            const std::size_t r = iconv(cd.get(), &in, &inLeft, &o, &outLeft);
            const int err = errno;
            used = static_cast<std::size_t>(o - out.data());
            pos = static_cast<std::size_t>(in - utf8.data());
            if (r != static_cast<std::size_t>(-1)) {
                break;
            }
            if (err == E2BIG) {
                out.resize(out.size() * 2);
                continue;
            }
            // A character code page 936 lacks, or bytes that are not UTF-8: one "?" for each, as the
            // Windows conversion writes its default character.
            std::size_t skip = 0;
            const std::size_t len = utf8SequenceAt(utf8, pos, &skip);
            if (len != 0) {
                skip = len;
            }
            if (used == out.size()) {
                out.resize(out.size() * 2);
            }
            out[used++] = '?';
            pos += skip;
            iconv(cd.get(), nullptr, nullptr, nullptr, nullptr); // back to the initial state
        }
        out.resize(used);
        // A text holds no zero byte: U+0000 in the input is dropped.
        std::erase(out, '\0');
        return out;
    } catch (const std::bad_alloc&) {
        return {};
    }
}
