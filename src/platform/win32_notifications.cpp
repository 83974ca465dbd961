// Desktop notifications on Windows are not offered yet: the program behaves as on a desktop
// without a notification service, and what it would have said stays on standard error.
#include "platform/notifications.h"

namespace velmar::platform {

bool notifyDesktop(const QString& /*summary*/, const QString& /*body*/) {
    return false;
}

}  // namespace velmar::platform
