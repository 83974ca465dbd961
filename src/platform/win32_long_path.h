// Paths for the Win32 file calls that also work past MAX_PATH (260 characters).
#pragma once

#include <QString>

namespace velmar::platform {

// The path with Windows separators, as every Win32 call that opens, creates, lists, moves
// or removes files takes it. A path too long for the calls' classic limit becomes an
// extended-length path ("\\?\C:\…", "\\?\UNC\server\share\…"): absolute, with "." and
// ".." resolved and trailing dots and blanks of each name dropped, as the system itself
// would have read it. Shorter paths stay as they are, so the system reads them as always.
[[nodiscard]] QString win32FilePath(const QString& path);

}  // namespace velmar::platform
