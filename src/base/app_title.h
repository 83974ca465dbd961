// The program's title: the caption of its window and message boxes, the name its lines on
// standard error, its notifications, its shortcuts and its PDF files carry. main() hands it
// to Qt as the application name, which is how the operating-system layer learns it.
#pragma once

namespace velmar {

inline constexpr auto kAppTitle = "Velmar";

}  // namespace velmar
