#include "config/settings_file.h"

#include "config_test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <optional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

const std::string Section = gbk("原创检测配置");
const std::string SegmentKey = gbk("段落字数");
const std::string HighlightKey = gbk("飘红检测数");
const std::string Utf8Bom = "\xEF\xBB\xBF";

struct ReadCase {
    const char* name;
    std::string content;
    std::string section;
    std::string key;
    std::optional<std::string> expected;
};

TEST(FindProfileValue, ReadsTheFormat) {
    const std::vector<ReadCase> cases = {
        {"CR LF lines", gbk("[原创检测配置]\r\n段落字数=40\r\n"), Section, SegmentKey, "40"},
        {"LF lines", gbk("[原创检测配置]\n段落字数=40\n飘红检测数=10\n"), Section, HighlightKey, "10"},
        {"last line without line end", gbk("[原创检测配置]\r\n段落字数=40"), Section, SegmentKey, "40"},
        {"empty value is the empty text", gbk("[原创检测配置]\r\n段落字数=\r\n"), Section, SegmentKey, ""},
        {"blank value is the empty text", gbk("[原创检测配置]\r\n段落字数= \t\r\n"), Section, SegmentKey, ""},
        {"full-width digits come back as written", gbk("[原创检测配置]\r\n段落字数=３８\r\n"), Section, SegmentKey,
         gbk("３８")},
        {"blanks around names and values", gbk(" [ 原创检测配置 ] \r\n\t段落字数 =  40 \t\r\n"), Section, SegmentKey,
         "40"},
        {"equals sign inside the value", "[s]\r\na=b=c\r\n", "s", "a", "b=c"},
        {"first of two equal keys", gbk("[原创检测配置]\r\n段落字数=40\r\n段落字数=50\r\n"), Section, SegmentKey, "40"},
        {"same key in an earlier section is not ours",
         gbk("[其他]\r\n段落字数=99\r\n[原创检测配置]\r\n段落字数=40\r\n"), Section, SegmentKey, "40"},
        {"key only in another section", gbk("[原创检测配置]\r\n飘红检测数=10\r\n[其他]\r\n段落字数=99\r\n"), Section,
         SegmentKey, std::nullopt},
        {"key before any section", gbk("段落字数=99\r\n[原创检测配置]\r\n"), Section, SegmentKey, std::nullopt},
        {"section missing", gbk("[其他]\r\n段落字数=99\r\n"), Section, SegmentKey, std::nullopt},
        {"empty content", "", Section, SegmentKey, std::nullopt},
        {"comment lines are not keys", gbk("[原创检测配置]\r\n;段落字数=1\r\n#段落字数=2\r\n"), Section, SegmentKey,
         std::nullopt},
        {"ASCII letters of names ignore case", "[Options]\r\nWidth=7\r\n", "OPTIONS", "wIDTH", "7"},
        // 丄 is 81 41 and 乤 is 81 61: folding the second byte as a letter would confuse them.
        {"second bytes are not letters", gbk("[原创检测配置]\r\n丄=1\r\n"), Section, gbk("乤"), std::nullopt},
        // 乚 is 81 5D: its second byte is "]" and must not end the section name.
        {"bracket as a second byte", gbk("[乚]\r\na=1\r\n"), gbk("乚"), "a", "1"},
        {"zero byte ends the line's text", std::string("[s]\r\na=1\0x\r\n", 12), "s", "a", "1"},
        {"UTF-8 without byte-order mark", "[原创检测配置]\n段落字数=４０\n", Section, SegmentKey, gbk("４０")},
        {"UTF-8 with byte-order mark", Utf8Bom + "[原创检测配置]\r\n段落字数=40\r\n", Section, SegmentKey, "40"},
        {"UTF-8 byte-order mark on an ASCII file", Utf8Bom + "[s]\r\na=1\r\n", "s", "a", "1"},
        {"UTF-8 character outside code page 936", "[原创检测配置]\n段落字数=4😀\n", Section, SegmentKey, "4?"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(findProfileValue(c.content, c.section, c.key), c.expected);
    }
}

TEST(FindProfileValue, ValueIsCutAt10239BytesWithoutSplittingACharacter) {
    const std::string wide = gbk("中"); // two bytes
    std::string manyWide;
    for (int i = 0; i < 6000; ++i)
        manyWide += wide;
    struct Case {
        const char* name;
        std::string value;
        std::size_t expectedLength;
    };
    const std::vector<Case> cases = {
        {"exactly the limit", std::string(10239, 'x'), 10239},
        {"one-byte characters past the limit", std::string(20000, 'x'), 10239},
        {"two-byte characters ending at the limit", "a" + manyWide, 10239},
        {"two-byte character across the limit", manyWide, 10238},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto value = findProfileValue("[s]\r\nk=" + c.value + "\r\n", "s", "k");
        ASSERT_TRUE(value.has_value());
        EXPECT_EQ(value->size(), c.expectedLength);
        EXPECT_EQ(*value, c.value.substr(0, c.expectedLength));
    }
}

struct WriteCase {
    const char* name;
    std::string before;
    std::string section;
    std::string key;
    std::string value;
    std::string after;
};

TEST(SetProfileValue, ChangesOnlyTheKeysLine) {
    const std::vector<WriteCase> cases = {
        {"new file", "", Section, SegmentKey, "38", gbk("[原创检测配置]\r\n段落字数=38\r\n")},
        {"key replaced in place, everything else byte for byte",
         gbk("; "
             "说明\r\n[其他]\r\n甲=1\r\n\r\n[原创检测配置]\r\n段落字数=38\r\n飘红检测数=12\r\n\r\n[后面]\r\n乙=2\r\n"),
         Section, SegmentKey, "40",
         gbk("; "
             "说明\r\n[其他]\r\n甲=1\r\n\r\n[原创检测配置]\r\n段落字数=40\r\n飘红检测数=12\r\n\r\n[后面]\r\n乙=2\r\n")},
        {"new key after the section's last key, before the blank line",
         gbk("[原创检测配置]\r\n段落字数=38\r\n\r\n[其他]\r\n甲=1\r\n"), Section, HighlightKey, "12",
         gbk("[原创检测配置]\r\n段落字数=38\r\n飘红检测数=12\r\n\r\n[其他]\r\n甲=1\r\n")},
        {"new key before a comment that introduces the next section",
         gbk("[原创检测配置]\r\n段落字数=38\r\n; 下一段\r\n[其他]\r\n"), Section, HighlightKey, "12",
         gbk("[原创检测配置]\r\n段落字数=38\r\n飘红检测数=12\r\n; 下一段\r\n[其他]\r\n")},
        {"key into an empty section", gbk("[原创检测配置]\r\n[其他]\r\n"), Section, SegmentKey, "40",
         gbk("[原创检测配置]\r\n段落字数=40\r\n[其他]\r\n")},
        {"section missing: appended at the end", gbk("[其他]\r\n甲=1\r\n"), Section, SegmentKey, "40",
         gbk("[其他]\r\n甲=1\r\n[原创检测配置]\r\n段落字数=40\r\n")},
        {"last line without line end gets one", gbk("[其他]\r\n甲=1"), Section, SegmentKey, "40",
         gbk("[其他]\r\n甲=1\r\n[原创检测配置]\r\n段落字数=40\r\n")},
        {"section ending the file without line end", gbk("[原创检测配置]\r\n段落字数=38"), Section, HighlightKey, "12",
         gbk("[原创检测配置]\r\n段落字数=38\r\n飘红检测数=12\r\n")},
        {"LF file: replaced line keeps its LF", gbk("[原创检测配置]\n段落字数=38\n"), Section, SegmentKey, "40",
         gbk("[原创检测配置]\n段落字数=40\n")},
        {"LF file: new line ends in CR LF", gbk("[原创检测配置]\n段落字数=38\n"), Section, HighlightKey, "12",
         gbk("[原创检测配置]\n段落字数=38\n飘红检测数=12\r\n")},
        {"empty value keeps the key", gbk("[原创检测配置]\r\n段落字数=38\r\n"), Section, SegmentKey, "",
         gbk("[原创检测配置]\r\n段落字数=\r\n")},
        {"blanks around the old line go with it", gbk("[原创检测配置]\r\n  段落字数 = 38 \r\n"), Section, SegmentKey,
         "40", gbk("[原创检测配置]\r\n段落字数=40\r\n")},
        {"ASCII names matched ignoring case", "[Options]\r\nWidth=7\r\n", "options", "WIDTH", "8",
         "[Options]\r\nWIDTH=8\r\n"},
        {"UTF-8 file stays UTF-8 and keeps its byte-order mark", Utf8Bom + "[其他]\r\n甲=1\r\n", Section, SegmentKey,
         "40", Utf8Bom + "[其他]\r\n甲=1\r\n[原创检测配置]\r\n段落字数=40\r\n"},
        // Rewriting the file in code page 936 would turn the emoji into "?".
        {"UTF-8 file keeps characters code page 936 lacks", "[原创检测配置]\n段落字数=38\n注释=😀\n", Section,
         SegmentKey, gbk("４０"), "[原创检测配置]\n段落字数=４０\n注释=😀\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(setProfileValue(c.before, c.section, c.key, c.value), c.after);
        // And what was written reads back.
        EXPECT_EQ(findProfileValue(c.after, c.section, c.key), c.value);
    }
}

TEST(SetProfileValue, RefusesWhatWouldNotReadBack) {
    struct Case {
        const char* name;
        std::string section;
        std::string key;
        std::string value;
    };
    const std::vector<Case> cases = {
        {"empty key", Section, "", "1"},
        {"blank key", Section, "  ", "1"},
        {"equals sign in key", Section, "a=b", "1"},
        {"key reading as a section", Section, "[a]", "1"},
        {"key reading as a comment", Section, ";a", "1"},
        {"line break in key", Section, "a\nb", "1"},
        {"line break in value", Section, "a", "1\r\n[x]"},
        {"zero byte in value", Section, "a",
         std::string("1\0"
                     "2",
                     3)},
        {"closing bracket in section", "a]b", "a", "1"},
        {"line break in section", "a\rb", "a", "1"},
    };
    const std::string before = gbk("[原创检测配置]\r\n段落字数=38\r\n");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(setProfileValue(before, c.section, c.key, c.value), std::nullopt);
    }
}

// ---- On files -----------------------------------------------------------------------------------

const std::string FixturePath = TEST_DATA_DIR "/config/saved-by-windows-tool.ini";

TEST(SettingsFile, FileSavedByTheWindowsToolReadsBackExactly) {
    ScratchDir dir;
    const std::string path = dir.file("settings.ini");
    const std::string original = fileBytes(FixturePath);
    ASSERT_FALSE(original.empty());
    putFile(path, original);

    EXPECT_EQ(readSetting(path, gbk("段落字数"), "38"), "40");
    EXPECT_EQ(readSetting(path, gbk("飘红检测数"), "12"), "10");
    EXPECT_EQ(readSetting(path, gbk("最后段字数"), "5"), "3");

    // Saving the same values again changes nothing.
    EXPECT_TRUE(writeSetting(path, gbk("段落字数"), "40"));
    EXPECT_TRUE(writeSetting(path, gbk("飘红检测数"), "10"));
    EXPECT_TRUE(writeSetting(path, gbk("最后段字数"), "3"));
    EXPECT_EQ(fileBytes(path), original);
}

TEST(SettingsFile, FirstSaveCreatesTheFileAsTheWindowsToolDoes) {
    ScratchDir dir;
    const std::string path = dir.file("settings.ini");
    EXPECT_TRUE(writeSetting(path, gbk("段落字数"), "40"));
    EXPECT_TRUE(writeSetting(path, gbk("飘红检测数"), "10"));
    EXPECT_TRUE(writeSetting(path, gbk("最后段字数"), "3"));
    EXPECT_EQ(fileBytes(path), fileBytes(FixturePath));
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"settings.ini"}); // no temporary file left
}

TEST(SettingsFile, UsesAUtf8FileName) {
    ScratchDir dir;
    const std::string path = dir.file("配置.ini");
    EXPECT_TRUE(writeSetting(path, SegmentKey, "40"));
    EXPECT_EQ(readSetting(path, SegmentKey, "38"), "40");
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"配置.ini"});
}

TEST(SettingsFile, WriteKeepsOtherSectionsAndKeysByteForByte) {
    ScratchDir dir;
    const std::string path = dir.file("settings.ini");
    putFile(path, gbk("[窗口]\r\n宽度=800\r\n\r\n[原创检测配置]\r\n段落字数=38\r\n; 用户的注释\r\n\r\n[其他]\r\n甲=1"));
    EXPECT_TRUE(writeSetting(path, SegmentKey, "40"));
    EXPECT_TRUE(writeSetting(path, HighlightKey, ""));
    EXPECT_EQ(fileBytes(path), gbk("[窗口]\r\n宽度=800\r\n\r\n[原创检测配置]\r\n段落字数=40\r\n飘红检测数=\r\n; "
                                   "用户的注释\r\n\r\n[其他]\r\n甲=1"));
    EXPECT_EQ(readSetting(path, HighlightKey, "12"), "");
}

TEST(SettingsFile, MissingFileSectionOrKeyGivesTheDefault) {
    ScratchDir dir;
    struct Case {
        const char* name;
        std::optional<std::string> content; // nullopt: no file
    };
    const std::vector<Case> cases = {
        {"no file", std::nullopt},
        {"empty file", ""},
        {"no section", gbk("[其他]\r\n段落字数=99\r\n")},
        {"no key", gbk("[原创检测配置]\r\n飘红检测数=10\r\n")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.file(c.name);
        if (c.content)
            putFile(path, *c.content);
        EXPECT_EQ(readSetting(path, SegmentKey, "38"), "38");
    }
    SCOPED_TRACE("path is a directory");
    EXPECT_EQ(readSetting(dir.path().string(), SegmentKey, "38"), "38");
}

// Failures that also happen when the tests run as root.
TEST(SettingsFile, FailedWriteReturnsFalseAndLeavesNothingBehind) {
    ScratchDir dir;
    std::filesystem::create_directory(dir.path() / "settings.ini");
    ASSERT_EQ(::mkfifo(dir.file("pipe.ini").c_str(), 0644), 0);
    struct Case {
        const char* name;
        std::string path;
    };
    const std::vector<Case> cases = {
        {"directory does not exist", dir.file("missing/settings.ini")},
        {"target is a directory", dir.file("settings.ini")},
        // Must neither hang on the open nor be replaced by a regular file.
        {"target is a named pipe", dir.file("pipe.ini")},
        {"empty path", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(writeSetting(c.path, SegmentKey, "40"));
        EXPECT_EQ(dir.entries(), (std::vector<std::string>{"pipe.ini", "settings.ini"}));
    }
    EXPECT_TRUE(std::filesystem::is_directory(dir.path() / "settings.ini"));
    EXPECT_TRUE(std::filesystem::is_fifo(dir.path() / "pipe.ini"));
    EXPECT_EQ(readSetting(dir.file("pipe.ini"), SegmentKey, "38"), "38");
}

// A write that fails halfway through the temporary file (here: the file size limit, which binds
// root as well) must leave the old file as it was.
TEST(SettingsFile, WriteFailingHalfwayLeavesTheOldFileIntact) {
    ScratchDir dir;
    const std::string path = dir.file("settings.ini");
    const std::string original = fileBytes(FixturePath);
    putFile(path, original);

    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit oldLimit{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &oldLimit), 0);
    rlimit small = oldLimit;
    small.rlim_cur = 16;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool written = writeSetting(path, SegmentKey, "41");
    ::setrlimit(RLIMIT_FSIZE, &oldLimit);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(written);
    EXPECT_EQ(fileBytes(path), original);
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"settings.ini"});
}

// Permission failures; root is not stopped by permissions.
TEST(SettingsFile, WriteWithoutPermissionFails) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "root writes regardless of permissions";
    struct Case {
        const char* name;
        std::filesystem::perms directory;
        std::filesystem::perms file;
    };
    using P = std::filesystem::perms;
    const std::vector<Case> cases = {
        {"read-only directory", P::owner_read | P::owner_exec, P::owner_read | P::owner_write},
        // A file that cannot be read must not be replaced by one holding only the new key.
        {"unreadable file", P::owner_all, P::owner_write},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchDir dir;
        const std::string path = dir.file("settings.ini");
        const std::string original = fileBytes(FixturePath);
        putFile(path, original);
        std::filesystem::permissions(path, c.file);
        std::filesystem::permissions(dir.path(), c.directory);
        EXPECT_FALSE(writeSetting(path, SegmentKey, "41"));
        std::filesystem::permissions(dir.path(), P::owner_all);
        std::filesystem::permissions(path, P::owner_read | P::owner_write);
        EXPECT_EQ(fileBytes(path), original);
        EXPECT_EQ(dir.entries(), std::vector<std::string>{"settings.ini"});
    }
}

TEST(SettingsFile, WriteKeepsTheFilesPermissions) {
    ScratchDir dir;
    const std::string path = dir.file("settings.ini");
    putFile(path, fileBytes(FixturePath));
    ::chmod(path.c_str(), 0640);
    EXPECT_TRUE(writeSetting(path, SegmentKey, "41"));
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
}

// A settings file kept elsewhere and linked beside the program: the save updates that file and the
// link stays a link.
TEST(SettingsFile, WriteThroughASymbolicLinkUpdatesTheFileBehindIt) {
    ScratchDir dir;
    const std::string target = dir.file("kept.ini");
    const std::string link = dir.file("settings.ini");
    putFile(target, fileBytes(FixturePath));
    ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);
    EXPECT_TRUE(writeSetting(link, SegmentKey, "41"));
    struct stat info {};
    ASSERT_EQ(::lstat(link.c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    EXPECT_EQ(readSetting(target, SegmentKey, "default"), "41");
}

// Check runs read on their own threads while the settings window writes: a reader must see the old
// or the new value, never a missing key from a half-written file.
TEST(SettingsFile, ReadersNeverSeeAPartialFile) {
    ScratchDir dir;
    const std::string path = dir.file("settings.ini");
    ASSERT_TRUE(writeSetting(path, SegmentKey, "40"));
    std::atomic<bool> done{false};
    std::atomic<int> wrongReads{0};
    std::thread reader([&] {
        while (!done) {
            const std::string value = readSetting(path, SegmentKey, "default");
            if (value != "40" && value != "41")
                ++wrongReads;
        }
    });
    for (int i = 0; i < 100; ++i)
        writeSetting(path, SegmentKey, i % 2 == 0 ? "41" : "40");
    done = true;
    reader.join();
    EXPECT_EQ(wrongReads, 0);
}

} // namespace
