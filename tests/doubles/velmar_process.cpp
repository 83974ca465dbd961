#include "doubles/velmar_process.h"

#include "platform/platform.h"

#include <QProcessEnvironment>

#include <gtest/gtest.h>

namespace velmar::test {

namespace {

constexpr int kTimeoutMs = 120000;

std::unique_ptr<QProcess> startInHome(const TempHome& home, const QString& program,
                                      const QStringList& arguments, const QString& cupsServer) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        environment.remove(QString::fromLatin1(name));
    }
    environment.insert(QStringLiteral("HOME"), home.path());
    environment.insert(QStringLiteral("XDG_DATA_HOME"), home.dataHome());
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.configHome());
    environment.insert(
        QStringLiteral("CUPS_SERVER"),
        cupsServer.isEmpty() ? home.filePath(QStringLiteral("none.sock")) : cupsServer);
    auto process = std::make_unique<QProcess>();
    process->setProcessEnvironment(environment);
    process->start(program, arguments);
    return process;
}

}  // namespace

std::unique_ptr<QProcess> startVelmar(const TempHome& home, const QStringList& arguments,
                                      const QString& executable, const QString& cupsServer) {
    return startInHome(home, executable, arguments, cupsServer);
}

RunResult runVelmarWrapped(const TempHome& home, const QStringList& wrapper,
                           const QStringList& arguments) {
    const std::unique_ptr<QProcess> process = startInHome(
        home, wrapper.first(),
        wrapper.mid(1) + QStringList{QStringLiteral(VELMAR_EXECUTABLE)} + arguments, QString());
    return finishVelmar(*process);
}

RunResult finishVelmar(QProcess& process) {
    const bool finished = process.waitForFinished(kTimeoutMs);
    EXPECT_TRUE(finished) << "velmar did not finish";
    if (!finished) {
        process.kill();
        process.waitForFinished();
    }
    return RunResult{process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                     QString::fromLocal8Bit(process.readAllStandardError())};
}

RunResult runVelmar(const TempHome& home, const QStringList& arguments, const QString& executable,
                    const QString& cupsServer) {
    const std::unique_ptr<QProcess> process = startVelmar(home, arguments, executable, cupsServer);
    return finishVelmar(*process);
}

QString userDataFolder(const TempHome& home) {
    return home.dataHome() + QStringLiteral("/Ostrand/velmar/");
}

void storeBackUpMode(const TempHome& home, int mode) {
    const QString document =
        QStringLiteral(
            "<?xml version='1.0' encoding='Shift-JIS' ?>\r\n<運用>\r\n   <設定>\r\n"
            "      <保存>%1</保存>\r\n   </設定>\r\n</運用>")
            .arg(mode);
    writeFile(userDataFolder(home) + QStringLiteral("User.xml"),
              platform::encodeAnsi(document).value());
}

}  // namespace velmar::test
