#include "config/check_settings.h"

#include "config/settings_file.h"
#include "config_test_support.h"

#include <gtest/gtest.h>

namespace {

// The keys are written as byte escapes in the source; they must be the words the files hold.
TEST(SettingKeys, NamesDefaultsAndOrder) {
    const auto& keys = settingKeys();
    EXPECT_EQ(keys[0].key, gbk("段落字数"));
    EXPECT_EQ(keys[0].defaultValue, "38");
    EXPECT_EQ(keys[1].key, gbk("飘红检测数"));
    EXPECT_EQ(keys[1].defaultValue, "12");
    EXPECT_EQ(keys[2].key, gbk("最后段字数"));
    EXPECT_EQ(keys[2].defaultValue, "5");
    EXPECT_EQ(settingsSection(), gbk("原创检测配置"));
}

TEST(ReadCheckSettings, ConvertsEachValueAsANumber) {
    struct Case {
        const char* name;
        std::optional<std::string> content; // code page 936; nullopt: no file
        CheckSettings expected;
    };
    const std::vector<Case> cases = {
        {"no file: the defaults", std::nullopt, {38, 12, 5}},
        {"section without keys: the defaults", gbk("[原创检测配置]\r\n"), {38, 12, 5}},
        {"empty value reads as 0, not the default", gbk("[原创检测配置]\r\n段落字数=\r\n"), {0, 12, 5}},
        {"full-width digits", gbk("[原创检测配置]\r\n段落字数=３８\r\n飘红检测数=１０\r\n"), {38, 10, 5}},
        {"text after the digits is ignored", gbk("[原创检测配置]\r\n最后段字数=7个\r\n"), {38, 12, 7}},
        {"not a number reads as 0", gbk("[原创检测配置]\r\n飘红检测数=很多\r\n"), {38, 0, 5}},
        {"sign", gbk("[原创检测配置]\r\n段落字数=-3\r\n"), {-3, 12, 5}},
        {"other sections around",
         gbk("[甲]\r\n段落字数=1\r\n[原创检测配置]\r\n段落字数=20\r\n[乙]\r\n最后段字数=9\r\n"),
         {20, 12, 5}},
    };
    ScratchDir dir;
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.file("settings" + std::to_string(n++) + ".ini");
        if (c.content)
            putFile(path, *c.content);
        const CheckSettings s = readCheckSettings(path);
        EXPECT_EQ(s.segmentLength, c.expected.segmentLength);
        EXPECT_EQ(s.highlightMinimum, c.expected.highlightMinimum);
        EXPECT_EQ(s.lastSegmentMinimum, c.expected.lastSegmentMinimum);
    }
}

TEST(ReadCheckSettings, FileSavedByTheWindowsTool) {
    const CheckSettings s = readCheckSettings(TEST_DATA_DIR "/config/saved-by-windows-tool.ini");
    EXPECT_EQ(s.segmentLength, 40);
    EXPECT_EQ(s.highlightMinimum, 10);
    EXPECT_EQ(s.lastSegmentMinimum, 3);
}

TEST(ReadCheckSettings, FileSavedAsUtf8ByAnEditor) {
    ScratchDir dir;
    const std::string path = dir.file("settings.ini");
    putFile(path, "\xEF\xBB\xBF[原创检测配置]\r\n段落字数=３０\r\n飘红检测数=8\r\n");
    const CheckSettings s = readCheckSettings(path);
    EXPECT_EQ(s.segmentLength, 30);
    EXPECT_EQ(s.highlightMinimum, 8);
    EXPECT_EQ(s.lastSegmentMinimum, 5);
}

} // namespace
