#include "text/query_encoder.h"

#include "text/codepage.h"

namespace {

bool isUnreserved(unsigned char c) {
    return c == '-' || c == '.' || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// The UTF-8 form of the text. A text that code page 936 does not hold as a whole (stray bytes in an
// article read as GBK) is converted character by character, a character that does not convert
// becoming "?" as the Windows conversion puts its default character there, so that the rest of the
// segment is still queried rather than nothing.
std::string utf8Form(const GbkText& t) {
    std::string whole = gbkToUtf8(t);
    if (!whole.empty() || t.empty()) {
        return whole;
    }
    std::string out;
    for (std::size_t i = 0; i < t.size();) {
        const std::size_t n = static_cast<unsigned char>(t[i]) >= 0x80 && i + 1 < t.size() ? 2 : 1;
        const std::string piece = gbkToUtf8(t.substr(i, n));
        out += piece.empty() ? "?" : piece;
        i += n;
    }
    return out;
}

} // namespace

GbkText encodeQuery(const GbkText& t, bool keepUnreserved, bool asUtf8) {
    static constexpr char hex[] = "0123456789ABCDEF";
    const Bytes bytes = asUtf8 ? utf8Form(t) : textToBytes(t);
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
