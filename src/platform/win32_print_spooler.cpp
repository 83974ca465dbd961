// The Windows print spooler: a document goes to the printer as a raw job (datatype RAW),
// byte for byte, through OpenPrinterW, StartDocPrinterW and WritePrinter.
#include "platform/print_spooler.h"

#include "base/error.h"

#include <windows.h>

#include <algorithm>
#include <limits>

namespace velmar::platform {

namespace {

[[noreturn]] void raiseSpoolError(const QString& printer) {
    throw Error(
        QStringLiteral("ﾌﾟﾘﾝﾀ %1 に印刷できません (ｼｽﾃﾑｴﾗｰ %2)").arg(printer).arg(GetLastError()));
}

// An open printer, closed when the object goes away.
class PrinterHandle {
  public:
    explicit PrinterHandle(const QString& name) : name_(name) {
        std::wstring wide = name.toStdWString();
        if (!OpenPrinterW(wide.data(), &printer_, nullptr)) {
            raiseSpoolError(name_);
        }
    }
    ~PrinterHandle() { ClosePrinter(printer_); }
    PrinterHandle(const PrinterHandle&) = delete;
    PrinterHandle& operator=(const PrinterHandle&) = delete;
    PrinterHandle(PrinterHandle&&) = delete;
    PrinterHandle& operator=(PrinterHandle&&) = delete;

    [[nodiscard]] HANDLE get() const { return printer_; }
    [[nodiscard]] const QString& name() const { return name_; }

  private:
    QString name_;
    HANDLE printer_ = nullptr;
};

void writeAll(const PrinterHandle& printer, const QByteArray& document) {
    const char* data = document.constData();
    qsizetype left = document.size();
    while (left > 0) {
        const auto chunk =
            static_cast<DWORD>(std::min<qsizetype>(left, std::numeric_limits<DWORD>::max() / 2));
        DWORD written = 0;
        if (!WritePrinter(printer.get(), const_cast<char*>(data), chunk, &written) ||
            written == 0) {
            raiseSpoolError(printer.name());
        }
        data += written;
        left -= written;
    }
}

}  // namespace

void spoolRawDocument(const QString& printer, const QString& jobName, const QByteArray& document) {
    const PrinterHandle opened(printer);
    std::wstring name = jobName.toStdWString();
    std::wstring datatype = L"RAW";
    DOC_INFO_1W info{name.data(), nullptr, datatype.data()};
    if (StartDocPrinterW(opened.get(), 1, reinterpret_cast<BYTE*>(&info)) == 0) {
        raiseSpoolError(printer);
    }
    try {
        writeAll(opened, document);
    } catch (const Error&) {
        AbortPrinter(opened.get());
        throw;
    }
    if (!EndDocPrinter(opened.get())) {
        raiseSpoolError(printer);
    }
}

}  // namespace velmar::platform
