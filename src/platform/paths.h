// How the platform spells paths: separators, suffixes, letter case and where the program's
// own files are.
#pragma once

#include <QChar>
#include <QString>

namespace velmar::platform {

// The folder path a user wrote, as the file system compares it: lower-cased where the
// file system ignores letter case, unchanged where case matters.
[[nodiscard]] QString pathInFileSystemCase(const QString& path);

// The separator the platform writes between path components.
[[nodiscard]] QChar pathSeparator();

// The executable name suffix of the platform (".exe" on Windows, none on Linux).
[[nodiscard]] QString executableSuffix();

// The file name of an executable path without folder and without the platform's
// executable suffix.
[[nodiscard]] QString executableBaseName(const QString& executableFilePath);

// The folder that holds an executable, as the platform reports it (no trailing separator).
[[nodiscard]] QString executableFolder(const QString& executableFilePath);

// The file name ending of shortcut files (".lnk" on Windows, ".desktop" on Linux).
[[nodiscard]] QString shortcutSuffix();

// The folder of the files installed with the program (help page, icon), without a trailing
// separator: the installed data folder when there is one, else the executable's own folder
// (a build tree).
[[nodiscard]] QString programDataFolder(const QString& executableFilePath);

}  // namespace velmar::platform
