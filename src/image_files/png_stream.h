// The compressed pixel data of a PNG file that a PDF reader decodes to the same pixels as
// the file's own reader: grey of 1 to 16 bits, colour of 8 or 16 bits, or palette indices of
// 1 to 8 bits; not interlaced, without transparency. A PDF takes it as it is, with the PNG
// predictors, so it is neither inflated nor deflated again and keeps all its bits.
#pragma once

#include <QByteArray>
#include <QSize>

#include <optional>
#include <vector>

namespace velmar::image_files {

struct PngStream {
    QSize size;
    int components = 0;        // 1 grey or palette index, 3 colour
    int bitsPerComponent = 8;  // 1, 2, 4, 8 or 16
    // The palette's colours as RGB triplets, in index order, for palette indices; empty for
    // grey and colour.
    QByteArray palette;
    // The IDAT chunks' contents, in order: together one zlib stream. They are read where they
    // lie in the file's bytes, which the stream holds (shared, not copied).
    std::vector<QByteArrayView> data;
    QByteArray file;
};

// The stream of the PNG file held in bytes, or nothing when the file is of another kind
// (alpha, transparency key, interlaced, a palette of more colours than its indices reach)
// or its chunks are not laid out as the format requires. The chunks' checksums are the
// decoder's to check.
[[nodiscard]] std::optional<PngStream> readPngStream(const QByteArray& bytes);

}  // namespace velmar::image_files
