#include "web/http_transfer.h"

#include <curl/curl.h>

#include <array>
#include <atomic>
#include <memory>
#include <mutex>

namespace {

struct EasyDeleter {
    void operator()(CURL* h) const { curl_easy_cleanup(h); }
};
struct ShareDeleter {
    void operator()(CURLSH* h) const { curl_share_cleanup(h); }
};
struct ListDeleter {
    void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};
using EasyHandle = std::unique_ptr<CURL, EasyDeleter>;
using ShareHandle = std::unique_ptr<CURLSH, ShareDeleter>;
using HeaderList = std::unique_ptr<curl_slist, ListDeleter>;

std::atomic<bool> abortRequested{false};

// curl's global state and the share handle that holds the cookie store and the DNS cache. Created
// once, on first use, and never destroyed: run threads may still be inside a transfer while the
// process ends, and a share handle must outlive every easy handle attached to it.
class NetworkRoot {
public:
    NetworkRoot() {
        globalOk_ = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
        if (!globalOk_) {
            return;
        }
        share_.reset(curl_share_init());
        if (!share_) {
            return;
        }
        bool ok = curl_share_setopt(share_.get(), CURLSHOPT_LOCKFUNC, &NetworkRoot::lock) == CURLSHE_OK &&
                  curl_share_setopt(share_.get(), CURLSHOPT_UNLOCKFUNC, &NetworkRoot::unlock) == CURLSHE_OK &&
                  curl_share_setopt(share_.get(), CURLSHOPT_USERDATA, this) == CURLSHE_OK &&
                  curl_share_setopt(share_.get(), CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE) == CURLSHE_OK &&
                  curl_share_setopt(share_.get(), CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS) == CURLSHE_OK;
        if (!ok) {
            share_.reset();
        }
    }

    bool ready() const { return globalOk_; }
    CURLSH* share() const { return share_.get(); }

private:
    static void lock(CURL*, curl_lock_data data, curl_lock_access, void* user) {
        static_cast<NetworkRoot*>(user)->mutexFor(data).lock();
    }
    static void unlock(CURL*, curl_lock_data data, void* user) {
        static_cast<NetworkRoot*>(user)->mutexFor(data).unlock();
    }

    std::mutex& mutexFor(curl_lock_data data) {
        auto index = static_cast<std::size_t>(data);
        return locks_[index < locks_.size() ? index : 0];
    }

    bool globalOk_ = false;
    ShareHandle share_;
    std::array<std::mutex, CURL_LOCK_DATA_LAST> locks_;
};

NetworkRoot& networkRoot() {
    static NetworkRoot* root = new NetworkRoot; // intentionally never freed, see NetworkRoot
    return *root;
}

// ---- Typed option setters: the only place where curl_easy_setopt is called --------------------

using WriteCallback = size_t (*)(char*, size_t, size_t, void*);
using ProgressCallback = int (*)(void*, curl_off_t, curl_off_t, curl_off_t, curl_off_t);

bool setLong(CURL* h, CURLoption option, long value) {
    return curl_easy_setopt(h, option, value) == CURLE_OK;
}
bool setText(CURL* h, CURLoption option, const char* value) {
    return curl_easy_setopt(h, option, value) == CURLE_OK;
}
bool setList(CURL* h, CURLoption option, curl_slist* value) {
    return curl_easy_setopt(h, option, value) == CURLE_OK;
}
bool setShare(CURL* h, CURLSH* share) {
    return curl_easy_setopt(h, CURLOPT_SHARE, share) == CURLE_OK;
}
bool setWriter(CURL* h, CURLoption function, CURLoption data, WriteCallback callback, void* target) {
    return curl_easy_setopt(h, function, callback) == CURLE_OK && curl_easy_setopt(h, data, target) == CURLE_OK;
}
bool setProgress(CURL* h, ProgressCallback callback) {
    return curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, callback) == CURLE_OK &&
           curl_easy_setopt(h, CURLOPT_XFERINFODATA, nullptr) == CURLE_OK &&
           curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L) == CURLE_OK;
}
// The body pointer must stay valid until the transfer ends.
bool setPostBody(CURL* h, const std::string& body) {
    return curl_easy_setopt(h, CURLOPT_POST, 1L) == CURLE_OK &&
           curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size())) == CURLE_OK &&
           curl_easy_setopt(h, CURLOPT_POSTFIELDS, body.data()) == CURLE_OK;
}

// ---- Callbacks --------------------------------------------------------------------------------

struct BodySink {
    std::string body;
    std::size_t limit = 0;
    bool overLimit = false;
};

size_t writeBody(char* data, size_t size, size_t count, void* user) {
    auto* sink = static_cast<BodySink*>(user);
    const std::size_t n = size * count;
    if (sink->body.size() + n > sink->limit) {
        sink->overLimit = true;
        return 0; // ends the transfer with CURLE_WRITE_ERROR
    }
    sink->body.append(data, n);
    return n;
}

// curl reports the header lines of every response it reads (redirects, 100 Continue, a proxy's
// CONNECT answer); a status line starts a new block, so the last block is the final response's.
size_t writeHeader(char* data, size_t size, size_t count, void* user) {
    auto* block = static_cast<std::string*>(user);
    const std::size_t n = size * count;
    std::string_view line(data, n);
    if (line.starts_with("HTTP/")) {
        block->clear();
    }
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
        line.remove_suffix(1);
    }
    block->append(line);
    block->append("\r\n");
    return n;
}

int checkAbort(void*, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return abortRequested.load(std::memory_order_relaxed) ? 1 : 0;
}

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) {
        return false;
    }
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        char a = text[i];
        char b = prefix[i];
        if (a >= 'A' && a <= 'Z') {
            a = static_cast<char>(a - 'A' + 'a');
        }
        if (b >= 'A' && b <= 'Z') {
            b = static_cast<char>(b - 'A' + 'a');
        }
        if (a != b) {
            return false;
        }
    }
    return true;
}

// Bytes that no request line may carry (controls, spaces, anything above ASCII, such as the GBK
// bytes of an unencoded query) as %XX; everything else as given, so that the address goes out as the
// caller wrote it instead of being refused.
std::string escapeAddress(const std::string& url) {
    static const char Hex[] = "0123456789ABCDEF";
    std::string escaped;
    escaped.reserve(url.size());
    for (const char c : url) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte >= 0x7F) {
            escaped += '%';
            escaped += Hex[byte >> 4];
            escaped += Hex[byte & 0x0F];
        } else {
            escaped += c;
        }
    }
    return escaped;
}

bool appendLine(HeaderList& list, const std::string& line) {
    curl_slist* grown = curl_slist_append(list.get(), line.c_str());
    if (!grown) {
        return false;
    }
    list.release();
    list.reset(grown);
    return true;
}

bool configure(CURL* h, const HttpTransfer& request, const std::string& url, HeaderList& headers, BodySink& sink,
               std::string& rawHeaders) {
    const bool plainHttp = !startsWithNoCase(url, "https:");
    // Every exchange on a connection of its own, as each request opens and closes its own handles;
    // a kept connection that the server has meanwhile closed would otherwise fail a later request.
    bool ok = setText(h, CURLOPT_URL, url.c_str()) && setLong(h, CURLOPT_NOSIGNAL, 1L) &&
              setLong(h, CURLOPT_FORBID_REUSE, 1L) && setLong(h, CURLOPT_PATH_AS_IS, 1L) &&
              setLong(h, CURLOPT_HTTP_VERSION, request.http10 ? CURL_HTTP_VERSION_1_0 : CURL_HTTP_VERSION_1_1) &&
              setText(h, CURLOPT_PROTOCOLS_STR, "http,https") &&
              setText(h, CURLOPT_USERAGENT, request.userAgent.c_str());

    ok = ok && setLong(h, CURLOPT_FOLLOWLOCATION, request.followRedirects ? 1L : 0L) &&
         setLong(h, CURLOPT_MAXREDIRS, request.maxRedirects) && setText(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");

    ok = ok && setLong(h, CURLOPT_CONNECTTIMEOUT, request.connectTimeoutSeconds) &&
         setLong(h, CURLOPT_LOW_SPEED_LIMIT, 1L) && setLong(h, CURLOPT_LOW_SPEED_TIME, request.stallTimeoutSeconds) &&
         setLong(h, CURLOPT_TIMEOUT, request.totalTimeoutSeconds) && setProgress(h, &checkAbort);

    // Proxy: by default libcurl reads http_proxy/https_proxy/no_proxy itself. A given proxy serves
    // plain HTTP only, with an empty bypass list (libcurl would still read no_proxy otherwise);
    // otherwise the connection is direct.
    if (!request.httpProxy.empty()) {
        ok = ok && setText(h, CURLOPT_PROXY, plainHttp ? request.httpProxy.c_str() : "") &&
             setText(h, CURLOPT_NOPROXY, "");
    } else if (!request.useSystemProxy) {
        ok = ok && setText(h, CURLOPT_PROXY, "");
    }

    // The share handle holds the process-wide cookie store; a handle only reads and writes it with
    // its cookie engine on. A transfer without the store gets neither.
    if (request.useCookieStore) {
        CURLSH* share = networkRoot().share();
        ok = ok && (!share || setShare(h, share)) && setText(h, CURLOPT_COOKIEFILE, "");
    }

    // The caller's lines go out as given and in order. curl's own Accept, and for POST its
    // Content-Type and Expect, are switched off ("Name:" with nothing after it removes a header
    // curl would add and is itself never sent), so only what the caller lists is sent.
    for (const std::string& line : request.headerLines) {
        ok = ok && appendLine(headers, line);
    }
    ok = ok && appendLine(headers, "Accept:") && appendLine(headers, "Expect:");
    if (request.method == "POST") {
        ok = ok && appendLine(headers, "Content-Type:") && setPostBody(h, request.body);
    } else {
        ok = ok && setLong(h, CURLOPT_HTTPGET, 1L);
    }
    ok = ok && setList(h, CURLOPT_HTTPHEADER, headers.get());

    ok = ok && setWriter(h, CURLOPT_WRITEFUNCTION, CURLOPT_WRITEDATA, &writeBody, &sink) &&
         setWriter(h, CURLOPT_HEADERFUNCTION, CURLOPT_HEADERDATA, &writeHeader, &rawHeaders);
    return ok;
}

// Transfers with the cookie store reuse one handle per thread (reset before each use): creating a
// handle, and curl's internal transfer set with it, costs a measurable share of a fast request.
// A transfer without the store gets a fresh handle, so that no cookie state can leak into it.
class TransferHandle {
public:
    explicit TransferHandle(bool useCookieStore) {
        if (useCookieStore) {
            thread_local EasyHandle reused(curl_easy_init());
            if (reused) {
                curl_easy_reset(reused.get());
            }
            handle_ = reused.get();
        } else {
            fresh_.reset(curl_easy_init());
            handle_ = fresh_.get();
        }
    }
    CURL* get() const { return handle_; }

private:
    EasyHandle fresh_;
    CURL* handle_ = nullptr;
};

} // namespace

HttpResult performTransfer(const HttpTransfer& request) {
    HttpResult result;
    if (abortRequested.load() || !networkRoot().ready()) {
        return result;
    }
    TransferHandle handle(request.useCookieStore);
    if (!handle.get()) {
        return result;
    }
    HeaderList headers;
    BodySink sink;
    sink.limit = request.maxBodyBytes;
    std::string rawHeaders;
    const std::string url = escapeAddress(request.url);
    if (!configure(handle.get(), request, url, headers, sink, rawHeaders)) {
        return result;
    }

    const CURLcode code = curl_easy_perform(handle.get());
    if (code != CURLE_OK || sink.overLimit) {
        return result;
    }

    long status = 0;
    curl_easy_getinfo(handle.get(), CURLINFO_RESPONSE_CODE, &status);
    char* contentType = nullptr;
    curl_easy_getinfo(handle.get(), CURLINFO_CONTENT_TYPE, &contentType);
    char* finalUrl = nullptr;
    curl_easy_getinfo(handle.get(), CURLINFO_EFFECTIVE_URL, &finalUrl);

    result.ok = true;
    result.status = status;
    result.rawHeaders = std::move(rawHeaders);
    result.body = std::move(sink.body);
    result.contentType = contentType ? contentType : "";
    result.finalUrl = finalUrl ? finalUrl : url;
    return result;
}

void abortAllTransfers() {
    abortRequested.store(true);
}
