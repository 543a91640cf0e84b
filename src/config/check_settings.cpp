#include "config/check_settings.h"

#include "config/settings_file.h"

const std::array<SettingKey, 3>& settingKeys() {
    static const std::array<SettingKey, 3> keys = {{
        {"\xB6\xCE\xC2\xE4\xD7\xD6\xCA\xFD", "38"},         // 段落字数
        {"\xC6\xAE\xBA\xEC\xBC\xEC\xB2\xE2\xCA\xFD", "12"}, // 飘红检测数
        {"\xD7\xEE\xBA\xF3\xB6\xCE\xD7\xD6\xCA\xFD", "5"},  // 最后段字数
    }};
    return keys;
}

CheckSettings readCheckSettings(const std::string& filePath) {
    // One read of the file, so that a save in between cannot mix old and new values.
    const std::string content = readFileBytes(filePath);
    const auto value = [&](const SettingKey& k) {
        return textToInt(findProfileValue(content, settingsSection(), k.key).value_or(k.defaultValue));
    };
    const auto& keys = settingKeys();
    CheckSettings settings;
    settings.segmentLength = value(keys[0]);
    settings.highlightMinimum = value(keys[1]);
    settings.lastSegmentMinimum = value(keys[2]);
    return settings;
}
