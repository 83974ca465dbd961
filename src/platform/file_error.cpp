#include "platform/file_error.h"

#include <QDir>

namespace velmar::platform {

namespace {

[[noreturn]] void raisePathError(const QString& kind, const QString& what, const QString& path,
                                 const QString& reason) {
    QString text =
        kind + QLatin1Char(' ') + QDir::toNativeSeparators(path) + QLatin1Char(' ') + what;
    if (!reason.isEmpty()) {
        text += QLatin1Char('\r') + reason;
    }
    throw Error(text);
}

}  // namespace

void raiseFileError(const QString& what, const QString& path, const QString& reason) {
    raisePathError(QStringLiteral("ﾌｧｲﾙ"), what, path, reason);
}

void raiseFolderError(const QString& what, const QString& path, const QString& reason) {
    raisePathError(QStringLiteral("ﾌｫﾙﾀﾞ"), what, path, reason);
}

}  // namespace velmar::platform
