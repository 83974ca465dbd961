// Reading stored text as truth values.
#include "settings_store/settings_document.h"

namespace velmar::settings_store {

bool readBool(const QString& text) {
    const QString trimmed = text.trimmed();
    if (trimmed.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0) {
        return true;
    }
    if (trimmed.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0) {
        return false;
    }
    bool ok = false;
    const double number = trimmed.toDouble(&ok);
    if (!ok) {
        throw Error(QStringLiteral("型が一致しません: ") + text);
    }
    return number != 0.0;
}

}  // namespace velmar::settings_store
