// Shortcuts and menu actions, in the form the desktop keeps them: the shell's own files
// through its link service, or text files written here.
#include "base/error.h"
#include "platform/atomic_file.h"
#include "platform/file_system.h"
#include "shell/desktop_entry.h"
#include "shell/file_manager_actions.h"
#include "shell/shell.h"

#include <QDir>
#include <QFileInfo>

namespace velmar::shell {

namespace {

// What killed runs left in the folder goes with the write.
void writeEntry(const QString& path, const QByteArray& bytes) {
    platform::FileSystem().removeAbandonedTemporaries(QFileInfo(path).path());
    platform::writeWholeFile(path, bytes);
}

}  // namespace

void saveLinkShortcut(platform::DesktopShell& desktop, const QString& shortcutPath,
                      const QString& target) {
    if (platform::ShellLinks* links = desktop.links()) {
        links->saveLinkShortcut(shortcutPath, target);
        return;
    }
    writeEntry(shortcutPath, linkEntry(shortcutPath, target));
}

// The entry is written here: neither the desktop's library nor its tools write a new one.
void saveProgramShortcut(platform::DesktopShell& desktop, const QString& shortcutPath,
                         const platform::ProgramShortcut& program) {
    if (platform::ShellLinks* links = desktop.links()) {
        links->saveProgramShortcut(shortcutPath, program);
        return;
    }
    platform::DesktopEntries& entries = *desktop.entries();
    const QFileInfo entry(shortcutPath);
    platform::ProgramShortcut offered = program;
    offered.mimeTypes = entries.keepOtherDefaults(program.mimeTypes, entry.fileName());
    QDir().mkpath(entry.path());
    writeEntry(shortcutPath, programEntry(offered, entryIcon(program.iconPath, entries.folders())));
    entries.refreshEntryCache(entry.path());
}

QStringList saveFileManagerActions(platform::DesktopShell& desktop,
                                   const platform::ProgramShortcut& program,
                                   const QString& actionName) {
    platform::DesktopEntries* entries = desktop.entries();
    if (entries == nullptr) {
        return {};
    }
    const platform::DesktopFolders folders = entries->folders();
    return writeFileManagerActions(program, actionName, entryIcon(program.iconPath, folders),
                                   folders);
}

}  // namespace velmar::shell
