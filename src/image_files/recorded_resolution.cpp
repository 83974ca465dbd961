// Reads the resolution an image file records in its header. Qt's readers report 96 dpi for
// files that record none, so the headers of JPEG, PNG, BMP and TIFF files are parsed here.
// Every read goes through a bounds-checked window on the device, so a hostile file can make
// the result 0 but can never make us read outside the file or loop without end.
#include "image_files/recorded_resolution.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QFile>
#include <QIODevice>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>

namespace velmar::image_files {
namespace {

enum class ByteOrder { kLittle, kBig };

// A byte range of the device: the whole file, or the TIFF structure inside an EXIF segment.
// Offsets are relative to the start of the range and every read is checked against it.
class DeviceWindow {
  public:
    DeviceWindow(QIODevice& device, qint64 base, qint64 size)
        : device_(&device), base_(base), size_(std::max<qint64>(size, 0)) {}

    [[nodiscard]] qint64 size() const { return size_; }

    // Exactly `length` bytes at `offset`; nothing when they do not all lie inside the window.
    [[nodiscard]] std::optional<QByteArray> read(qint64 offset, qint64 length) const {
        if (!contains(offset, length) || !device_->seek(base_ + offset)) {
            return std::nullopt;
        }
        QByteArray bytes = device_->read(length);
        if (bytes.size() != length) {
            return std::nullopt;
        }
        return bytes;
    }

    // The part of this window at `offset`; empty when that part does not lie inside it.
    [[nodiscard]] DeviceWindow slice(qint64 offset, qint64 length) const {
        if (!contains(offset, length)) {
            return {*device_, base_, 0};
        }
        return {*device_, base_ + offset, length};
    }

  private:
    [[nodiscard]] bool contains(qint64 offset, qint64 length) const {
        return offset >= 0 && length >= 0 && offset <= size_ && length <= size_ - offset;
    }

    QIODevice* device_;  // not owned; a pointer so that windows can be assigned
    qint64 base_;
    qint64 size_;
};

// The unsigned integer of `width` (at most 4) bytes at `pos`; 0 when they are not all there.
std::uint32_t unsignedAt(const QByteArray& bytes, qsizetype pos, qsizetype width, ByteOrder order) {
    if (pos < 0 || pos > bytes.size() || width > bytes.size() - pos) {
        return 0;
    }
    std::uint32_t value = 0;
    for (qsizetype i = 0; i < width; ++i) {
        const qsizetype index = order == ByteOrder::kBig ? pos + i : pos + width - 1 - i;
        value = (value << 8) | static_cast<std::uint8_t>(bytes.at(index));
    }
    return value;
}

std::uint8_t byteAt(const QByteArray& bytes, qsizetype pos) {
    return static_cast<std::uint8_t>(unsignedAt(bytes, pos, 1, ByteOrder::kBig));
}

std::uint16_t u16At(const QByteArray& bytes, qsizetype pos, ByteOrder order) {
    return static_cast<std::uint16_t>(unsignedAt(bytes, pos, 2, order));
}

std::uint32_t u32At(const QByteArray& bytes, qsizetype pos, ByteOrder order) {
    return unsignedAt(bytes, pos, 4, order);
}

// Rounds numerator / denominator dots per inch half to even (nearbyint in the default
// rounding mode); 0 when the quotient is not a finite, non-negative int32.
std::int32_t roundedDpi(double numerator, double denominator) {
    if (denominator == 0.0) {
        return 0;
    }
    const double dpi = std::nearbyint(numerator / denominator);
    if (!std::isfinite(dpi) || dpi < 0.0 ||
        dpi > static_cast<double>(std::numeric_limits<std::int32_t>::max())) {
        return 0;
    }
    return static_cast<std::int32_t>(dpi);
}

enum class LengthUnit { kInch, kCentimetre, kMetre };

// Dots per inch from a density of numerator / denominator dots per `unit`. An inch is
// 254/100 cm and 254/10000 m; scaling numerator and denominator by whole numbers keeps them
// exact, so a result that is exactly a half is still exactly a half when it is rounded.
std::int32_t dotsPerInch(double numerator, double denominator, LengthUnit unit) {
    switch (unit) {
        case LengthUnit::kInch:
            return roundedDpi(numerator, denominator);
        case LengthUnit::kCentimetre:
            return roundedDpi(numerator * 254.0, denominator * 100.0);
        case LengthUnit::kMetre:
            return roundedDpi(numerator * 254.0, denominator * 10000.0);
    }
    return 0;
}

RecordedResolution wholeDensities(double x, double y, LengthUnit unit) {
    return {dotsPerInch(x, 1.0, unit), dotsPerInch(y, 1.0, unit)};
}

bool recordsAny(const RecordedResolution& resolution) {
    return resolution.x != 0 || resolution.y != 0;
}

// --- TIFF, as a file and inside EXIF -------------------------------------------------------

constexpr std::uint16_t kTiffMagic = 42;
constexpr qint64 kTiffHeaderSize = 8;
constexpr qint64 kIfdEntrySize = 12;
constexpr std::uint16_t kTagXResolution = 282;
constexpr std::uint16_t kTagYResolution = 283;
constexpr std::uint16_t kTagResolutionUnit = 296;
constexpr std::uint16_t kTypeShort = 3;
constexpr std::uint16_t kTypeLong = 4;
constexpr std::uint16_t kTypeRational = 5;
constexpr std::uint16_t kTypeSignedRational = 10;
constexpr std::uint32_t kUnitNone = 1;
constexpr std::uint32_t kUnitInch = 2;
constexpr std::uint32_t kUnitCentimetre = 3;

// A RATIONAL value; a denominator of 0 (also when the tag is absent) means no value.
struct Rational {
    double numerator = 0.0;
    double denominator = 0.0;
};

struct ResolutionTags {
    Rational x;
    Rational y;
    std::uint32_t unit = kUnitInch;  // the TIFF default when the tag is absent
};

struct IfdEntry {
    std::uint16_t tag = 0;
    std::uint16_t type = 0;
    std::uint32_t count = 0;
    std::uint32_t valueField = 0;  // the 4-byte value-or-offset field as a LONG
    std::uint16_t shortValue = 0;  // the same field's first SHORT
};

std::optional<ByteOrder> tiffByteOrder(const QByteArray& header) {
    if (header.startsWith("II")) {
        return ByteOrder::kLittle;
    }
    if (header.startsWith("MM")) {
        return ByteOrder::kBig;
    }
    return std::nullopt;
}

IfdEntry entryAt(const QByteArray& table, qsizetype index, ByteOrder order) {
    const qsizetype pos = index * kIfdEntrySize;
    return {u16At(table, pos, order), u16At(table, pos + 2, order), u32At(table, pos + 4, order),
            u32At(table, pos + 8, order), u16At(table, pos + 8, order)};
}

// A RATIONAL or SRATIONAL is 8 bytes, so it always lies at the offset in the entry.
Rational readRational(const DeviceWindow& tiff, const IfdEntry& entry, ByteOrder order) {
    if (entry.count < 1 || (entry.type != kTypeRational && entry.type != kTypeSignedRational)) {
        return {};
    }
    const auto bytes = tiff.read(entry.valueField, 8);
    if (!bytes) {
        return {};
    }
    const std::uint32_t numerator = u32At(*bytes, 0, order);
    const std::uint32_t denominator = u32At(*bytes, 4, order);
    if (entry.type == kTypeSignedRational) {
        return {static_cast<double>(static_cast<std::int32_t>(numerator)),
                static_cast<double>(static_cast<std::int32_t>(denominator))};
    }
    return {static_cast<double>(numerator), static_cast<double>(denominator)};
}

// The unit a ResolutionUnit entry holds; 0 (no known unit) when it is not a number.
std::uint32_t readUnit(const IfdEntry& entry) {
    if (entry.count < 1) {
        return 0;
    }
    switch (entry.type) {
        case kTypeShort:
            return entry.shortValue;
        case kTypeLong:
            return entry.valueField;
        default:
            return 0;
    }
}

void applyEntry(ResolutionTags& tags, const IfdEntry& entry, const DeviceWindow& tiff,
                ByteOrder order) {
    switch (entry.tag) {
        case kTagXResolution:
            tags.x = readRational(tiff, entry, order);
            break;
        case kTagYResolution:
            tags.y = readRational(tiff, entry, order);
            break;
        case kTagResolutionUnit:
            tags.unit = readUnit(entry);
            break;
        default:
            break;
    }
}

// The resolution tags of the IFD at `offset`. An entry table that does not fit in the
// window is malformed, so an absurd entry count reads nothing beyond the window.
std::optional<ResolutionTags> readResolutionTags(const DeviceWindow& tiff, qint64 offset,
                                                 ByteOrder order) {
    const auto countBytes = tiff.read(offset, 2);
    if (!countBytes) {
        return std::nullopt;
    }
    const qint64 count = u16At(*countBytes, 0, order);
    const auto table = tiff.read(offset + 2, count * kIfdEntrySize);
    if (!table) {
        return std::nullopt;
    }
    ResolutionTags tags;
    for (qint64 index = 0; index < count; ++index) {
        applyEntry(tags, entryAt(*table, index, order), tiff, order);
    }
    return tags;
}

RecordedResolution tagsToDpi(const ResolutionTags& tags) {
    LengthUnit unit = LengthUnit::kInch;
    if (tags.unit == kUnitCentimetre) {
        unit = LengthUnit::kCentimetre;
    } else if (tags.unit != kUnitInch) {
        return {};  // kUnitNone, or a unit we do not know
    }
    return {dotsPerInch(tags.x.numerator, tags.x.denominator, unit),
            dotsPerInch(tags.y.numerator, tags.y.denominator, unit)};
}

// Classic TIFF only: BigTIFF (magic 43) has 8-byte offsets and records nothing we read.
RecordedResolution readTiff(const DeviceWindow& tiff) {
    const auto header = tiff.read(0, kTiffHeaderSize);
    if (!header) {
        return {};
    }
    const auto order = tiffByteOrder(*header);
    if (!order || u16At(*header, 2, *order) != kTiffMagic) {
        return {};
    }
    const auto tags = readResolutionTags(tiff, u32At(*header, 4, *order), *order);
    return tags ? tagsToDpi(*tags) : RecordedResolution{};
}

// --- JPEG ----------------------------------------------------------------------------------

constexpr std::uint8_t kMarkerPrefix = 0xFF;
constexpr std::uint8_t kMarkerTem = 0x01;
constexpr std::uint8_t kMarkerRst0 = 0xD0;
constexpr std::uint8_t kMarkerRst7 = 0xD7;
constexpr std::uint8_t kMarkerSoi = 0xD8;
constexpr std::uint8_t kMarkerEoi = 0xD9;
constexpr std::uint8_t kMarkerSos = 0xDA;
constexpr std::uint8_t kMarkerApp0 = 0xE0;
constexpr std::uint8_t kMarkerApp1 = 0xE1;
// Real files have a few dozen segments before the scan; the bound keeps a hostile file
// made of empty segments or fill bytes from costing more than a moment.
constexpr int kMaxJpegSteps = 4096;
constexpr qint64 kJfifFieldsSize = 12;  // "JFIF\0", version, units, x and y density
constexpr QByteArrayView kJfifIdentifier("JFIF\0", 5);
constexpr QByteArrayView kExifIdentifier("Exif\0\0", 6);
constexpr std::uint8_t kJfifUnitsInch = 1;
constexpr std::uint8_t kJfifUnitsCentimetre = 2;

struct JpegSegment {
    std::uint8_t marker = 0;
    qint64 payloadOffset = 0;  // after the marker and, if it has one, the length field
    qint64 payloadLength = 0;
};

bool isStandalone(std::uint8_t marker) {
    return marker == kMarkerTem || marker == kMarkerSoi ||
           (marker >= kMarkerRst0 && marker <= kMarkerRst7);
}

// The segment whose marker is at `pos` (after any fill bytes); nothing when the stream is
// malformed there or the segment does not fit in the file.
std::optional<JpegSegment> segmentAt(const DeviceWindow& file, qint64 pos) {
    const auto header = file.read(pos, 4);
    if (!header || byteAt(*header, 0) != kMarkerPrefix) {
        return std::nullopt;
    }
    const std::uint8_t marker = byteAt(*header, 1);
    if (marker == kMarkerPrefix) {
        return JpegSegment{marker, pos + 1, 0};  // a fill byte: the marker starts one later
    }
    if (isStandalone(marker) || marker == kMarkerEoi) {
        return JpegSegment{marker, pos + 2, 0};
    }
    const qint64 length = u16At(*header, 2, ByteOrder::kBig);
    if (marker == 0 || length < 2 || length - 2 > file.size() - (pos + 4)) {
        return std::nullopt;
    }
    return JpegSegment{marker, pos + 4, length - 2};
}

qint64 nextMarkerPos(const JpegSegment& segment) {
    return segment.marker == kMarkerPrefix ? segment.payloadOffset
                                           : segment.payloadOffset + segment.payloadLength;
}

std::optional<QByteArray> payloadStart(const DeviceWindow& file, const JpegSegment& segment,
                                       qint64 length) {
    if (segment.payloadLength < length) {
        return std::nullopt;
    }
    return file.read(segment.payloadOffset, length);
}

// The JFIF density, when the APP0 segment is a JFIF header.
std::optional<RecordedResolution> jfifResolution(const DeviceWindow& file,
                                                 const JpegSegment& segment) {
    const auto fields = payloadStart(file, segment, kJfifFieldsSize);
    if (!fields || !fields->startsWith(kJfifIdentifier)) {
        return std::nullopt;
    }
    const std::uint8_t units = byteAt(*fields, 7);
    const double x = u16At(*fields, 8, ByteOrder::kBig);
    const double y = u16At(*fields, 10, ByteOrder::kBig);
    switch (units) {
        case kJfifUnitsInch:
            return wholeDensities(x, y, LengthUnit::kInch);
        case kJfifUnitsCentimetre:
            return wholeDensities(x, y, LengthUnit::kCentimetre);
        default:
            return RecordedResolution{};  // units 0: an aspect ratio only
    }
}

// The TIFF structure of the EXIF data, when the APP1 segment holds EXIF.
std::optional<DeviceWindow> exifTiff(const DeviceWindow& file, const JpegSegment& segment) {
    const auto identifier = payloadStart(file, segment, kExifIdentifier.size());
    if (!identifier || !identifier->startsWith(kExifIdentifier)) {
        return std::nullopt;
    }
    return file.slice(segment.payloadOffset + kExifIdentifier.size(),
                      segment.payloadLength - kExifIdentifier.size());
}

struct JpegMetadata {
    std::optional<RecordedResolution> jfif;
    std::optional<DeviceWindow> exif;
};

void collectMetadata(JpegMetadata& metadata, const DeviceWindow& file, const JpegSegment& segment) {
    if (segment.marker == kMarkerApp0 && !metadata.jfif) {
        metadata.jfif = jfifResolution(file, segment);
    } else if (segment.marker == kMarkerApp1 && !metadata.exif) {
        metadata.exif = exifTiff(file, segment);
    }
}

// The first JFIF and EXIF segments among those before the scan.
JpegMetadata readJpegMetadata(const DeviceWindow& file) {
    JpegMetadata metadata;
    qint64 pos = 2;  // after SOI
    for (int step = 0; step < kMaxJpegSteps; ++step) {
        const auto segment = segmentAt(file, pos);
        if (!segment || segment->marker == kMarkerSos || segment->marker == kMarkerEoi) {
            break;
        }
        collectMetadata(metadata, file, *segment);
        pos = nextMarkerPos(*segment);
    }
    return metadata;
}

// JFIF wins when it records a resolution; many cameras write units 0 there and keep the
// real resolution in EXIF.
RecordedResolution readJpeg(const DeviceWindow& file) {
    const JpegMetadata metadata = readJpegMetadata(file);
    if (metadata.jfif && recordsAny(*metadata.jfif)) {
        return *metadata.jfif;
    }
    return metadata.exif ? readTiff(*metadata.exif) : RecordedResolution{};
}

// --- PNG -----------------------------------------------------------------------------------

constexpr QByteArrayView kPngSignature("\x89PNG\r\n\x1a\n", 8);
constexpr qint64 kPngChunkOverhead = 12;  // length, type and CRC
constexpr qint64 kPhysSize = 9;
constexpr std::uint8_t kPhysUnitMetre = 1;
// Ancillary chunks before the image data are few; the bound has the same purpose as
// kMaxJpegSteps.
constexpr int kMaxPngChunks = 4096;

RecordedResolution physResolution(const QByteArray& phys) {
    if (byteAt(phys, 8) != kPhysUnitMetre) {
        return {};  // unit 0: an aspect ratio only
    }
    return wholeDensities(u32At(phys, 0, ByteOrder::kBig), u32At(phys, 4, ByteOrder::kBig),
                          LengthUnit::kMetre);
}

// pHYs must come before the image data, so the walk stops at IDAT.
RecordedResolution readPng(const DeviceWindow& file) {
    qint64 pos = kPngSignature.size();
    for (int chunk = 0; chunk < kMaxPngChunks; ++chunk) {
        const auto header = file.read(pos, 8);
        if (!header) {
            break;
        }
        const qint64 length = u32At(*header, 0, ByteOrder::kBig);
        const QByteArray type = header->mid(4, 4);
        if (type == "IDAT" || type == "IEND") {
            break;
        }
        if (type == "pHYs") {
            const auto phys = length == kPhysSize ? file.read(pos + 8, kPhysSize) : std::nullopt;
            return phys ? physResolution(*phys) : RecordedResolution{};
        }
        pos += kPngChunkOverhead + length;
    }
    return {};
}

// --- BMP -----------------------------------------------------------------------------------

constexpr qint64 kBmpInfoHeaderOffset = 14;
// BITMAPINFOHEADER and all later headers (and OS/2's 64-byte one) share the first 40 bytes;
// BITMAPCOREHEADER (12 bytes) and the short OS/2 header (16) record no resolution.
constexpr std::uint32_t kBitmapInfoHeaderSize = 40;
constexpr qint64 kPelsPerMeterOffset = kBmpInfoHeaderOffset + 24;

RecordedResolution readBmp(const DeviceWindow& file) {
    const auto headerSize = file.read(kBmpInfoHeaderOffset, 4);
    if (!headerSize || u32At(*headerSize, 0, ByteOrder::kLittle) < kBitmapInfoHeaderSize) {
        return {};
    }
    const auto pels = file.read(kPelsPerMeterOffset, 8);
    if (!pels) {
        return {};
    }
    // Signed fields: a negative count, like 0, records nothing and rounds to 0 below.
    const auto x = static_cast<std::int32_t>(u32At(*pels, 0, ByteOrder::kLittle));
    const auto y = static_cast<std::int32_t>(u32At(*pels, 4, ByteOrder::kLittle));
    return wholeDensities(x, y, LengthUnit::kMetre);
}

// -------------------------------------------------------------------------------------------

RecordedResolution readByFormat(const DeviceWindow& file) {
    const auto signature = file.read(0, std::min<qint64>(file.size(), kPngSignature.size()));
    if (!signature) {
        return {};
    }
    if (signature->startsWith("\xFF\xD8")) {
        return readJpeg(file);
    }
    if (signature->startsWith(kPngSignature)) {
        return readPng(file);
    }
    if (signature->startsWith("BM")) {
        return readBmp(file);
    }
    if (tiffByteOrder(*signature)) {
        return readTiff(file);
    }
    return {};
}

}  // namespace

bool isPlausible(RecordedResolution resolution) {
    // 0 is a direction recorded without a value, which the printing assumes as for none.
    const auto inRange = [](std::int32_t dpi) { return dpi >= 0 && dpi <= kMostPlausibleDpi; };
    if (!inRange(resolution.x) || !inRange(resolution.y)) {
        return false;
    }
    if (resolution.x == 0 || resolution.y == 0) {
        return true;
    }
    const std::int32_t low = std::min(resolution.x, resolution.y);
    const std::int32_t high = std::max(resolution.x, resolution.y);
    return high <= std::int64_t{low} * kMostPlausibleAspect;
}

RecordedResolution readRecordedResolution(QIODevice& device) {
    if (!device.isOpen() || !device.isReadable() || device.isSequential()) {
        return {};
    }
    return readByFormat(DeviceWindow(device, 0, device.size()));
}

RecordedResolution readRecordedResolution(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return readRecordedResolution(file);
}

}  // namespace velmar::image_files
