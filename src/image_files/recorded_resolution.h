// Reads the resolution that an image file records in its own header.
#pragma once

#include <QString>

#include <cstdint>

class QIODevice;

namespace velmar::image_files {

// Dots per inch as the file records them; 0 where the file records none.
struct RecordedResolution {
    std::int32_t x = 0;
    std::int32_t y = 0;
    friend bool operator==(const RecordedResolution&, const RecordedResolution&) = default;
};

// Whether a recorded resolution can belong to a picture: each direction none (0) or from 1
// to kMostPlausibleDpi dots per inch, and two recorded directions within
// kMostPlausibleAspect of each other. Higher values are beyond any scanner or camera
// (100,000 dpi is a quarter of a micrometre per pixel) and would print an image as a speck;
// a pair that far apart can only be a broken header.
inline constexpr std::int32_t kMostPlausibleDpi = 100000;
inline constexpr std::int32_t kMostPlausibleAspect = 1000;
[[nodiscard]] bool isPlausible(RecordedResolution resolution);

// Reads from a random-access device positioned anywhere; leaves the position undefined.
[[nodiscard]] RecordedResolution readRecordedResolution(QIODevice& device);
[[nodiscard]] RecordedResolution readRecordedResolution(const QString& path);

}  // namespace velmar::image_files
