// Runs the tests with a Qt application named as the program, on the offscreen platform, in a home
// folder of their own and with no way to reach the machine's printers or its session bus.
#include "base/app_title.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

int main(int argc, char* argv[]) {
    const QTemporaryDir isolated;
    if (!isolated.isValid()) {
        return 2;
    }
    for (const char* variable : {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME"}) {
        qputenv(variable, QDir(isolated.path()).filePath(QString::fromLatin1(variable)).toUtf8());
    }
    // No test reaches the desktop's session bus; a test that needs one starts its own.
    qputenv("DBUS_SESSION_BUS_ADDRESS",
            "unix:path=" + QDir(isolated.path()).filePath(QStringLiteral("no-bus")).toUtf8());
    qputenv("CUPS_SERVER", QDir(isolated.path()).filePath(QStringLiteral("no-cups.sock")).toUtf8());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    // The application object comes first: test parameters ask Qt for its image formats, and
    // on Windows Qt finds its plugins only from the application's own folder.
    const QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(velmar::kAppTitle));
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
