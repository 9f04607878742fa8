#include <QApplication>
#include <QSettings>

#include "platform/qt_platform.h"
#include "settings/settings_store.h"
#include "window/main_window.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Corvane"));
    QApplication::setOrganizationName(QStringLiteral("Corvane"));
    QApplication::setApplicationVersion(QStringLiteral(CORVANE_VERSION_TEXT));
    // Lets the desktop match the running window to the installed menu entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("corvane"));

    corvane::QtPlatform platform;
    const auto userSettings = corvane::SettingsStore::openUserSettings();
    corvane::SettingsStore settings(*userSettings);
    corvane::MainWindow window(platform, settings);
    window.show();
    return QApplication::exec();
}
