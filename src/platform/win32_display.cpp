#include "platform/diagnostics.h"

namespace velmar::platform {

// Windows always has a desktop to show windows on; a run without one (a service, Wine
// without a display) asks for Qt's offscreen platform itself with QT_QPA_PLATFORM.
void selectHeadlessPlatformWhenNoDisplay() {}

}  // namespace velmar::platform
