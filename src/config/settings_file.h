#pragma once
// The settings file: a small Windows-style INI file ("配置.ini" beside the executable) whose
// content is code page 936 with CR LF line ends. Keys, sections and values are GbkText.
//
// Reads and writes never throw and report no errors to the user: a missing or unreadable file
// reads as "no such key"; a failed write leaves the old file intact (writes go to a temporary file
// beside it that is then renamed over it). Concurrent readers on other threads see either the old
// or the new file, never a partial one.

#include "text/gbk_text.h"

#include <string>

// The value of key in section, or defaultValue when the file, section or key is missing. A key
// present with nothing after "=" gives the empty text. At most 10239 bytes of a value are returned.
// A file saved as UTF-8 by another editor is read as well (converted to code page 936).
GbkText readProfileString(const std::string& filePath, const GbkText& section, const GbkText& key,
                          const GbkText& defaultValue);
// Sets key=value in section, creating the file and section when missing; other sections, keys and
// lines are kept. Returns false when the file could not be written.
bool writeProfileString(const std::string& filePath, const GbkText& section, const GbkText& key,
                        const GbkText& value);

// The tool's own section "原创检测配置".
GbkText readSetting(const std::string& filePath, const GbkText& key, const GbkText& defaultValue);
bool writeSetting(const std::string& filePath, const GbkText& key, const GbkText& value);
