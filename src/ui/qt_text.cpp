#include "ui/qt_text.h"

#include "text/codepage.h"

#include <QColor>

QString fromGbk(const GbkText& text) {
    const std::string utf8 = gbkToUtf8Replacing(text, "\xEF\xBF\xBD"); // U+FFFD
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

GbkText toGbk(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    return utf8ToGbk(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
}

QString fromUtf8View(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

QString throughGbk(const QString& text) {
    return fromGbk(toGbk(text));
}

QColor fromColorRef(unsigned colour) {
    return QColor(static_cast<int>(colour & 0xFF), static_cast<int>((colour >> 8) & 0xFF),
                  static_cast<int>((colour >> 16) & 0xFF));
}
