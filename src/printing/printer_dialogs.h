// The printer set-up dialog and the print dialog: one dialog that lists every CUPS
// destination and the built-in PDF printer, with paper and orientation, and in the print
// dialog also the copies and two-sided printing where the printer has them. The set-up
// dialog offers only what the printer-settings file keeps.
#pragma once

#include "printing/printer_settings.h"

#include <QPageLayout>
#include <QPageSize>
#include <QPrinter>
#include <QString>
#include <QStringList>

#include <optional>

class QWidget;

namespace velmar::image_component {

// What a printer dialog shows and what the user confirms in it.
struct PrinterChoice {
    QString printer;  // a CUPS destination or kPdfPrinterName
    QPageSize paper = QPageSize(QPageSize::A4);
    QPageLayout::Orientation orientation = QPageLayout::Portrait;
    int copies = 1;                                      // print dialog only
    QPrinter::DuplexMode duplex = QPrinter::DuplexNone;  // print dialog only

    friend bool operator==(const PrinterChoice&, const PrinterChoice&) = default;
};

enum class PrinterDialogKind {
    kSetup,  // printer, paper and orientation; confirmed with OK
    kPrint,  // also copies and two-sided printing; confirmed with 印刷
};

// The printers the dialogs offer: the CUPS destinations, then the built-in PDF printer.
[[nodiscard]] QStringList offeredPrinters();

// What the dialog opens with for the saved settings: the saved printer, or the system's
// default one when none is saved or the saved one is gone (then missingPrinter names it),
// or the PDF printer when the system has none; the saved paper and orientation.
// pdfFolder is where the PDF printer writes, shown with it.
struct ShownChoice {
    PrinterChoice choice;
    QString missingPrinter;
    QString pdfFolder;
};
[[nodiscard]] ShownChoice shownChoice(const PrinterSettings& saved, const QString& pdfFolder);

// What the dialog says about a saved printer that is gone.
[[nodiscard]] QString missingPrinterText(const QString& printer);

// The settings to save for a confirmed choice; keys the dialog does not show (the PDF
// printer's output folder) stay as they were.
[[nodiscard]] PrinterSettings settingsFor(const PrinterChoice& choice, PrinterSettings saved);

// Shows the dialog modally, centred on the window when it is shown and on the screen
// otherwise. Returns the confirmed choice; nothing when the user cancelled.
[[nodiscard]] std::optional<PrinterChoice> askPrinter(PrinterDialogKind kind, const QString& title,
                                                      const ShownChoice& shown, QWidget& parent);

}  // namespace velmar::image_component
