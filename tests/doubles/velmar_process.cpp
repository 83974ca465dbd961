#include "doubles/velmar_process.h"

#include <QProcessEnvironment>

#include <gtest/gtest.h>

namespace velmar::test {

namespace {

constexpr int kTimeoutMs = 120000;

}  // namespace

std::unique_ptr<QProcess> startVelmar(const TempHome& home, const QStringList& arguments,
                                      const QString& executable, const QString& cupsServer) {
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
    process->start(executable, arguments);
    return process;
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

}  // namespace velmar::test
