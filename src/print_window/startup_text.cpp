#include "print_window/startup_text.h"

namespace velmar::print_window {

QString exeNameFrom(const QString& executableBaseName) {
    if (executableBaseName.right(3).toLower() == QLatin1String("_dv")) {
        return executableBaseName.chopped(3);
    }
    return executableBaseName;
}

QString pathFromArguments(const QString& argumentText) {
    QString path = argumentText;
    path.remove(QLatin1Char('"'));
    return path;
}

}  // namespace velmar::print_window
