// The compressed pixel data of a PNG file that a PDF reader decodes to the same pixels as
// the file's own reader: 8-bit grey or colour, not interlaced, without transparency. A PDF
// takes it as it is, with the PNG predictors, so it is neither inflated nor deflated again.
#pragma once

#include <QByteArray>
#include <QSize>

#include <optional>

namespace velmar::image_files {

struct PngStream {
    QSize size;
    int components = 0;  // 1 grey, 3 colour
    QByteArray data;     // the IDAT chunks' contents, joined: one zlib stream
};

// The stream of the PNG file held in bytes, or nothing when the file is of another kind
// (palette, alpha, transparency key, 16 or fewer than 8 bits, interlaced) or its chunks
// are not laid out as the format requires. The chunks' checksums are the decoder's to
// check.
[[nodiscard]] std::optional<PngStream> readPngStream(const QByteArray& bytes);

}  // namespace velmar::image_files
