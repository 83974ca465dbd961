// Turns a printed PDF page into pixels so that tests can measure where the ink landed.
#pragma once

#include <QImage>
#include <QRect>
#include <QString>

namespace velmar::test {

// Pixels per inch at which one pixel is 0.1 mm, and at which one pixel is 0.01 mm.
inline constexpr int kTenthsDpi = 254;
inline constexpr int kHundredthsDpi = 2540;

// The first page of a PDF at the given resolution; with a non-empty crop, only that
// part of it (in pixels at that resolution). Fails the test when pdftoppm fails.
[[nodiscard]] QImage rasterisePdf(const QString& pdfPath, int dpi, const QRect& crop = {});

// The smallest rectangle holding every pixel darker than mid-grey.
[[nodiscard]] QRect inkBounds(const QImage& page);

// Where the ink starts on the page, in hundredths of a millimetre: the top-left corner
// of the ink, found in the page's top-left 10 mm × 10 mm rasterised at 2540 dpi. Finer
// than any rounding of the printable area to whole points (0.35 mm at most).
[[nodiscard]] QPoint inkCornerInHundredths(const QString& pdfPath);

}  // namespace velmar::test
