#include "text/article.h"

namespace {

// The white space of the trim: what the Perl class \s matches over bytes in the "C" locale.
bool isAsciiWhite(unsigned char c) {
    return c == ' ' || (c >= 0x09 && c <= 0x0D);
}

} // namespace

// The first match of the Perl pattern "\S[\s\S]*\S|\S" is the span from the first to the last byte
// that is not white space. Found here by scanning in from both ends: Boost.Regex gives the same
// span (the tests compare the two) but costs several nanoseconds per byte on a long article.
GbkText trimArticle(const GbkText& t) {
    std::size_t first = 0;
    while (first < t.size() && isAsciiWhite(static_cast<unsigned char>(t[first]))) {
        ++first;
    }
    std::size_t last = t.size();
    while (last > first && isAsciiWhite(static_cast<unsigned char>(t[last - 1]))) {
        --last;
    }
    return t.substr(first, last - first);
}

GbkText keepNonAscii(const GbkText& t) {
    GbkText out;
    out.resize(t.size());
    char* o = out.data();
    const char* p = t.data();
    const char* const end = p + t.size();
    while (p < end) {
        const auto c = static_cast<unsigned char>(*p);
        if (c >= 0x80) {
            if (end - p < 2) {
                break; // an incomplete final character is no character: it goes
            }
            o[0] = p[0];
            o[1] = p[1];
            o += 2;
            p += 2;
        } else {
            if (c < 0x20) {
                *o++ = *p;
            }
            ++p;
        }
    }
    out.resize(static_cast<std::size_t>(o - out.data()));
    return out;
}

GbkText prepareArticle(const GbkText& t) {
    return keepNonAscii(trimArticle(t));
}

int articleCharCount(const GbkText& prepared) {
    return realToInt(textLength(prepared) / 2.0);
}
