// The running process on Linux: the executable's path and the arguments joined into one text.
#include "platform/native_parts.h"

#include <QCoreApplication>
#include <QDir>

namespace velmar::platform {

namespace {

class LinuxProcess final : public Process {
  public:
    [[nodiscard]] QString executableFilePath() const override {
        return QDir::toNativeSeparators(QCoreApplication::applicationFilePath());
    }
    [[nodiscard]] QString argumentText() const override {
        return QCoreApplication::arguments().mid(1).join(QLatin1Char(' '));
    }
};

}  // namespace

std::unique_ptr<Process> makeNativeProcess() {
    return std::make_unique<LinuxProcess>();
}

}  // namespace velmar::platform
