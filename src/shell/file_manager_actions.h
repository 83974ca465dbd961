// The file managers' own right-click menus: each keeps per-user actions in a place and a
// format of its own.
#pragma once

#include "platform/services.h"

#include <QString>
#include <QStringList>

namespace velmar::shell {

// Writes an action labelled actionName that starts the program with one selected file for
// Dolphin (a service menu), Nautilus (a script), Nemo (an action) and Thunar (a custom
// action merged into the user's list), each file whole or not at all, into the user's
// folders of the desktop. Gives one line for each file manager whose action could not be
// written.
[[nodiscard]] QStringList writeFileManagerActions(const platform::ProgramShortcut& program,
                                                  const QString& actionName, const QString& icon,
                                                  const platform::DesktopFolders& folders);

}  // namespace velmar::shell
