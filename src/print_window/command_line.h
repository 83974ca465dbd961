// The two questions the command line can ask instead of naming a file to print.
#pragma once

#include "platform/platform.h"

#include <QString>

namespace velmar::print_window {

enum class CommandLineRequest { kNone, kHelp, kVersion };

// "--help" or "--version" when that is the whole argument text and no file of that name
// exists (relative to the current folder); a file of that name is printed like any other.
[[nodiscard]] CommandLineRequest commandLineRequest(const QString& argumentText,
                                                    const platform::DirectoryLookup& lookup);

// The usage text. definitionFile is where this copy of the program reads UserData.ini.
[[nodiscard]] QString usageText(const QString& definitionFile);

// "velmar <version>".
[[nodiscard]] QString versionText();

// Answers a request of the command line on standard output. Returns false, having written
// nothing, when the command line asks nothing.
bool answerCommandLineRequest(const platform::Services& services);

}  // namespace velmar::print_window
