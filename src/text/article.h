#pragma once
// Article preparation: from the raw text of the article box to the prepared article that the
// segmenter cuts. Pure functions, safe on any thread.

#include "text/gbk_text.h"

// The text from its first to its last byte that is not ASCII white space (TAB, LF, VT, FF, CR,
// space); empty when there is none. Full-width spaces are not white space here.
GbkText trimArticle(const GbkText& t);
// Only the characters outside U+0020..U+007F, in order: two-byte characters and the one-byte
// controls survive; the ASCII space, letters, digits, punctuation and DEL go.
GbkText keepNonAscii(const GbkText& t);
// keepNonAscii(trimArticle(t)).
GbkText prepareArticle(const GbkText& t);
// The prepared article's byte length halved and truncated.
int articleCharCount(const GbkText& prepared);
