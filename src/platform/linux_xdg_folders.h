// The XDG base folders, read afresh on every call so that a changed variable is honoured.
#pragma once

#include <QString>

namespace velmar::platform {

// $XDG_DATA_HOME when it is an absolute path, else ~/.local/share.
[[nodiscard]] QString dataHome();

// $XDG_CONFIG_HOME when it is an absolute path, else ~/.config.
[[nodiscard]] QString configHome();

}  // namespace velmar::platform
