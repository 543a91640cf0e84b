#pragma once
// The segmenter cuts the prepared article into the pieces that a check run sends as queries.

#include "text/gbk_text.h"

#include <string_view>

// "●◆●●◆●●●" in code page 936: the 16 bytes that stand between segments in segmentText's buffer.
inline constexpr std::string_view SegmentSeparator{"\xA1\xF1\xA1\xF4\xA1\xF1\xA1\xF1\xA1\xF4\xA1\xF1\xA1\xF1\xA1\xF1",
                                                   16};

// The pieces of t, each holding the characters whose first byte lies before k * pieceSize, joined
// by SegmentSeparator (none after the last piece). Never splits a two-byte character.
// pieceSize <= 0 gives an empty buffer.
Bytes segmentText(const GbkText& t, int pieceSize);

// The segment list a check run works on: splitBytes of the buffer by SegmentSeparator, each
// element through bytesToText.
TextList splitSegments(const Bytes& buffer);
