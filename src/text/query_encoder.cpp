#include "text/query_encoder.h"

#include "text/codepage.h"

namespace {

bool isUnreserved(unsigned char c) {
    return c == '-' || c == '.' || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

} // namespace

GbkText encodeQuery(const GbkText& t, bool keepUnreserved, bool asUtf8) {
    static constexpr char hex[] = "0123456789ABCDEF";
    // A segment with stray bytes (an article read as GBK that was not) is still queried, its stray
    // characters as "?", rather than sent as an empty search.
    const Bytes bytes = asUtf8 ? gbkToUtf8Replacing(t, "?") : textToBytes(t);
    GbkText out;
    out.reserve(bytes.size() * 3);
    for (const char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (keepUnreserved && isUnreserved(c)) {
            out += ch;
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 0x0F];
        }
    }
    return out;
}
