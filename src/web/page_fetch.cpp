#include "web/page_fetch.h"

#include "web/http_transfer.h"

FetchedPage fetchPage(const GbkText& address) {
    HttpTransfer request;
    request.url = address;
    request.userAgent = SimpleFetchAgent;
    request.headerLines = {"Accept: */*"};
    request.http10 = true;
    request.followRedirects = true;
    request.useCookieStore = true;
    request.useSystemProxy = true;

    HttpResult result = performTransfer(request);
    FetchedPage page;
    if (!result.ok) {
        return page;
    }
    page.body = std::move(result.body);
    page.status = result.status;
    page.contentType = std::move(result.contentType);
    page.finalUrl = std::move(result.finalUrl);
    return page;
}
