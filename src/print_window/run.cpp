#include "print_window/run.h"
#include "print_window/command_line.h"
#include "print_window/fm_prn.h"

#include <QApplication>

namespace velmar::print_window {

int run(const platform::Services& services) {
    // Answered before the window, the settings or the user-data folder exist.
    if (answerCommandLineRequest(services)) {
        return 0;
    }
    image_component::configureImageReaders();
    fmPrn window(services, image_component::makeImageKit());
    window.Form_Load();
    if (window.isUnloaded()) {
        return window.exitStatus();
    }
    if (platform::isHeadless()) {
        platform::writeDiagnostic(QStringLiteral("no display to show the window on"));
        window.Unload();
        return window.exitStatus();
    }
    window.show();
    QApplication::exec();
    return window.exitStatus();
}

}  // namespace velmar::print_window
