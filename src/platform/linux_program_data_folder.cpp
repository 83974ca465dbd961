// Where the files installed with the program are on Linux: <prefix>/share/velmar for an
// installed program, the executable's own folder in a build tree.
#include "platform/paths.h"

#include <QDir>
#include <QFileInfo>

namespace velmar::platform {

namespace {

constexpr auto kDataFolderName = "velmar";

}  // namespace

QString programDataFolder(const QString& executableFilePath) {
    const QString folder = QFileInfo(executableFilePath).path();
    const QString installed =
        QDir::cleanPath(folder + QLatin1String("/../share/") + QLatin1String(kDataFolderName));
    return QFileInfo(installed).isDir() ? installed : folder;
}

}  // namespace velmar::platform
