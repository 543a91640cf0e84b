#pragma once
// The settings file: a small Windows-style INI file ("配置.ini" beside the executable) whose
// content is code page 936 with CR LF line ends. Keys, sections and values are GbkText.
//
// Reads and writes never throw and report no errors to the user: a missing or unreadable file
// reads as "no such key"; a failed write leaves the old file intact (writes go to a temporary file
// beside it that is then renamed over it). Concurrent readers on other threads see either the old
// or the new file, never a partial one.
//
// Format, as read: lines end in CR LF or LF (the last line may have no end); a line "[name]" opens a
// section, a line "name=value" is a key; white space around names and values is ignored; lines
// starting with ";" or "#" are comments. Section and key names compare with ASCII letters
// case-insensitive (bytes of two-byte characters are compared exactly). The first matching section
// and key count. A file that is valid UTF-8 (with or without a byte-order mark) and holds non-ASCII
// bytes is taken as UTF-8 and converted to code page 936 for matching and for the values returned.
//
// As written: only the key's line changes (replaced where it stands, or added after the section's
// last key, or added at the end of the file under a new section line); every other byte of the file
// stays as it was. New lines end in CR LF. A UTF-8 file stays UTF-8: the new line is written in
// UTF-8 and its byte-order mark, if any, is kept.

#include "text/gbk_text.h"

#include <optional>
#include <string>
#include <string_view>

// The value of key in section, or defaultValue when the file, section or key is missing. A key
// present with nothing after "=" gives the empty text. At most 10239 bytes of a value are returned
// (fewer when that would cut a two-byte character in half).
GbkText readProfileString(const std::string& filePath, const GbkText& section, const GbkText& key,
                          const GbkText& defaultValue);
// Sets key=value in section, creating the file and section when missing; other sections, keys and
// lines are kept. Returns false when the file could not be written, or when the names or value
// cannot be stored in the format (see setProfileValue); the old file is then left as it was.
bool writeProfileString(const std::string& filePath, const GbkText& section, const GbkText& key, const GbkText& value);

// The tool's own section "原创检测配置".
GbkText readSetting(const std::string& filePath, const GbkText& key, const GbkText& defaultValue);
bool writeSetting(const std::string& filePath, const GbkText& key, const GbkText& value);

// The section's name in code page 936.
const GbkText& settingsSection();

// ---- The same on a file's bytes, without the file system ----------------------------------------

// The whole content of the file at filePath; empty when it is missing or cannot be read, or is not
// a regular file. One read gives a consistent view for several keys.
std::string readFileBytes(const std::string& filePath);

// The value of key in section of the file content, or nullopt when the section or key is missing.
std::optional<GbkText> findProfileValue(std::string_view content, const GbkText& section, const GbkText& key);
// The file content with key=value set in section. nullopt when they cannot be stored: an empty key,
// a key holding "=", a section holding "]", a line break or zero byte in any of the three, or (for a
// UTF-8 file) a text that is not valid code page 936.
std::optional<std::string> setProfileValue(std::string_view content, const GbkText& section, const GbkText& key,
                                           const GbkText& value);
