// The window tests run on the offscreen platform, with the home, settings and standard
// folders of a throwaway directory, so that nothing of the real user is read or written.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QSettings>
#include <QTemporaryDir>

#include "app/settings.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QTemporaryDir home;
    if (!home.isValid()) {
        return 2;
    }
    qputenv("HOME", home.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", QDir(home.path()).filePath("config").toLocal8Bit());
    qputenv("XDG_DATA_HOME", QDir(home.path()).filePath("data").toLocal8Bit());
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QString::fromLatin1(kSettingsOrganisation));
    QApplication::setApplicationName(QString::fromLatin1(kSettingsApplication));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       QDir(home.path()).filePath("settings"));
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope,
                       QDir(home.path()).filePath("settings"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
