// The printer-settings file: which printer, paper and orientation to print with.
//
//   [Printer]
//   Name=PDF                 a CUPS destination, or PDF for the built-in PDF printer
//   BuiltIn=false            with Name=PDF only: the print system's queue named PDF (as
//                            cups-pdf names its queue), not the built-in printer; without
//                            it, or =true, Name=PDF is the built-in printer as it always was
//   PaperSize=A4             a page size key as Qt names it
//   Orientation=Portrait     or Landscape
//   OutputFolder=/some/dir   PDF printer only; default: the folder of the settings file
//   Copies=1                 copies of each print, 1 to 999; without it 1
//   Duplex=None              or LongSide, ShortSide (two-sided, bound on that side);
//                            without it one-sided. Used only on printers that can do it.
//   DriverPrinter=Office     the printer that the driver's own preferences below belong to
//   DriverPreferences=…      those preferences as the driver keeps them (on Windows its
//                            DEVMODE), in Base64; used only for that printer, and ignored
//                            when they are no Base64
#pragma once

#include <QByteArray>
#include <QPageLayout>
#include <QPageSize>
#include <QPrinter>
#include <QString>

#include <optional>

namespace velmar::printing {

// Name of the built-in printer that writes PDF files.
inline constexpr auto kPdfPrinterName = "PDF";

// The printer driver's own printing preferences for one printer, as its own dialog left
// them; the print system's form of them, kept as they are.
struct DriverPreferences {
    QString printer;   // the printer they belong to
    QByteArray bytes;  // empty: none kept

    friend bool operator==(const DriverPreferences&, const DriverPreferences&) = default;
};

struct PrinterSettings {
    QString name;  // empty: the system's default printer
    // With name kPdfPrinterName: the print system's queue of that name, not the built-in
    // printer.
    bool pdfQueue = false;
    std::optional<QPageSize> paper;
    QPageLayout::Orientation orientation = QPageLayout::Portrait;
    QString outputFolder;  // empty: the folder of the settings file
    int copies = 1;
    QPrinter::DuplexMode duplex = QPrinter::DuplexNone;
    DriverPreferences driver;

    friend bool operator==(const PrinterSettings&, const PrinterSettings&) = default;
};

// The kept driver preferences when they belong to `printer`; empty otherwise.
[[nodiscard]] QByteArray driverPreferencesFor(const PrinterSettings& settings,
                                              const QString& printer);

// Whether the settings choose the built-in PDF printer.
[[nodiscard]] bool choosesBuiltInPdf(const PrinterSettings& settings);

// Reads the file; a missing file or missing keys give the defaults, unknown paper names
// are ignored.
[[nodiscard]] PrinterSettings readPrinterSettings(const QString& settingsFile);

// The most copies one print makes.
inline constexpr int kMostCopies = 999;

// Stores printer, paper, orientation, copies, two-sided printing, a chosen output folder
// and the driver's preferences, keeping the file's other keys. Throws
// velmar::Error when the file cannot be written.
void writePrinterSettings(const QString& settingsFile, const PrinterSettings& settings);

// The folder the PDF printer writes into.
[[nodiscard]] QString pdfOutputFolder(const QString& settingsFile, const PrinterSettings& settings);

// Gives the printer the settings' copies, and their two-sided printing where the printer
// `printer` is set to can do it (one-sided otherwise).
void applyCopiesAndSides(QPrinter& printer, const PrinterSettings& settings);

// The page size whose key ("A4", "Letter", …) is given, if Qt knows one.
[[nodiscard]] std::optional<QPageSize> pageSizeFromKey(const QString& key);

}  // namespace velmar::printing
