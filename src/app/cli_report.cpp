#include "app/cli_report.h"

#include "text/codepage.h"

#include <cstdio>

std::string statusName(RunOutcome outcome) {
    switch (outcome) {
    case RunOutcome::Scored:
        return "scored";
    case RunOutcome::Cancelled:
        return "cancelled";
    case RunOutcome::EmptyArticle:
    case RunOutcome::NoText:
        return "no-text";
    }
    return "no-text";
}

int exitStatus(const CheckReport& report) {
    for (const EngineResult& engine : report.engines) {
        if (engine.outcome == RunOutcome::Cancelled) {
            return 3;
        }
    }
    return 0;
}

std::string toUtf8(const GbkText& text) {
    return gbkToUtf8Replacing(text, "\xEF\xBF\xBD"); // U+FFFD for what is not code page 936
}

namespace {

std::string jsonString(const std::string& utf8) {
    std::string out = "\"";
    for (const char ch : utf8) {
        const auto c = static_cast<unsigned char>(ch);
        switch (ch) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20 || c == 0x7F) {
                char escaped[8];
                std::snprintf(escaped, sizeof(escaped), "\\u%04x", c);
                out += escaped;
            } else {
                out += ch;
            }
        }
    }
    return out + "\"";
}

std::string jsonText(const GbkText& text) {
    return jsonString(toUtf8(text));
}

std::string csvField(const std::string& utf8) {
    if (utf8.find_first_of(",\"\r\n") == std::string::npos) {
        return utf8;
    }
    std::string out = "\"";
    for (const char ch : utf8) {
        out += ch;
        if (ch == '"') {
            out += '"';
        }
    }
    return out + "\"";
}

// A segment on one line of the text table: line breaks shown as a visible mark.
std::string oneLine(const GbkText& text) {
    std::string out;
    for (const char ch : toUtf8(text)) {
        if (ch == '\n') {
            out += "\xE2\x86\xB5"; // ↵
        } else if (ch == '\r') {
            continue;
        } else if (ch == '\t') {
            out += ' ';
        } else {
            out += ch;
        }
    }
    return out;
}

std::string padLeft(const std::string& s, std::size_t width) {
    return s.size() >= width ? s : std::string(width - s.size(), ' ') + s;
}

} // namespace

std::string formatJson(const CheckReport& report) {
    std::string out = "{\"article_chars\": " + std::to_string(report.articleChars) + ", \"engines\": [";
    bool firstEngine = true;
    for (const EngineResult& engine : report.engines) {
        out += firstEngine ? "" : ", ";
        firstEngine = false;
        const bool scored = engine.outcome == RunOutcome::Scored;
        out += "{\"engine\": " + jsonString(engine.key) + ", \"status\": " + jsonString(statusName(engine.outcome)) +
               ", \"score\": " + (scored ? jsonText(engine.score) : "null") +
               ", \"grade\": " + (scored ? jsonText(engine.grade) : "null") + ", \"segments\": [";
        bool firstSegment = true;
        for (const SegmentResult& s : engine.segments) {
            out += firstSegment ? "" : ", ";
            firstSegment = false;
            out += "{\"row\": " + std::to_string(s.row) + ", \"text\": " + jsonText(s.text) +
                   ", \"hits\": " + (s.hits ? std::to_string(*s.hits) : "null") +
                   ", \"address\": " + (s.address ? jsonText(*s.address) : "null") + "}";
        }
        out += "]}";
    }
    return out + "]}\n";
}

std::string formatCsv(const CheckReport& report) {
    std::string out = "engine,row,text,hits,address\r\n";
    for (const EngineResult& engine : report.engines) {
        for (const SegmentResult& s : engine.segments) {
            out += csvField(engine.key) + "," + std::to_string(s.row) + "," + csvField(toUtf8(s.text)) + "," +
                   (s.hits ? std::to_string(*s.hits) : "") + "," + (s.address ? csvField(toUtf8(*s.address)) : "") +
                   "\r\n";
        }
    }
    return out;
}

std::string formatText(const CheckReport& report) {
    std::string out = "Article: " + std::to_string(report.articleChars) + " characters\n";
    for (const EngineResult& engine : report.engines) {
        out += "\n" + toUtf8(engine.tabText) + " (" + engine.key + ")\n";
        if (!engine.segments.empty()) {
            out += "   row  hits  text\n";
        }
        for (const SegmentResult& s : engine.segments) {
            out += padLeft(std::to_string(s.row), 6) + padLeft(s.hits ? std::to_string(*s.hits) : "-", 6) + "  " +
                   oneLine(s.text) + "\n";
            if (s.address) {
                out += "              " + toUtf8(*s.address) + "\n";
            }
        }
        switch (engine.outcome) {
        case RunOutcome::Scored:
            out += "Originality: " + toUtf8(engine.score) + "  " + toUtf8(engine.grade) + "\n";
            break;
        case RunOutcome::Cancelled:
            out += "Originality: none, stopped at a block";
            out += engine.segments.empty() ? "" : " (segment " + std::to_string(engine.segments.back().row) + ")";
            out += "\n";
            if (!engine.blockedAddress.empty()) {
                out += "Open this address in a browser to pass the engine's check: " + toUtf8(engine.blockedAddress) +
                       "\n";
            }
            break;
        case RunOutcome::EmptyArticle:
        case RunOutcome::NoText:
            out += "Originality: none, no Chinese text to check\n";
            break;
        }
    }
    return out;
}
