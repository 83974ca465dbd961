// Desktop notifications: a short message that the desktop shows without stopping anyone.
#pragma once

#include <QString>

namespace velmar::platform {

// Shows a notification with a summary line and a body text when the desktop offers a
// notification service; returns false when there is none or it refused the message.
// The body is shown as plain text. fileShown, when given, is the file the notification is
// about: it offers to open the file and its folder where the desktop can (links or buttons
// in the notification), and a click on it opens the folder where the desktop reports clicks
// to the program (Windows' notification area).
bool notifyDesktop(const QString& summary, const QString& body,
                   const QString& fileShown = QString());

// Called once before the program ends: notifications that only the running program can
// answer get a few seconds to be seen and clicked, and are then taken away. Returns at
// once when none is showing; it never changes how the run ended.
void settleNotifications();

}  // namespace velmar::platform
