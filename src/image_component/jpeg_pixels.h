// Decodes a JPEG file straight into compact pixels, as stored (no orientation applied).
#pragma once

#include <QImage>
#include <QString>

#include <optional>

namespace velmar::image_component {

// 8-bit grey for one component, 24-bit RGB for three; nothing when this decoder does not
// take the file (four components, or no JPEG library in this build) or it fails, so that
// the caller decodes it another way.
[[nodiscard]] std::optional<QImage> decodeJpegPixels(const QString& path);

}  // namespace velmar::image_component
