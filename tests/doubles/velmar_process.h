// Runs the real program the way a file manager does: no display, no printer, and the
// settings of a temporary home folder.
#pragma once

#include "doubles/temp_home.h"

#include <QProcess>
#include <QString>
#include <QStringList>

#include <memory>

namespace velmar::test {

struct RunResult {
    int exitCode = -1;  // -1 when the program crashed or did not finish
    QString standardError;
};

// Starts the program and returns at once. It reaches no CUPS daemon unless one is named.
[[nodiscard]] std::unique_ptr<QProcess> startVelmar(
    const TempHome& home, const QStringList& arguments,
    const QString& executable = QStringLiteral(VELMAR_EXECUTABLE),
    const QString& cupsServer = QString());

// Waits for a started program to end (it is killed after two minutes).
[[nodiscard]] RunResult finishVelmar(QProcess& process);

[[nodiscard]] RunResult runVelmar(const TempHome& home, const QStringList& arguments,
                                  const QString& executable = QStringLiteral(VELMAR_EXECUTABLE),
                                  const QString& cupsServer = QString());

// Runs the program through a wrapper command, which gets the program and its arguments
// as its last arguments (for example "unshare -m sh -c SCRIPT sh").
[[nodiscard]] RunResult runVelmarWrapped(const TempHome& home, const QStringList& wrapper,
                                         const QStringList& arguments);

// The user-data folder of a run in that home folder ("%usr%"), with a trailing '/'.
[[nodiscard]] QString userDataFolder(const TempHome& home);

// Writes the settings document that a run reads its backup mode from (0 none, 1 bitmap,
// 2 JPEG), as the program itself writes it.
void storeBackUpMode(const TempHome& home, int mode);

}  // namespace velmar::test
