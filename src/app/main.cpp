// The window program: one main window, maximised, living as long as the program.

#include "ui/main_window.h"
#include "ui/settings_window.h"

#include <QApplication>
#include <QDir>
#include <QTimer>

namespace {

// For tools/screenshot.sh: with ORIGINALITY_SCREENSHOT=file.png the program saves a picture of its
// main window after it has settled (and with ORIGINALITY_SETTINGS_SCREENSHOT one of the settings
// window), then ends.
void scheduleScreenshots(MainWindow& window) {
    const QString mainShot = qEnvironmentVariable("ORIGINALITY_SCREENSHOT");
    if (mainShot.isEmpty())
        return;
    const QString settingsShot = qEnvironmentVariable("ORIGINALITY_SETTINGS_SCREENSHOT");
    QTimer::singleShot(3000, &window, [&window, mainShot, settingsShot] {
        window.grab().save(mainShot);
        if (settingsShot.isEmpty()) {
            QCoreApplication::quit();
            return;
        }
        window.openSettings();
        QTimer::singleShot(500, &window, [&window, settingsShot] {
            if (auto* settings = window.findChild<SettingsWindow*>())
                settings->grab().save(settingsShot);
            QCoreApplication::quit();
        });
    });
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QDir::setCurrent(QCoreApplication::applicationDirPath());

    MainWindow window;
    window.showMaximized();
    scheduleScreenshots(window);
    return app.exec();
}
