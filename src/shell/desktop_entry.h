// The text of freedesktop desktop entries and of the command lines file managers keep:
// escapes, quoting, the installed package entry the per-user files take their names,
// comments, categories and icon from, and the link and program entries themselves.
#pragma once

#include "platform/services.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace velmar::shell {

// A value of type string: backslash, line breaks and tabs are escaped, and so is a leading
// blank, which readers would otherwise strip.
[[nodiscard]] QString desktopStringValue(const QString& value);

// One argument of an Exec line. It is quoted only where the Desktop Entry rules require it
// (a reserved character or a control character), with '"', '`', '$' and '\' escaped inside
// the quotes; '%' is doubled so that it is not taken for a field code. The result still
// needs desktopStringValue.
[[nodiscard]] QString desktopExecArgument(const QString& argument);

// One word of a command line that is split the way a POSIX shell splits it: in single
// quotes when it holds anything a shell treats specially.
[[nodiscard]] QString shellWord(const QString& word);

// The lines of the installed package entry's [Desktop Entry] group, as built into the
// program, without the keys that name a program, an icon or file types (Exec, TryExec,
// Icon, MimeType), which each written file sets for itself. Comments and blank lines are
// left out.
[[nodiscard]] QStringList packageEntryLines();

// The value of a key of the package entry ("Comment", "Comment[ja]", "Icon"); empty when
// it has none. Values are returned as written, escapes and all.
[[nodiscard]] QString packageEntryValue(const QString& key);

// The icon written files name: the package entry's icon when the icon theme in the
// desktop's data folders has it, else the icon file beside the program, else the package
// entry's icon all the same.
[[nodiscard]] QString entryIcon(const QString& iconFile, const platform::DesktopFolders& folders);

// A desktop entry of type Link named after the shortcut file, whose URL is the web address
// as it is or the path as a file: URL.
[[nodiscard]] QByteArray linkEntry(const QString& shortcutPath, const QString& target);

// The program's entry: the package entry's names, comments and categories, so that a
// per-user entry with the same id, which hides the package's, shows the program as the
// package does; the program's path with a file field, the icon and the file types are its
// own.
[[nodiscard]] QByteArray programEntry(const platform::ProgramShortcut& program,
                                      const QString& icon);

}  // namespace velmar::shell
