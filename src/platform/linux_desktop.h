// The freedesktop implementation of the desktop shell (used by the Linux services only).
#pragma once

#include "platform/platform.h"

#include <memory>

namespace velmar::platform {

[[nodiscard]] std::unique_ptr<DesktopShell> makeFreedesktopShell();

}  // namespace velmar::platform
