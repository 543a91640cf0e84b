#include "ui/settings_window.h"

#include "config/check_settings.h"
#include "config/settings_file.h"
#include "ui/qt_text.h"

#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>

QString normaliseInteger(const QString& text) {
    qsizetype i = 0;
    const qsizetype n = text.size();
    auto isSpace = [](QChar c) {
        return c == u' ' || (c >= u'\t' && c <= u'\r');
    };
    while (i < n && isSpace(text[i]))
        ++i;
    bool negative = false;
    if (i < n && (text[i] == u'-' || text[i] == u'+')) {
        negative = text[i] == u'-';
        ++i;
    }
    // Saturating 64-bit accumulation; anything past the 32-bit range is clamped below anyway.
    std::int64_t magnitude = 0;
    for (; i < n && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        const int digit = text[i].unicode() - u'0';
        if (magnitude > (INT64_MAX - digit) / 10)
            magnitude = INT64_MAX;
        else
            magnitude = magnitude * 10 + digit;
    }
    std::int64_t value = negative ? -magnitude : magnitude;
    value = std::clamp<std::int64_t>(value, INT32_MIN, INT32_MAX);
    return value == 0 ? QString() : QString::number(value);
}

IntegerEdit::IntegerEdit(const QString& text, QWidget* parent) : QLineEdit(text, parent) {}

void IntegerEdit::normalise() {
    const QString normal = normaliseInteger(text());
    if (normal != text())
        setText(normal);
}

void IntegerEdit::keyPressEvent(QKeyEvent* event) {
    // Shortcuts (paste included) and control keys pass; typed characters are filtered.
    const QString typed = event->text();
    const bool printable =
        !typed.isEmpty() && typed.at(0).isPrint() && !(event->modifiers() & (Qt::ControlModifier | Qt::MetaModifier));
    if (printable) {
        for (QChar c : typed) {
            if (c != u'-' && (c < u'0' || c > u'9')) {
                event->accept();
                return;
            }
        }
    }
    QLineEdit::keyPressEvent(event);
}

void IntegerEdit::inputMethodEvent(QInputMethodEvent* event) {
    // Text composed with an input method counts as typed.
    QString kept;
    for (QChar c : event->commitString()) {
        if (c == u'-' || (c >= u'0' && c <= u'9'))
            kept.append(c);
    }
    if (kept == event->commitString()) {
        QLineEdit::inputMethodEvent(event);
        return;
    }
    QInputMethodEvent filtered(event->preeditString(), event->attributes());
    filtered.setCommitString(kept, event->replacementStart(), event->replacementLength());
    QLineEdit::inputMethodEvent(&filtered);
}

void IntegerEdit::focusOutEvent(QFocusEvent* event) {
    // A popup such as the box's own context menu takes the keyboard only for its own time: the
    // focus comes back to the box, so the text is left as it is (a paste from that menu goes on
    // from what was typed).
    if (event->reason() != Qt::PopupFocusReason)
        normalise();
    QLineEdit::focusOutEvent(event);
}

namespace {

QFont settingsFont() {
    QFont font;
    font.setPixelSize(12);
    return font;
}

QLabel* addLabel(QWidget* parent, const QString& name, const QString& text, const QRect& geometry, bool red,
                 bool wrap) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setGeometry(geometry);
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    label->setWordWrap(wrap);
    if (red) {
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, fromColorRef(0x0000FF));
        label->setPalette(palette);
    }
    return label;
}

IntegerEdit* addEdit(QWidget* parent, const QString& name, const QString& text, const QRect& geometry) {
    auto* edit = new IntegerEdit(text, parent);
    edit->setObjectName(name);
    edit->setGeometry(geometry);
    return edit;
}

} // namespace

SettingsWindow::SettingsWindow(std::string settingsPath, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      settingsPath_(std::move(settingsPath)) {
    setWindowTitle(QStringLiteral("参数设置"));
    setModal(true);
    setFont(settingsFont());
    // Until the window manager tells the frame's size, the client area takes the whole size.
    setFixedSize(OuterWidth, OuterHeight);

    addLabel(this, QStringLiteral("标签1"), QStringLiteral("分段文本字数设置"), {24, 40, 104, 24}, false, false);
    segmentLength_ = addEdit(this, QStringLiteral("编辑框_段落数"), QStringLiteral("38"), {136, 32, 24, 32});
    addLabel(this, QStringLiteral("标签2"), QStringLiteral("百度的查询限制在36个汉字以内"), {176, 40, 176, 24}, true,
             false);
    addLabel(this, QStringLiteral("标签3"), QStringLiteral("飘红计数字数设置"), {24, 80, 104, 24}, false, false);
    highlightMinimum_ = addEdit(this, QStringLiteral("编辑框_飘红检测数"), QStringLiteral("12"), {136, 72, 24, 32});
    addLabel(this, QStringLiteral("标签4"), QStringLiteral("至少多少个字连续出现，才算飘红，此值越小，原创精确度越高"),
             {176, 72, 176, 32}, true, true);
    addLabel(this, QStringLiteral("标签5"), QStringLiteral("最后一段字数设置"), {24, 120, 104, 24}, false, false);
    lastSegmentMinimum_ = addEdit(this, QStringLiteral("编辑框_最后段字数"), QStringLiteral("5"), {136, 120, 24, 32});
    addLabel(this, QStringLiteral("标签6"), QStringLiteral("最后一段小于此值，则不计入原创度算法。"),
             {176, 120, 176, 32}, true, true);

    auto* save = new QPushButton(QStringLiteral("保存"), this);
    save->setObjectName(QStringLiteral("按钮_保存参数"));
    save->setGeometry(232, 168, 80, 32);
    save->setAutoDefault(false);
    connect(save, &QPushButton::clicked, this, &SettingsWindow::saveSettings);
}

void SettingsWindow::saveSettings() {
    const std::array<IntegerEdit*, 3> boxes = {segmentLength_, highlightMinimum_, lastSegmentMinimum_};
    const auto& keys = settingKeys();
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        boxes[i]->normalise();
        writeSetting(settingsPath_, keys[i].key, toGbk(boxes[i]->text()));
    }
}

void SettingsWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    placeOnScreen();
}

void SettingsWindow::placeOnScreen() {
    // The design size is the outer size: take the frame off the client area once it is known.
    const QSize frame = frameGeometry().size() - geometry().size();
    const QSize client(OuterWidth - frame.width(), OuterHeight - frame.height());
    if (client != size())
        setFixedSize(client);
    QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->geometry();
    move(area.x() + (area.width() - OuterWidth) / 2, area.y() + (area.height() - OuterHeight) / 2);
}

std::string defaultSettingsPath() {
    const QString path = QDir(QCoreApplication::applicationDirPath()).filePath(QString::fromUtf8(SettingsFileName));
    const QByteArray utf8 = path.toUtf8();
    return std::string(utf8.constData(), static_cast<std::size_t>(utf8.size()));
}
