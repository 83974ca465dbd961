// What a JPEG file's markers say about its compressed image: enough to decide whether the
// file can be placed into a PDF as it is, and to describe it there.
#pragma once

#include <QSize>
#include <QString>

#include <optional>

class QFile;

namespace velmar::image_files {

struct JpegLayout {
    QSize storedSize;        // pixels as stored, before any orientation is applied
    int components = 0;      // 1 grey, 3 colour, 4 CMYK or YCCK
    bool adobe = false;      // an Adobe APP14 segment: 4-component data is stored inverted
    qint64 fileSize = 0;     // the file's length when it was read
    qint64 imageLength = 0;  // the bytes of the image, up to and with its end marker
    bool passable = false;   // a PDF reader decodes the data as it is
    bool complete = false;   // an end-of-image marker follows the scans
};

// The layout of the JPEG file at path; nothing when its markers up to the first scan are
// not well formed (or it is no JPEG). Passable are 8-bit baseline, extended and
// progressive Huffman-coded frames of 1, 3 or 4 components. A file cut short is not
// complete: the end-of-image marker cannot occur inside the compressed data.
[[nodiscard]] std::optional<JpegLayout> readJpegLayout(const QString& path);
// The same for a file opened for reading, read from its start.
[[nodiscard]] std::optional<JpegLayout> readJpegLayout(QFile& file);

}  // namespace velmar::image_files
