#include "config/settings_file.h"

#include "text/codepage.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr std::size_t MaxValueBytes = 10239; // the profile functions' 10240-byte buffer, less its terminator
constexpr std::string_view Utf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view NewLineEnd = "\r\n";

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

// No byte of these is ever the second byte of a two-byte character, so trimming bytes is safe.
std::string_view trimmed(std::string_view s) {
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

bool sameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && toLowerAscii(GbkText(a)) == toLowerAscii(GbkText(b));
}

// Position of the first ']' that is a character of its own (a second byte of a two-byte
// character may be 0x5D), or npos.
std::size_t findClosingBracket(std::string_view s, std::size_t from) {
    for (std::size_t i = from; i < s.size();) {
        const auto byte = static_cast<unsigned char>(s[i]);
        if (byte == ']')
            return i;
        i += byte >= 0x80 ? 2 : 1;
    }
    return std::string_view::npos;
}

enum class LineKind { Blank, Comment, Section, Key, Other };

struct ParsedLine {
    LineKind kind = LineKind::Other;
    GbkText name;  // section or key name, trimmed
    GbkText value; // key value, trimmed
};

// One line of text in code page 936, without its line end.
ParsedLine parseLine(std::string_view line) {
    ParsedLine parsed;
    const std::string_view text = trimmed(line);
    if (text.empty()) {
        parsed.kind = LineKind::Blank;
    } else if (text.front() == ';' || text.front() == '#') {
        parsed.kind = LineKind::Comment;
    } else if (const std::size_t close = text.front() == '[' ? findClosingBracket(text, 1) : std::string_view::npos;
               close != std::string_view::npos) {
        parsed.kind = LineKind::Section;
        parsed.name = trimmed(text.substr(1, close - 1));
    } else if (const std::size_t equals = text.find('='); equals != std::string_view::npos) {
        // '=' (0x3D) is never the second byte of a two-byte character.
        parsed.kind = LineKind::Key;
        parsed.name = trimmed(text.substr(0, equals));
        parsed.value = trimmed(text.substr(equals + 1));
    }
    return parsed;
}

// A file split into lines, each keeping its own line end ("\r\n", "\n" or none for a last line
// without one), so that joining them gives back the file byte for byte.
struct IniFile {
    bool utf8 = false;
    std::string bom;
    struct Line {
        std::string raw; // in the file's encoding, without the line end
        std::string end;
        ParsedLine parsed;
    };
    std::vector<Line> lines;
};

bool hasNonAscii(std::string_view s) {
    for (const char c : s) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return true;
    }
    return false;
}

IniFile splitFile(std::string_view content) {
    IniFile file;
    if (content.starts_with(Utf8Bom)) {
        file.utf8 = true;
        file.bom = Utf8Bom;
        content.remove_prefix(Utf8Bom.size());
    } else {
        // Code page 936 text is rarely valid UTF-8; the section line "[原创检测配置]" in code page 936
        // never is, so a file the tool wrote is never taken for UTF-8.
        file.utf8 = hasNonAscii(content) && isValidUtf8(content);
    }
    while (!content.empty()) {
        IniFile::Line line;
        const std::size_t lf = content.find('\n');
        std::string_view body = content.substr(0, lf);
        if (lf == std::string_view::npos) {
            content = {};
        } else {
            content.remove_prefix(lf + 1);
            line.end = "\n";
            if (body.ends_with('\r')) {
                body.remove_suffix(1);
                line.end = NewLineEnd;
            }
        }
        line.raw = body;
        // Texts hold no zero byte: a line is read up to its first one.
        const GbkText text = bytesToText(file.utf8 ? utf8ToGbk(body) : GbkText(body));
        line.parsed = parseLine(text);
        file.lines.push_back(std::move(line));
    }
    return file;
}

std::string joinFile(const IniFile& file) {
    std::string out = file.bom;
    for (const auto& line : file.lines)
        out += line.raw + line.end;
    return out;
}

// Index of the section line, or -1.
int findSection(const IniFile& file, std::string_view section) {
    for (std::size_t i = 0; i < file.lines.size(); ++i) {
        const ParsedLine& p = file.lines[i].parsed;
        if (p.kind == LineKind::Section && sameName(p.name, section))
            return static_cast<int>(i);
    }
    return -1;
}

// The first byte count of at most MaxValueBytes that does not cut a two-byte character.
GbkText limitValue(const GbkText& value) {
    if (value.size() <= MaxValueBytes)
        return value;
    std::size_t end = 0;
    while (end < value.size()) {
        const std::size_t step = static_cast<unsigned char>(value[end]) >= 0x80 ? 2 : 1;
        if (end + step > MaxValueBytes)
            break;
        end += step;
    }
    return value.substr(0, end);
}

bool holdsLineBreakOrZero(std::string_view s) {
    return s.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

enum class ReadResult { Ok, Missing, Failed };

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    int get() const { return fd_; }
    // Closes now, reporting whether the close succeeded (a delayed write error shows up here).
    bool close() {
        const int fd = fd_;
        fd_ = -1;
        return fd < 0 || ::close(fd) == 0;
    }

private:
    int fd_;
};

// The whole content of a regular file. Missing: the path names nothing.
ReadResult readWholeFile(const std::string& path, std::string& content, struct stat& info) {
    content.clear();
    // O_NONBLOCK: a FIFO at the path must not hang the caller; it is refused below.
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (fd.get() < 0)
        return errno == ENOENT ? ReadResult::Missing : ReadResult::Failed;
    if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode))
        return ReadResult::Failed;
    char buffer[8192];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n == 0)
            return ReadResult::Ok;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return ReadResult::Failed;
        }
        content.append(buffer, static_cast<std::size_t>(n));
    }
}

bool writeAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

std::string directoryOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// A name beside path that no other writer (thread or process) picks at the same time.
std::string temporaryName(const std::string& path) {
    static std::atomic<unsigned> counter{0};
    thread_local std::mt19937 random{std::random_device{}()};
    const std::size_t slash = path.find_last_of('/');
    const std::string dir = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    return dir + "." + base + "." + std::to_string(::getpid()) + "." + std::to_string(counter++) + "." +
           std::to_string(random() % 1000000) + ".tmp";
}

// Writes content to a new file beside path, flushes it to disk and renames it over path. On any
// failure the temporary file is removed and path is left as it was.
bool replaceFile(const std::string& path, std::string_view content, const struct stat* oldInfo) {
    std::string tempPath;
    int raw = -1;
    for (int attempt = 0; attempt < 100 && raw < 0; ++attempt) {
        tempPath = temporaryName(path);
        // 0666 less the umask, as any new file; an existing file's mode is copied below.
        raw = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (raw < 0 && errno != EEXIST)
            return false;
    }
    if (raw < 0)
        return false;
    FileDescriptor fd(raw);
    const bool written = (oldInfo == nullptr || ::fchmod(fd.get(), oldInfo->st_mode & 07777) == 0) &&
                         writeAll(fd.get(), content) && ::fsync(fd.get()) == 0;
    if (!fd.close() || !written || ::rename(tempPath.c_str(), path.c_str()) != 0) {
        ::unlink(tempPath.c_str());
        return false;
    }
    // Make the rename itself durable; the new content is in place either way.
    FileDescriptor dir(::open(directoryOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() >= 0)
        ::fsync(dir.get());
    return true;
}

// The file a write replaces: for a symbolic link, the file it points to, so that the link stays a
// link and the file behind it gets the new content.
std::string replacedPath(const std::string& path) {
    std::error_code error;
    if (!std::filesystem::is_symlink(path, error))
        return path;
    const std::filesystem::path target = std::filesystem::canonical(path, error);
    return error ? path : target.string();
}

std::optional<GbkText> findValue(std::string_view content, const GbkText& section, const GbkText& key) {
    const std::string_view sectionName = trimmed(section);
    const std::string_view keyName = trimmed(key);
    const IniFile file = splitFile(content);
    const int start = findSection(file, sectionName);
    if (start < 0)
        return std::nullopt;
    for (std::size_t i = static_cast<std::size_t>(start) + 1; i < file.lines.size(); ++i) {
        const ParsedLine& p = file.lines[i].parsed;
        if (p.kind == LineKind::Section)
            break;
        if (p.kind == LineKind::Key && sameName(p.name, keyName))
            return limitValue(p.value);
    }
    return std::nullopt;
}

std::optional<std::string> setValue(std::string_view content, const GbkText& section, const GbkText& key,
                                    const GbkText& value) {
    const GbkText sectionName(trimmed(section));
    const GbkText keyName(trimmed(key));
    // Names and values that would not read back as the same section and key.
    if (keyName.empty() || keyName.find('=') != GbkText::npos || keyName.front() == '[' || keyName.front() == ';' ||
        keyName.front() == '#' || findClosingBracket(sectionName, 0) != std::string_view::npos ||
        holdsLineBreakOrZero(section) || holdsLineBreakOrZero(key) || holdsLineBreakOrZero(value))
        return std::nullopt;

    IniFile file = splitFile(content);
    // New lines are written in the file's own encoding.
    auto encode = [&](const GbkText& text) -> std::optional<std::string> {
        if (!file.utf8 || text.empty())
            return text;
        std::string utf8 = gbkToUtf8(text);
        if (utf8.empty())
            return std::nullopt;
        return utf8;
    };
    const auto keyLine = [&]() -> std::optional<std::string> {
        const auto k = encode(keyName);
        const auto v = encode(value);
        if (!k || !v)
            return std::nullopt;
        return *k + "=" + *v;
    }();
    if (!keyLine)
        return std::nullopt;

    const auto insertAt = [&](std::size_t index, std::string raw) {
        // The line before the new one may be the file's last, without a line end.
        if (index > 0 && file.lines[index - 1].end.empty())
            file.lines[index - 1].end = NewLineEnd;
        file.lines.insert(file.lines.begin() + static_cast<std::ptrdiff_t>(index),
                          IniFile::Line{std::move(raw), std::string(NewLineEnd), {}});
    };

    const int start = findSection(file, sectionName);
    if (start < 0) {
        const auto header = encode("[" + sectionName + "]");
        if (!header)
            return std::nullopt;
        insertAt(file.lines.size(), *header);
        insertAt(file.lines.size(), *keyLine);
        return joinFile(file);
    }
    // After the section's last line that is not blank or a comment, so that blank lines and a
    // comment introducing the next section stay where they are.
    std::size_t after = static_cast<std::size_t>(start) + 1;
    for (std::size_t i = after; i < file.lines.size(); ++i) {
        const ParsedLine& p = file.lines[i].parsed;
        if (p.kind == LineKind::Section)
            break;
        if (p.kind == LineKind::Key && sameName(p.name, keyName)) {
            file.lines[i].raw = *keyLine; // keeps the line's own end
            return joinFile(file);
        }
        if (p.kind != LineKind::Blank && p.kind != LineKind::Comment)
            after = i + 1;
    }
    insertAt(after, *keyLine);
    return joinFile(file);
}

} // namespace

std::optional<GbkText> findProfileValue(std::string_view content, const GbkText& section, const GbkText& key) {
    try {
        return findValue(content, section, key);
    } catch (...) {
        return std::nullopt;
    }
}

std::optional<std::string> setProfileValue(std::string_view content, const GbkText& section, const GbkText& key,
                                           const GbkText& value) {
    try {
        return setValue(content, section, key, value);
    } catch (...) {
        return std::nullopt;
    }
}

std::string readFileBytes(const std::string& filePath) {
    try {
        std::string content;
        struct stat info {};
        if (filePath.empty() || readWholeFile(filePath, content, info) != ReadResult::Ok)
            return {};
        return content;
    } catch (...) {
        return {};
    }
}

GbkText readProfileString(const std::string& filePath, const GbkText& section, const GbkText& key,
                          const GbkText& defaultValue) {
    try {
        return findProfileValue(readFileBytes(filePath), section, key).value_or(defaultValue);
    } catch (...) {
        return defaultValue;
    }
}

bool writeProfileString(const std::string& filePath, const GbkText& section, const GbkText& key, const GbkText& value) {
    try {
        if (filePath.empty())
            return false;
        std::string content;
        struct stat info {};
        const ReadResult read = readWholeFile(filePath, content, info);
        // A file that exists but cannot be read must not be replaced by one made from nothing.
        if (read == ReadResult::Failed)
            return false;
        const auto updated = setProfileValue(content, section, key, value);
        if (!updated)
            return false;
        if (read == ReadResult::Ok && *updated == content)
            return true; // already holds the value
        return replaceFile(replacedPath(filePath), *updated, read == ReadResult::Ok ? &info : nullptr);
    } catch (...) {
        return false;
    }
}

const GbkText& settingsSection() {
    static const GbkText section = "\xD4\xAD\xB4\xB4\xBC\xEC\xB2\xE2\xC5\xE4\xD6\xC3"; // 原创检测配置
    return section;
}

GbkText readSetting(const std::string& filePath, const GbkText& key, const GbkText& defaultValue) {
    return readProfileString(filePath, settingsSection(), key, defaultValue);
}

bool writeSetting(const std::string& filePath, const GbkText& key, const GbkText& value) {
    return writeProfileString(filePath, settingsSection(), key, value);
}
