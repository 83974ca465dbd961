#include "platform/paths.h"

#include <QDir>
#include <QFileInfo>

namespace velmar::platform {

QChar pathSeparator() {
    return QDir::separator();
}

QString executableBaseName(const QString& executableFilePath) {
    QString name = QFileInfo(executableFilePath).fileName();
    const QString suffix = executableSuffix();
    if (!suffix.isEmpty() && name.endsWith(suffix, Qt::CaseInsensitive)) {
        name.chop(suffix.size());
    }
    return name;
}

QString executableFolder(const QString& executableFilePath) {
    return QDir::toNativeSeparators(QFileInfo(executableFilePath).path());
}

}  // namespace velmar::platform
