// The printer set-up dialog and the print dialog: one dialog that lists every CUPS
// destination, with its description and state, and the built-in PDF printer with the
// folder it writes into; with paper, orientation, copies and two-sided printing where the
// printer has it, and where drivers have preferences of their own, a button for them. Both
// offer only what the printer-settings file keeps.
#pragma once

#include "printing/driver_preferences.h"
#include "printing/printer_settings.h"

#include <QList>
#include <QPageLayout>
#include <QPageSize>
#include <QPrinter>
#include <QString>

#include <functional>
#include <optional>

class QWidget;

namespace velmar::printing {

// What a printer dialog shows and what the user confirms in it.
struct PrinterChoice {
    QString printer;  // a CUPS destination or kPdfPrinterName
    // With printer kPdfPrinterName: the print system's queue of that name, not the
    // built-in printer.
    bool pdfQueue = false;
    QPageSize paper = QPageSize(QPageSize::A4);
    QPageLayout::Orientation orientation = QPageLayout::Portrait;
    int copies = 1;
    QPrinter::DuplexMode duplex = QPrinter::DuplexNone;
    QString pdfFolder;         // a new folder for the PDF printer; empty: the shown one is kept
    DriverPreferences driver;  // the driver's own preferences for this printer, if kept

    friend bool operator==(const PrinterChoice&, const PrinterChoice&) = default;
};

enum class PrinterDialogKind {
    kSetup,  // confirmed with OK
    kPrint,  // confirmed with 印刷
};

// Whether a choice is the built-in PDF printer.
[[nodiscard]] bool choosesBuiltInPdf(const PrinterChoice& choice);

// One printer the dialogs offer, and how the list shows it: a queue with its description
// and state, the built-in PDF printer with a label of its own, so that a print-system
// queue named PDF is told apart from it.
struct OfferedPrinter {
    QString name;
    bool builtIn = false;
    QString label;
};

// The printers the dialogs offer: the CUPS destinations, a queue named PDF among them,
// then the built-in PDF printer.
[[nodiscard]] QList<OfferedPrinter> offeredPrinters();

// What the dialog opens with for the saved settings: the saved printer, or the system's
// default one when none is saved or the saved one is gone (then missingPrinter names it),
// or the PDF printer when the system has none; the saved paper, orientation, copies and
// two-sided printing. When the
// print system cannot be reached (unreachable says why) a saved printer stays chosen:
// nothing is known to be gone. pdfFolder is where the PDF printer writes, shown with it.
struct ShownChoice {
    PrinterChoice choice;
    QString missingPrinter;
    QString unreachable;
    QString pdfFolder;
};
[[nodiscard]] ShownChoice shownChoice(const PrinterSettings& saved, const QString& pdfFolder);

// What the dialog says about a saved printer that is gone.
[[nodiscard]] QString missingPrinterText(const QString& printer);
// What is said when the print system cannot be reached, with the reason.
[[nodiscard]] QString unreachableText(const QString& reason);

// The settings to save for a confirmed choice; the PDF printer's output folder changes
// only when a new one was chosen.
[[nodiscard]] PrinterSettings settingsFor(const PrinterChoice& choice, PrinterSettings saved);

// Shows a printer driver's own preferences dialog: over which dialog, for which printer,
// starting from which kept preferences; gives the confirmed ones, nothing when cancelled.
using DriverPreferencesDialog = std::function<std::optional<QByteArray>(
    QWidget& parent, const QString& printer, const QByteArray& kept)>;

// Shows the dialog modally, centred on the window when it is shown and on the screen
// otherwise. Returns the confirmed choice; nothing when the user cancelled. Where printer
// drivers have preferences of their own, the set-up dialog has a button "ﾌﾟﾘﾝﾀのﾌﾟﾛﾊﾟﾃｨ"
// that shows them through askDriver for the chosen print queue.
[[nodiscard]] std::optional<PrinterChoice> askPrinter(
    PrinterDialogKind kind, const QString& title, const ShownChoice& shown, QWidget& parent,
    const DriverPreferencesDialog& askDriver = askDriverPreferences);

}  // namespace velmar::printing
