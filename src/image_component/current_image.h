// The state of the image control: the image it holds and the handles it gives out.
#pragma once

#include "image_files/image_loader.h"

#include <cstdint>
#include <limits>
#include <memory>

namespace velmar::image_component {

// The handle after the given one: never 0, wrapping round past the largest.
[[nodiscard]] constexpr std::int32_t nextHandle(std::int32_t handle) {
    return handle == std::numeric_limits<std::int32_t>::max() ? 1 : handle + 1;
}

// The image the control holds; handle 0 means none.
struct CurrentImage {
    image_files::LoadedImage loaded;
    std::int32_t handle = 0;
    // For the next load, of the path it was given with.
    std::shared_ptr<image_files::JpegDataCheck> readAhead;
    // The colour depth (8 or 24 bits) a conversion asked for; 0 until one does. Saves
    // write it; what is shown and printed keeps the loaded pixels.
    std::int16_t convertedDepth = 0;
};

}  // namespace velmar::image_component
