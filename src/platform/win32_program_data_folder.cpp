// On Windows the program's own files (UserData.ini, the help page, the icon) lie beside
// the executable, in an installed copy as in a build.
#include "platform/paths.h"

#include <QDir>
#include <QFileInfo>

namespace velmar::platform {

QString programDataFolder(const QString& executableFilePath) {
    return QDir::toNativeSeparators(QFileInfo(executableFilePath).path());
}

}  // namespace velmar::platform
