// How Velmar names the files it writes before they are put in place, and when one that a
// killed run left behind is old enough to be removed. The file service (platform/) follows
// these rules; they are the program's, so they live here rather than there.
#pragma once

#include <cstdint>

namespace velmar {

// A temporary is ".velmar-<16 lower-case hex digits>.tmp": hidden, and unlike any name a
// user gives, so that only files of this form are ever removed as left over.
inline constexpr auto kTemporaryPrefix = ".velmar-";
inline constexpr auto kTemporarySuffix = ".tmp";
inline constexpr int kTemporaryDigits = 16;

// The file every running copy takes in a folder while it tests and takes a free name there,
// on file systems that can neither refuse an existing name nor link.
inline constexpr auto kNamingClaimFile = ".velmar-naming.lock";

// A temporary that has not changed for this long belongs to no run that is still writing
// it: even the slowest save of one image takes far less.
inline constexpr std::int64_t kAbandonedTemporarySeconds = std::int64_t{30} * 60;

}  // namespace velmar
