// Builders of image file bytes for tests. Where Qt can encode the format, the bytes start as
// a real Qt-encoded picture whose header segments are then replaced or added, so the result
// still decodes; the rest are written by hand following the format's layout.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>

#include <cstdint>
#include <optional>

namespace velmar::test {

// The size of twoColourImage() unless asked otherwise.
inline constexpr QSize kFixtureImageSize{40, 20};
inline constexpr Qt::GlobalColor kLeftColour = Qt::red;
inline constexpr Qt::GlobalColor kRightColour = Qt::blue;

// An RGB32 picture whose left half is kLeftColour and right half kRightColour, so that a
// rotation or mirror can be told apart. Its dots per metre are Qt's default unless given.
[[nodiscard]] QImage twoColourImage(QSize size = kFixtureImageSize,
                                    std::optional<int> dotsPerMeter = std::nullopt);

// `image` as Qt writes it in `format` ("JPEG", "PNG", "BMP", "TIFF", "WEBP", ...); empty when
// Qt cannot write that format.
[[nodiscard]] QByteArray qtEncoded(const QImage& image, const char* format);

// An unsigned TIFF RATIONAL.
struct Rational {
    std::uint32_t numerator = 0;
    std::uint32_t denominator = 1;
};

// The tags of an EXIF block or of a TIFF file's first IFD. A tag that is nullopt is left out.
struct ExifOptions {
    std::optional<Rational> xResolution;
    std::optional<Rational> yResolution;
    std::optional<std::uint16_t> resolutionUnit;  // 1 none, 2 inch, 3 centimetre
    std::optional<std::uint16_t> orientation;     // 1..8
    bool bigEndian = false;                       // "MM" rather than "II"
};

// A TIFF structure holding only `options`' tags in its first IFD, which starts right after
// the 8-byte header; the rationals follow the IFD. This is the body of an EXIF segment.
[[nodiscard]] QByteArray exifTiffBlock(const ExifOptions& options);

// Builders whose last argument is `image` encode that picture; by default it is
// twoColourImage().

// --- JPEG: SOI, then the given segments, then Qt's encoding of the image without its own
// JFIF segment.

// A segment with `marker` (0xE0 = APP0, ...), its length field and `payload`.
[[nodiscard]] QByteArray jpegSegment(std::uint8_t marker, const QByteArray& payload);
// An APP0 JFIF segment (marker included) with the given density fields.
[[nodiscard]] QByteArray jfifSegment(int units, int xDensity, int yDensity);
// An APP1 EXIF segment (marker included) whose TIFF header starts 10 bytes in.
[[nodiscard]] QByteArray exifSegment(const ExifOptions& options);

[[nodiscard]] QByteArray jpegWithJfif(int units, int xDensity, int yDensity,
                                      const QImage& image = twoColourImage());
// EXIF directly after SOI with no JFIF segment; the TIFF header is at kExifTiffOffset.
[[nodiscard]] QByteArray jpegWithExif(const ExifOptions& options,
                                      const QImage& image = twoColourImage());
[[nodiscard]] QByteArray jpegWithJfifAndExif(int units, int xDensity, int yDensity,
                                             const ExifOptions& options,
                                             const QImage& image = twoColourImage());
// Where jpegWithExif() puts the TIFF header: after SOI (2), the APP1 marker and length (4)
// and "Exif\0\0" (6).
inline constexpr qsizetype kExifTiffOffset = 12;

// A 64 × 64 colour JPEG of noise, so that its compressed data is dense, with one change:
// its data cut in the middle and an end marker added; an end marker right after the scan
// header; 16 bytes zeroed or 4 bytes changed in the middle of the data; progressive, cut
// after its first scan and an end marker added; stray bytes before its tables' marker;
// JFIF version 3.
enum class JpegChange {
    kNone,
    kHalfThenEnd,
    kNoScanData,
    kZeroedScanBytes,
    kFlippedScanBytes,
    kProgressiveFirstScanOnly,
    kBytesBeforeTables,
    kUnknownJfifVersion,
};
[[nodiscard]] QByteArray changedJpeg(JpegChange change);

// --- PNG: Qt's encoding of the image.

// With a pHYs chunk (unit 1 = per metre, 0 = aspect ratio only) right after IHDR.
[[nodiscard]] QByteArray pngWithPhys(std::uint32_t xPerUnit, std::uint32_t yPerUnit,
                                     std::uint8_t unit, const QImage& image = twoColourImage());
// A PNG whose header claims the given size while its data stays tiny.
[[nodiscard]] QByteArray pngClaimingSize(std::uint32_t width, std::uint32_t height);
[[nodiscard]] QByteArray pngWithoutPhys(const QImage& image = twoColourImage());

// A PNG written sample by sample, unfiltered: colour type 0 (grey), 2 (colour) or 3
// (palette indices) at the given bit depth. Every sample is a different pseudo-random
// value below 2^depth, an index below indexLimit for a palette (which may reach past the
// palette's colours). transparency, when not empty, goes into a tRNS chunk.
struct PngSamples {
    int width = 0;
    int height = 0;
    int depth = 8;
    int colourType = 0;
    QByteArray palette;  // RGB triplets
    int indexLimit = 0;
    QByteArray transparency;
};
[[nodiscard]] QByteArray pngFromSamples(const PngSamples& layout);

// --- BMP

// Qt's BITMAPINFOHEADER encoding with biXPelsPerMeter / biYPelsPerMeter set as given.
[[nodiscard]] QByteArray bmpWithPelsPerMeter(std::int32_t x, std::int32_t y,
                                             const QImage& image = twoColourImage());
// A 24-bit OS/2 bitmap of the image with the 12-byte BITMAPCOREHEADER.
[[nodiscard]] QByteArray bmpWithCoreHeader(const QImage& image = twoColourImage());

// --- Others

// An uncompressed RGB baseline TIFF of the image with `options`' tags added. Its first
// IFD starts at offset 8 (kTiffFirstIfdOffset).
[[nodiscard]] QByteArray tiffWithResolution(const ExifOptions& options,
                                            const QImage& image = twoColourImage());
inline constexpr qsizetype kTiffFirstIfdOffset = 8;

// A 1x1 GIF89a.
[[nodiscard]] QByteArray gifImage();

// --- Helpers

// Writes `value` at `pos` in the given byte order, growing `bytes` when it is too short.
void putU16(QByteArray& bytes, qsizetype pos, std::uint16_t value, bool bigEndian);
void putU32(QByteArray& bytes, qsizetype pos, std::uint32_t value, bool bigEndian);

}  // namespace velmar::test
