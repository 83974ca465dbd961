// Folder image_files/: reading image files and what they record (resolution, orientation, the
// data check, the data that passes through). May use base/, Qt and the JPEG library only.
//
// Reads an image file: a JPEG that can go onto a page as it is is only checked, every
// other image is decoded upright into compact pixels. Keeps its recorded resolution.
#pragma once

#include "image_files/damaged_image.h"
#include "image_files/jpeg_layout.h"
#include "image_files/png_stream.h"
#include "image_files/recorded_resolution.h"

#include <QImage>
#include <QImageIOHandler>
#include <QSize>
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>

namespace velmar::image_files {

// The largest decoded image accepted, in MiB (a 200-megapixel colour image needs 800).
inline constexpr int kImageAllocationLimitMiB = 2048;

class JpegDataCheck;

struct LoadedImage {
    QString path;
    QSize size;                     // pixels, upright
    RecordedResolution resolution;  // upright
    // A JPEG whose compressed data is printed as it is, with the turn that makes its
    // stored pixels upright.
    std::optional<JpegLayout> jpeg;
    QImageIOHandler::Transformations transformation = QImageIOHandler::TransformationNone;
    // A PNG whose compressed data goes onto the page as it is; its pixels are decoded too.
    std::optional<PngStream> png;
    bool dataChecked = false;  // the JPEG's compressed data was read through without error
    // The reading through of a pass-through JPEG's data, started when the file was loaded
    // so that it runs while the program gets ready to print.
    std::shared_ptr<JpegDataCheck> dataCheck;
    // Upright pixels: 8-bit grey, 24-bit colour, or 32-bit with transparency. For a JPEG
    // that passes through they are decoded only when needed (see pixels()).
    QImage image;
};

// True when an image of this size would need more memory than the readers accept.
[[nodiscard]] bool exceedsAllocationLimit(QSize pixelSize);

// Loads the image at path, applying the orientation the file records. A JPEG that goes
// onto the page as it is is not decoded: its markers are checked, and a file cut short
// is refused; any other JPEG is refused when its data is damaged. A recorded resolution
// that is not plausible counts as none, with a line on standard error. Throws velmar::Error with a
// message for the user when the file cannot be read. readAhead, when given, is the reading of
// this file's data started earlier, and is taken over.
[[nodiscard]] LoadedImage loadImage(const QString& path,
                                    std::shared_ptr<JpegDataCheck> readAhead = {});

// The reading through of a JPEG's compressed data, at an eighth of its size, that must end
// well before the image goes onto a page: the one started at load, else a new one. Nothing
// when the data was read whole already or the image is no JPEG that passes through.
[[nodiscard]] std::shared_ptr<JpegDataCheck> dataCheckFor(LoadedImage& loaded);

// Starts reading the data of the JPEG file at path through; nothing for a file that is no
// JPEG (or no regular file, which could block the reading).
[[nodiscard]] std::shared_ptr<JpegDataCheck> readAhead(const QString& path);

// Waits for the reading; throws DamagedImage when the data is damaged.
void requireWholeData(JpegDataCheck& check);

// The image's pixels, decoding them on first use. Throws velmar::Error when that fails.
const QImage& pixels(LoadedImage& loaded);

// The upright pixels of the JPEG file at path, whose layout was read before and whose
// stored pixels turn upright as transformation says. Throws velmar::Error when decoding
// fails or the file changed since its layout was read.
[[nodiscard]] QImage uprightJpegPixels(const QString& path, const JpegLayout& layout,
                                       QImageIOHandler::Transformations transformation);

// The image in the most compact of the formats above that keeps all it shows.
[[nodiscard]] QImage compacted(QImage image);

}  // namespace velmar::image_files
