// Writes PDF documents whose pages hold images placed at exact positions. A JPEG file
// goes in with its own compressed data, a PNG's pixel data too where a PDF decodes it to the
// same pixels; other decoded pixels go in losslessly (Flate).
#pragma once

#include "image_files/jpeg_layout.h"
#include "image_files/png_stream.h"

#include <QImage>
#include <QImageIOHandler>
#include <QRectF>
#include <QSizeF>
#include <QString>

#include <array>
#include <optional>
#include <vector>

class QIODevice;

namespace velmar::printing {

// An image as it goes onto a page: a JPEG file passed through, or pixels.
struct PageImage {
    QString jpegPath;                             // set together with jpeg
    std::optional<image_files::JpegLayout> jpeg;  // the file's data is embedded as it is
    // How the JPEG's stored pixels turn upright (the file's orientation); the placement
    // applies it, the data stays as it is.
    QImageIOHandler::Transformations transformation = QImageIOHandler::TransformationNone;
    QImage pixels;  // upright pixels, used when there is no jpeg
    // The PNG's compressed data that decodes to pixels; taken instead of them when set.
    std::optional<image_files::PngStream> png;
};

struct PagePlacement {
    PageImage image;
    QRectF rect;  // in points from the page's top-left corner, the upright image
};

struct PdfPage {
    QSizeF size;  // in points
    std::vector<PagePlacement> placements;
};

// The PDF matrix [a b c d e f] that maps an image's unit square onto rect (points from
// the top-left corner of a page of the given height), turning the stored pixels upright.
[[nodiscard]] std::array<double, 6> placementMatrix(const QRectF& rect, double pageHeight,
                                                    QImageIOHandler::Transformations turn);

// Writes the document to device. Throws velmar::Error when it cannot be written or a
// JPEG file changed since it was read.
void writePdf(QIODevice& device, const std::vector<PdfPage>& pages, const QString& title);

}  // namespace velmar::printing
