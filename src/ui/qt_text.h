#pragma once
// The one crossing between the core's code page 936 texts and Qt's UTF-16 strings. Everything the
// window shows of a GbkText, and everything it hands to the core, passes through these functions.

#include "text/gbk_text.h"

#include <QColor>
#include <QString>

#include <string_view>

// The text as Qt shows it; a character that is not code page 936 shows as U+FFFD.
QString fromGbk(const GbkText& text);
// The code page 936 form; a character that code page 936 cannot hold becomes "?".
GbkText toGbk(const QString& text);
// A control name or other UTF-8 text from the core.
QString fromUtf8View(std::string_view utf8);
// The text as it comes back from a trip through code page 936 (unrepresentable characters as "?").
QString throughGbk(const QString& text);
// COLORREF 0x00BBGGRR as a QColor.
QColor fromColorRef(unsigned colour);
