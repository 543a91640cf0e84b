// originality-cli: the check runs of the window program, from the command line.

#include "app/cli_options.h"
#include "app/cli_report.h"
#include "app/cli_run.h"
#include "config/check_settings.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

constexpr const char* Program = "originality-cli";

int usageError(const std::string& message) {
    std::fprintf(stderr, "%s: %s\nTry '%s --help'.\n", Program, message.c_str(), Program);
    return 2;
}

// The whole content of a file, or of standard input for "-"; false with errno set when it cannot be
// read.
bool readInput(const std::string& name, std::string& bytes) {
    std::FILE* file = name == "-" ? stdin : std::fopen(name.c_str(), "rb");
    if (!file) {
        return false;
    }
    char buffer[65536];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof(buffer), file)) > 0) {
        bytes.append(buffer, n);
    }
    const bool failed = std::ferror(file);
    const int error = errno;
    if (file != stdin) {
        std::fclose(file);
    }
    errno = error;
    return !failed;
}

// The settings file beside the executable, as for the window program.
std::string settingsPath() {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) {
        return SettingsFileName; // the current directory, as a last resort
    }
    return (self.parent_path() / SettingsFileName).string();
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    const ParsedCommandLine parsed = parseCommandLine(args);
    if (!parsed.options) {
        return usageError(parsed.error);
    }
    const CliOptions& options = *parsed.options;
    if (options.help) {
        std::fputs(usageText().c_str(), stdout);
        return 0;
    }

    std::string bytes;
    if (!readInput(options.input, bytes)) {
        const std::string what = options.input == "-" ? "standard input" : "'" + options.input + "'";
        return usageError("cannot read " + what + ": " + std::strerror(errno));
    }
    const GbkText article = articleFromBytes(bytes, options.encoding);

    StreamProgress progress(stderr, ::isatty(STDERR_FILENO) == 1, options.engines);
    const CheckReport report = runChecks(options, article, settingsPath(), progress);

    std::string output;
    switch (options.format) {
    case OutputFormat::Text:
        output = formatText(report);
        break;
    case OutputFormat::Json:
        output = formatJson(report);
        break;
    case OutputFormat::Csv:
        output = formatCsv(report);
        break;
    }
    std::fwrite(output.data(), 1, output.size(), stdout);
    if (std::fflush(stdout) != 0) {
        std::fprintf(stderr, "%s: cannot write the results: %s\n", Program, std::strerror(errno));
        return 2;
    }
    return exitStatus(report);
}
