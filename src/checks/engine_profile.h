#pragma once
// The four engines differ only in the values of their EngineProfile: one table of constants,
// read-only and shared by every run. The operations below are what a check run does with a profile.

#include "text/gbk_text.h"
#include "web/page_fetch.h"

#include <array>
#include <string>
#include <string_view>
#include <vector>

class RunWindow;

enum class EngineId { Baidu, Google, So360, Sogou };

// How an engine's results pages are fetched.
enum class FetchRoute {
    SimplePageFetch, // fetchPage
    WebRequest,      // the tool's own request routine (webRequestPage)
};

// One sign that a fetch shows an engine's refusal (a challenge, a rate limit) instead of results.
struct RefusalSign {
    enum class Kind {
        FinalAddressContains, // the address after redirects contains text (e.g. "/antispider/")
        FinalHostIs,          // the host of the address after redirects is text (e.g. "wappass.baidu.com")
        Status,               // the final status equals status
        BodyContains,         // the body (as received, UTF-8) contains text
    };
    Kind kind;
    std::string text;
    long status = 0;
};

struct EngineProfile {
    EngineId id;
    std::string key;      // "baidu", "google", "360", "sogou": command line and JSON
    std::string checkBox; // control names (the widgets' objectNames, UTF-8)
    std::string valueLabel;
    std::string grid;
    GbkText tabText;
    std::string searchHost; // host[:port]
    GbkText searchPath;     // e.g. "/s?wd="
    GbkText querySuffix;    // for 360 Search the page number follows it
    bool halfWidthQuery;
    bool keepUnreserved;
    bool asUtf8;
    int pagesPerSegment;
    FetchRoute fetchRoute;
    GbkText highlightPattern; // Perl syntax; group 1 is the fragment
    bool countPageWithoutHighlight;
    GbkText blockMessage;
    GbkText blockTitle;
    bool openOnCancel;
    std::vector<RefusalSign> refusalSigns;
};

// Baidu, Google, 360 Search, Sogou: the order in which runs start and results are listed.
const std::array<EngineProfile, 4>& engineProfiles();
// The profile with this key, or nullptr.
const EngineProfile* findProfile(std::string_view key);

// "http://" + host + path + encoded query + suffix (360 Search: suffix + page number).
GbkText buildQueryAddress(const EngineProfile& profile, const GbkText& segment, int page);

// Whether a fetched page shows one of the profile's refusal signs. Address and status signs hold on
// their own; a body sign holds only when the body has no highlight in the engine's markup, so that a
// results page quoting the challenge's words (because the article holds them) is still a results
// page. A challenge page never highlights the query.
bool showsRefusal(const EngineProfile& profile, const FetchedPage& page);

// Fetches an address by the profile's route. A fetch that shows one of the profile's refusal signs
// comes back with an empty body, so that the run treats it as the empty page it answers with the
// block message.
FetchedPage fetchForProfile(const EngineProfile& profile, const GbkText& address);

// The page's body as code page 936 text (through GB18030). A body whose Content-Type declares
// GB2312, GBK or GB18030 is read as GB18030; any other is read as UTF-8. Empty when the body is not
// valid in its encoding.
GbkText convertPage(const FetchedPage& page);

struct SegmentPage {
    GbkText pageText;       // empty when every page was empty and the user chose OK
    GbkText queryAddress;   // address of the last page fetched; goes into the row's 搜索 cell
    bool cancelled = false; // the user answered the block message with Cancel (or closed it)
};

// The segment's pages fetched, converted and joined; an empty result asks the block question
// through the window (and on Cancel opens the address when the profile says so).
SegmentPage loadSegmentPage(const EngineProfile& profile, const GbkText& segment, RunWindow& window);

// Every non-overlapping match of the profile's highlight pattern, group 1, in page order. Linear in
// the page's size on any page; never throws.
TextList extractFragments(const EngineProfile& profile, const GbkText& pageText);
// The same for any pattern. The linear bound holds when the text after the pattern's last group is a
// plain closing marker, as in "<em>(.*?)</em>". An invalid pattern gives no fragment.
TextList extractFragments(const GbkText& pattern, const GbkText& pageText);

// Fragments of at least this many bytes can be hits.
inline constexpr int MinimumHitBytes = 12;
// The number of fragments (each occurrence on its own) of at least MinimumHitBytes bytes that occur
// in the half-width form of the segment; the fragments are compared as they stand.
int countHits(const GbkText& segment, const TextList& fragments);
