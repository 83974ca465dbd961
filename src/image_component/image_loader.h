// Decodes an image file with Qt's readers, upright and with its recorded resolution.
#pragma once

#include "image_component/recorded_resolution.h"

#include <QImage>
#include <QSize>
#include <QString>

#include <cstdint>

namespace velmar::image_component {

// The largest decoded image accepted, in MiB (a 200-megapixel colour image needs 800).
inline constexpr int kImageAllocationLimitMiB = 2048;

struct LoadedImage {
    QImage image;
    RecordedResolution resolution;
};

// The handle after the given one: never 0, wrapping round past the largest.
[[nodiscard]] std::int32_t nextHandle(std::int32_t handle);

// The image the control holds; handle 0 means none.
struct CurrentImage {
    LoadedImage loaded;
    std::int32_t handle = 0;
};

// True when an image of this size would need more memory than the readers accept.
[[nodiscard]] bool exceedsAllocationLimit(QSize pixelSize);

// Loads the image at path, applying the orientation the file records. Throws
// velmar::Error with a message for the user when the file cannot be read.
[[nodiscard]] LoadedImage loadImage(const QString& path);

}  // namespace velmar::image_component
