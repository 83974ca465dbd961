#include "image_component/qt_printer.h"

#include "platform/platform.h"

#include <QDir>
#include <QFile>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>

#include <cmath>
#include <utility>

namespace velmar::image_component {

namespace {

constexpr double kTenthsPerInch = 254.0;
constexpr int kMostPdfNames = 9999;

std::int32_t toTenths(double millimetres) {
    return static_cast<std::int32_t>(std::nearbyint(millimetres * 10.0));
}

// The dialog options that stay available under the given print-dialog flags.
QAbstractPrintDialog::PrintDialogOptions dialogOptions(std::int32_t flags) {
    QAbstractPrintDialog::PrintDialogOptions options(
        QAbstractPrintDialog::PrintToFile | QAbstractPrintDialog::PrintSelection |
        QAbstractPrintDialog::PrintPageRange | QAbstractPrintDialog::PrintShowPageSize);
    if ((flags & kDialogHidePrintToFile) != 0) {
        options.setFlag(QAbstractPrintDialog::PrintToFile, false);
    }
    if ((flags & kDialogNoPageNumbers) != 0) {
        options.setFlag(QAbstractPrintDialog::PrintPageRange, false);
    }
    if ((flags & kDialogNoSelection) != 0) {
        options.setFlag(QAbstractPrintDialog::PrintSelection, false);
    }
    return options;
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

}  // namespace

TenthsRect printableTenths(const PageGeometry& page) {
    return TenthsRect{toTenths(page.margins.left()), toTenths(page.margins.top()),
                      toTenths(page.paper.width() - page.margins.right()),
                      toTenths(page.paper.height() - page.margins.bottom())};
}

QString createFreePdfFile(const QString& folder, const QString& documentName) {
    const QDir dir(folder);
    if (!dir.mkpath(QStringLiteral("."))) {
        throw Error(QStringLiteral("PDF の保存先ﾌｫﾙﾀﾞ %1 を作成できません")
                        .arg(QDir::toNativeSeparators(folder)));
    }
    const QString base = fileNameFor(documentName);
    for (int number = 1; number <= kMostPdfNames; ++number) {
        const QString name = number == 1 ? base + QLatin1String(".pdf")
                                         : QStringLiteral("%1 (%2).pdf").arg(base).arg(number);
        QFile file(dir.filePath(name));
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            return file.fileName();
        }
        if (!file.exists()) {
            throw Error(QStringLiteral("PDF ﾌｧｲﾙ %1 を作成できません")
                            .arg(QDir::toNativeSeparators(file.fileName())));
        }
    }
    throw Error(QStringLiteral("ﾌｫﾙﾀﾞ %1 に PDF ﾌｧｲﾙの空き名前がありません")
                    .arg(QDir::toNativeSeparators(folder)));
}

QtImagePrinter::QtImagePrinter(const CurrentImage& image, QWidget& dialogParent)
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
    return runDialog(QStringLiteral("印刷"), dialogFlags_);
}

bool QtImagePrinter::SetupDialog() {
    return runDialog(QStringLiteral("ﾌﾟﾘﾝﾀ設定"),
                     kDialogHidePrintToFile | kDialogNoPageNumbers | kDialogNoSelection);
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
    document_->back().push_back(Placement{image_.loaded.image, QRectF(x, y, width, height)});
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
    AbortDocument();
    render(pages);
    return true;
}

void QtImagePrinter::AbortDocument() {
    document_.reset();
    surface_ = 0;
}

bool QtImagePrinter::Close() {
    AbortDocument();
    return true;
}

bool QtImagePrinter::configureFromSettings() {
    const PrinterSettings settings = readPrinterSettings(settingsFile_);
    if (settings.name == QLatin1String(kPdfPrinterName)) {
        configurePdf(settings);
        return true;
    }
    if (!settings.name.isEmpty()) {
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
    printer_->setFullPage(true);
    printsToPdf_ = false;
}

bool QtImagePrinter::runDialog(const QString& title, int disabledOptions) {
    if (platform::isHeadless()) {
        platform::writeDiagnostic(
            QStringLiteral("no display: the dialog \"%1\" counts as cancelled").arg(title));
        return false;
    }
    if (!printer_ && !configureFromSettings()) {
        const PrinterSettings settings = readPrinterSettings(settingsFile_);
        configureNative(QPrinterInfo::defaultPrinter().printerName(), settings);
    }
    QPrintDialog dialog(printer_.get(), &dialogParent_);
    dialog.setWindowTitle(title);
    dialog.setOptions(dialogOptions(disabledOptions));
    if (dialog.exec() != QDialog::Accepted) {
        return false;
    }
    printsToPdf_ = printer_->outputFormat() == QPrinter::PdfFormat;
    printer_->setFullPage(true);
    saveChoice();
    return true;
}

void QtImagePrinter::saveChoice() const {
    PrinterSettings settings = readPrinterSettings(settingsFile_);
    settings.name = printsToPdf_ ? QString::fromLatin1(kPdfPrinterName) : printer_->printerName();
    const QPageLayout layout = printer_->pageLayout();
    settings.paper = layout.pageSize();
    settings.orientation = layout.orientation();
    writePrinterSettings(settingsFile_, settings);
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

void QtImagePrinter::render(const std::vector<Page>& pages) {
    if (pages.empty()) {
        return;
    }
    QString pdfPath;
    if (printsToPdf_) {
        pdfPath = createFreePdfFile(pdfFolder_, documentName_);
        printer_->setOutputFileName(pdfPath);
    }
    const auto failed = [&pdfPath](const QString& message) {
        if (!pdfPath.isEmpty()) {
            QFile::remove(pdfPath);
        }
        return Error(message);
    };
    printer_->setDocName(documentName_);
    printer_->setCreator(QLatin1String(platform::kAppTitle));
    QPainter painter;
    if (!painter.begin(printer_.get())) {
        throw failed(
            QStringLiteral("ﾌﾟﾘﾝﾀ %1 で印刷を開始できません").arg(printer_->printerName()));
    }
    for (std::size_t index = 0; index < pages.size(); ++index) {
        if (index > 0) {
            printer_->newPage();
        }
        renderPage(painter, pages[index]);
    }
    if (!painter.end() || printer_->printerState() == QPrinter::Error) {
        throw failed(QStringLiteral("印刷に失敗しました"));
    }
    if (printsToPdf_) {
        platform::writeDiagnostic(
            QStringLiteral("PDF に印刷しました: %1").arg(QDir::toNativeSeparators(pdfPath)));
    }
}

void QtImagePrinter::renderPage(QPainter& painter, const Page& page) const {
    // The painter works in device pixels from the paper's corner (full-page mode); the
    // placements count from the printable area's corner in tenths of a millimetre.
    const double devicePerTenth = printer_->resolution() / kTenthsPerInch;
    const QMarginsF margins = pageGeometry().margins;
    const double originX = margins.left() * 10.0;
    const double originY = margins.top() * 10.0;
    for (const Placement& placement : page) {
        const QRectF& tenths = placement.tenths;
        const QRectF target((originX + tenths.x()) * devicePerTenth,
                            (originY + tenths.y()) * devicePerTenth,
                            tenths.width() * devicePerTenth, tenths.height() * devicePerTenth);
        painter.drawImage(target, placement.image);
    }
}

}  // namespace velmar::image_component
