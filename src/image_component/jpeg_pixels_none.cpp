// Builds without the JPEG library leave every file to Qt's readers.
#include "image_component/jpeg_pixels.h"

namespace velmar::image_component {

std::optional<QImage> decodeJpegPixels(const QString& /*path*/) {
    return std::nullopt;
}

JpegDataReading readJpegDataThrough(const QString& /*path*/, const std::stop_token& /*stop*/) {
    return {};
}

}  // namespace velmar::image_component
