// The command line, read once at start: the file to print, or one of the two questions it
// can ask instead.
#pragma once

#include "platform/services.h"

#include <QString>

namespace velmar::print_window {

enum class CommandLineRequest { kNone, kHelp, kVersion };

// "--help" or "--version" when that is the whole argument text and no file of that name
// exists (relative to the current folder); a file of that name is printed like any other.
[[nodiscard]] CommandLineRequest commandLineRequest(const QString& argumentText,
                                                    const platform::DirectoryLookup& lookup);

// What the command line says. Start-up, the reading ahead and the print-only run all take
// this one value, so the image's path is derived once.
struct CommandLine {
    CommandLineRequest request = CommandLineRequest::kNone;
    // The argument text with every double quote removed; nothing is trimmed or split. It
    // may name no file at all.
    QString imagePath;
};

[[nodiscard]] CommandLine readCommandLine(const platform::Process& process,
                                          const platform::DirectoryLookup& lookup);

// The usage text. definitionFile is where this copy of the program reads UserData.ini.
[[nodiscard]] QString usageText(const QString& definitionFile);

// "velmar <version>".
[[nodiscard]] QString versionText();

// Answers a request of the command line on standard output. Returns false, having written
// nothing, when the command line asks nothing.
bool answerCommandLineRequest(const CommandLine& commandLine, const platform::Process& process);

}  // namespace velmar::print_window
