// How Windows spells paths: file systems ignore letter case (a folder path compares in
// lower case), executables end in .exe and shortcuts are .lnk files.
#include "platform/paths.h"

namespace velmar::platform {

QString pathInFileSystemCase(const QString& path) {
    return path.toLower();
}

QString executableSuffix() {
    return QStringLiteral(".exe");
}

QString shortcutSuffix() {
    return QStringLiteral(".lnk");
}

}  // namespace velmar::platform
