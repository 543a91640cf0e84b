#pragma once
// The command-line checker's arguments and its input: pure functions, so that what a command line
// means can be tested without running anything.

#include "text/gbk_text.h"

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

enum class InputEncoding { Auto, Utf8, Gbk };
enum class OutputFormat { Text, Json, Csv };
// How a block message is answered: Stop as Cancel, Continue as OK.
enum class BlockAnswer { Stop, Continue };

struct CliOptions {
    std::vector<std::string> engines; // profile keys, in the order Baidu, Google, 360, Sogou
    std::optional<int> segmentLength; // replaces the settings file's 段落字数
    InputEncoding encoding = InputEncoding::Auto;
    OutputFormat format = OutputFormat::Text;
    BlockAnswer onBlock = BlockAnswer::Stop;
    std::map<std::string, std::string> engineHosts; // profile key -> host[:port]
    std::string input = "-";                        // a file, or "-" for standard input
    bool help = false;
};

struct ParsedCommandLine {
    std::optional<CliOptions> options; // none when the command line is wrong
    std::string error;                 // what is wrong, for the user
};

// The arguments after the program's name. Options may be written "--name value" or "--name=value";
// "--" ends the options. Default engines: every engine there is.
ParsedCommandLine parseCommandLine(const std::vector<std::string>& args);

std::string usageText();

// The article as code page 936: Auto takes valid UTF-8 as UTF-8 and anything else as GBK. A UTF-8
// byte order mark is dropped; the text ends at the first zero byte.
GbkText articleFromBytes(std::string_view bytes, InputEncoding encoding);
