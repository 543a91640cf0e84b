#include "checks/engine_profile.h"

#include "checks/check_run.h"
#include "text/codepage.h"
#include "text/query_encoder.h"
#include "web/web_request.h"

#include <boost/regex.hpp>

#include <algorithm>
#include <cctype>
#include <cstring>

namespace {

std::string lowerAscii(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return out;
}

// The block message of an engine: they differ only in the engine's name and the last sentence.
GbkText blockMessage(const char* engine, const char* cancelSentence) {
    return utf8ToGbk(std::string(engine) + "可能暂时屏蔽本机搜索\r\n\r\n点击  确认，继续查询\r\n\r\n点击 取消，" +
                     cancelSentence);
}

std::vector<RefusalSign> refusedStatuses() {
    // Forbidden, Too Many Requests, Service Unavailable: what the engines answer a client they
    // throttle. Other error pages are searched like results pages.
    return {{RefusalSign::Kind::Status, {}, 403},
            {RefusalSign::Kind::Status, {}, 429},
            {RefusalSign::Kind::Status, {}, 503}};
}

std::vector<RefusalSign> withStatuses(std::vector<RefusalSign> signs) {
    auto statuses = refusedStatuses();
    signs.insert(signs.end(), statuses.begin(), statuses.end());
    return signs;
}

std::array<EngineProfile, 4> makeProfiles() {
    using K = RefusalSign::Kind;
    EngineProfile baidu{
        EngineId::Baidu,
        "baidu",
        "选择框_查百度",
        "标签_原创值",
        "高级表格_原创度",
        utf8ToGbk("百度"),
        "www.baidu.com",
        "/s?wd=",
        "&rn=20&lm=0",
        true,
        false,
        false,
        1,
        FetchRoute::SimplePageFetch,
        "<em>(.*?)</em>",
        false,
        blockMessage("百度", "放弃本次查询，然后用IE打开百度搜素关键词，并输入验证码"),
        utf8ToGbk("百度提示"),
        false,
        withStatuses({{K::FinalHostIs, "wappass.baidu.com"}, {K::BodyContains, "<title>百度安全验证</title>"}}),
    };
    EngineProfile google{
        EngineId::Google,
        "google",
        "选择框_查谷歌",
        "标签_原创值谷歌",
        "高级表格_原创度谷歌",
        utf8ToGbk("谷歌"),
        "www.google.com",
        "/search?q=",
        "&ie=GB2312&oe=GB2312&hl=zh-CN&num=20",
        true,
        false,
        false,
        1,
        FetchRoute::WebRequest,
        "<b>(.*?)</b>",
        false,
        blockMessage("谷歌", "放弃本次查询，然后用IE打开谷歌搜素关键词，并输入验证码"),
        utf8ToGbk("谷歌提示"),
        false,
        withStatuses({{K::FinalAddressContains, "/sorry/"},
                      {K::BodyContains, "detected unusual traffic"},
                      {K::BodyContains, "/httpservice/retry/enablejs"}}),
    };
    EngineProfile so360{
        EngineId::So360,
        "360",
        "选择框_查360",
        "标签_原创值360",
        "高级表格_原创度360",
        "360",
        "www.so.com",
        "/s?q=",
        "&pn=",
        false,
        true,
        true,
        2,
        FetchRoute::SimplePageFetch,
        "<em>(.*?)</em>",
        true,
        blockMessage("360", "放弃本次查询，然后用IE打开360搜素关键词，并输入验证码"),
        utf8ToGbk("360提示"),
        false,
        refusedStatuses(),
    };
    EngineProfile sogou{
        EngineId::Sogou,
        "sogou",
        "选择框_查搜狗",
        "标签_原创值搜狗",
        "高级表格_原创度搜狗",
        utf8ToGbk("搜狗"),
        "www.sogou.com",
        "/web?query=",
        "&num=20",
        false,
        true,
        true,
        1,
        FetchRoute::SimplePageFetch,
        "<!--red_beg-->(.*?)<!--red_end-->",
        false,
        blockMessage("搜狗", "放弃本次查询，软件会自动打开，IE在搜狗搜素关键词，手动输入验证码"),
        utf8ToGbk("搜狗提示"),
        true,
        withStatuses({{K::FinalAddressContains, "/antispider/"},
                      {K::BodyContains, "请输入验证码"},
                      {K::BodyContains, "访问过于频繁"}}),
    };
    return {baidu, google, so360, sogou};
}

// The host name of an address, lower case, without user, port or path; empty when there is none.
std::string hostOf(std::string_view url) {
    const auto scheme = url.find("://");
    if (scheme != std::string_view::npos) {
        url.remove_prefix(scheme + 3);
    }
    url = url.substr(0, url.find_first_of("/?#"));
    const auto at = url.rfind('@');
    if (at != std::string_view::npos) {
        url.remove_prefix(at + 1);
    }
    if (!url.empty() && url.front() == '[') {
        url = url.substr(0, url.find(']') + 1);
    } else {
        url = url.substr(0, url.find(':'));
    }
    return lowerAscii(url);
}

// The charset parameter of a Content-Type value, lower case, without quotes; empty when none.
std::string declaredCharset(std::string_view contentType) {
    const std::string lower = lowerAscii(contentType);
    const auto at = lower.find("charset=");
    if (at == std::string::npos) {
        return {};
    }
    std::string value = lower.substr(at + 8);
    value = value.substr(0, value.find_first_of("; \t"));
    value.erase(std::remove(value.begin(), value.end(), '"'), value.end());
    value.erase(std::remove(value.begin(), value.end(), '\''), value.end());
    return value;
}

// The position of the last occurrence of marker in text, npos when none. Linear: steps back from
// one occurrence of the marker's last byte to the one before (std::string::rfind compares at every
// position).
std::size_t findLast(std::string_view text, std::string_view marker) {
    if (marker.empty() || text.size() < marker.size()) {
        return std::string_view::npos;
    }
    const char last = marker.back();
    std::size_t limit = text.size(); // candidates for the marker's last byte lie before this
    while (limit >= marker.size()) {
        const void* found = ::memrchr(text.data() + marker.size() - 1, last, limit - (marker.size() - 1));
        if (!found) {
            break;
        }
        const std::size_t end = static_cast<std::size_t>(static_cast<const char*>(found) - text.data()) + 1;
        if (text.substr(end - marker.size(), marker.size()) == marker) {
            return end - marker.size();
        }
        limit = end - 1;
    }
    return std::string_view::npos;
}

bool plainLiteral(std::string_view text) {
    return text.find_first_of("\\.^$|?*+()[]{}") == std::string_view::npos;
}

// The literal text after the pattern's last group when it holds no regular-expression syntax
// ("</em>" in "<em>(.*?)</em>"), so that every match ends with it; empty when there is none, it is
// not a plain literal, or the pattern has alternatives.
std::string closingMarker(const GbkText& pattern) {
    const auto close = pattern.rfind(')');
    if (close == std::string::npos || pattern.find('|') != std::string::npos ||
        !plainLiteral(std::string_view(pattern).substr(close + 1))) {
        return {};
    }
    return pattern.substr(close + 1);
}

// The opening marker of a pattern of the form opening + "(.*?)" + closing with both plain literals
// (every highlight pattern of the profiles); empty for any other pattern.
std::string openingMarker(const GbkText& pattern) {
    const auto group = pattern.find("(.*?)");
    if (group == std::string::npos || group == 0 || pattern.find('(', group + 1) != std::string::npos ||
        !plainLiteral(std::string_view(pattern).substr(0, group)) || closingMarker(pattern).empty()) {
        return {};
    }
    return pattern.substr(0, group);
}

} // namespace

const std::array<EngineProfile, 4>& engineProfiles() {
    static const std::array<EngineProfile, 4> profiles = makeProfiles();
    return profiles;
}

const EngineProfile* findProfile(std::string_view key) {
    for (const EngineProfile& profile : engineProfiles()) {
        if (profile.key == key) {
            return &profile;
        }
    }
    return nullptr;
}

GbkText buildQueryAddress(const EngineProfile& profile, const GbkText& segment, int page) {
    const GbkText query = profile.halfWidthQuery ? toHalfWidth(segment) : segment;
    GbkText address = "http://" + profile.searchHost + profile.searchPath +
                      encodeQuery(query, profile.keepUnreserved, profile.asUtf8) + profile.querySuffix;
    if (profile.pagesPerSegment > 1) {
        address += intToText(page);
    }
    return address;
}

bool showsRefusal(const EngineProfile& profile, const FetchedPage& page) {
    int bodyHighlights = -1; // looked up once, when a body sign first needs it
    for (const RefusalSign& sign : profile.refusalSigns) {
        switch (sign.kind) {
        case RefusalSign::Kind::FinalAddressContains:
            if (!sign.text.empty() && page.finalUrl.find(sign.text) != std::string::npos) {
                return true;
            }
            break;
        case RefusalSign::Kind::FinalHostIs:
            if (!page.finalUrl.empty() && hostOf(page.finalUrl) == lowerAscii(sign.text)) {
                return true;
            }
            break;
        case RefusalSign::Kind::Status:
            if (page.status == sign.status) {
                return true;
            }
            break;
        case RefusalSign::Kind::BodyContains:
            if (!sign.text.empty() && page.body.find(sign.text) != std::string::npos) {
                if (bodyHighlights < 0) {
                    bodyHighlights = extractFragments(profile, bytesToText(page.body)).empty() ? 0 : 1;
                }
                if (bodyHighlights == 0) {
                    return true;
                }
            }
            break;
        }
    }
    return false;
}

FetchedPage fetchForProfile(const EngineProfile& profile, const GbkText& address) {
    FetchedPage page = profile.fetchRoute == FetchRoute::WebRequest ? webRequestPage(address) : fetchPage(address);
    if (showsRefusal(profile, page)) {
        page.body.clear();
    }
    return page;
}

GbkText convertPage(const FetchedPage& page) {
    if (page.body.empty()) {
        return {};
    }
    const std::string charset = declaredCharset(page.contentType);
    const bool gb = charset == "gb2312" || charset == "gbk" || charset == "gb18030";
    return bytesToText(convertStrict(page.body, gb ? "GB18030" : "UTF-8", "GB18030"));
}

SegmentPage loadSegmentPage(const EngineProfile& profile, const GbkText& segment, RunWindow& window) {
    SegmentPage result;
    const int pages = std::max(1, profile.pagesPerSegment);
    for (int n = 1; n <= pages; ++n) {
        result.queryAddress = buildQueryAddress(profile, segment, n);
        result.pageText += convertPage(fetchForProfile(profile, result.queryAddress));
        if (result.pageText.empty() && !window.askOkCancel(profile.blockMessage, profile.blockTitle)) {
            if (profile.openOnCancel) {
                window.openAddress(result.queryAddress);
            }
            result.cancelled = true;
            return result;
        }
    }
    return result;
}

TextList extractFragments(const GbkText& pattern, const GbkText& pageText) {
    TextList fragments;
    try {
        // Only the part of the page up to the end of the last closing marker can hold a match.
        // Searching no further keeps every attempt short: an opening marker with no closing one
        // after it would otherwise be scanned to the end of the page, once per opening.
        auto end = pageText.end();
        const std::string closing = closingMarker(pattern);
        if (!closing.empty()) {
            const auto last = findLast(pageText, closing);
            if (last == std::string::npos) {
                return fragments;
            }
            end = pageText.begin() + static_cast<std::ptrdiff_t>(last + closing.size());
        }
        const boost::regex expression(pattern, boost::regex::perl | boost::regex::mod_s);
        const std::string opening = openingMarker(pattern);
        if (opening.empty()) {
            for (boost::sregex_iterator match(pageText.begin(), end, expression), none; match != none; ++match) {
                fragments.push_back((*match)[1].str());
            }
            return fragments;
        }
        // A match can only start at an opening marker: find each with a plain search and let the
        // expression match from there. When it does not match at the first opening left, no closing
        // marker follows and no later opening can match either.
        const std::string_view region(pageText.data(), static_cast<std::size_t>(end - pageText.begin()));
        boost::smatch match;
        for (auto at = region.find(opening); at != std::string_view::npos; at = region.find(opening, at)) {
            const auto from = pageText.begin() + static_cast<std::ptrdiff_t>(at);
            if (!boost::regex_search(from, end, match, expression, boost::match_continuous)) {
                break;
            }
            fragments.push_back(match[1].str());
            at = static_cast<std::size_t>(match[0].second - pageText.begin());
        }
    } catch (...) {
        // An invalid pattern, or a search the engine gives up on: what was found so far stands.
    }
    return fragments;
}

TextList extractFragments(const EngineProfile& profile, const GbkText& pageText) {
    return extractFragments(profile.highlightPattern, pageText);
}

int countHits(const GbkText& segment, const TextList& fragments) {
    const GbkText halfWidth = toHalfWidth(segment);
    int hits = 0;
    for (const GbkText& fragment : fragments) {
        if (textLength(fragment) >= MinimumHitBytes && findText(halfWidth, fragment) != -1) {
            ++hits;
        }
    }
    return hits;
}
