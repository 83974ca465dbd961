// How Linux spells paths: letter case matters, executables have no suffix, and shortcuts
// are desktop entries.
#include "platform/paths.h"

namespace velmar::platform {

QString pathInFileSystemCase(const QString& path) {
    return path;  // Linux file systems tell letter case apart
}

QString executableSuffix() {
    return {};
}

QString shortcutSuffix() {
    return QStringLiteral(".desktop");
}

}  // namespace velmar::platform
