// Decodes a JPEG file straight into compact pixels, as stored (no orientation applied),
// and reads a JPEG's compressed data through to find damage without keeping pixels.
#pragma once

#include <QImage>
#include <QString>

#include <optional>
#include <stop_token>

namespace velmar::image_component {

// 8-bit grey for one component, 24-bit RGB for three; nothing when this decoder does not
// take the file (four components, or no JPEG library in this build) or it fails, so that
// the caller decodes it another way.
[[nodiscard]] std::optional<QImage> decodeJpegPixels(const QString& path);

struct JpegDataReading {
    enum class Outcome {
        kWhole,    // every compressed bit decoded
        kDamaged,  // the decoder gave up; reason says why
        kNotRead,  // this decoder does not take the file, or the reading was stopped
    };
    Outcome outcome = Outcome::kNotRead;
    QString reason;
};

// Decodes the file at an eighth of its size with the cheapest settings, so that every
// compressed bit is read while little time goes to pixels. The stop token is asked between
// rows, so a reading no longer wanted ends early.
[[nodiscard]] JpegDataReading readJpegDataThrough(const QString& path, const std::stop_token& stop);

}  // namespace velmar::image_component
