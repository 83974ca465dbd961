// Velmar: prints one image on one page at its physical size.
#include "platform/platform.h"
#include "print_window/run.h"

#include <QApplication>

#include <exception>

int main(int argc, char* argv[]) {
    velmar::platform::selectHeadlessPlatformWhenNoDisplay();
    const QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(velmar::platform::kAppTitle));
    QApplication::setApplicationVersion(QStringLiteral(VELMAR_VERSION));
    try {
        const velmar::platform::NativeServices native;
        return velmar::print_window::run(native.services());
    } catch (const std::exception& error) {
        velmar::platform::writeDiagnostic(QStringLiteral("error: ") +
                                          QString::fromStdString(error.what()));
        return 1;
    }
}
