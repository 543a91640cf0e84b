#pragma once
// The simple page fetch: a GET with HTTP/1.0, "Accept: */*" and an old desktop browser's agent,
// redirects followed, the system's proxy settings and the shared cookie store, no cache.

#include "text/gbk_text.h"

#include <string>

struct FetchedPage {
    Bytes body;              // the whole body whatever the status; empty when nothing came back
    long status = 0;         // final status, 0 when the request failed
    std::string contentType; // declared Content-Type of the final response
    std::string finalUrl;    // address after redirects
};

inline constexpr const char* SimpleFetchAgent = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)";

// Thread-safe; any number of runs may fetch at once.
FetchedPage fetchPage(const GbkText& address);
