// Windows printers get the pages drawn through Qt's Windows print support, which hands
// them to the printer's own driver: every printer takes that, whatever language it speaks.
// The printer carries the paper, orientation, copies and two-sided printing chosen.
#include "printing/page_painter.h"
#include "printing/print_queue.h"

#include <QPrinter>
#include <QStringList>

#include <windows.h>
#include <winspool.h>

#include <cstring>
#include <string>
#include <vector>

namespace velmar::printing {

namespace {

// The spooler's description of a printer (level 2), or nothing when it gives none.
std::vector<unsigned char> printerInfo2(const QString& queue) {
    std::wstring name = queue.toStdWString();
    HANDLE printer = nullptr;
    if (OpenPrinterW(name.data(), &printer, nullptr) == 0) {
        return {};
    }
    DWORD needed = 0;
    GetPrinterW(printer, 2, nullptr, 0, &needed);
    std::vector<unsigned char> buffer(needed);
    if (needed == 0 || GetPrinterW(printer, 2, buffer.data(), needed, &needed) == 0) {
        buffer.clear();
    }
    ClosePrinter(printer);
    return buffer;
}

// Whether the spooler holds the printer's jobs until it is resumed.
bool paused(const QString& queue) {
    const std::vector<unsigned char> buffer = printerInfo2(queue);
    if (buffer.size() < sizeof(PRINTER_INFO_2W)) {
        return false;
    }
    PRINTER_INFO_2W info{};
    std::memcpy(&info, buffer.data(), sizeof info);
    return (info.Status & PRINTER_STATUS_PAUSED) != 0;
}

}  // namespace

// The driver's job number is not handed back through the toolkit's print engine, so the
// delivery names the printer only.
Delivery printOnQueue(QPrinter& printer, const QueueDocument& document) {
    paintPages(printer, document.pages, document.printableCorner);
    return Delivery{{}, printer.printerName(), std::nullopt, paused(printer.printerName()), 1.0F};
}

QueueStatus queueStatus(const QString& queue) {
    const std::vector<unsigned char> buffer = printerInfo2(queue);
    if (buffer.size() < sizeof(PRINTER_INFO_2W)) {
        return {};
    }
    PRINTER_INFO_2W info{};
    std::memcpy(&info, buffer.data(), sizeof info);
    QStringList states;
    if ((info.Status & PRINTER_STATUS_PAUSED) != 0) {
        states << QStringLiteral("一時停止");
    } else if ((info.Status &
                (PRINTER_STATUS_PRINTING | PRINTER_STATUS_PROCESSING | PRINTER_STATUS_BUSY)) != 0 ||
               info.cJobs > 0) {
        states << QStringLiteral("印刷中");
    } else if ((info.Status & (PRINTER_STATUS_OFFLINE | PRINTER_STATUS_ERROR)) == 0) {
        states << QStringLiteral("待機中");
    }
    if ((info.Status & PRINTER_STATUS_PENDING_DELETION) != 0) {
        states << QStringLiteral("受付停止");
    }
    return QueueStatus{
        info.pComment != nullptr ? QString::fromWCharArray(info.pComment) : QString(),
        states.join(QStringLiteral("、"))};
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
