#pragma once
// The tool's own HTTP request routine. One call sends one GET or POST, composes the request header
// text itself, reads the whole body and the raw response headers, collects the cookies the response
// sets, optionally keeps the caller's cookie text up to date, and follows a "301" answer itself.
//
// Optional arguments are pointers: nullptr means "not supplied". Supplying `cookies` or `proxy`
// changes the request even when the text is empty; for the others only the value counts. In/out
// and out arguments are the caller's variables and are written back as the routine goes.
// Thread-safe; keeps nothing between calls except through the process-wide cookie store, which it
// reads and updates when `cookies` is not supplied.

#include "text/gbk_text.h"
#include "web/page_fetch.h"

// "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1; ZT9RX; ...)"
extern const char* const WebRequestDefaultAgent;

// Returns the response body; the empty buffer on failure (no connection, request not possible, more
// than 10 follow-ups in a row). A request that gets no response leaves the caller's variables as they
// were before it (a follow-up's failure: as the call before it left them).
Bytes webRequest(const GbkText& url,
                 int method = 0,                // 0 GET, 1 POST
                 const GbkText& postText = {},  // POST body when postBytes is empty
                 GbkText* cookies = nullptr,    // in/out
                 GbkText* newCookies = nullptr, // out
                 GbkText* headers = nullptr,    // in/out: extra lines in, composed text out
                 GbkText* location = nullptr,   // in/out
                 bool noRedirect = false,
                 Bytes* postBytes = nullptr,     // in/out
                 const GbkText* proxy = nullptr, // host:port for plain HTTP
                 GbkText* rawHeaders = nullptr); // out

// webRequest(url, 0) with every other argument omitted, also reporting the final response's status,
// declared content type and address after redirects (what the engine checks need to recognise a
// refusal).
FetchedPage webRequestPage(const GbkText& url);

// ---- What a call sends (pure) --------------------------------------------------------------------

// The agent: the trimmed text after the first "User-Agent:" in the header text (letter case
// ignored) up to the next CR LF or the end; the default agent when there is none.
GbkText requestAgent(const GbkText& headers);

// The header text a call sends, built from the caller's lines: "Referer: " + url, "Accept: */*",
// "Accept-Language: zh-cn" and "Content-Type: application/x-www-form-urlencoded", each appended
// (CR LF before it unless the text is empty) when its name with colon occurs nowhere in the text
// (case-sensitive), in this order; then "Cookie: " + cookies when cookies is not empty.
GbkText composeRequestHeaders(const GbkText& headers, const GbkText& url, const GbkText& cookies);

// Where a "301" answer to a request for currentUrl points: an absolute Location ("http://" or
// "https://", any letter case) as it stands, "//host/path" with the current scheme, "/path" on the
// current scheme, host and port, any other text relative to the current path's folder. Empty when
// the Location value is empty.
GbkText followUpAddress(const GbkText& currentUrl, const GbkText& locationValue);
