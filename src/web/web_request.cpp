#include "web/web_request.h"

#include "web/http_transfer.h"
#include "web/url_cookie.h"

const char* const WebRequestDefaultAgent = "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1; ZT9RX; .NET CLR "
                                           "2.0.50727; .NET CLR 3.0.04506.648; .NET CLR 3.5.21022)";

namespace {

// A server that keeps answering "301" ends the chain with an empty result after this many.
constexpr int MaxFollowUps = 10;

// The values a call and its follow-ups share.
struct RequestValues {
    int method = 0;
    const GbkText* postText = nullptr;
    bool noRedirect = false;
    const GbkText* proxy = nullptr; // nullptr: not supplied
    bool cookiesSupplied = false;
};

// The caller's variables, or stand-ins for those the caller omitted. The stand-ins live for the
// whole chain of follow-ups, so a follow-up sees what the call before it wrote (the composed header
// text above all), as the caller's own variables would.
struct RequestVariables {
    GbkText* cookies;
    GbkText* newCookies;
    GbkText* headers;
    GbkText* location;
    Bytes* postBytes;
    GbkText* rawHeaders;
};

bool isSecureAddress(const GbkText& url) {
    return toLowerAscii(textLeft(url, 5)) == "https";
}

// The address curl is given: the scheme the routine decides on, host and port as the address
// helpers read them, and the path with its letter case kept. Port 0 stands for the default port.
std::string connectionAddress(const GbkText& url) {
    const bool secure = isSecureAddress(url);
    const int port = urlPort(url);
    std::string address = secure ? "https://" : "http://";
    address += urlHost(url);
    if (port != 0 && port != (secure ? 443 : 80)) {
        address += ":" + intToText(port);
    }
    address += urlPath(url);
    return address;
}

std::vector<std::string> headerLines(const GbkText& composed) {
    std::vector<std::string> lines;
    for (GbkText& line : splitText(composed, "\r\n")) {
        if (!line.empty()) {
            lines.push_back(std::move(line));
        }
    }
    return lines;
}

// The value of the response's Location header proper (not Content-Location); the last one counts.
GbkText locationHeader(const TextList& lines) {
    GbkText value;
    for (const GbkText& line : lines) {
        if (findTextNoCase(line, "Location:") == 1) {
            value = headerValue(line);
        }
    }
    return value;
}

Bytes requestOnce(const GbkText& url, const RequestValues& values, const RequestVariables& vars, int followUps,
                  FetchedPage* page) {
    const bool post = values.method == 1;
    const GbkText agent = requestAgent(*vars.headers);
    const GbkText composed = composeRequestHeaders(*vars.headers, url, *vars.cookies);
    Bytes body;
    if (post) {
        body = vars.postBytes->empty() ? textToBytes(*values.postText) : *vars.postBytes;
    }

    HttpTransfer request;
    request.url = connectionAddress(url);
    request.method = post ? "POST" : "GET";
    request.userAgent = agent;
    request.headerLines = headerLines(composed);
    request.body = body;
    request.http10 = false;
    request.followRedirects = !values.noRedirect;
    request.useCookieStore = !values.cookiesSupplied;
    request.useSystemProxy = false;
    if (values.proxy) {
        request.httpProxy = *values.proxy;
    }

    HttpResult result = performTransfer(request);
    if (!result.ok) {
        // Nothing came back: the caller's variables keep what they hold.
        return {};
    }

    *vars.headers = composed;
    if (post && vars.postBytes->empty()) {
        *vars.postBytes = body;
    }
    *vars.rawHeaders = result.rawHeaders;

    const TextList lines = splitText(result.rawHeaders, "\r\n");
    GbkText fresh;
    for (const GbkText& line : lines) {
        if (findText(line, "Location:") > 0) {
            *vars.location = headerValue(line);
        }
        if (findText(line, "Set-Cookie") > 0) {
            fresh += trimSpaces(textBetween(line, "Set-Cookie:", ";"));
            fresh += "; ";
        }
    }
    *vars.newCookies = textLeft(fresh, textLength(fresh) - 2);
    if (values.cookiesSupplied) {
        mergeCookies(*vars.cookies, *vars.newCookies);
    }
    if (vars.location->empty()) {
        *vars.location = result.rawHeaders;
    }

    if (textBetween(result.rawHeaders, "HTTP/1.1 ", " Moved") == "301") {
        const GbkText target = followUpAddress(url, locationHeader(lines));
        if (!target.empty()) {
            if (followUps >= MaxFollowUps) {
                return {};
            }
            vars.location->clear();
            return requestOnce(target, values, vars, followUps + 1, page);
        }
    }

    if (page) {
        page->status = result.status;
        page->contentType = result.contentType;
        page->finalUrl = result.finalUrl;
    }
    return std::move(result.body);
}

} // namespace

GbkText requestAgent(const GbkText& headers) {
    const GbkText marker = "User-Agent:";
    const int at = findTextNoCase(headers, marker);
    if (at < 1) {
        return WebRequestDefaultAgent;
    }
    const int from = at + textLength(marker);
    const int lineEnd = findText(headers, "\r\n", from);
    const int length = lineEnd > 0 ? lineEnd - from : textLength(headers);
    return trimSpaces(textMid(headers, from, length));
}

GbkText composeRequestHeaders(const GbkText& headers, const GbkText& url, const GbkText& cookies) {
    GbkText text = headers;
    if (findText(text, "Referer:") < 1) {
        text += text.empty() ? "Referer: " + url : "\r\nReferer: " + url;
    }
    if (findText(text, "Accept:") < 1) {
        text += "\r\nAccept: */*";
    }
    if (findText(text, "Accept-Language:") < 1) {
        text += "\r\nAccept-Language: zh-cn";
    }
    if (findText(text, "Content-Type:") < 1) {
        text += "\r\nContent-Type: application/x-www-form-urlencoded";
    }
    if (!cookies.empty()) {
        text += "\r\nCookie: " + cookies;
    }
    return text;
}

GbkText followUpAddress(const GbkText& currentUrl, const GbkText& locationValue) {
    if (locationValue.empty()) {
        return {};
    }
    const GbkText lower = toLowerAscii(locationValue);
    if (textLeft(lower, 7) == "http://" || textLeft(lower, 8) == "https://") {
        return locationValue;
    }
    const GbkText scheme = isSecureAddress(currentUrl) ? "https:" : "http:";
    if (textLeft(locationValue, 2) == "//") {
        return scheme + locationValue;
    }
    const GbkText origin = scheme + "//" + urlHost(currentUrl, true);
    if (textLeft(locationValue, 1) == "/") {
        return origin + locationValue;
    }
    // A relative reference: beside the current document, in its folder.
    GbkText path = urlPath(currentUrl);
    const int query = findText(path, "?");
    if (query > 0) {
        path = textLeft(path, query - 1);
    }
    const int lastSlash = findLastText(path, "/");
    return origin + textLeft(path, lastSlash) + locationValue;
}

Bytes webRequest(const GbkText& url, int method, const GbkText& postText, GbkText* cookies, GbkText* newCookies,
                 GbkText* headers, GbkText* location, bool noRedirect, Bytes* postBytes, const GbkText* proxy,
                 GbkText* rawHeaders) {
    GbkText localCookies, localNewCookies, localHeaders, localLocation, localRawHeaders;
    Bytes localPostBytes;
    RequestValues values;
    values.method = method;
    values.postText = &postText;
    values.noRedirect = noRedirect;
    values.proxy = proxy;
    values.cookiesSupplied = cookies != nullptr;
    const RequestVariables vars{cookies ? cookies : &localCookies,       newCookies ? newCookies : &localNewCookies,
                                headers ? headers : &localHeaders,       location ? location : &localLocation,
                                postBytes ? postBytes : &localPostBytes, rawHeaders ? rawHeaders : &localRawHeaders};
    return requestOnce(url, values, vars, 0, nullptr);
}

FetchedPage webRequestPage(const GbkText& url) {
    GbkText cookies, newCookies, headers, location, rawHeaders;
    Bytes postBytes;
    const GbkText postText;
    RequestValues values;
    values.postText = &postText;
    const RequestVariables vars{&cookies, &newCookies, &headers, &location, &postBytes, &rawHeaders};
    FetchedPage page;
    page.body = requestOnce(url, values, vars, 0, &page);
    return page;
}
