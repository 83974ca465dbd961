// Builds without the JPEG library leave every file to Qt's readers and writers.
#include "image_files/jpeg_pixels.h"

namespace velmar::image_component {

std::optional<QImage> decodeJpegPixels(const QString& /*path*/) {
    return std::nullopt;
}

JpegDataReading readJpegDataThrough(const QString& /*path*/, const std::stop_token& /*stop*/) {
    return {};
}

bool encodeJpegPixels(const QImage& /*pixels*/, const JpegEncoding& /*encoding*/,
                      QIODevice& /*device*/) {
    return false;
}

bool transcodeJpeg(const QString& /*path*/, QSize /*storedSize*/, const JpegEncoding& /*encoding*/,
                   QIODevice& /*device*/) {
    return false;
}

}  // namespace velmar::image_component
