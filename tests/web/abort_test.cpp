// abortAllTransfers ends transfers under way and every later one; it cannot be undone, so it has a
// test program of its own.

#include "test_servers.h"
#include "web/http_transfer.h"
#include "web/page_fetch.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace webtest;

TEST(AbortAllTransfers, EndsTransfersUnderWayAndLaterOnes) {
    RawServer stalled([](const std::string&) { return RawResponse{"", true}; });
    std::atomic<bool> done{false};
    HttpResult result;
    std::thread worker([&] {
        HttpTransfer request;
        request.url = stalled.origin() + "/";
        request.useSystemProxy = false;
        request.stallTimeoutSeconds = 600; // only the abort can end it in time
        request.totalTimeoutSeconds = 600;
        result = performTransfer(request);
        done = true;
    });
    while (stalled.requests().empty()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    abortAllTransfers();
    worker.join();
    EXPECT_TRUE(done);
    EXPECT_FALSE(result.ok);

    RawServer live([](const std::string&) { return RawResponse{rawResponse("HTTP/1.1 200 OK", "", "x")}; });
    EXPECT_EQ(fetchPage(live.origin() + "/").body, "");
    EXPECT_TRUE(live.requests().empty());
}
