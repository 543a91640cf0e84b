#pragma once
// The three tuning values a check run reads from the settings file, with their keys and defaults in
// one table.

#include "text/gbk_text.h"

#include <array>
#include <string>

struct SettingKey {
    GbkText key;          // code page 936, e.g. "段落字数"
    GbkText defaultValue; // e.g. "38"
};

// In the order the settings window writes them: 段落字数, 飘红检测数, 最后段字数.
const std::array<SettingKey, 3>& settingKeys();

struct CheckSettings {
    int segmentLength = 38;     // 段落字数: characters per segment
    int highlightMinimum = 12;  // 飘红检测数: stored only; no step of a run uses it
    int lastSegmentMinimum = 5; // 最后段字数: stored only; no step of a run uses it
};

// Each value read as text (default when missing) and converted with textToInt.
CheckSettings readCheckSettings(const std::string& filePath);

// The settings file's name, "配置.ini", as a UTF-8 file-system name.
inline constexpr const char* SettingsFileName = "\xE9\x85\x8D\xE7\xBD\xAE.ini";
