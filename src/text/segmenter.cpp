#include "text/segmenter.h"

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
    // A piece is a run of whole characters, so it is found by walking to its end and taken in one
    // piece. The walk takes at most one step per byte of the text, which is the step limit of L per
    // piece; past the end of the text a step would take nothing.
    std::size_t i = 0; // 0-based index of the next character to take
    for (std::int64_t k = 1; k <= pieces; ++k) {
        const std::int64_t limit = k * pieceSize; // pieces take characters starting before this 1-based position
        const std::size_t from = i;
        while (i < n && static_cast<std::int64_t>(i) + 1 < limit) {
            i += 1 + (bytes[i] >> 7); // two bytes at a byte of 0x80 or more
        }
        i = std::min(i, n); // an incomplete final character gives its one byte
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
