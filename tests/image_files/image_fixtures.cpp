#include "image_files/image_fixtures.h"

#include <QBuffer>
#include <QByteArrayView>
#include <QColor>
#include <QImageWriter>
#include <QList>

#include <algorithm>
#include <cstdint>

namespace velmar::test {
namespace {

// --- Byte helpers --------------------------------------------------------------------------

QByteArray encodeUnsigned(std::uint32_t value, int width, bool bigEndian) {
    QByteArray bytes(width, '\0');
    for (int i = 0; i < width; ++i) {
        const int shift = 8 * (bigEndian ? width - 1 - i : i);
        bytes[i] = static_cast<char>((value >> shift) & 0xFFu);
    }
    return bytes;
}

void putUnsigned(QByteArray& bytes, qsizetype pos, std::uint32_t value, int width, bool bigEndian) {
    if (bytes.size() < pos + width) {
        bytes.resize(pos + width, '\0');
    }
    bytes.replace(pos, width, encodeUnsigned(value, width, bigEndian));
}

// --- TIFF structure ------------------------------------------------------------------------

constexpr std::uint16_t kTypeShort = 3;
constexpr std::uint16_t kTypeLong = 4;
constexpr std::uint16_t kTypeRational = 5;
constexpr std::uint16_t kTagImageWidth = 256;
constexpr std::uint16_t kTagImageLength = 257;
constexpr std::uint16_t kTagBitsPerSample = 258;
constexpr std::uint16_t kTagCompression = 259;
constexpr std::uint16_t kTagPhotometric = 262;
constexpr std::uint16_t kTagStripOffsets = 273;
constexpr std::uint16_t kTagOrientation = 274;
constexpr std::uint16_t kTagSamplesPerPixel = 277;
constexpr std::uint16_t kTagRowsPerStrip = 278;
constexpr std::uint16_t kTagStripByteCounts = 279;
constexpr std::uint16_t kTagXResolution = 282;
constexpr std::uint16_t kTagYResolution = 283;
constexpr std::uint16_t kTagResolutionUnit = 296;
constexpr qsizetype kTiffHeaderSize = 8;
constexpr qsizetype kIfdEntrySize = 12;

// One IFD entry; `data` is the value in the file's byte order, any length.
struct TiffField {
    std::uint16_t tag = 0;
    std::uint16_t type = 0;
    std::uint32_t count = 0;
    QByteArray data;
};

TiffField shortField(std::uint16_t tag, std::uint16_t value, bool bigEndian) {
    return {tag, kTypeShort, 1, encodeUnsigned(value, 2, bigEndian)};
}

TiffField longField(std::uint16_t tag, std::uint32_t value, bool bigEndian) {
    return {tag, kTypeLong, 1, encodeUnsigned(value, 4, bigEndian)};
}

TiffField rationalField(std::uint16_t tag, Rational value, bool bigEndian) {
    return {tag, kTypeRational, 1,
            encodeUnsigned(value.numerator, 4, bigEndian) +
                encodeUnsigned(value.denominator, 4, bigEndian)};
}

TiffField bitsPerSampleField(bool bigEndian) {
    const QByteArray eight = encodeUnsigned(8, 2, bigEndian);
    return {kTagBitsPerSample, kTypeShort, 3, eight + eight + eight};
}

qsizetype ifdSize(const QList<TiffField>& fields) {
    return 2 + kIfdEntrySize * fields.size() + 4;
}

qsizetype evenSize(qsizetype size) {
    return size + size % 2;
}

// Values longer than the 4-byte entry field live after the IFD, each at an even offset.
qsizetype outOfLineSize(const QList<TiffField>& fields) {
    qsizetype size = 0;
    for (const TiffField& field : fields) {
        size += field.data.size() > 4 ? evenSize(field.data.size()) : 0;
    }
    return size;
}

// Where tiffStructure() puts its tail.
qsizetype tailOffset(const QList<TiffField>& fields) {
    return kTiffHeaderSize + ifdSize(fields) + outOfLineSize(fields);
}

QByteArray tiffHeader(bool bigEndian) {
    QByteArray header = bigEndian ? QByteArray("MM") : QByteArray("II");
    header += encodeUnsigned(42, 2, bigEndian);
    header += encodeUnsigned(kTiffHeaderSize, 4, bigEndian);
    return header;
}

// Header, one IFD with `fields` (sorted by tag, as TIFF requires), the out-of-line values,
// then `tail`.
QByteArray tiffStructure(QList<TiffField> fields, bool bigEndian, const QByteArray& tail = {}) {
    std::sort(fields.begin(), fields.end(),
              [](const TiffField& a, const TiffField& b) { return a.tag < b.tag; });
    QByteArray ifd = encodeUnsigned(static_cast<std::uint32_t>(fields.size()), 2, bigEndian);
    QByteArray values;
    const qsizetype valuesOffset = kTiffHeaderSize + ifdSize(fields);
    for (const TiffField& field : fields) {
        ifd += encodeUnsigned(field.tag, 2, bigEndian) + encodeUnsigned(field.type, 2, bigEndian) +
               encodeUnsigned(field.count, 4, bigEndian);
        if (field.data.size() <= 4) {
            ifd += field.data + QByteArray(4 - field.data.size(), '\0');
            continue;
        }
        ifd +=
            encodeUnsigned(static_cast<std::uint32_t>(valuesOffset + values.size()), 4, bigEndian);
        values += field.data;
        values.resize(evenSize(values.size()), '\0');
    }
    ifd += encodeUnsigned(0, 4, bigEndian);  // no next IFD
    return tiffHeader(bigEndian) + ifd + values + tail;
}

QList<TiffField> optionFields(const ExifOptions& options) {
    QList<TiffField> fields;
    const bool be = options.bigEndian;
    if (options.xResolution) {
        fields.append(rationalField(kTagXResolution, *options.xResolution, be));
    }
    if (options.yResolution) {
        fields.append(rationalField(kTagYResolution, *options.yResolution, be));
    }
    if (options.resolutionUnit) {
        fields.append(shortField(kTagResolutionUnit, *options.resolutionUnit, be));
    }
    if (options.orientation) {
        fields.append(shortField(kTagOrientation, *options.orientation, be));
    }
    return fields;
}

// Rows of 8-bit RGB samples, top row first.
QByteArray rgbSamples(const QImage& image) {
    QByteArray samples;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            samples += static_cast<char>(qRed(pixel));
            samples += static_cast<char>(qGreen(pixel));
            samples += static_cast<char>(qBlue(pixel));
        }
    }
    return samples;
}

// --- BMP -----------------------------------------------------------------------------------

// 24-bit BMP pixel data: rows bottom first, BGR, each padded to a multiple of 4 bytes.
QByteArray bgrRowsBottomUp(const QImage& image) {
    QByteArray pixels;
    for (int y = image.height() - 1; y >= 0; --y) {
        QByteArray row;
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            row += static_cast<char>(qBlue(pixel));
            row += static_cast<char>(qGreen(pixel));
            row += static_cast<char>(qRed(pixel));
        }
        row.resize(row.size() + (4 - row.size() % 4) % 4, '\0');
        pixels += row;
    }
    return pixels;
}

QList<TiffField> baselineRgbFields(QSize size, std::uint32_t sampleBytes, bool be) {
    const auto width = static_cast<std::uint32_t>(size.width());
    const auto height = static_cast<std::uint32_t>(size.height());
    return {longField(kTagImageWidth, width, be),
            longField(kTagImageLength, height, be),
            bitsPerSampleField(be),
            shortField(kTagCompression, 1, be),  // none
            shortField(kTagPhotometric, 2, be),  // RGB
            longField(kTagStripOffsets, 0, be),  // set once the layout is known
            shortField(kTagSamplesPerPixel, 3, be),
            longField(kTagRowsPerStrip, height, be),
            longField(kTagStripByteCounts, sampleBytes, be)};
}

// --- JPEG ----------------------------------------------------------------------------------

constexpr QByteArrayView kSoi("\xFF\xD8", 2);

// Qt's JPEG of `image` after SOI, with the JFIF APP0 segment Qt writes first removed.
QByteArray qtJpegAfterSoiWithoutJfif(const QImage& image) {
    const QByteArray jpeg = qtEncoded(image, "JPEG");
    qsizetype pos = kSoi.size();
    if (jpeg.mid(pos, 2) == "\xFF\xE0" && jpeg.mid(pos + 4, 5) == QByteArrayView("JFIF\0", 5)) {
        pos += 2 + static_cast<qsizetype>((static_cast<std::uint8_t>(jpeg.at(pos + 2)) << 8) |
                                          static_cast<std::uint8_t>(jpeg.at(pos + 3)));
    }
    return jpeg.mid(pos);
}

QByteArray jpegWithSegments(const QList<QByteArray>& segments, const QImage& image) {
    QByteArray jpeg = kSoi.toByteArray();
    for (const QByteArray& segment : segments) {
        jpeg += segment;
    }
    return jpeg + qtJpegAfterSoiWithoutJfif(image);
}

// --- PNG -----------------------------------------------------------------------------------

constexpr qsizetype kPngSignatureSize = 8;

// The CRC-32 of PNG chunks (reflected polynomial 0xEDB88320), bit by bit.
std::uint32_t crc32(QByteArrayView bytes) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (const char byte : bytes) {
        crc ^= static_cast<std::uint8_t>(byte);
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 1u) != 0 ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
        }
    }
    return crc ^ 0xFFFFFFFFu;
}

QByteArray pngChunk(const QByteArray& type, const QByteArray& data) {
    const QByteArray typeAndData = type + data;
    return encodeUnsigned(static_cast<std::uint32_t>(data.size()), 4, true) + typeAndData +
           encodeUnsigned(crc32(typeAndData), 4, true);
}

// `png` without its pHYs chunk and with `inserted` after IHDR.
QByteArray replacePhys(const QByteArray& png, const QByteArray& inserted) {
    QByteArray result = png.left(kPngSignatureSize);
    qsizetype pos = kPngSignatureSize;
    while (pos + 8 <= png.size()) {
        const auto length =
            static_cast<qsizetype>((static_cast<std::uint8_t>(png.at(pos)) << 24) |
                                   (static_cast<std::uint8_t>(png.at(pos + 1)) << 16) |
                                   (static_cast<std::uint8_t>(png.at(pos + 2)) << 8) |
                                   static_cast<std::uint8_t>(png.at(pos + 3)));
        const QByteArray type = png.mid(pos + 4, 4);
        const qsizetype chunkSize = 12 + length;
        if (type != "pHYs") {
            result += png.mid(pos, chunkSize);
        }
        if (type == "IHDR") {
            result += inserted;
        }
        pos += chunkSize;
    }
    return result;
}

}  // namespace

QByteArray pngClaimingSize(std::uint32_t width, std::uint32_t height) {
    // IHDR comes first: its type at 12, width at 16, height at 20, CRC after 13 data bytes.
    constexpr qsizetype kIhdrType = 12;
    constexpr qsizetype kIhdrData = 16;
    constexpr qsizetype kIhdrDataSize = 13;
    QByteArray png = pngWithoutPhys();
    putU32(png, kIhdrData, width, true);
    putU32(png, kIhdrData + 4, height, true);
    putU32(png, kIhdrData + kIhdrDataSize,
           crc32(QByteArrayView(png).sliced(kIhdrType, 4 + kIhdrDataSize)), true);
    return png;
}

QImage twoColourImage(QSize size, std::optional<int> dotsPerMeter) {
    QImage image(size, QImage::Format_RGB32);
    const QRgb left = QColor(kLeftColour).rgb();
    const QRgb right = QColor(kRightColour).rgb();
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
            image.setPixel(x, y, x < size.width() / 2 ? left : right);
        }
    }
    if (dotsPerMeter) {
        image.setDotsPerMeterX(*dotsPerMeter);
        image.setDotsPerMeterY(*dotsPerMeter);
    }
    return image;
}

QByteArray qtEncoded(const QImage& image, const char* format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, format)) {
        return {};
    }
    return bytes;
}

namespace {

QByteArray noisyJpeg(bool progressive) {
    constexpr int kSide = 64;
    QImage image(kSide, kSide, QImage::Format_RGB32);
    std::uint32_t state = 1;
    for (int y = 0; y < kSide; ++y) {
        for (int x = 0; x < kSide; ++x) {
            state = state * 1664525U + 1013904223U;  // a fixed sequence: the same file each time
            image.setPixel(x, y, state >> 8);
        }
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "JPEG");
    writer.setQuality(90);
    writer.setProgressiveScanWrite(progressive);
    return writer.write(image) ? bytes : QByteArray();
}

// Where the first scan's compressed data starts: just past its SOS segment.
qsizetype scanDataStart(const QByteArray& jpeg) {
    const qsizetype sos = jpeg.indexOf("\xFF\xDA");
    return sos + 2 +
           ((static_cast<std::uint8_t>(jpeg.at(sos + 2)) << 8) |
            static_cast<std::uint8_t>(jpeg.at(sos + 3)));
}

// The first marker after the first scan's data (stuffed bytes and restarts are data).
qsizetype firstScanEnd(const QByteArray& jpeg) {
    qsizetype at = scanDataStart(jpeg);
    while ((at = jpeg.indexOf('\xFF', at)) >= 0) {
        const auto next = static_cast<std::uint8_t>(jpeg.at(at + 1));
        if (next != 0 && (next < 0xD0 || next > 0xD7)) {
            break;
        }
        at += 2;
    }
    return at;
}

}  // namespace

QByteArray changedJpeg(JpegChange change) {
    QByteArray jpeg = noisyJpeg(change == JpegChange::kProgressiveFirstScanOnly);
    const qsizetype scan = scanDataStart(jpeg);
    const qsizetype middle = scan + (jpeg.size() - 2 - scan) / 2;
    switch (change) {
        case JpegChange::kNone:
            break;
        case JpegChange::kHalfThenEnd:
            return jpeg.left(middle) + "\xFF\xD9";
        case JpegChange::kNoScanData:
            return jpeg.left(scan) + "\xFF\xD9";
        case JpegChange::kZeroedScanBytes:
            return jpeg.replace(middle, 16, QByteArray(16, '\0'));
        case JpegChange::kFlippedScanBytes:
            return jpeg.replace(middle, 4, "\x5A\x5A\x5A\x5A");
        case JpegChange::kProgressiveFirstScanOnly:
            return jpeg.left(firstScanEnd(jpeg)) + "\xFF\xD9";
        case JpegChange::kBytesBeforeTables:
            return jpeg.insert(jpeg.indexOf("\xFF\xDB"), "\x01\x02\x03");
        case JpegChange::kUnknownJfifVersion:
            return jpeg.replace(11, 1, "\x03");  // SOI, APP0 marker and length, "JFIF\0"
    }
    return jpeg;
}

QByteArray exifTiffBlock(const ExifOptions& options) {
    return tiffStructure(optionFields(options), options.bigEndian);
}

QByteArray jpegSegment(std::uint8_t marker, const QByteArray& payload) {
    QByteArray segment(1, '\xFF');
    segment += static_cast<char>(marker);
    segment += encodeUnsigned(static_cast<std::uint32_t>(payload.size() + 2), 2, true);
    return segment + payload;
}

QByteArray jfifSegment(int units, int xDensity, int yDensity) {
    QByteArray payload("JFIF\0", 5);
    payload += "\x01\x02";  // version 1.02
    payload += static_cast<char>(units);
    payload += encodeUnsigned(static_cast<std::uint32_t>(xDensity), 2, true);
    payload += encodeUnsigned(static_cast<std::uint32_t>(yDensity), 2, true);
    payload += QByteArray(2, '\0');  // no thumbnail
    return jpegSegment(0xE0, payload);
}

QByteArray exifSegment(const ExifOptions& options) {
    return jpegSegment(0xE1, QByteArray("Exif\0\0", 6) + exifTiffBlock(options));
}

QByteArray jpegWithJfif(int units, int xDensity, int yDensity, const QImage& image) {
    return jpegWithSegments({jfifSegment(units, xDensity, yDensity)}, image);
}

QByteArray jpegWithExif(const ExifOptions& options, const QImage& image) {
    return jpegWithSegments({exifSegment(options)}, image);
}

QByteArray jpegWithJfifAndExif(int units, int xDensity, int yDensity, const ExifOptions& options,
                               const QImage& image) {
    return jpegWithSegments({jfifSegment(units, xDensity, yDensity), exifSegment(options)}, image);
}

QByteArray pngWithPhys(std::uint32_t xPerUnit, std::uint32_t yPerUnit, std::uint8_t unit,
                       const QImage& image) {
    const QByteArray data = encodeUnsigned(xPerUnit, 4, true) + encodeUnsigned(yPerUnit, 4, true) +
                            QByteArray(1, static_cast<char>(unit));
    return replacePhys(qtEncoded(image, "PNG"), pngChunk("pHYs", data));
}

QByteArray pngWithoutPhys(const QImage& image) {
    return replacePhys(qtEncoded(image, "PNG"), {});
}

QByteArray pngFromSamples(const PngSamples& layout) {
    const int channels = layout.colourType == 2 ? 3 : 1;
    const std::uint32_t limit = layout.colourType == 3
                                    ? static_cast<std::uint32_t>(layout.indexLimit)
                                    : std::uint32_t{1} << layout.depth;
    std::uint32_t seed = 12345;
    QByteArray rows;
    for (int y = 0; y < layout.height; ++y) {
        rows += '\0';  // no filter
        std::uint32_t bits = 0;
        int pending = 0;
        for (int sample = 0; sample < layout.width * channels; ++sample) {
            seed = seed * 1103515245u + 12345u;
            const std::uint32_t value = (seed >> 8) % limit;
            bits = (bits << layout.depth) | value;
            pending += layout.depth;
            while (pending >= 8) {
                pending -= 8;
                rows += static_cast<char>((bits >> pending) & 0xFFu);
            }
        }
        if (pending > 0) {
            rows += static_cast<char>((bits << (8 - pending)) & 0xFFu);
        }
    }
    QByteArray header = encodeUnsigned(static_cast<std::uint32_t>(layout.width), 4, true) +
                        encodeUnsigned(static_cast<std::uint32_t>(layout.height), 4, true);
    header += static_cast<char>(layout.depth);
    header += static_cast<char>(layout.colourType);
    header += QByteArray(3, '\0');  // deflate, adaptive filters, not interlaced
    QByteArray png = QByteArray("\x89PNG\r\n\x1a\n", kPngSignatureSize) + pngChunk("IHDR", header);
    if (!layout.palette.isEmpty()) {
        png += pngChunk("PLTE", layout.palette);
    }
    if (!layout.transparency.isEmpty()) {
        png += pngChunk("tRNS", layout.transparency);
    }
    // qCompress puts the length before the zlib stream.
    return png + pngChunk("IDAT", qCompress(rows).sliced(4)) + pngChunk("IEND", {});
}

QByteArray bmpWithPelsPerMeter(std::int32_t x, std::int32_t y, const QImage& image) {
    constexpr qsizetype kPelsPerMeterOffset = 14 + 24;
    QByteArray bmp = qtEncoded(image, "BMP");
    putU32(bmp, kPelsPerMeterOffset, static_cast<std::uint32_t>(x), false);
    putU32(bmp, kPelsPerMeterOffset + 4, static_cast<std::uint32_t>(y), false);
    return bmp;
}

QByteArray bmpWithCoreHeader(const QImage& image) {
    constexpr std::uint32_t kPixelOffset = 14 + 12;
    const QByteArray pixels = bgrRowsBottomUp(image);
    QByteArray bmp("BM");
    bmp += encodeUnsigned(kPixelOffset + static_cast<std::uint32_t>(pixels.size()), 4, false);
    bmp += encodeUnsigned(0, 4, false);  // reserved
    bmp += encodeUnsigned(kPixelOffset, 4, false);
    bmp += encodeUnsigned(12, 4, false);  // BITMAPCOREHEADER
    bmp += encodeUnsigned(static_cast<std::uint32_t>(image.width()), 2, false);
    bmp += encodeUnsigned(static_cast<std::uint32_t>(image.height()), 2, false);
    bmp += encodeUnsigned(1, 2, false);   // planes
    bmp += encodeUnsigned(24, 2, false);  // bits per pixel
    return bmp + pixels;
}

QByteArray tiffWithResolution(const ExifOptions& options, const QImage& image) {
    const QByteArray samples = rgbSamples(image);
    QList<TiffField> fields = baselineRgbFields(
        image.size(), static_cast<std::uint32_t>(samples.size()), options.bigEndian);
    fields += optionFields(options);
    for (TiffField& field : fields) {
        if (field.tag == kTagStripOffsets) {
            field.data = encodeUnsigned(static_cast<std::uint32_t>(tailOffset(fields)), 4,
                                        options.bigEndian);
        }
    }
    return tiffStructure(fields, options.bigEndian, samples);
}

QByteArray gifImage() {
    // Header, 1x1 screen with a two-colour table, one image whose LZW data is clear, index 0,
    // end; then the trailer.
    return QByteArray(
        "GIF89a\x01\x00\x01\x00\x80\x00\x00"
        "\xFF\xFF\xFF\x00\x00\x00"
        "\x2C\x00\x00\x00\x00\x01\x00\x01\x00\x00"
        "\x02\x02\x44\x01\x00"
        "\x3B",
        35);
}

void putU16(QByteArray& bytes, qsizetype pos, std::uint16_t value, bool bigEndian) {
    putUnsigned(bytes, pos, value, 2, bigEndian);
}

void putU32(QByteArray& bytes, qsizetype pos, std::uint32_t value, bool bigEndian) {
    putUnsigned(bytes, pos, value, 4, bigEndian);
}

}  // namespace velmar::test
