#include "doubles/page_raster.h"

#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace velmar::test {

namespace {

constexpr int kCornerHundredths = 1000;
constexpr int kDarkerThanMidGrey = 128;

}  // namespace

QImage rasterisePdf(const QString& pdfPath, int dpi, const QRect& crop) {
    const QTemporaryDir folder;
    const QString prefix = folder.filePath(QStringLiteral("page"));
    QStringList arguments{QStringLiteral("-r"), QString::number(dpi), QStringLiteral("-png"),
                          QStringLiteral("-singlefile")};
    if (!crop.isEmpty()) {
        arguments << QStringLiteral("-x") << QString::number(crop.x()) << QStringLiteral("-y")
                  << QString::number(crop.y()) << QStringLiteral("-W")
                  << QString::number(crop.width()) << QStringLiteral("-H")
                  << QString::number(crop.height());
    }
    arguments << pdfPath << prefix;
    const int status = QProcess::execute(QStringLiteral("pdftoppm"), arguments);
    EXPECT_EQ(status, 0) << "pdftoppm failed on " << pdfPath.toStdString();
    return QImage(prefix + QStringLiteral(".png"));
}

QRect inkBounds(const QImage& page) {
    QRect bounds;
    const QImage grey = page.convertToFormat(QImage::Format_Grayscale8);
    for (int y = 0; y < grey.height(); ++y) {
        const uchar* line = grey.constScanLine(y);
        for (int x = 0; x < grey.width(); ++x) {
            if (line[x] < kDarkerThanMidGrey) {
                bounds |= QRect(x, y, 1, 1);
            }
        }
    }
    return bounds;
}

QPoint inkCornerInHundredths(const QString& pdfPath) {
    const QImage corner =
        rasterisePdf(pdfPath, kHundredthsDpi, QRect(0, 0, kCornerHundredths, kCornerHundredths));
    return inkBounds(corner).topLeft();
}

}  // namespace velmar::test
