// Folder printing/: printers, their settings and dialogs, the PDF writer, the page painter and
// the print-system queues. May use image_files/, settings_formats/, platform/ and base/.
//
// The printer a document goes to: which printer the settings choose and whether it can be used
// without asking, the page's geometry, and printing a finished document: a new PDF file from
// the built-in printer, a job on a print queue from any other.
#pragma once

#include "image_files/image_loader.h"
#include "printing/print_queue.h"
#include "printing/printer_settings.h"

#include <QMarginsF>
#include <QPageLayout>
#include <QPrinter>
#include <QSizeF>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QIODevice;

namespace velmar::printing {

// Margins of the built-in PDF printer on every side, in millimetres.
inline constexpr double kPdfMarginMm = 4.2;

// The geometry of the page being printed, in millimetres.
struct PageGeometry {
    QSizeF paper;       // in the page's orientation
    QMarginsF margins;  // the unprintable border
};

// The printable rectangle in tenths of a millimetre from the paper's top-left corner.
struct TenthsRect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
};
[[nodiscard]] TenthsRect printableTenths(const PageGeometry& page);

// Writes a new PDF into folder through `write` and gives it the first free name
// "<name>.pdf", "<name> (2).pdf", "<name> (3).pdf", … once it is complete: the file is
// written under a temporary name of the program's own and then published under a name
// that no file holds (platform::FileSystem::publishNew), so no PDF name ever shows a
// partial file and no file is replaced. beforePublishing runs
// between the writing and the naming; what it throws leaves no PDF. Returns the path.
[[nodiscard]] QString publishNewPdf(
    const QString& folder, const QString& documentName,
    const std::function<void(QIODevice&)>& write,
    const std::function<void()>& beforePublishing = [] {});

// The printer that saved settings choose, as the print system stands now. The printing road
// prints on it when it is ready; the dialogs open with it.
//  - The built-in PDF printer when the settings name it: ready.
//  - A saved printer of the print system: ready while the print system lists it. One that is
//    gone is not ready (missingPrinter names it) and the system's default printer, else the
//    built-in one, stands in for it. When the print system cannot be reached the saved
//    printer stays chosen but is not ready: nothing is known to be gone.
//  - No saved printer: the system's default printer, ready; with no default the built-in
//    printer, ready only when the system has no printer at all.
struct PrinterInUse {
    QString name;           // a print queue, or kPdfPrinterName
    bool pdfQueue = false;  // with name kPdfPrinterName: the print system's queue of that name
    bool ready = false;
    QString missingPrinter;
    QString unreachable;  // why the print system cannot be reached; empty when it can
};
[[nodiscard]] PrinterInUse printerInUse(const PrinterSettings& saved);

// Whether the printer in use is the built-in PDF printer.
[[nodiscard]] bool choosesBuiltInPdf(const PrinterInUse& printer);

// One printer set up for one document: in high-resolution, full-page mode with the
// settings' paper (A4 for the built-in printer when they name none) and orientation; a print
// queue also with the driver preferences kept for it, under the settings' own choices.
class Printer {
  public:
    // name is a print queue, or kPdfPrinterName with builtInPdf; the built-in printer writes
    // into pdfFolder.
    Printer(const QString& name, bool builtInPdf, const PrinterSettings& settings,
            QString pdfFolder);
    ~Printer();
    Printer(const Printer&) = delete;
    Printer& operator=(const Printer&) = delete;
    Printer(Printer&&) = delete;
    Printer& operator=(Printer&&) = delete;

    // Copies and two-sided printing, for a print queue.
    void setCopies(int copies, QPrinter::DuplexMode duplex);

    // The paper in the page's orientation and the border the printer cannot reach: the
    // built-in printer's fixed margins, else the device's minimum margins.
    [[nodiscard]] PageGeometry pageGeometry() const;

    // Prints the pages as one document named documentName and returns where it went (nothing
    // without pages): the built-in printer publishes a new PDF file, any other printer gets
    // one job. Every JPEG data
    // check must end with all of the data read before the document is named or sent; throws
    // image_files::DamagedImage when one does not, velmar::Error when the document cannot be
    // delivered.
    [[nodiscard]] std::optional<Delivery> print(
        const std::vector<Page>& pages, const QString& documentName,
        const std::vector<std::shared_ptr<image_files::JpegDataCheck>>& checks);

  private:
    [[nodiscard]] std::vector<PdfPage> pdfPages(const std::vector<Page>& pages) const;

    std::shared_ptr<void> driverPreferences_;  // held for printer_, so it goes after it
    std::unique_ptr<QPrinter> printer_;        // a print queue's
    bool builtInPdf_;
    QPageLayout pdfPage_;  // the built-in printer's paper
    QString pdfFolder_;
};

}  // namespace velmar::printing
