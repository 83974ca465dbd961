// Extended-length paths for the Win32 file calls.
#include "platform/win32_long_path.h"

#include <QDir>
#include <QStringList>

namespace velmar::platform {

namespace {

// The longest folder path CreateDirectoryW takes without the prefix: MAX_PATH less room
// for an 8.3 file name. Paths from here on get the prefix, files and folders alike.
constexpr qsizetype kLongPathStart = 260 - 12;

constexpr QLatin1String kExtendedPrefix(R"(\\?\)");
constexpr QLatin1String kDevicePrefix(R"(\\.\)");

// Each name as the system reads a path without the prefix: trailing dots and blanks
// dropped.
QString withSystemNames(const QString& path) {
    QStringList names = path.split(QLatin1Char('\\'));
    for (qsizetype index = 1; index < names.size(); ++index) {
        QString& name = names[index];
        while (name.endsWith(QLatin1Char('.')) || name.endsWith(QLatin1Char(' '))) {
            name.chop(1);
        }
    }
    return names.join(QLatin1Char('\\'));
}

}  // namespace

QString win32FilePath(const QString& path) {
    const QString native = QDir::toNativeSeparators(path);
    if (native.size() < kLongPathStart || native.startsWith(kExtendedPrefix) ||
        native.startsWith(kDevicePrefix)) {
        return native;
    }
    const QString absolute = QDir::current().absoluteFilePath(QDir::fromNativeSeparators(path));
    const QString full = withSystemNames(QDir::toNativeSeparators(QDir::cleanPath(absolute)));
    if (full.startsWith(QLatin1String(R"(\\)"))) {
        return QString(kExtendedPrefix) + QLatin1String(R"(UNC\)") + full.mid(2);
    }
    if (full.size() >= 3 && full[1] == QLatin1Char(':') && full[2] == QLatin1Char('\\')) {
        return QString(kExtendedPrefix) + full;
    }
    return native;
}

}  // namespace velmar::platform
