// Costs of a check run beside the bare minimum it cannot avoid:
//  1. a run of 2,000 segments against a local server that answers at once, beside a plain libcurl
//     loop fetching the same 2,000 addresses from the same server in this process (goal: at most
//     1.2 times the loop);
//  2. highlight extraction over a 2 MB page with 20,000 highlights and over hostile 2 MB pages
//     (tens of thousands of opening markers), beside a plain std::string::find scan of the same
//     page (goal: a hostile page costs no more than the normal one).
// Prints its figures; asserts nothing.

#include "checks/check_run.h"
#include "checks/engine_profile.h"
#include "null_window.h"
#include "text/article.h"
#include "text/codepage.h"

#include <boost/regex.hpp>
#include <curl/curl.h>
#include <httplib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double millisecondsOf(const std::function<void()>& work) {
    const auto start = Clock::now();
    work();
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The best of `rounds` timings: the least disturbed by the other work on the machine.
double bestOf(int rounds, const std::function<void()>& work) {
    double best = 1e300;
    for (int i = 0; i < rounds; ++i) {
        best = std::min(best, millisecondsOf(work));
    }
    return best;
}

// An article of `segments` segments of 38 Chinese characters.
GbkText benchArticle(int segments) {
    std::string utf8;
    const std::string pool = "春眠不觉晓处处闻啼鸟夜来风雨声花落知多少床前明月光疑是地上霜举头望明月低头思故乡";
    const std::size_t poolChars = pool.size() / 3;
    for (std::size_t i = 0; i < static_cast<std::size_t>(segments) * 38; ++i) {
        utf8 += pool.substr((i * 7 % poolChars) * 3, 3);
    }
    return utf8ToGbk(utf8);
}

std::string smallResultsPage() {
    std::string page = "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>相关网页</title></head><body>";
    for (int i = 0; i < 10; ++i) {
        page += "<div class=\"result c-container\"><h3 class=\"t\"><a href=\"http://www.baidu.com/link?url=R" +
                std::to_string(i) + "\">相关<em>春眠不觉晓处</em>网页</a></h3><span>来源示例……</span></div>\n";
    }
    return page + "</body></html>";
}

size_t discard(char*, size_t size, size_t count, void* user) {
    *static_cast<std::size_t*>(user) += size * count;
    return size * count;
}

// The same requests as the simple page fetch sends. With freshHandles false, one easy handle is
// reused: as lean as a fetch loop gets. With it true, each request gets a handle of its own, as the
// simple page fetch does; the difference shows what that costs.
double bareCurlLoop(const std::vector<std::string>& addresses, std::size_t& bytes, bool freshHandles = false) {
    curl_slist* headers = curl_slist_append(nullptr, "Accept: */*");
    CURL* curl = nullptr;
    auto setUp = [&] {
        curl = curl_easy_init();
        curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
        curl_easy_setopt(curl, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_0));
        curl_easy_setopt(curl, CURLOPT_USERAGENT, SimpleFetchAgent);
        curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
        curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
        // The simple page fetch opens a connection per request; so does this loop. (The test server
        // answers HTTP/1.0 with an HTTP/1.1 status line, which would otherwise invite reuse of a
        // connection the server is closing.)
        curl_easy_setopt(curl, CURLOPT_FORBID_REUSE, 1L);
        curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &discard);
        curl_easy_setopt(curl, CURLOPT_WRITEDATA, &bytes);
    };
    int failures = 0;
    const char* lastError = "";
    const double ms = millisecondsOf([&] {
        if (!freshHandles) {
            setUp();
        }
        for (const std::string& address : addresses) {
            if (freshHandles) {
                setUp();
            }
            curl_easy_setopt(curl, CURLOPT_URL, address.c_str());
            const CURLcode code = curl_easy_perform(curl);
            if (code != CURLE_OK) {
                ++failures;
                lastError = curl_easy_strerror(code);
            }
            if (freshHandles) {
                curl_easy_cleanup(curl);
            }
        }
        if (!freshHandles) {
            curl_easy_cleanup(curl);
        }
    });
    curl_slist_free_all(headers);
    if (failures > 0) {
        std::fprintf(stderr, "bare loop: %d fetches failed (%s)\n", failures, lastError);
    }
    return ms;
}

void runBenchmark() {
    httplib::Server server;
    const std::string page = smallResultsPage();
    server.Get(".*", [&page](const httplib::Request&, httplib::Response& res) {
        res.set_content(page, "text/html; charset=utf-8");
    });
    const int port = server.bind_to_any_port("127.0.0.1");
    std::thread listener([&server] { server.listen_after_bind(); });
    while (!server.is_running()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }

    EngineProfile profile = engineProfiles()[0]; // Baidu: one page per segment, the simple fetch
    profile.searchHost = "127.0.0.1:" + std::to_string(port);
    const GbkText article = benchArticle(2000);
    const TextList segments = articleSegments(prepareArticle(article), 38);
    std::vector<std::string> addresses;
    for (const GbkText& s : segments) {
        addresses.push_back(buildQueryAddress(profile, s, 1));
    }

    std::size_t bytes = 0;
    bareCurlLoop({addresses.begin(), addresses.begin() + 100}, bytes); // warm up both paths
    double loopBest = 1e300;
    double freshBest = 1e300;
    double fetchBest = 1e300;
    double runBest = 1e300;
    int rows = 0;
    int blocks = 0;
    for (int round = 0; round < 5; ++round) {
        bytes = 0;
        loopBest = std::min(loopBest, bareCurlLoop(addresses, bytes));
        std::size_t freshBytes = 0;
        freshBest = std::min(freshBest, bareCurlLoop(addresses, freshBytes, true));
        fetchBest = std::min(fetchBest, millisecondsOf([&] {
                                 for (const std::string& address : addresses) {
                                     fetchPage(address);
                                 }
                             }));
        NullWindow window(article);
        RunCounter counter;
        counter.add(1);
        runBest = std::min(runBest, millisecondsOf([&] { checkRun(profile, {}, window, counter, 38); }));
        rows = window.rows;
        blocks = window.blocks;
    }
    server.stop();
    listener.join();

    std::printf("Check run of %zu segments against a local server (best of 5)\n", segments.size());
    std::printf("  bare libcurl loop : %8.1f ms  (%zu bytes received)\n", loopBest, bytes);
    std::printf("  check run         : %8.1f ms  (%d rows, %d blocks)\n", runBest, rows, blocks);
    std::printf("  ratio run / loop  : %8.2f   (goal: at most 1.20)\n", runBest / loopBest);
    std::printf("  for reference: the loop with a new easy handle per request %.1f ms (%.2f of the loop),\n"
                "                 the simple page fetch alone over the same addresses %.1f ms (%.2f of the loop)\n\n",
                freshBest, freshBest / loopBest, fetchBest, fetchBest / loopBest);
}

// A plain scan for the Baidu markers: the floor for any extraction.
std::size_t findScan(const std::string& page) {
    std::size_t count = 0;
    std::size_t at = 0;
    while ((at = page.find("<em>", at)) != std::string::npos) {
        const std::size_t end = page.find("</em>", at + 4);
        if (end == std::string::npos) {
            break;
        }
        ++count;
        at = end + 5;
    }
    return count;
}

// The search over the whole page, without the bound at the last closing marker.
std::size_t unboundedRegex(const std::string& page) {
    std::size_t count = 0;
    try {
        const boost::regex expression("<em>(.*?)</em>", boost::regex::perl | boost::regex::mod_s);
        for (boost::sregex_iterator m(page.begin(), page.end(), expression), none; m != none; ++m) {
            ++count;
        }
    } catch (const std::exception&) {
        return static_cast<std::size_t>(-1);
    }
    return count;
}

void extractionBenchmark() {
    const EngineProfile& baidu = engineProfiles()[0];
    // 20,000 results of 104 bytes each, then a footer without markup up to 2 MB.
    std::string unit =
        utf8ToGbk("<div class=\"r\"><a href=\"/link?u=1\">相关<em>人民币对日元</em>汇率</a><span>来源示例");
    unit += std::string(104 - 14 - unit.size(), ' ') + "</span></div>\n";
    std::string normal;
    for (int i = 0; i < 20000; ++i) {
        normal += unit;
    }
    normal += std::string((2u << 20) - normal.size(), ' ');
    const std::size_t highlights = 20000;

    const std::string opening = utf8ToGbk("<em>人民币对日元汇率来源示例今日行情</em");
    std::string hostile;
    while (hostile.size() + opening.size() <= 2u << 20) {
        hostile += opening; // "</em" without ">" never closes
    }
    const std::size_t openings = hostile.size() / opening.size();
    std::string hostileClosed = hostile + "</em>"; // one closing marker at the very end
    std::string hostileMiddle = hostile.substr(0, hostile.size() / 2) + "</em>" + hostile.substr(hostile.size() / 2);

    struct Page {
        const char* name;
        const std::string* text;
    };
    const Page pages[] = {
        {"normal: 20,000 highlights", &normal},
        {"hostile: openings, no closing", &hostile},
        {"hostile: openings, one closing at the end", &hostileClosed},
        {"hostile: openings, one closing in the middle", &hostileMiddle},
    };
    std::printf("Highlight extraction over 2 MB pages (best of 10; %zu highlights, %zu openings)\n", highlights,
                openings);
    std::printf("  %-46s %12s %12s %10s\n", "page", "extract ms", "find ms", "fragments");
    for (const Page& p : pages) {
        std::size_t fragments = 0;
        std::size_t scanned = 0;
        const double extract = bestOf(10, [&] { fragments = extractFragments(baidu, *p.text).size(); });
        const double scan = bestOf(10, [&] { scanned = findScan(*p.text); });
        std::printf("  %-46s %12.2f %12.2f %10zu%s\n", p.name, extract, scan, fragments,
                    fragments == scanned ? "" : "  (differs from the scan!)");
    }
    std::size_t count = 0;
    const double unbounded = millisecondsOf([&] { count = unboundedRegex(hostile); });
    std::printf("  for reference, the same search without the bound on the hostile page: %.1f ms, %s\n\n", unbounded,
                count == static_cast<std::size_t>(-1) ? "gave up with an exception" : "finished");
}

} // namespace

// With an argument "run" or "extract", only that part (e.g. under a profiler).
int main(int argc, char** argv) {
    const std::string only = argc > 1 ? argv[1] : "";
    curl_global_init(CURL_GLOBAL_DEFAULT);
    if (only.empty() || only == "extract") {
        extractionBenchmark();
    }
    if (only.empty() || only == "run") {
        runBenchmark();
    }
    return 0;
}
