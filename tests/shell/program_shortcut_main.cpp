// Test helper for shell::saveProgramShortcut: writes the per-user program entry with the
// native desktop shell, in a process of its own, because GIO keeps the folders of the
// first environment it saw.
// Usage: velmar_program_shortcut ENTRY EXECUTABLE [TYPE…]
#include "platform/platform.h"
#include "shell/shell.h"

#include <QCoreApplication>

#include <exception>

int main(int argc, char* argv[]) {
    const QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() < 3) {
        velmar::platform::writeDiagnostic(QStringLiteral("usage: ENTRY EXECUTABLE [TYPE…]"));
        return 2;
    }
    try {
        const velmar::platform::NativeServices native;
        velmar::shell::saveProgramShortcut(
            native.services().desktop, arguments.at(1),
            velmar::platform::ProgramShortcut{arguments.at(2), QStringLiteral("Velmar"), QString(),
                                              QString(), arguments.mid(3)});
    } catch (const std::exception& error) {
        velmar::platform::writeDiagnostic(QString::fromStdString(error.what()));
        return 1;
    }
    return 0;
}
