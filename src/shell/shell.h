// Folder shell/: the help page, the shortcuts ("Send To", the viewer) and folder views.
// May use platform/ and base/.
//
// The help page, the shortcuts ("Send To" and the viewer) and folder views, handed to the
// desktop shell.
//
// W_ marks an operation that acts through the window or the desktop shell. Parameters
// carry a type letter: s text (sJob a help page, sUrl a web address, sFld a folder or
// document), b a flag (bOpn: open rather than explore).
#pragma once

#include "platform/file_system.h"
#include "platform/services.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>

namespace velmar::shell {

// The help page the menu opens.
inline constexpr auto kHelpPage = "velmar.htm";

// What the shell operations use of the program's state.
struct ShellContext {
    QString userDataFolder;  // ends with the path separator
    QString exeName;
    QString executableFilePath;
    std::int32_t ownerWindow = 0;
    platform::DesktopShell& desktop;
    platform::MessageBox& messages;
    QStringList programFileTypes;  // the file types the program opens (MIME types)
};

// The address the help page names are appended to: the file: URL of the folder installed
// with the program that holds the help pages, ending with a slash.
[[nodiscard]] QString helpBaseAddress(const QString& executableFilePath);

// Writes the help shortcut (user-data folder, exeName + "_help") targeting the help page
// sJob, lower-cased, with ".htm" added when it has no dot, and opens it. A page that cannot
// be shown, whatever the reason (the shortcut cannot be written, no program opens it, the
// program fails), is said in a message that names it and the reason.
void W_Help(const ShellContext& context, const QString& sJob);

// Writes the viewer shortcut "Wrk/htm_view" in the user-data folder targeting sUrl and
// opens it. The "Wrk" folder is not created; every failure is dropped silently.
void W_HtmView(const ShellContext& context, const QString& sUrl);

// Writes a shortcut to the program into the Send To folder, adds "Velmar で印刷" to the
// file managers' own menus where the system has them, and confirms it in a message that
// also names each menu that could not be written. A shortcut that cannot be written is
// dropped silently, and then nothing is confirmed.
void W_SendTo(const ShellContext& context, const std::function<QString()>& sendToFolder);

// With bOpn non-zero opens sFld with the desktop's default action; otherwise shows sFld in
// the file manager when it is an existing folder. An empty sFld does nothing. Failures
// pass to the caller.
void W_ExpFd(const ShellContext& context, const platform::FileSystem& files, const QString& sFld,
             std::int16_t bOpn);

}  // namespace velmar::shell
