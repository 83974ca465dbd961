// The program's run, from the command line to the end of the window.
#pragma once

#include "platform/platform.h"

class QTranslator;

namespace velmar::print_window {

// Installs the toolkit's own texts (dialog buttons, the file dialog) in Japanese, like the
// rest of the interface, whatever the locale. They come from Qt's translations folder, or
// from "translations" beside the executable where a package carries its own. False when
// there are none; the translator must outlive their use.
bool loadToolkitTranslations(QTranslator& translator);

// Runs the program: answers --help and --version (see command_line.h), or else start-up,
// then the window until it closes. Returns the exit status.
[[nodiscard]] int run(const platform::Services& services);

}  // namespace velmar::print_window
