// Dates as the settings document stores them. Private to the settings store.
#pragma once

#include <QDateTime>
#include <QString>

namespace velmar::settings_store {

// The date as an ISO date, a time of day alone (on the zero date), or both; the
// milliseconds only when there are any. readDate reads every form back.
[[nodiscard]] QString dateText(const QDateTime& value);

}  // namespace velmar::settings_store
