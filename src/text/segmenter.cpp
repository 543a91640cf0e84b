#include "text/segmenter.h"

#include "text/char_starts.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace {

// One more piece than the text needs, as computed from the "%.13g" text of L / S. The last piece
// normally comes out empty and the split drops it.
int pieceCount(int length, int pieceSize) {
    const GbkText q = realToText(static_cast<double>(length) / pieceSize);
    if (findText(q, ".") == -1) {
        return realToInt(textToReal(q) + 1.0);
    }
    return realToInt(floorToInt(textToReal(q)) + 2.0);
}

} // namespace

Bytes segmentText(const GbkText& t, int pieceSize) {
    if (pieceSize <= 0) {
        return {};
    }
    const int length = textLength(t);
    const int pieces = pieceCount(length, pieceSize);
    const auto* bytes = reinterpret_cast<const unsigned char*>(t.data());
    const std::size_t n = t.size();

    Bytes out;
    out.reserve(n + static_cast<std::size_t>(pieces > 0 ? pieces : 0) * SegmentSeparator.size());
    // A piece is a run of whole characters that ends at the first character start at or after
    // its limit, so it is taken as one slice, its end found without walking the piece
    // (char_starts.h). This gives the same pieces as stepping character by character, within the
    // step limit of L per piece.
    std::size_t i = 0; // 0-based index of the next character to take
    for (std::int64_t k = 1; k <= pieces; ++k) {
        // Piece k takes the characters that start before the 1-based position k * pieceSize.
        const std::int64_t end = k * pieceSize - 1; // as a 0-based index
        const std::size_t from = i;
        if (end <= static_cast<std::int64_t>(from)) {
            // Complete before it starts: the previous piece's last character reached past the limit.
        } else if (end >= static_cast<std::int64_t>(n)) {
            i = n; // the rest of the text, an incomplete final character included
        } else {
            const auto e = static_cast<std::size_t>(end);
            i = text_detail::startsCharacter(bytes, from, e) ? e : e + 1;
        }
        out.append(t, from, i - from);
        out += SegmentSeparator;
    }
    out.resize(out.size() - SegmentSeparator.size());
    return out;
}

// splitBytes by the separator with bytesToText applied to each element, in one pass and with one
// allocation per segment.
TextList splitSegments(const Bytes& buffer) {
    TextList segments;
    const std::size_t n = buffer.size();
    const std::size_t m = SegmentSeparator.size();
    auto addPiece = [&](std::size_t from, std::size_t to) {
        const void* zero = std::memchr(buffer.data() + from, '\0', to - from);
        const std::size_t stop = zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - buffer.data()) : to;
        segments.emplace_back(buffer, from, stop - from);
    };
    std::size_t cur = 0;
    while (n - cur >= m) {
        const void* hit = memmem(buffer.data() + cur, n - cur, SegmentSeparator.data(), m);
        if (hit == nullptr) {
            break;
        }
        const std::size_t q = static_cast<std::size_t>(static_cast<const char*>(hit) - buffer.data());
        addPiece(cur, q);
        cur = q + m;
    }
    if (cur < n) {
        addPiece(cur, n);
    }
    return segments;
}
