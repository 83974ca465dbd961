// The errors the file operations raise, in one form for every file a run writes or reads.
#pragma once

#include "base/error.h"

#include <QString>

#include <cstdint>

namespace velmar::platform {

// Raises "ﾌｧｲﾙ <path> <what>", with the reason on a line of its own when there is one.
[[noreturn]] void raiseFileError(const QString& what, const QString& path,
                                 const QString& reason = {});

// Raises "ﾌｫﾙﾀﾞ <path> <what>", with the reason on a line of its own when there is one.
[[noreturn]] void raiseFolderError(const QString& what, const QString& path,
                                   const QString& reason = {});

// The reason, for the user, of a system error number (errno on Linux, the last-error code
// on Windows).
[[nodiscard]] QString systemErrorReason(std::int64_t code);

}  // namespace velmar::platform
