// CUPS keeps a queue's options itself; its drivers have no preferences of their own for a
// program to show or keep.
#include "printing/driver_preferences.h"

namespace velmar::printing {

bool driversHavePreferences() {
    return false;
}

std::optional<QByteArray> askDriverPreferences(QWidget& /*parent*/, const QString& /*printer*/,
                                               const QByteArray& /*kept*/) {
    return std::nullopt;
}

std::shared_ptr<void> applyDriverPreferences(QPrinter& /*printer*/, const QByteArray& /*kept*/) {
    return nullptr;
}

}  // namespace velmar::printing
