// The printer driver's own printing preferences: shown in the driver's own dialog, kept in
// the printer-settings file, and given to every job on that printer. Each print system has
// its own implementation; where drivers have no such preferences (CUPS) there is nothing to
// show and nothing to give.
#pragma once

#include <QByteArray>
#include <QString>

#include <memory>
#include <optional>

class QPrinter;
class QWidget;

namespace velmar::printing {

// Whether this system's printer drivers have preferences of their own that a program shows
// and keeps; the set-up dialog offers its button for them only where they do.
[[nodiscard]] bool driversHavePreferences();

// Shows the driver's preferences for `printer` over `parent`'s window, starting from `kept`
// (the driver's defaults when it holds none that the driver takes). The preferences
// confirmed; nothing when the user cancelled or the driver cannot show them.
[[nodiscard]] std::optional<QByteArray> askDriverPreferences(QWidget& parent,
                                                             const QString& printer,
                                                             const QByteArray& kept);

// Gives `printer`, set to a print queue, the preferences kept for that queue, before the
// paper, orientation, copies and two-sided printing are set, so that those win. Preferences
// the driver does not take are left out. What it returns holds them for the printer and
// must outlive it; it may be empty.
[[nodiscard]] std::shared_ptr<void> applyDriverPreferences(QPrinter& printer,
                                                           const QByteArray& kept);

}  // namespace velmar::printing
