#include "printing/page_painter.h"

#include "image_files/image_loader.h"

#include "base/error.h"

#include <QDir>
#include <QImage>
#include <QMarginsF>
#include <QPainter>
#include <QPrinter>

#include <algorithm>
#include <cmath>

namespace velmar::printing {

namespace {

constexpr double kTenthsPerInch = 254.0;

// An image ready for the device: its pixels and where they go, in device pixels.
struct DeviceImage {
    QImage pixels;
    QRectF target;
};
using DevicePage = std::vector<DeviceImage>;

[[noreturn]] void raisePrintError(const QPrinter& printer, const QString& reason) {
    const QString name = printer.printerName().isEmpty()
                             ? QDir::toNativeSeparators(printer.outputFileName())
                             : printer.printerName();
    throw Error(QStringLiteral("ﾌﾟﾘﾝﾀ %1 に印刷できません (%2)").arg(name, reason));
}

// The upright pixels of a placed image; a JPEG that travels as its file is decoded now.
QImage uprightPixels(const PageImage& image) {
    if (!image.jpeg) {
        return image.pixels;
    }
    return image_files::uprightJpegPixels(image.jpegPath, *image.jpeg, image.transformation);
}

// Transparency laid on white, as the paper shows it; the print engines would otherwise
// rasterise the whole area around a translucent image themselves.
QImage onWhite(const QImage& image) {
    if (!image.hasAlphaChannel()) {
        return image;
    }
    QImage flat(image.size(), QImage::Format_RGB32);
    flat.fill(Qt::white);
    QPainter painter(&flat);
    painter.drawImage(0, 0, image);
    return flat;
}

// At most one image pixel to a device pixel on each axis. The driver enlarges an image by
// itself, but shrinks it by dropping whole rows and columns, so a larger image is scaled
// down here, smoothly, to the pixels the device prints.
QImage fittedToDevice(const QImage& image, const QSizeF& target) {
    const int width =
        std::min(image.width(), std::max(1, static_cast<int>(std::ceil(target.width()))));
    const int height =
        std::min(image.height(), std::max(1, static_cast<int>(std::ceil(target.height()))));
    if (width == image.width() && height == image.height()) {
        return image;
    }
    return image.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

// The pages in device pixels. In high-resolution mode a printer's painter counts in the
// device's own pixels, from the paper's corner in full-page mode; the device's resolution
// may differ across and down.
std::vector<DevicePage> devicePages(const QPrinter& printer, const std::vector<Page>& pages,
                                    QPointF printableCorner) {
    const double perTenthX = printer.physicalDpiX() / kTenthsPerInch;
    const double perTenthY = printer.physicalDpiY() / kTenthsPerInch;
    const QPointF origin = printableCorner * 10.0;
    std::vector<DevicePage> document;
    for (const Page& page : pages) {
        DevicePage devicePage;
        for (const Placement& placement : page) {
            const QRectF& tenths = placement.tenths;
            const QRectF target((origin.x() + tenths.x()) * perTenthX,
                                (origin.y() + tenths.y()) * perTenthY, tenths.width() * perTenthX,
                                tenths.height() * perTenthY);
            devicePage.push_back(DeviceImage{
                fittedToDevice(onWhite(uprightPixels(placement.image)), target.size()), target});
        }
        document.push_back(std::move(devicePage));
    }
    return document;
}

void drawDocument(QPainter& painter, QPrinter& printer, const std::vector<DevicePage>& document) {
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    for (std::size_t index = 0; index < document.size(); ++index) {
        if (index > 0 && !printer.newPage()) {
            raisePrintError(printer, QStringLiteral("次のﾍﾟｰｼﾞを開始できません"));
        }
        for (const DeviceImage& image : document[index]) {
            painter.drawImage(image.target, image.pixels);
        }
        if (printer.printerState() == QPrinter::Error) {
            raisePrintError(printer, QStringLiteral("ﾌﾟﾘﾝﾀがｴﾗｰを返しました"));
        }
    }
}

}  // namespace

void paintPages(QPrinter& printer, const std::vector<Page>& pages, QPointF printableCorner) {
    if (pages.empty()) {
        return;
    }
    // Painter coordinates count from the paper's corner. Qt's Windows engine puts the
    // full-page origin at the layout's margins, so the layout has none.
    printer.setFullPage(true);
    printer.setPageMargins(QMarginsF(), QPageLayout::Millimeter);
    const std::vector<DevicePage> document = devicePages(printer, pages, printableCorner);
    QPainter painter;
    if (!painter.begin(&printer)) {
        raisePrintError(printer, QStringLiteral("印刷を開始できません"));
    }
    try {
        drawDocument(painter, printer, document);
    } catch (...) {
        printer.abort();
        painter.end();
        throw;
    }
    if (!painter.end() || printer.printerState() == QPrinter::Error) {
        raisePrintError(printer, QStringLiteral("印刷を終了できません"));
    }
}

}  // namespace velmar::printing
