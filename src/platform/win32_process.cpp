// The running process on Windows: the executable from GetModuleFileNameW, the arguments
// from GetCommandLineW.
#include "platform/win32_process.h"
#include "base/error.h"
#include "platform/native_parts.h"

#include <QDir>

#include <windows.h>

#include <vector>

namespace velmar::platform {

namespace {

bool isBlank(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

// A path of any length: the buffer grows while the call fills it to the brim.
QString moduleFilePath() {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD size = static_cast<DWORD>(buffer.size());
        const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), size);
        if (length == 0) {
            throw Error(QStringLiteral("実行ﾌｧｲﾙの場所がわかりません"));
        }
        if (length < size) {
            return QString::fromWCharArray(buffer.data(), static_cast<qsizetype>(length));
        }
        buffer.resize(buffer.size() * 2);
    }
}

class Win32Process final : public Process {
  public:
    [[nodiscard]] QString executableFilePath() const override {
        return QDir::toNativeSeparators(moduleFilePath());
    }
    [[nodiscard]] QString argumentText() const override {
        return argumentTextOf(QString::fromWCharArray(GetCommandLineW()));
    }
};

}  // namespace

QString argumentTextOf(const QString& commandLine) {
    qsizetype position = 0;
    if (commandLine.startsWith(QLatin1Char('"'))) {
        const qsizetype closing = commandLine.indexOf(QLatin1Char('"'), 1);
        position = closing < 0 ? commandLine.size() : closing + 1;
    } else {
        while (position < commandLine.size() && !isBlank(commandLine[position])) {
            ++position;
        }
    }
    while (position < commandLine.size() && isBlank(commandLine[position])) {
        ++position;
    }
    return commandLine.mid(position);
}

std::unique_ptr<Process> makeNativeProcess() {
    return std::make_unique<Win32Process>();
}

}  // namespace velmar::platform
