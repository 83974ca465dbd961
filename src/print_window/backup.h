// Numbered backup copies of printed images in the "Temp" folder of the user-data folder.
#pragma once

#include "image_component/image_component.h"

#include <QString>

#include <cstdint>

namespace velmar::print_window {

// Backup modes (nBackUpMode): none, a bitmap copy, a JPEG copy.
inline constexpr std::int16_t kNoBackUp = 0;
inline constexpr std::int16_t kBitmapBackUp = 1;
inline constexpr std::int16_t kJpegBackUp = 2;

inline constexpr auto kBackUpFolder = "Temp";
inline constexpr std::int32_t kBackUpJpegQuality = 85;

// The next backup number: one more than the highest leading number among the folder's
// "*.jpg" and "*.bmp" files (endings compared case-sensitively; gaps are not reused).
// Creates the folder when it is missing. Raises Error when no number is left.
void NextBackUpNo(std::int16_t& number);

// Claims the backup file for number (or the next free number after it) by creating it
// empty, so that no other running copy of the program can take the same number. A number
// counts as taken when a file of either kind has it. Returns the file's path.
[[nodiscard]] QString reserveBackUpFile(std::int16_t number, const QString& extension);

// Saves the loaded image as the next numbered backup: a bitmap in mode 1, a JPEG of
// quality 85 in any other mode. Does nothing when no image is loaded. A backup that cannot
// be written raises Error and leaves no file behind.
void SaveBackUp(image_component::ImageView& ikImg, std::int16_t nBackUpMode);

}  // namespace velmar::print_window
