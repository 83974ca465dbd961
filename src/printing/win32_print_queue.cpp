// Windows printers get the pages drawn through Qt's Windows print support, which hands
// them to the printer's own driver: every printer takes that, whatever language it speaks.
// The printer carries the paper, orientation, copies and two-sided printing chosen.
#include "printing/page_painter.h"
#include "printing/print_queue.h"

#include <windows.h>
#include <winspool.h>

namespace velmar::printing {

void printOnQueue(QPrinter& printer, const QueueDocument& document) {
    paintPages(printer, document.pages, document.printableCorner);
}

// The print spooler answers a listing of the printers unless it is stopped (then the call
// fails, typically with "RPC server unavailable"). A listing that only needs a larger
// buffer means that the spooler answered.
std::optional<QString> printSystemUnreachable() {
    DWORD needed = 0;
    DWORD returned = 0;
    if (EnumPrintersW(PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS, nullptr, 4, nullptr, 0,
                      &needed, &returned) != 0) {
        return std::nullopt;
    }
    const DWORD error = GetLastError();
    if (error == ERROR_INSUFFICIENT_BUFFER) {
        return std::nullopt;
    }
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    const QString reason =
        length > 0 ? QString::fromWCharArray(text, static_cast<qsizetype>(length)).trimmed()
                   : QStringLiteral("error %1").arg(error);
    LocalFree(text);
    return QStringLiteral("print spooler: %1").arg(reason);
}

}  // namespace velmar::printing
