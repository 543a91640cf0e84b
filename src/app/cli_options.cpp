#include "app/cli_options.h"

#include "checks/engine_profile.h"
#include "text/codepage.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace {

std::vector<std::string> splitList(std::string_view text, char separator) {
    std::vector<std::string> out;
    std::size_t start = 0;
    while (true) {
        const std::size_t end = text.find(separator, start);
        out.emplace_back(text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
        if (end == std::string_view::npos) {
            return out;
        }
        start = end + 1;
    }
}

std::optional<long> parseWhole(std::string_view text) {
    long value = 0;
    const char* first = text.data();
    const char* last = text.data() + text.size();
    if (text.empty()) {
        return std::nullopt;
    }
    const auto [end, error] = std::from_chars(first, last, value);
    if (error != std::errc() || end != last) {
        return std::nullopt;
    }
    return value;
}

// host, host:port or [v6]:port, with a host name of letters, digits, "-" and "."; the port 1..65535.
bool validHost(std::string_view host) {
    std::string_view name = host;
    std::string_view port;
    if (host.starts_with('[')) {
        const auto close = host.find(']');
        if (close == std::string_view::npos || close < 2) {
            return false;
        }
        name = host.substr(1, close - 1);
        std::string_view rest = host.substr(close + 1);
        if (!rest.empty()) {
            if (!rest.starts_with(':')) {
                return false;
            }
            port = rest.substr(1);
            if (port.empty()) {
                return false;
            }
        }
        if (!std::all_of(name.begin(), name.end(),
                         [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) || c == ':' || c == '.'; })) {
            return false;
        }
    } else {
        const auto colon = host.find(':');
        if (colon != std::string_view::npos) {
            name = host.substr(0, colon);
            port = host.substr(colon + 1);
            if (port.empty()) {
                return false;
            }
        }
        if (name.empty() || !std::all_of(name.begin(), name.end(), [](char c) {
                return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '.';
            })) {
            return false;
        }
    }
    if (!port.empty()) {
        const auto number = parseWhole(port);
        if (!number || *number < 1 || *number > 65535 || port.starts_with('+')) {
            return false;
        }
    }
    return true;
}

std::string knownEngines() {
    std::string out;
    for (const auto& profile : engineProfiles()) {
        out += out.empty() ? "" : ", ";
        out += profile.key;
    }
    return out;
}

ParsedCommandLine failure(std::string message) {
    return {std::nullopt, std::move(message)};
}

} // namespace

ParsedCommandLine parseCommandLine(const std::vector<std::string>& args) {
    CliOptions options;
    std::vector<std::string> chosen;
    bool haveInput = false;
    bool optionsEnded = false;

    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg == "-" || !arg.starts_with("-")) {
            if (haveInput) {
                return failure("more than one input file: '" + options.input + "' and '" + arg + "'");
            }
            options.input = arg;
            haveInput = true;
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (arg == "--help" || arg == "-h") {
            options.help = true;
            continue;
        }

        std::string name = arg;
        std::optional<std::string> value;
        if (const auto equals = arg.find('='); equals != std::string::npos) {
            name = arg.substr(0, equals);
            value = arg.substr(equals + 1);
        }
        const bool takesValue = name == "--engines" || name == "--segment-length" || name == "--encoding" ||
                                name == "--format" || name == "--on-block" || name == "--engine-host";
        if (!takesValue) {
            return failure("unknown option '" + name + "'");
        }
        if (!value) {
            if (i + 1 >= args.size()) {
                return failure("option '" + name + "' needs a value");
            }
            value = args[++i];
        }

        if (name == "--engines") {
            chosen.clear();
            for (const std::string& key : splitList(*value, ',')) {
                if (!findProfile(key)) {
                    return failure("unknown engine '" + key + "' (engines: " + knownEngines() + ")");
                }
                chosen.push_back(key);
            }
        } else if (name == "--segment-length") {
            const auto length = parseWhole(*value);
            if (!length || *length < 1 || value->starts_with('+')) {
                return failure("--segment-length needs a whole number of characters, 1 or more (got '" + *value + "')");
            }
            options.segmentLength = static_cast<int>(std::min<long>(*length, 1000000));
        } else if (name == "--encoding") {
            if (*value == "auto") {
                options.encoding = InputEncoding::Auto;
            } else if (*value == "utf-8" || *value == "utf8") {
                options.encoding = InputEncoding::Utf8;
            } else if (*value == "gbk") {
                options.encoding = InputEncoding::Gbk;
            } else {
                return failure("--encoding is auto, utf-8 or gbk (got '" + *value + "')");
            }
        } else if (name == "--format") {
            if (*value == "text") {
                options.format = OutputFormat::Text;
            } else if (*value == "json") {
                options.format = OutputFormat::Json;
            } else if (*value == "csv") {
                options.format = OutputFormat::Csv;
            } else {
                return failure("--format is text, json or csv (got '" + *value + "')");
            }
        } else if (name == "--on-block") {
            if (*value == "stop") {
                options.onBlock = BlockAnswer::Stop;
            } else if (*value == "continue") {
                options.onBlock = BlockAnswer::Continue;
            } else {
                return failure("--on-block is stop or continue (got '" + *value + "')");
            }
        } else if (name == "--engine-host") {
            const auto equals = value->find('=');
            const std::string key = value->substr(0, equals);
            if (equals == std::string::npos || !findProfile(key)) {
                return failure("--engine-host needs ENGINE=HOST[:PORT] with ENGINE one of " + knownEngines() +
                               " (got '" + *value + "')");
            }
            const std::string host = value->substr(equals + 1);
            if (!validHost(host)) {
                return failure("--engine-host: '" + host + "' is not a host name with an optional port");
            }
            options.engineHosts[key] = host;
        }
    }

    // Every engine by default; always in the profiles' order, each once.
    for (const auto& profile : engineProfiles()) {
        if (chosen.empty() || std::find(chosen.begin(), chosen.end(), profile.key) != chosen.end()) {
            options.engines.push_back(profile.key);
        }
    }
    return {options, {}};
}

std::string usageText() {
    return "Usage: originality-cli [OPTION]... [FILE|-]\n"
           "Checks how original a Chinese article is by searching its segments on the web search engines.\n"
           "Reads the article from FILE, or from standard input when FILE is '-' or missing.\n"
           "\n"
           "  --engines LIST          engines to query, separated by commas: " +
           knownEngines() +
           "\n"
           "                          (default: all of them; they run at the same time)\n"
           "  --segment-length N      characters per segment (at most 38); replaces the settings file's value\n"
           "  --encoding ENC          input encoding: auto (default; valid UTF-8, else GBK), utf-8 or gbk\n"
           "  --format FMT            output: text (default), json or csv, in UTF-8\n"
           "  --on-block ANSWER       when an engine refuses: stop (default; like Cancel) or continue (like OK)\n"
           "  --engine-host ENGINE=HOST[:PORT]\n"
           "                          query ENGINE at another host (a mirror or a test server); may be repeated\n"
           "  -h, --help              show this help\n"
           "\n"
           "Settings are read from the settings file beside the program, as for the window program.\n"
           "Exit status: 0 when every engine scored or there was no text to check, 3 when an engine was\n"
           "stopped by a block, 2 for a wrong command line or an unreadable file.\n";
}

GbkText articleFromBytes(std::string_view bytes, InputEncoding encoding) {
    bytes = bytes.substr(0, bytes.find('\0'));
    const bool utf8 = encoding == InputEncoding::Utf8 || (encoding == InputEncoding::Auto && isValidUtf8(bytes));
    if (!utf8) {
        return GbkText(bytes);
    }
    if (bytes.starts_with("\xEF\xBB\xBF")) {
        bytes.remove_prefix(3);
    }
    return bytesToText(utf8ToGbk(bytes));
}
