#pragma once
// The settings window: the three tuning values typed as integers and saved into the settings file.
// It never reads the file: every opening shows the design values 38, 12 and 5.

#include <QDialog>
#include <QLineEdit>

#include <string>

// The text an integer box shows after it loses the focus: leading white space, an optional sign and
// the digits up to the first non-digit read as a 64-bit number (no digits: 0), clamped to the 32-bit
// range and written in decimal; 0 becomes the empty text.
QString normaliseInteger(const QString& text);

// A single-line box for integers: typed printable characters other than "-" and the digits are
// ignored; pasted text is taken as it is; on losing the focus the text is normalised.
class IntegerEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit IntegerEdit(const QString& text, QWidget* parent = nullptr);
    // Rewrites the text with normaliseInteger when that changes it.
    void normalise();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
};

class SettingsWindow : public QDialog {
    Q_OBJECT
public:
    static constexpr int OuterWidth = 405;
    static constexpr int OuterHeight = 242;

    // settingsPath: the settings file the save writes (UTF-8 file-system path).
    explicit SettingsWindow(std::string settingsPath, QWidget* parent = nullptr);

    // Writes the three boxes' texts, as they stand after normalising, as 段落字数, 飘红检测数 and
    // 最后段字数. Shows nothing and keeps the window open; a failed write passes silently.
    void saveSettings();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void placeOnScreen();

    std::string settingsPath_;
    IntegerEdit* segmentLength_;
    IntegerEdit* highlightMinimum_;
    IntegerEdit* lastSegmentMinimum_;
};

// The settings file beside the executable (UTF-8 path).
std::string defaultSettingsPath();
