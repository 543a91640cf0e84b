#pragma once
// One HTTP exchange on libcurl, described by plain values. Every curl_easy_setopt call of the
// program lives in http_transfer.cpp behind this interface.
//
// The process-wide network root (curl's global state, and a share handle for cookies and DNS with
// its locks) is created on first use and lives until the process ends; it is safe to use from any
// number of threads at once. Its cookie store is the "system cookie store" of the tool: every
// transfer with useCookieStore reads and updates it.

#include <string>
#include <vector>

struct HttpTransfer {
    std::string url;
    std::string method = "GET"; // "GET" or "POST"
    std::string userAgent;
    // Sent as given, in order, after Host and User-Agent. No other header is added (no Accept, no
    // Expect, no Content-Type for POST) except Content-Length for POST and cookies from the store.
    std::vector<std::string> headerLines;
    std::string body;    // sent with POST (may be empty)
    bool http10 = false; // request line "HTTP/1.0" instead of "HTTP/1.1"
    bool followRedirects = true;
    int maxRedirects = 10;
    bool useCookieStore = true; // read and update the process-wide cookie store
    bool useSystemProxy = true; // honour http_proxy/https_proxy/no_proxy
    std::string httpProxy;      // when not empty: host:port used for plain-HTTP traffic only
    long connectTimeoutSeconds = 15;
    long stallTimeoutSeconds = 30; // abort when under 1 byte/s for this long
    long totalTimeoutSeconds = 120;
    std::size_t maxBodyBytes = 16u << 20; // a larger body ends the transfer as a failure
};

struct HttpResult {
    bool ok = false;         // a response was received in full; otherwise every other field is empty
    long status = 0;         // status code of the final response, 0 when none
    std::string rawHeaders;  // the final response's header block, status line first, CR LF line ends
    std::string body;        // the whole body, whatever the status; empty on failure
    std::string contentType; // the final response's Content-Type header value, as sent
    std::string finalUrl;    // address of the final response after redirects
};

HttpResult performTransfer(const HttpTransfer& request);

// Makes every transfer under way, and every later one, fail at once. Used at shut-down so that no
// run thread waits on the network while the process ends.
void abortAllTransfers();
