// Reads the resolution that an image file records in its own header.
#pragma once

#include <QString>

#include <cstdint>

class QIODevice;

namespace velmar::image_component {

// Dots per inch as the file records them; 0 where the file records none.
struct RecordedResolution {
    std::int32_t x = 0;
    std::int32_t y = 0;
    friend bool operator==(const RecordedResolution&, const RecordedResolution&) = default;
};

// Reads from a random-access device positioned anywhere; leaves the position undefined.
[[nodiscard]] RecordedResolution readRecordedResolution(QIODevice& device);
[[nodiscard]] RecordedResolution readRecordedResolution(const QString& path);

}  // namespace velmar::image_component
