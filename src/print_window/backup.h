// Numbered backup copies of printed images in the "Temp" folder of the user-data folder.
#pragma once

#include "image_component/image_component.h"
#include "platform/file_system.h"

#include <QString>

#include <cstdint>

namespace velmar::print_window {

// Backup modes (nBackUpMode): none, a bitmap copy, a JPEG copy.
inline constexpr std::int16_t kNoBackUp = 0;
inline constexpr std::int16_t kBitmapBackUp = 1;
inline constexpr std::int16_t kJpegBackUp = 2;

inline constexpr auto kBackUpFolder = "Temp";
inline constexpr std::int32_t kBackUpJpegQuality = 85;

// The backup folder: "Temp" in the user-data folder (given with its trailing separator).
[[nodiscard]] QString backUpFolder(const QString& userDataFolder);

// The next backup number: one more than the highest leading number among the folder's
// "*.jpg" and "*.bmp" files (endings compared case-sensitively; gaps are not reused).
// Creates the folder when it is missing. Raises Error when no number is left. Part of the
// backup's interface; the program itself does not call it, since SaveBackUp lists the
// folder once, while the copy is being written.
[[nodiscard]] std::int16_t NextBackUpNo(const platform::FileSystem& files, const QString& folder);

// Moves the finished file to the backup name of number or of the first number after it
// that no file of either kind has, through the file service's one publishing step
// (platform::FileSystem::publishNew), so no other running copy of the program can get or
// overwrite the name. Returns the backup's path; raises Error when no number is left.
[[nodiscard]] QString publishBackUp(const platform::FileSystem& files, const QString& folder,
                                    const QString& finished, std::int16_t number,
                                    const QString& extension);

// Saves the loaded image as the next numbered backup in folder, through files: a bitmap in
// mode 1, a JPEG of quality 85 in any other mode. Does nothing when no image is loaded. A backup
// that cannot be written raises Error and leaves no file behind. Hidden copies that killed runs
// left in the folder are removed once they are old enough (base/temporary_files.h).
void SaveBackUp(image_component::ImageView& ikImg, std::int16_t nBackUpMode,
                const platform::FileSystem& files, const QString& folder);

}  // namespace velmar::print_window
