// Folder shell/: the help page, the shortcuts ("Send To", the viewer), the file managers'
// menu actions and folder views. May use platform/ and base/.
//
// The help page, the shortcuts ("Send To" and the viewer) and folder views, handed to the
// desktop shell. Where the desktop keeps shortcuts and menu actions as text files
// (freedesktop desktop entries, Dolphin's service menus, Nautilus's scripts, Nemo's
// actions, Thunar's list), they are written here in the desktop's formats; elsewhere the
// system's shell writes its own shortcut files.
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

// Writes or replaces a shortcut whose target is a web address, a document or a folder: the
// shell's own link file, or a desktop entry of type Link. A shortcut that cannot be written
// raises Error.
void saveLinkShortcut(platform::DesktopShell& desktop, const QString& shortcutPath,
                      const QString& target);

// Writes or replaces a shortcut that starts the program with the file it is given. As a
// desktop entry it offers the program only for the types that already have a default
// program, and those defaults are recorded first, so that no type's default changes (the
// program would become the default of a type without one); the folder is created when it is
// missing, as the per-user applications folder of a new account is. A shortcut that cannot
// be written raises Error.
void saveProgramShortcut(platform::DesktopShell& desktop, const QString& shortcutPath,
                         const platform::ProgramShortcut& program);

// Adds an action labelled actionName that starts the program with one file to the
// right-click menus of the file managers that keep such actions per user, each in a file of
// its own. Gives one line for each file manager whose action could not be written; the
// others are written all the same. Where the system's shell writes its own shortcut files,
// the Send To shortcut is the way, and there is nothing to add.
[[nodiscard]] QStringList saveFileManagerActions(platform::DesktopShell& desktop,
                                                 const platform::ProgramShortcut& program,
                                                 const QString& actionName);

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
