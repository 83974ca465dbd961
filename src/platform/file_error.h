// The errors the platform's file operations raise, for use inside this folder.
#pragma once

#include "base/error.h"

#include <QString>

namespace velmar::platform {

// Raises "ﾌｧｲﾙ <path> <what>", with the reason on a line of its own when there is one.
[[noreturn]] void raiseFileError(const QString& what, const QString& path,
                                 const QString& reason = {});

// Raises "ﾌｫﾙﾀﾞ <path> <what>", with the reason on a line of its own when there is one.
[[noreturn]] void raiseFolderError(const QString& what, const QString& path,
                                   const QString& reason = {});

}  // namespace velmar::platform
