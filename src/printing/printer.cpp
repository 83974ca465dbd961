#include "printing/printer.h"

#include "base/error.h"
#include "platform/file_system.h"
#include "printing/driver_preferences.h"

#include <QDir>
#include <QPageLayout>
#include <QPrinterInfo>

#include <cmath>
#include <utility>

namespace velmar::printing {

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

// The n-th name a PDF of that base name may take: "<base>.pdf", "<base> (2).pdf", …
QString pdfName(const QString& base, int number) {
    return number == 1 ? base + QLatin1String(".pdf")
                       : QStringLiteral("%1 (%2).pdf").arg(base).arg(number);
}

// The system's default printer, else the built-in one; false when the system has no default.
bool chooseDefault(PrinterInUse& printer) {
    const QPrinterInfo systemDefault = QPrinterInfo::defaultPrinter();
    printer.name =
        systemDefault.isNull() ? QString::fromLatin1(kPdfPrinterName) : systemDefault.printerName();
    printer.pdfQueue = !systemDefault.isNull() && printer.name == QLatin1String(kPdfPrinterName);
    return !systemDefault.isNull();
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
    const platform::UnpublishedFile part(files, folder);
    part.write(write);
    beforePublishing();
    for (int number = 1; number <= kMostPdfNames; ++number) {
        const QString path = dir.filePath(pdfName(base, number));
        if (part.publishAs(path)) {
            return path;
        }
    }
    throw Error(QStringLiteral("ﾌｫﾙﾀﾞ %1 に PDF ﾌｧｲﾙの空き名前がありません")
                    .arg(QDir::toNativeSeparators(folder)));
}

PrinterInUse printerInUse(const PrinterSettings& saved) {
    PrinterInUse printer{saved.name, saved.pdfQueue, true, {}, {}};
    if (choosesBuiltInPdf(saved)) {
        return printer;
    }
    printer.unreachable = printSystemUnreachable().value_or(QString());
    if (!saved.name.isEmpty()) {
        // QPrinter quietly keeps another printer when given an unknown name, so the saved
        // one is looked up first. A print system that cannot be reached lists no printers,
        // which does not make the saved one gone.
        if (!printer.unreachable.isEmpty()) {
            printer.ready = false;
        } else if (QPrinterInfo::printerInfo(saved.name).isNull()) {
            printer.ready = false;
            printer.missingPrinter = saved.name;
            (void)chooseDefault(printer);
        }
        return printer;
    }
    printer.ready = chooseDefault(printer) || QPrinterInfo::availablePrinterNames().isEmpty();
    return printer;
}

bool choosesBuiltInPdf(const PrinterInUse& printer) {
    return printer.name == QLatin1String(kPdfPrinterName) && !printer.pdfQueue;
}

Printer::Printer(const QString& name, bool builtInPdf, const PrinterSettings& settings,
                 QString pdfFolder)
    : builtInPdf_(builtInPdf), pdfFolder_(std::move(pdfFolder)) {
    // The built-in printer needs its paper only: a QPrinter would ask the print system for
    // its default printer first.
    if (builtInPdf_) {
        pdfPage_ = QPageLayout(settings.paper.value_or(QPageSize(QPageSize::A4)),
                               settings.orientation, QMarginsF());
        return;
    }
    printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
    printer_->setPrinterName(name);
    driverPreferences_ = applyDriverPreferences(*printer_, driverPreferencesFor(settings, name));
    if (settings.paper) {
        printer_->setPageSize(*settings.paper);
    }
    printer_->setPageOrientation(settings.orientation);
    applyCopiesAndSides(*printer_, settings);
    printer_->setFullPage(true);
}

Printer::~Printer() = default;

void Printer::setCopies(int copies, QPrinter::DuplexMode duplex) {
    if (!printer_) {
        return;
    }
    printer_->setCopyCount(copies);
    printer_->setDuplex(duplex);
}

PageGeometry Printer::pageGeometry() const {
    // A printer's printable area is what the device can reach: the layout's minimum
    // margins. The layout's own margins are page-setup margins that Qt starts at 10 pt.
    QPageLayout layout = builtInPdf_ ? pdfPage_ : printer_->pageLayout();
    layout.setUnits(QPageLayout::Millimeter);
    const QMarginsF margins =
        builtInPdf_ ? QMarginsF(kPdfMarginMm, kPdfMarginMm, kPdfMarginMm, kPdfMarginMm)
                    : layout.minimumMargins();
    return PageGeometry{layout.fullRect().size(), margins};
}

std::optional<Delivery> Printer::print(
    const std::vector<Page>& pages, const QString& documentName,
    const std::vector<std::shared_ptr<image_files::JpegDataCheck>>& checks) {
    if (pages.empty()) {
        return std::nullopt;
    }
    const std::vector<PdfPage> document = pdfPages(pages);
    const auto write = [&document, &documentName](QIODevice& device) {
        writePdf(device, document, documentName);
    };
    // The built-in printer writes its file while the JPEGs' data is still being read
    // through, and names it only when all of it decoded.
    const auto requireWholeData = [&checks] {
        for (const std::shared_ptr<image_files::JpegDataCheck>& check : checks) {
            image_files::requireWholeData(*check);
        }
    };
    if (builtInPdf_) {
        Delivery delivery;
        delivery.pdfPath = publishNewPdf(pdfFolder_, documentName, write, requireWholeData);
        return delivery;
    }
    requireWholeData();
    const QMarginsF margins = pageGeometry().margins;
    printer_->setDocName(documentName);
    return printOnQueue(*printer_,
                        QueueDocument{pages, QPointF(margins.left(), margins.top()), write});
}

std::vector<PdfPage> Printer::pdfPages(const std::vector<Page>& pages) const {
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

}  // namespace velmar::printing
