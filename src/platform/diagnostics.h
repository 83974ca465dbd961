// Headless runs and the program's lines on standard error and standard output.
#pragma once

#include <QString>

namespace velmar::platform {

// Must run before the application object exists: when there is no display to talk to
// and no Qt platform was asked for, selects Qt's offscreen platform.
void selectHeadlessPlatformWhenNoDisplay();

// True when the application runs without a display (Qt's offscreen or minimal platform).
// Then message boxes write to standard error and dialogs count as cancelled.
[[nodiscard]] bool isHeadless();

// A message text with its lines broken at LF: messages separate their lines with a lone CR
// (CR LF counts as one break).
[[nodiscard]] QString withLineFeeds(QString text);

// Writes one line "Velmar: <text>" to standard error; a lone CR in the text becomes a
// line break.
void writeDiagnostic(const QString& text);

// Writes text to standard output as it is, in the locale's encoding.
void writeOutput(const QString& text);

}  // namespace velmar::platform
