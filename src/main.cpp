// Velmar: prints one image on one page at its physical size.
#include "base/app_title.h"
#include "platform/diagnostics.h"
#include "platform/notifications.h"
#include "platform/services.h"
#include "print_window/run.h"

#include <QApplication>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>

namespace {

// A run that never showed the window has written and closed all it made when it returns
// (the window, the image control and its printer are gone by then). The toolkit's own
// teardown is skipped: it would read the whole font configuration only to free it, and
// unload every library one by one. Sanitized builds keep it for their leak check.
int finished(const velmar::print_window::RunEnd& end) {
#ifndef VELMAR_SANITIZED
    if (!end.windowShown) {
        static_cast<void>(std::fflush(nullptr));
        std::_Exit(end.exitStatus);
    }
#endif
    return end.exitStatus;
}

}  // namespace

// The toolkit is given the program's name only: every argument is Velmar's, so a file
// named like a toolkit option ("-reverse", "-platform") is printed like any other. The
// process service reads the arguments from the system. The title is the application's name
// from the first line on, so that every message, even one before the toolkit starts, has it.
int main(int argc, char* argv[]) {
    QApplication::setApplicationName(QString::fromLatin1(velmar::kAppTitle));
    velmar::platform::selectHeadlessPlatformWhenNoDisplay();
    try {
        const velmar::platform::NativeServices native;
        const velmar::print_window::CommandLine commandLine = velmar::print_window::readCommandLine(
            native.services().process, native.services().lookup);
        // A JPEG to print is read through while the toolkit and the window start.
        std::shared_ptr<velmar::image_component::JpegDataCheck> readAhead =
            velmar::print_window::readAheadNamedImage(commandLine);
        int toolkitArgc = argc > 0 ? 1 : 0;
        std::array<char*, 2> toolkitArgv{argc > 0 ? argv[0] : nullptr, nullptr};
        const QApplication app(toolkitArgc, toolkitArgv.data());
        QApplication::setApplicationVersion(QStringLiteral(VELMAR_VERSION));
        const velmar::print_window::RunEnd end =
            velmar::print_window::run(native.services(), commandLine, std::move(readAhead));
        velmar::platform::settleNotifications();
        return finished(end);
    } catch (const std::exception& error) {
        velmar::platform::writeDiagnostic(QStringLiteral("error: ") +
                                          QString::fromStdString(error.what()));
        return 1;
    }
}
