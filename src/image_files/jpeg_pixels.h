// Decodes a JPEG file straight into compact pixels, as stored (no orientation applied),
// reads a JPEG's compressed data through to find damage without keeping pixels, and
// writes JPEG files from compact pixels or straight from another JPEG file. Data is
// damaged when the decoder fails or has to make up pixels: a segment or the file ends
// early, a code or restart marker is wrong, or the scans leave coefficients out. Oddities
// of the markers around the data that leave every pixel as the file has it are not damage.
#pragma once

#include "image_files/damaged_image.h"
#include "image_files/recorded_resolution.h"

#include <QImage>
#include <QSize>
#include <QString>

#include <optional>
#include <stop_token>

class QFile;
class QIODevice;

namespace velmar::image_files {

// 8-bit grey for one component, 24-bit RGB for three; nothing when this decoder does not
// take the file (it cannot be opened, four components, too large), so that the caller
// decodes it another way. Raises DamagedImage when the data is damaged.
[[nodiscard]] std::optional<QImage> decodeJpegPixels(const QString& path);

struct JpegDataReading {
    enum class Outcome {
        kWhole,    // every compressed bit decoded
        kDamaged,  // the file cannot be read or its data is damaged; reason says why
        kNotRead,  // the reading was stopped
    };
    Outcome outcome = Outcome::kNotRead;
    QString reason;
};

// Decodes the file at an eighth of its size with the cheapest settings, so that every
// compressed bit is read while little time goes to pixels. The stop token is asked between
// rows, so a reading no longer wanted ends early.
[[nodiscard]] JpegDataReading readJpegDataThrough(const QString& path, const std::stop_token& stop);
// The same for a file opened for reading, read from its start.
[[nodiscard]] JpegDataReading readJpegDataThrough(QFile& file, const std::stop_token& stop);

// How a JPEG file is written: colour (24 bits, with the chroma halved both ways as JPEG
// encoders do by default) or 8-bit grey; quality 0..100, below 0 the encoders' usual 75;
// the resolution goes into the file's header when both directions are known.
struct JpegEncoding {
    bool colour = true;
    int quality = 75;
    RecordedResolution resolution;
};

// Writes 8-bit grey or 24-bit RGB pixels as a JPEG file into device. False, with nothing
// written, when this encoder does not take them (another pixel format). Raises
// velmar::Error when encoding or writing fails.
[[nodiscard]] bool encodeJpegPixels(const QImage& pixels, const JpegEncoding& encoding,
                                    QIODevice& device);

// Decodes the JPEG file at path a few rows at a time straight into a new JPEG file in
// device, so its pixels are never held whole. False, with nothing written, when this
// encoder does not take the file (not one or three components, not storedSize pixels as
// stored). Raises DamagedImage when the file's data is damaged, velmar::Error when
// writing fails.
[[nodiscard]] bool transcodeJpeg(const QString& path, QSize storedSize,
                                 const JpegEncoding& encoding, QIODevice& device);

}  // namespace velmar::image_files
