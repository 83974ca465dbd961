// Desktop notifications: a short message that the desktop shows without stopping anyone.
#pragma once

#include <QString>

namespace velmar::platform {

// Shows a notification with a summary line and a body text when the desktop offers a
// notification service; returns false when there is none or it refused the message.
// The body is shown as plain text.
bool notifyDesktop(const QString& summary, const QString& body);

}  // namespace velmar::platform
