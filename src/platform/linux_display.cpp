#include "platform/diagnostics.h"

#include <QtGlobal>

namespace velmar::platform {

void selectHeadlessPlatformWhenNoDisplay() {
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
}

}  // namespace velmar::platform
