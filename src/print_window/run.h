// The program's run, from the command line to the end of the window.
#pragma once

#include "image_component/image_component.h"
#include "platform/services.h"
#include "print_window/command_line.h"

#include <memory>

class QTranslator;

namespace velmar::print_window {

// Installs the toolkit's own texts (dialog buttons, the file dialog) in Japanese, like the
// rest of the interface, whatever the locale. They come from Qt's translations folder, or
// from "translations" beside the executable where a package carries its own. False when
// there are none; the translator must outlive their use.
bool loadToolkitTranslations(QTranslator& translator);

// Starts reading through the JPEG the command line names, if it names one, so that this
// overlaps the toolkit's and the window's start. Nothing when it names no JPEG.
[[nodiscard]] std::shared_ptr<image_component::JpegDataCheck> readAheadNamedImage(
    const CommandLine& commandLine);

// How a run ended. Everything the run made is written and closed by then.
struct RunEnd {
    int exitStatus = 0;
    bool windowShown = false;
};

// Runs the program: answers --help and --version (see command_line.h), or else start-up,
// then the window until it closes. readAhead is what readAheadNamedImage started for the
// same command line, or empty.
[[nodiscard]] RunEnd run(const platform::Services& services, const CommandLine& commandLine,
                         std::shared_ptr<image_component::JpegDataCheck> readAhead = {});

}  // namespace velmar::print_window
