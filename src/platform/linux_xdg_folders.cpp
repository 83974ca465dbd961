#include "platform/linux_xdg_folders.h"

#include <QDir>

namespace velmar::platform {

namespace {

// An XDG base folder: the variable when it is set to an absolute path, else the folder
// under the home folder.
QString xdgFolder(const char* variable, QLatin1String underHome) {
    const QString configured = qEnvironmentVariable(variable);
    if (!configured.isEmpty() && QDir::isAbsolutePath(configured)) {
        return QDir::cleanPath(configured);
    }
    return QDir::cleanPath(QDir::homePath() + QLatin1Char('/') + underHome);
}

}  // namespace

QString dataHome() {
    return xdgFolder("XDG_DATA_HOME", QLatin1String(".local/share"));
}

QString configHome() {
    return xdgFolder("XDG_CONFIG_HOME", QLatin1String(".config"));
}

}  // namespace velmar::platform
