#include "image_component/qt_printer.h"

#include "printing/printer_dialogs.h"

#include "platform/platform.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPrinter>
#include <QPrinterInfo>

#include <cmath>
#include <utility>

namespace velmar::image_component {

namespace {

constexpr double kPointsPerMillimetre = 72.0 / 25.4;
constexpr int kMostPdfNames = 9999;

std::int32_t toTenths(double millimetres) {
    return static_cast<std::int32_t>(std::nearbyint(millimetres * 10.0));
}

// A document name made safe to use as a file name.
QString fileNameFor(const QString& documentName) {
    QString name = documentName.isEmpty() ? QStringLiteral("Velmar") : documentName;
    for (QChar& character : name) {
        if (character == QLatin1Char('/') || character == QLatin1Char('\\') ||
            character.unicode() < 0x20) {
            character = QLatin1Char('_');
        }
    }
    return name;
}

// A finished PDF under a temporary name of the program's own beside the PDF names, removed
// again unless it was published under a free name.
class PartFile {
  public:
    PartFile(const platform::FileSystem& files, const QString& folder)
        : files_(files), path_(platform::newTemporaryPath(folder)) {}
    ~PartFile() {
        if (!published_) {
            QFile::remove(path_);
        }
    }
    PartFile(const PartFile&) = delete;
    PartFile& operator=(const PartFile&) = delete;
    PartFile(PartFile&&) = delete;
    PartFile& operator=(PartFile&&) = delete;

    // Writes the whole document: every write checked, synced, then given the temporary
    // name. A full disk is said as such.
    void write(const std::function<void(QIODevice&)>& writeDocument) const {
        platform::StagedFile file(path_);
        writeDocument(file.device());
        file.checkDevice();
        file.replaceTarget();
    }

    // Moves the file to target unless a file has that name; false when one has.
    bool publishAs(const QString& target) {
        published_ = files_.publishNew(path_, target);
        return published_;
    }

  private:
    const platform::FileSystem& files_;
    QString path_;
    bool published_ = false;
};

// Says where a PDF went: always on standard error, and in a desktop notification where
// the desktop shows them, since a program started from the file manager has no terminal.
void announcePdf(const QString& path) {
    const QString shown = QDir::toNativeSeparators(path);
    platform::writeDiagnostic(QStringLiteral("PDF に印刷しました: %1").arg(shown));
    platform::notifyDesktop(QStringLiteral("PDF に印刷しました"), shown,
                            QFileInfo(path).absolutePath());
}

}  // namespace

TenthsRect printableTenths(const PageGeometry& page) {
    return TenthsRect{toTenths(page.margins.left()), toTenths(page.margins.top()),
                      toTenths(page.paper.width() - page.margins.right()),
                      toTenths(page.paper.height() - page.margins.bottom())};
}

QString publishNewPdf(const QString& folder, const QString& documentName,
                      const std::function<void(QIODevice&)>& write,
                      const std::function<void()>& beforePublishing) {
    const QDir dir(folder);
    if (!dir.mkpath(QStringLiteral("."))) {
        throw Error(QStringLiteral("PDF の保存先ﾌｫﾙﾀﾞ %1 を作成できません")
                        .arg(QDir::toNativeSeparators(folder)));
    }
    const QString base = fileNameFor(documentName);
    const platform::FileSystem files;
    files.removeAbandonedTemporaries(folder);
    PartFile part(files, folder);
    part.write(write);
    beforePublishing();
    for (int number = 1; number <= kMostPdfNames; ++number) {
        const QString name = number == 1 ? base + QLatin1String(".pdf")
                                         : QStringLiteral("%1 (%2).pdf").arg(base).arg(number);
        if (part.publishAs(dir.filePath(name))) {
            return dir.filePath(name);
        }
    }
    throw Error(QStringLiteral("ﾌｫﾙﾀﾞ %1 に PDF ﾌｧｲﾙの空き名前がありません")
                    .arg(QDir::toNativeSeparators(folder)));
}

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
    const TenthsRect area = printableTenths(pageGeometry());
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
    if (std::shared_ptr<JpegDataCheck> check = dataCheckFor(loaded)) {
        dataChecks_.push_back(std::move(check));
    }
    PageImage image;
    if (loaded.jpeg) {
        image.jpegPath = loaded.path;
        image.jpeg = loaded.jpeg;
        image.transformation = loaded.transformation;
    } else {
        image.pixels = loaded.image;
        image.png = loaded.png;
    }
    document_->back().push_back(Placement{std::move(image), QRectF(x, y, width, height)});
    return true;
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
    const std::vector<Page> pages = std::move(*document_);
    const std::vector<std::shared_ptr<JpegDataCheck>> checks = std::move(dataChecks_);
    AbortDocument();
    render(pages, checks);
    return true;
}

void QtImagePrinter::AbortDocument() {
    document_.reset();
    dataChecks_.clear();
    surface_ = 0;
}

bool QtImagePrinter::Close() {
    AbortDocument();
    return true;
}

// A saved printer of the print system is looked for only where the print system answers:
// one that cannot be reached lists no printers, and the saved printer is not gone then.
bool QtImagePrinter::configureFromSettings() {
    const PrinterSettings settings = readPrinterSettings(settingsFile_);
    if (choosesBuiltInPdf(settings)) {
        configurePdf(settings);
        return true;
    }
    if (!settings.name.isEmpty()) {
        if (const std::optional<QString> reason = printSystemUnreachable()) {
            throw Error(unreachableText(*reason));
        }
        // QPrinter quietly keeps another printer when given an unknown name, so the
        // stored one is looked up first: a printer that is gone is not ready.
        if (QPrinterInfo::printerInfo(settings.name).isNull()) {
            return false;
        }
        configureNative(settings.name, settings);
        return true;
    }
    const QPrinterInfo systemDefault = QPrinterInfo::defaultPrinter();
    if (!systemDefault.isNull()) {
        configureNative(systemDefault.printerName(), settings);
        return true;
    }
    if (QPrinterInfo::availablePrinterNames().isEmpty()) {
        configurePdf(settings);
        return true;
    }
    return false;
}

void QtImagePrinter::configurePdf(const PrinterSettings& settings) {
    printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
    printer_->setOutputFormat(QPrinter::PdfFormat);
    printer_->setPageSize(settings.paper.value_or(QPageSize(QPageSize::A4)));
    printer_->setPageOrientation(settings.orientation);
    printer_->setFullPage(true);
    printsToPdf_ = true;
    pdfFolder_ = pdfOutputFolder(settingsFile_, settings);
}

void QtImagePrinter::configureNative(const QString& printerName, const PrinterSettings& settings) {
    printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
    printer_->setPrinterName(printerName);
    if (settings.paper) {
        printer_->setPageSize(*settings.paper);
    }
    printer_->setPageOrientation(settings.orientation);
    applyCopiesAndSides(*printer_, settings);
    printer_->setFullPage(true);
    printsToPdf_ = false;
}

bool QtImagePrinter::runDialog(PrinterDialogKind kind, const QString& title) {
    const PrinterSettings saved = readPrinterSettings(settingsFile_);
    const ShownChoice shown = shownChoice(saved, pdfOutputFolder(settingsFile_, saved));
    if (platform::isHeadless()) {
        // Nobody can choose another printer: a print for a printer that is gone, or on a
        // print system that cannot be reached, fails rather than ending as if the user had
        // cancelled.
        if (!shown.unreachable.isEmpty() && !saved.name.isEmpty() && !choosesBuiltInPdf(saved)) {
            throw Error(unreachableText(shown.unreachable));
        }
        if (!shown.missingPrinter.isEmpty()) {
            throw Error(missingPrinterText(shown.missingPrinter));
        }
        platform::writeDiagnostic(
            QStringLiteral("no display: the dialog \"%1\" counts as cancelled").arg(title));
        return false;
    }
    const std::optional<PrinterChoice> chosen = askPrinter(kind, title, shown, dialogParent_);
    if (!chosen) {
        return false;
    }
    const PrinterSettings settings = settingsFor(*chosen, saved);
    // Confirming what the dialog showed leaves the file as it is; a printer that replaces
    // a missing one is saved. A print system that cannot be reached never makes a saved
    // printer missing: the file changes only for what the user chose.
    if (settingsFor(shown.choice, saved) != settings || !shown.missingPrinter.isEmpty()) {
        writePrinterSettings(settingsFile_, settings);
    }
    if (choosesBuiltInPdf(*chosen)) {
        configurePdf(settings);
    } else {
        configureNative(chosen->printer, settings);
        printer_->setCopyCount(chosen->copies);
        printer_->setDuplex(chosen->duplex);
    }
    return true;
}

PageGeometry QtImagePrinter::pageGeometry() const {
    // A printer's printable area is what the device can reach: the layout's minimum
    // margins. The layout's own margins are page-setup margins that Qt starts at 10 pt.
    QPageLayout layout = printer_->pageLayout();
    layout.setUnits(QPageLayout::Millimeter);
    const QMarginsF margins =
        printsToPdf_ ? QMarginsF(kPdfMarginMm, kPdfMarginMm, kPdfMarginMm, kPdfMarginMm)
                     : layout.minimumMargins();
    return PageGeometry{layout.fullRect().size(), margins};
}

void QtImagePrinter::checkSurface(std::int32_t deviceContext) const {
    if (deviceContext == 0 || deviceContext != surface_) {
        throw Error(QStringLiteral("印刷ﾍﾟｰｼﾞが開かれていません"));
    }
}

void QtImagePrinter::render(const std::vector<Page>& pages,
                            const std::vector<std::shared_ptr<JpegDataCheck>>& checks) {
    if (pages.empty()) {
        return;
    }
    const std::vector<PdfPage> document = pdfPages(pages);
    const auto write = [this, &document](QIODevice& device) {
        writePdf(device, document, documentName_);
    };
    // The built-in printer writes its file while the JPEGs' data is still being read
    // through, and names it only when all of it decoded.
    const auto requireWholeData = [&checks] {
        for (const std::shared_ptr<JpegDataCheck>& check : checks) {
            image_component::requireWholeData(*check);
        }
    };
    if (printsToPdf_) {
        const QString path = publishNewPdf(pdfFolder_, documentName_, write, requireWholeData);
        announcePdf(path);
        return;
    }
    requireWholeData();
    const QMarginsF margins = pageGeometry().margins;
    printer_->setDocName(documentName_);
    printOnQueue(*printer_, QueueDocument{pages, QPointF(margins.left(), margins.top()), write});
}

std::vector<PdfPage> QtImagePrinter::pdfPages(const std::vector<Page>& pages) const {
    // The placements count from the printable area's corner in tenths of a millimetre;
    // the PDF counts in points from the paper's corner.
    const PageGeometry geometry = pageGeometry();
    const double originX = geometry.margins.left() * 10.0;
    const double originY = geometry.margins.top() * 10.0;
    constexpr double kPointsPerTenth = kPointsPerMillimetre / 10.0;
    std::vector<PdfPage> document;
    for (const Page& page : pages) {
        std::vector<PagePlacement> placements;
        for (const Placement& placement : page) {
            const QRectF& tenths = placement.tenths;
            placements.push_back(PagePlacement{
                placement.image,
                QRectF((originX + tenths.x()) * kPointsPerTenth,
                       (originY + tenths.y()) * kPointsPerTenth, tenths.width() * kPointsPerTenth,
                       tenths.height() * kPointsPerTenth)});
        }
        document.push_back(PdfPage{geometry.paper * kPointsPerMillimetre, std::move(placements)});
    }
    return document;
}

}  // namespace velmar::image_component
