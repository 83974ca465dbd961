#include "base/error.h"

namespace velmar {

Error::Error(const QString& message) : std::runtime_error(message.toStdString()) {}

QString Error::message() const {
    return QString::fromStdString(what());
}

}  // namespace velmar
