// The pieces of start-up that work on text alone.
#pragma once

#include <QString>

namespace velmar::print_window {

// The executable name without a trailing "_dv" in any letter case.
[[nodiscard]] QString exeNameFrom(const QString& executableBaseName);

// The argument text with every double quote removed; nothing is trimmed or split.
[[nodiscard]] QString pathFromArguments(const QString& argumentText);

}  // namespace velmar::print_window
