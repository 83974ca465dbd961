#include "image_component/qt_printer.h"

#include "printing/print_notice.h"
#include "printing/printer_dialogs.h"

#include "platform/platform.h"

#include <QRectF>

#include <utility>

namespace velmar::image_component {

using image_files::JpegDataCheck;
using image_files::LoadedImage;
using printing::PrinterDialogKind;
using printing::PrinterSettings;

QtImagePrinter::QtImagePrinter(CurrentImage& image, QWidget& dialogParent)
    : image_(image), dialogParent_(dialogParent) {}

QtImagePrinter::~QtImagePrinter() = default;

void QtImagePrinter::SettingsFile(const QString& path) {
    settingsFile_ = path;
}

bool QtImagePrinter::CheckReady(std::int32_t /*mode*/) {
    return configureFromSettings();
}

void QtImagePrinter::DialogMode(std::int32_t /*mode*/) {}

void QtImagePrinter::DialogFlags(std::int32_t flags) {
    dialogFlags_ = flags;
}

void QtImagePrinter::DialogExtra(std::int32_t /*extra*/) {}

bool QtImagePrinter::PrintDialog() {
    return runDialog(PrinterDialogKind::kPrint, QStringLiteral("印刷"));
}

bool QtImagePrinter::SetupDialog() {
    return runDialog(PrinterDialogKind::kSetup, QStringLiteral("ﾌﾟﾘﾝﾀ設定"));
}

void QtImagePrinter::DocumentName(const QString& name) {
    documentName_ = name;
}

bool QtImagePrinter::BeginDocument() {
    if (!printer_) {
        return false;
    }
    document_.emplace();
    surface_ = 0;
    return true;
}

bool QtImagePrinter::BeginPage() {
    if (!document_ || surface_ != 0) {
        return false;
    }
    document_->emplace_back();
    lastSurface_ = nextHandle(lastSurface_);
    surface_ = lastSurface_;
    return true;
}

std::int32_t QtImagePrinter::DeviceContext() {
    return surface_;
}

bool QtImagePrinter::PrintableArea(std::int32_t deviceContext, std::int32_t& left,
                                   std::int32_t& top, std::int32_t& right, std::int32_t& bottom,
                                   std::int32_t& /*extra1*/, std::int32_t& /*extra2*/,
                                   std::int32_t /*mode*/) {
    checkSurface(deviceContext);
    const printing::TenthsRect area = printing::printableTenths(printer_->pageGeometry());
    left = area.left;
    top = area.top;
    right = area.right;
    bottom = area.bottom;
    return true;
}

bool QtImagePrinter::DrawImage(std::int32_t deviceContext, std::int32_t imageHandle, std::int32_t x,
                               std::int32_t y, std::int32_t width, std::int32_t height,
                               std::int32_t /*sourceWidth*/, std::int32_t /*sourceHeight*/,
                               std::int32_t /*mode*/) {
    checkSurface(deviceContext);
    if (imageHandle == 0 || imageHandle != image_.handle) {
        throw Error(QStringLiteral("印刷する画像がありません"));
    }
    if (width <= 0 || height <= 0) {
        return false;
    }
    LoadedImage& loaded = image_.loaded;
    if (std::shared_ptr<JpegDataCheck> check = image_files::dataCheckFor(loaded)) {
        dataChecks_.push_back(std::move(check));
    }
    printing::PageImage image;
    if (loaded.jpeg) {
        image.jpegPath = loaded.path;
        image.jpeg = loaded.jpeg;
        image.transformation = loaded.transformation;
    } else {
        image.pixels = loaded.image;
        image.png = loaded.png;
    }
    document_->back().push_back(printing::Placement{std::move(image), QRectF(x, y, width, height)});
    return true;
}

void QtImagePrinter::ShrinkNote(float scale) {
    shrink_ = scale;
}

bool QtImagePrinter::EndPage() {
    if (surface_ == 0) {
        return false;
    }
    surface_ = 0;
    return true;
}

bool QtImagePrinter::EndDocument() {
    if (!document_) {
        return false;
    }
    const std::vector<printing::Page> pages = std::move(*document_);
    const std::vector<std::shared_ptr<JpegDataCheck>> checks = std::move(dataChecks_);
    const float shrink = shrink_;
    AbortDocument();
    if (std::optional<printing::Delivery> delivery =
            printer_->print(pages, documentName_, checks)) {
        delivery->scale = shrink;
        printing::announce(*delivery);
    }
    return true;
}

void QtImagePrinter::AbortDocument() {
    document_.reset();
    shrink_ = 1.0F;
    dataChecks_.clear();
    surface_ = 0;
}

bool QtImagePrinter::Close() {
    AbortDocument();
    return true;
}

// A saved printer of a print system that cannot be reached is neither usable nor gone: the
// print fails and says why.
bool QtImagePrinter::configureFromSettings() {
    const PrinterSettings settings = printing::readPrinterSettings(settingsFile_);
    const printing::PrinterInUse chosen = printing::printerInUse(settings);
    if (!chosen.ready) {
        if (!chosen.unreachable.isEmpty() && !settings.name.isEmpty()) {
            throw Error(printing::unreachableText(chosen.unreachable));
        }
        return false;
    }
    use(chosen.name, printing::choosesBuiltInPdf(chosen), settings);
    return true;
}

void QtImagePrinter::use(const QString& name, bool builtInPdf, const PrinterSettings& settings) {
    printer_ = std::make_unique<printing::Printer>(
        name, builtInPdf, settings, printing::pdfOutputFolder(settingsFile_, settings));
}

bool QtImagePrinter::runDialog(PrinterDialogKind kind, const QString& title) {
    const PrinterSettings saved = printing::readPrinterSettings(settingsFile_);
    const printing::ShownChoice shown =
        printing::shownChoice(saved, printing::pdfOutputFolder(settingsFile_, saved));
    if (platform::isHeadless()) {
        // Nobody can choose another printer: a print for a printer that is gone, or on a
        // print system that cannot be reached, fails rather than ending as if the user had
        // cancelled.
        if (!shown.unreachable.isEmpty() && !saved.name.isEmpty() &&
            !printing::choosesBuiltInPdf(saved)) {
            throw Error(printing::unreachableText(shown.unreachable));
        }
        if (!shown.missingPrinter.isEmpty()) {
            throw Error(printing::missingPrinterText(shown.missingPrinter));
        }
        platform::writeDiagnostic(
            QStringLiteral("no display: the dialog \"%1\" counts as cancelled").arg(title));
        return false;
    }
    const std::optional<printing::PrinterChoice> chosen =
        printing::askPrinter(kind, title, shown, dialogParent_);
    if (!chosen) {
        return false;
    }
    const PrinterSettings settings = printing::settingsFor(*chosen, saved);
    // Confirming what the dialog showed leaves the file as it is; a printer that replaces
    // a missing one is saved. A print system that cannot be reached never makes a saved
    // printer missing: the file changes only for what the user chose.
    if (printing::settingsFor(shown.choice, saved) != settings || !shown.missingPrinter.isEmpty()) {
        printing::writePrinterSettings(settingsFile_, settings);
    }
    const bool builtInPdf = printing::choosesBuiltInPdf(*chosen);
    use(chosen->printer, builtInPdf, settings);
    if (!builtInPdf) {
        printer_->setCopies(chosen->copies, chosen->duplex);
    }
    return true;
}

void QtImagePrinter::checkSurface(std::int32_t deviceContext) const {
    if (deviceContext == 0 || deviceContext != surface_) {
        throw Error(QStringLiteral("印刷ﾍﾟｰｼﾞが開かれていません"));
    }
}

}  // namespace velmar::image_component
