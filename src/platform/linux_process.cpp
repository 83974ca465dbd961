// The running process on Linux: the executable's path and the arguments joined into one text.
#include "platform/native_parts.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

namespace velmar::platform {

namespace {

class LinuxProcess final : public Process {
  public:
    [[nodiscard]] QString executableFilePath() const override {
        return QDir::toNativeSeparators(QCoreApplication::applicationFilePath());
    }
    // The toolkit is not given the arguments (see main.cpp), so they are read from the
    // system: the NUL-separated command line of this process, decoded as the locale says.
    [[nodiscard]] QString argumentText() const override {
        QFile commandLine(QStringLiteral("/proc/self/cmdline"));
        if (!commandLine.open(QIODevice::ReadOnly)) {
            return {};
        }
        QByteArray bytes = commandLine.readAll();
        if (bytes.endsWith('\0')) {
            bytes.chop(1);
        }
        QStringList arguments;
        for (const QByteArray& argument : bytes.split('\0')) {
            arguments << QFile::decodeName(argument);
        }
        return arguments.mid(1).join(QLatin1Char(' '));
    }
};

}  // namespace

std::unique_ptr<Process> makeNativeProcess() {
    return std::make_unique<LinuxProcess>();
}

}  // namespace velmar::platform
