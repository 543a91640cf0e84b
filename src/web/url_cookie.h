#pragma once
// Small text operations under the web request routine: cutting a text between two markers, the
// value of a header line, the parts of an address, and keeping a cookie text up to date from the
// cookies a response sets. All are pure functions over code page 936 texts (positions 1-based,
// byte counts), except mergeCookies, which also rewrites both of its arguments. None fails: a
// missing marker, separator, colon or slash gives the empty text, the default port or "/".

#include "text/gbk_text.h"

// findText with the ASCII letters compared without regard to case; every other byte (the bytes of
// two-byte characters included) compares exactly. Walks t by characters from max(p, 1).
int findTextNoCase(const GbkText& t, const GbkText& s, int p = 1);

// The text between the first startMarker at or after `start` and the first endMarker after it;
// empty when either is missing. "#引号" inside a marker stands for one double quote. Letter case is
// ignored unless caseSensitive.
GbkText textBetween(const GbkText& t, const GbkText& startMarker, const GbkText& endMarker, int start = 1,
                    bool caseSensitive = false);

// The trimmed text after the line's first colon; empty when it has none.
GbkText headerValue(const GbkText& line);

// Address: ["http://" | "https://"] host [":" port] [path and query]; no scheme means plain HTTP.
// The host in lower case; with keepPort, with its colon and port when the address writes one.
GbkText urlHost(const GbkText& address, bool keepPort = false);
// The written port (its leading digits, 0 when none), else 443 for "https" addresses, else 80.
int urlPort(const GbkText& address);
// From the first "/" after the host to the end, query included, letter case kept; "/" when none.
GbkText urlPath(const GbkText& address);

// Cookie texts are name=value entries joined by "; ". Merges the fresh cookies of a response into
// the kept ones: fresh entries first in their order, then kept entries whose names the fresh text
// does not set; entries ending in "=deleted" dropped, identical entries once, no spaces inside.
// Both arguments lose their spaces; `kept` is replaced by the merged text, which is also returned.
GbkText mergeCookies(GbkText& kept, GbkText& fresh);
// The trimmed text before the entry's first "=" (the whole entry trimmed when it has none).
GbkText cookieName(const GbkText& entry);
// Whether the cookieName of some entry equals name byte for byte.
bool hasCookieName(const TextList& entries, const GbkText& name);
// The text with repeated identical items (split at separator) kept only where they first appear.
GbkText dedupeItems(const GbkText& t, const GbkText& separator);
// 1-based position of the first entry equal to item byte for byte; -1 when none.
int itemIndex(const TextList& list, const GbkText& item);
