// Prints through QPrinter: the system's printers and the built-in PDF printer.
#pragma once

#include "image_component/image_component.h"
#include "image_files/image_loader.h"
#include "printing/pdf_document.h"
#include "printing/print_queue.h"
#include "printing/printer_settings.h"

#include <QMarginsF>
#include <QPageLayout>
#include <QRectF>
#include <QSizeF>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QIODevice;
class QPrinter;
class QWidget;

namespace velmar::image_component {

enum class PrinterDialogKind;

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

class QtImagePrinter final : public ImagePrinter {
  public:
    QtImagePrinter(CurrentImage& image, QWidget& dialogParent);
    ~QtImagePrinter() override;
    QtImagePrinter(const QtImagePrinter&) = delete;
    QtImagePrinter& operator=(const QtImagePrinter&) = delete;
    QtImagePrinter(QtImagePrinter&&) = delete;
    QtImagePrinter& operator=(QtImagePrinter&&) = delete;

    void SettingsFile(const QString& path) override;
    bool CheckReady(std::int32_t mode) override;
    void DialogMode(std::int32_t mode) override;
    void DialogFlags(std::int32_t flags) override;
    void DialogExtra(std::int32_t extra) override;
    bool PrintDialog() override;
    bool SetupDialog() override;
    void DocumentName(const QString& name) override;
    bool BeginDocument() override;
    bool BeginPage() override;
    std::int32_t DeviceContext() override;
    bool PrintableArea(std::int32_t deviceContext, std::int32_t& left, std::int32_t& top,
                       std::int32_t& right, std::int32_t& bottom, std::int32_t& extra1,
                       std::int32_t& extra2, std::int32_t mode) override;
    bool DrawImage(std::int32_t deviceContext, std::int32_t imageHandle, std::int32_t x,
                   std::int32_t y, std::int32_t width, std::int32_t height,
                   std::int32_t sourceWidth, std::int32_t sourceHeight, std::int32_t mode) override;
    bool EndPage() override;
    bool EndDocument() override;
    void AbortDocument() override;
    bool Close() override;

  private:
    [[nodiscard]] bool configureFromSettings();
    void configurePdf(const PrinterSettings& settings);
    void configureNative(const QString& printerName, const PrinterSettings& settings);
    [[nodiscard]] bool runDialog(PrinterDialogKind kind, const QString& title);
    [[nodiscard]] PageGeometry pageGeometry() const;
    void checkSurface(std::int32_t deviceContext) const;
    void render(const std::vector<Page>& pages,
                const std::vector<std::shared_ptr<JpegDataCheck>>& checks);
    [[nodiscard]] std::vector<PdfPage> pdfPages(const std::vector<Page>& pages) const;

    CurrentImage& image_;
    QWidget& dialogParent_;
    QString settingsFile_;
    QString documentName_;
    std::int32_t dialogFlags_ = 0;
    std::unique_ptr<QPrinter> printer_;  // a system printer's
    bool printsToPdf_ = false;
    QPageLayout pdfPage_;  // the built-in printer's paper
    QString pdfFolder_;
    std::optional<std::vector<Page>> document_;
    // Readings of the placed JPEGs' data; each must end well before the document is given
    // a name or sent.
    std::vector<std::shared_ptr<JpegDataCheck>> dataChecks_;
    std::int32_t surface_ = 0;
    std::int32_t lastSurface_ = 0;
};

}  // namespace velmar::image_component
