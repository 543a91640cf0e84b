#include "text/article.h"

#include <boost/regex.hpp>

#include <exception>

namespace {

bool isAsciiWhite(unsigned char c) {
    return c == ' ' || (c >= 0x09 && c <= 0x0D);
}

// The same span as the pattern below, found by scanning for the first and last byte that is not
// white space. Used when the regular-expression engine gives up.
GbkText trimByScan(const GbkText& t) {
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

} // namespace

GbkText trimArticle(const GbkText& t) {
    try {
        // Compiled once: a boost::regex may be shared by threads for matching.
        static const boost::regex pattern(R"(\S[\s\S]*\S|\S)", boost::regex::perl);
        boost::smatch m;
        if (!boost::regex_search(t, m, pattern)) {
            return {};
        }
        return m.str(0);
    } catch (const std::exception&) {
        return trimByScan(t);
    }
}

GbkText keepNonAscii(const GbkText& t) {
    GbkText out;
    out.reserve(t.size());
    const std::size_t n = t.size();
    std::size_t i = 0;
    while (i < n) {
        const unsigned char c = static_cast<unsigned char>(t[i]);
        if (c >= 0x80) {
            if (i + 1 >= n) {
                break; // an incomplete final character is no character: it goes
            }
            out.append(t, i, 2);
            i += 2;
        } else {
            if (c < 0x20) {
                out += static_cast<char>(c);
            }
            ++i;
        }
    }
    return out;
}

GbkText prepareArticle(const GbkText& t) {
    return keepNonAscii(trimArticle(t));
}

int articleCharCount(const GbkText& prepared) {
    return realToInt(textLength(prepared) / 2.0);
}
