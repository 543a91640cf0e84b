#include "text/segmenter.h"

#include <cstdint>

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

    Bytes out;
    out.reserve(static_cast<std::size_t>(length) +
                static_cast<std::size_t>(pieces > 0 ? pieces : 0) * SegmentSeparator.size());
    std::int64_t e = 1; // 1-based position of the next character to take
    for (std::int64_t k = 1; k <= pieces; ++k) {
        const std::int64_t limit = k * pieceSize;
        // At most L steps per piece; a step past the end of the text takes nothing, so the walk
        // stops there instead of counting them off.
        for (int step = 0; step < length && e < limit && e <= length; ++step) {
            const std::size_t at = static_cast<std::size_t>(e - 1);
            if (bytes[at] >= 0x80) {
                out.append(t, at, 2); // one byte only for an incomplete final character
                e += 2;
            } else {
                out += t[at];
                e += 1;
            }
        }
        out += SegmentSeparator;
    }
    out.resize(out.size() - SegmentSeparator.size());
    return out;
}

TextList splitSegments(const Bytes& buffer) {
    TextList segments;
    for (const Bytes& piece : splitBytes(buffer, Bytes(SegmentSeparator))) {
        segments.push_back(bytesToText(piece));
    }
    return segments;
}
