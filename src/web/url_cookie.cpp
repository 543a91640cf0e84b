#include "web/url_cookie.h"

namespace {

// "#引号" in code page 936.
const GbkText QuotePlaceholder = "#\xD2\xFD\xBA\xC5";

char lowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalNoCaseAt(const GbkText& t, std::size_t at, const GbkText& s) {
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (lowerAscii(t[at + i]) != lowerAscii(s[i])) {
            return false;
        }
    }
    return true;
}

int findWithCase(const GbkText& t, const GbkText& s, int p, bool caseSensitive) {
    return caseSensitive ? findText(t, s, p) : findTextNoCase(t, s, p);
}

} // namespace

int findTextNoCase(const GbkText& t, const GbkText& s, int p) {
    if (s.empty()) {
        return findText(t, s, p); // the empty needle has no letters: the exact rule applies
    }
    std::size_t at = static_cast<std::size_t>(p < 1 ? 0 : p - 1);
    while (at < t.size() && t.size() - at >= s.size()) {
        if (equalNoCaseAt(t, at, s)) {
            return static_cast<int>(at) + 1;
        }
        if (static_cast<unsigned char>(t[at]) >= 0x80) {
            if (at + 1 == t.size()) {
                return -1;
            }
            at += 2;
        } else {
            at += 1;
        }
    }
    return -1;
}

GbkText textBetween(const GbkText& t, const GbkText& startMarker, const GbkText& endMarker, int start,
                    bool caseSensitive) {
    const GbkText startText = replaceAll(startMarker, QuotePlaceholder, "\"");
    const GbkText endText = replaceAll(endMarker, QuotePlaceholder, "\"");
    int pos = start < 1 ? 1 : start;
    const int startAt = findWithCase(t, startText, pos, caseSensitive);
    if (startAt > 0) {
        pos = startAt + textLength(startText);
    } else {
        pos = 1;
    }
    const int endAt = findWithCase(t, endText, pos, caseSensitive);
    if (startAt < 1 || endAt < 1 || endAt < pos) {
        return {};
    }
    return textMid(t, pos, endAt - pos);
}

GbkText headerValue(const GbkText& line) {
    const int colon = findText(line, ":");
    if (colon < 1) {
        return {};
    }
    return trimSpaces(textMid(line, colon + 1, textLength(line)));
}

GbkText urlHost(const GbkText& address, bool keepPort) {
    GbkText a = toLowerAscii(address);
    if (textRight(a, 1) != "/") {
        a += "/";
    }
    GbkText host;
    if (textLeft(a, 8) == "https://") {
        host = textBetween(a, "https://", "/");
    } else {
        if (findText(a, "http://") < 1) {
            a = "http://" + a;
        }
        host = textBetween(a, "http://", "/");
    }
    if (!keepPort) {
        const int colon = findText(host, ":");
        if (colon > 0) {
            host = textLeft(host, colon - 1);
        }
    }
    return host;
}

int urlPort(const GbkText& address) {
    const GbkText host = urlHost(address, true);
    const int colon = findLastText(host, ":");
    if (colon > 0) {
        return textToInt(textMid(host, colon + 1, textLength(host)));
    }
    return toLowerAscii(textLeft(address, 5)) == "https" ? 443 : 80;
}

GbkText urlPath(const GbkText& address) {
    const GbkText host = urlHost(address);
    // The host is looked for after the scheme, so that a host such as "t" or "http" is not found
    // inside "http://" itself.
    const int scheme = findText(address, "://");
    const int hostAt = findTextNoCase(address, host, scheme > 0 ? scheme + 3 : 1);
    const int slash = findTextNoCase(address, "/", hostAt);
    if (slash < 1) {
        return "/";
    }
    return textMid(address, slash, textLength(address));
}

GbkText mergeCookies(GbkText& kept, GbkText& fresh) {
    kept = removeSpaces(kept);
    fresh = removeSpaces(fresh);
    const TextList old = splitText(kept, ";");
    TextList merged = splitText(fresh, ";");
    for (const GbkText& entry : old) {
        if (!hasCookieName(merged, cookieName(entry))) {
            merged.push_back(entry);
        }
    }
    GbkText joined;
    for (const GbkText& entry : merged) {
        if (textRight(entry, 8) != "=deleted") {
            joined += entry;
            joined += "; ";
        }
    }
    joined = textLeft(joined, textLength(joined) - 2);
    kept = dedupeItems(joined, "; ");
    return kept;
}

GbkText cookieName(const GbkText& entry) {
    const int equals = findText(entry, "=");
    return trimSpaces(equals > 0 ? textLeft(entry, equals - 1) : entry);
}

bool hasCookieName(const TextList& entries, const GbkText& name) {
    for (const GbkText& entry : entries) {
        if (cookieName(entry) == name) {
            return true;
        }
    }
    return false;
}

GbkText dedupeItems(const GbkText& t, const GbkText& separator) {
    TextList seen;
    GbkText result;
    for (const GbkText& item : splitText(t, separator)) {
        if (itemIndex(seen, item) == -1) {
            seen.push_back(item);
            result += item;
            result += separator;
        }
    }
    return textLeft(result, textLength(result) - textLength(separator));
}

int itemIndex(const TextList& list, const GbkText& item) {
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (list[i] == item) {
            return static_cast<int>(i) + 1;
        }
    }
    return -1;
}
