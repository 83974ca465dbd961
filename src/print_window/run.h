// The program's run, from the command line to the end of the window.
#pragma once

#include "platform/platform.h"

namespace velmar::print_window {

// Runs the program: answers --help and --version (see command_line.h), or else start-up,
// then the window until it closes. Returns the exit status.
[[nodiscard]] int run(const platform::Services& services);

}  // namespace velmar::print_window
