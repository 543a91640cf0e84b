#pragma once
// Percent-encoding of a segment for an engine's query address.

#include "text/gbk_text.h"

// Every byte as "%XX" (upper-case hex). With keepUnreserved, A-Z a-z 0-9 "-" "." pass unencoded;
// with asUtf8, the UTF-8 form of the text is encoded instead of its GBK bytes (a character that is
// not valid code page 936 counts as "?"). A space is always "%20". Empty in, empty out.
GbkText encodeQuery(const GbkText& t, bool keepUnreserved = false, bool asUtf8 = false);
