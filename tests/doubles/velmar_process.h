// Runs the real program the way a file manager does: no display, no printer, and the
// settings of a temporary home folder.
#pragma once

#include "doubles/temp_home.h"

#include <QString>
#include <QStringList>

namespace velmar::test {

struct RunResult {
    int exitCode = -1;  // -1 when the program crashed or did not finish
    QString standardError;
};

[[nodiscard]] RunResult runVelmar(const TempHome& home, const QStringList& arguments,
                                  const QString& executable = QStringLiteral(VELMAR_EXECUTABLE));

}  // namespace velmar::test
