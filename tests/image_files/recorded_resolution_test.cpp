#include "image_files/recorded_resolution.h"

#include "doubles/temp_home.h"
#include "image_files/image_fixtures.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QImageReader>
#include <QTemporaryDir>

#include <functional>
#include <ostream>
#include <string>

namespace velmar::image_files {

void PrintTo(const RecordedResolution& resolution, std::ostream* os) {
    *os << "{" << resolution.x << ", " << resolution.y << "}";
}

namespace {

using test::ExifOptions;
using test::Rational;

constexpr bool kBig = true;
constexpr bool kLittle = false;

RecordedResolution readBytes(const QByteArray& bytes) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return readRecordedResolution(buffer);
}

ExifOptions exif(Rational x, Rational y, std::optional<std::uint16_t> unit, bool bigEndian) {
    return {x, y, unit, std::nullopt, bigEndian};
}

ExifOptions exifDpi(std::uint32_t dpi, bool bigEndian = kLittle) {
    return exif({dpi, 1}, {dpi, 1}, 2, bigEndian);
}

ExifOptions exifOnlyY(Rational y) {
    ExifOptions options;
    options.yResolution = y;
    return options;
}

ExifOptions exifOrientation(std::uint16_t orientation, bool bigEndian) {
    ExifOptions options;
    options.orientation = orientation;
    options.bigEndian = bigEndian;
    return options;
}

// Other APP1 and APP0 segments that share the markers of EXIF and JFIF.
QByteArray xmpSegment() {
    return test::jpegSegment(0xE1, QByteArray("http://ns.adobe.com/xap/1.0/\0<x/>", 34));
}

QByteArray jfxxSegment() {
    return test::jpegSegment(0xE0, QByteArray("JFXX\0\x13", 6));  // extension with no thumbnail
}

// Bytes with one value replaced, for malformed and hostile variants of good files.
QByteArray patched16(QByteArray bytes, qsizetype pos, std::uint16_t value, bool bigEndian) {
    test::putU16(bytes, pos, value, bigEndian);
    return bytes;
}

QByteArray patched32(QByteArray bytes, qsizetype pos, std::uint32_t value, bool bigEndian) {
    test::putU32(bytes, pos, value, bigEndian);
    return bytes;
}

// Where jpegWithExif() puts the first IFD entry's value field (the entries are sorted, so
// with resolution tags it is XResolution's offset): header 8, entry count 2, tag, type, count.
constexpr qsizetype kFirstExifValueField = test::kExifTiffOffset + 8 + 2 + 8;
// Where jpegWith...() puts the first segment's length field: after SOI and the marker.
constexpr qsizetype kFirstSegmentLength = 4;

// pngWithPhys() puts pHYs (12 + 9 bytes) after the signature (8) and IHDR (12 + 13).
constexpr qsizetype kPhysChunkOffset = 8 + 25;
constexpr qsizetype kPhysChunkSize = 21;
constexpr qsizetype kIendChunkSize = 12;

struct ResolutionCase {
    std::string name;
    std::function<QByteArray()> bytes;  // built lazily: encoding needs the application object
    RecordedResolution expected;
};

std::ostream& operator<<(std::ostream& os, const ResolutionCase& c) {
    return os << c.name;
}

std::string caseName(const testing::TestParamInfo<ResolutionCase>& info) {
    return info.param.name;
}

class RecordedResolutionTest : public testing::TestWithParam<ResolutionCase> {};

TEST_P(RecordedResolutionTest, ReadsFromADevice) {
    EXPECT_EQ(readBytes(GetParam().bytes()), GetParam().expected);
}

TEST_P(RecordedResolutionTest, ReadsTheSameFromAPath) {
    const QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("image");
    ASSERT_NO_FATAL_FAILURE(test::writeFile(path, GetParam().bytes()));
    EXPECT_EQ(readRecordedResolution(path), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Jfif, RecordedResolutionTest,
    testing::Values(
        ResolutionCase{"Dpi", [] { return test::jpegWithJfif(1, 300, 300); }, {300, 300}},
        ResolutionCase{
            "DpiDifferentAxes", [] { return test::jpegWithJfif(1, 300, 150); }, {300, 150}},
        ResolutionCase{"DpcmRounded", [] { return test::jpegWithJfif(2, 118, 118); }, {300, 300}},
        ResolutionCase{"DpcmHalfRoundsDownToEven",  // 75 * 2.54 = 190.5
                       [] { return test::jpegWithJfif(2, 75, 75); },
                       {190, 190}},
        ResolutionCase{"DpcmHalfRoundsUpToEven",  // 25 * 2.54 = 63.5
                       [] { return test::jpegWithJfif(2, 25, 25); },
                       {64, 64}},
        ResolutionCase{"AspectRatioOnly", [] { return test::jpegWithJfif(0, 1, 1); }, {0, 0}},
        ResolutionCase{"DensityZero", [] { return test::jpegWithJfif(1, 0, 0); }, {0, 0}},
        ResolutionCase{"UnknownUnits", [] { return test::jpegWithJfif(3, 300, 300); }, {0, 0}},
        ResolutionCase{"AfterFillBytes",
                       [] {
                           QByteArray jpeg = test::jpegWithJfif(1, 300, 300);
                           return jpeg.insert(2, QByteArray(5, '\xFF'));
                       },
                       {300, 300}},
        ResolutionCase{"BeforeJfxxSegment",
                       [] {
                           return test::jpegWithJfif(1, 300, 300)
                               .insert(2 + test::jfifSegment(1, 300, 300).size(), jfxxSegment());
                       },
                       {300, 300}}),
    caseName);

INSTANTIATE_TEST_SUITE_P(
    Exif, RecordedResolutionTest,
    testing::Values(
        ResolutionCase{
            "InchLittleEndian", [] { return test::jpegWithExif(exifDpi(300)); }, {300, 300}},
        ResolutionCase{
            "InchBigEndian", [] { return test::jpegWithExif(exifDpi(300, kBig)); }, {300, 300}},
        ResolutionCase{"UnitAbsentMeansInch",
                       [] {
                           return test::jpegWithExif(exif({72, 1}, {72, 1}, {}, kBig));
                       },
                       {72, 72}},
        ResolutionCase{"CentimetreLittleEndian",
                       [] {
                           return test::jpegWithExif(exif({118, 1}, {118, 1}, 3, kLittle));
                       },
                       {300, 300}},
        ResolutionCase{"CentimetreBigEndianDifferentAxes",  // 118.1 and 59 dots per cm
                       [] {
                           return test::jpegWithExif(exif({1181, 10}, {59, 1}, 3, kBig));
                       },
                       {300, 150}},
        ResolutionCase{"UnitNone",
                       [] {
                           return test::jpegWithExif(exif({300, 1}, {300, 1}, 1, kLittle));
                       },
                       {0, 0}},
        ResolutionCase{"HalvesRoundToEven",  // 300.5 and 301.5
                       [] {
                           return test::jpegWithExif(exif({601, 2}, {603, 2}, 2, kBig));
                       },
                       {300, 302}},
        ResolutionCase{"ZeroDenominator",
                       [] {
                           return test::jpegWithExif(exif({300, 0}, {300, 1}, 2, kLittle));
                       },
                       {0, 300}},
        ResolutionCase{
            "LargestInt32",
            [] {
                return test::jpegWithExif(exif({2147483647u, 1}, {4294967294u, 2}, 2, kLittle));
            },
            {2147483647, 2147483647}},
        ResolutionCase{
            "BeyondInt32",
            [] {
                return test::jpegWithExif(exif({2147483648u, 1}, {4294967295u, 1}, 2, kBig));
            },
            {0, 0}},
        ResolutionCase{"OnlyY",
                       [] {
                           return test::jpegWithExif(exifOnlyY({200, 1}));
                       },
                       {0, 200}},
        ResolutionCase{"AfterXmpSegment",
                       [] { return test::jpegWithExif(exifDpi(240)).insert(2, xmpSegment()); },
                       {240, 240}},
        ResolutionCase{"BeforeXmpSegment",
                       [] {
                           const ExifOptions options = exifDpi(240, kBig);
                           return test::jpegWithExif(options).insert(
                               2 + test::exifSegment(options).size(), xmpSegment());
                       },
                       {240, 240}},
        ResolutionCase{"JfifAspectRatioThenExif",
                       [] { return test::jpegWithJfifAndExif(0, 1, 1, exifDpi(300)); },
                       {300, 300}},
        ResolutionCase{"JfifDensityZeroThenExif",
                       [] { return test::jpegWithJfifAndExif(1, 0, 0, exifDpi(300, kBig)); },
                       {300, 300}},
        ResolutionCase{"JfifResolutionWinsOverExif",
                       [] { return test::jpegWithJfifAndExif(1, 72, 72, exifDpi(300)); },
                       {72, 72}}),
    caseName);

// QImage ignores setDotsPerMeterX(0), so 1 dot per metre (0.0254 dpi) stands for an image
// without a resolution: Qt then writes JFIF units 1 with density 0.
INSTANTIATE_TEST_SUITE_P(
    QtEncoded, RecordedResolutionTest,
    testing::Values(
        ResolutionCase{"JpegWithoutResolution",
                       [] {
                           return test::qtEncoded(test::twoColourImage({40, 20}, 1), "JPEG");
                       },
                       {0, 0}},
        ResolutionCase{"JpegDefault",
                       [] { return test::qtEncoded(test::twoColourImage(), "JPEG"); },
                       {96, 96}},
        ResolutionCase{"Jpeg300",
                       [] {
                           return test::qtEncoded(test::twoColourImage({40, 20}, 11811), "JPEG");
                       },
                       {300, 300}},
        ResolutionCase{"Png300",
                       [] {
                           return test::qtEncoded(test::twoColourImage({40, 20}, 11811), "PNG");
                       },
                       {300, 300}},
        ResolutionCase{"Bmp300",
                       [] {
                           return test::qtEncoded(test::twoColourImage({40, 20}, 11811), "BMP");
                       },
                       {300, 300}},
        ResolutionCase{"Tiff300",
                       [] {
                           return test::qtEncoded(test::twoColourImage({40, 20}, 11811), "TIFF");
                       },
                       {300, 300}}),
    caseName);

INSTANTIATE_TEST_SUITE_P(
    Png, RecordedResolutionTest,
    testing::Values(
        ResolutionCase{"PerMetre", [] { return test::pngWithPhys(11811, 11811, 1); }, {300, 300}},
        ResolutionCase{"DifferentAxes", [] { return test::pngWithPhys(2835, 5906, 1); }, {72, 150}},
        ResolutionCase{"HalfRoundsDownToEven",  // 7500 * 0.0254 = 190.5
                       [] { return test::pngWithPhys(7500, 7500, 1); },
                       {190, 190}},
        ResolutionCase{"HalfRoundsUpToEven",  // 12500 * 0.0254 = 317.5
                       [] { return test::pngWithPhys(12500, 12500, 1); },
                       {318, 318}},
        ResolutionCase{
            "AspectRatioOnly", [] { return test::pngWithPhys(11811, 11811, 0); }, {0, 0}},
        ResolutionCase{"WithoutPhys", [] { return test::pngWithoutPhys(); }, {0, 0}},
        ResolutionCase{
            "PhysAfterImageData",  // misplaced: pHYs must come before IDAT
            [] {
                const QByteArray phys =
                    test::pngWithPhys(11811, 11811, 1).mid(kPhysChunkOffset, kPhysChunkSize);
                QByteArray png = test::pngWithoutPhys();
                return png.insert(png.size() - kIendChunkSize, phys);
            },
            {0, 0}}),
    caseName);

INSTANTIATE_TEST_SUITE_P(
    Bmp, RecordedResolutionTest,
    testing::Values(
        ResolutionCase{"PerMetre", [] { return test::bmpWithPelsPerMeter(2835, 2835); }, {72, 72}},
        ResolutionCase{
            "DifferentAxes", [] { return test::bmpWithPelsPerMeter(11811, 2835); }, {300, 72}},
        ResolutionCase{"Zero", [] { return test::bmpWithPelsPerMeter(0, 0); }, {0, 0}},
        ResolutionCase{
            "Negative", [] { return test::bmpWithPelsPerMeter(-11811, 11811); }, {0, 300}},
        ResolutionCase{"CoreHeader", [] { return test::bmpWithCoreHeader(); }, {0, 0}}),
    caseName);

INSTANTIATE_TEST_SUITE_P(
    Tiff, RecordedResolutionTest,
    testing::Values(
        ResolutionCase{
            "LittleEndian", [] { return test::tiffWithResolution(exifDpi(300)); }, {300, 300}},
        ResolutionCase{"BigEndianDifferentAxes",
                       [] {
                           return test::tiffWithResolution(exif({600, 1}, {300, 1}, 2, kBig));
                       },
                       {600, 300}},
        ResolutionCase{"CentimetreBigEndian",
                       [] {
                           return test::tiffWithResolution(exif({118, 1}, {118, 1}, 3, kBig));
                       },
                       {300, 300}},
        ResolutionCase{"UnitNone",
                       [] {
                           return test::tiffWithResolution(exif({72, 1}, {72, 1}, 1, kLittle));
                       },
                       {0, 0}},
        ResolutionCase{"NoResolutionTags", [] { return test::tiffWithResolution({}); }, {0, 0}},
        ResolutionCase{
            "BigTiff",
            [] { return patched16(test::tiffWithResolution(exifDpi(300)), 2, 43, kLittle); },
            {0, 0}}),
    caseName);

INSTANTIATE_TEST_SUITE_P(
    Unsupported, RecordedResolutionTest,
    testing::Values(
        ResolutionCase{"Gif", [] { return test::gifImage(); }, {0, 0}},
        ResolutionCase{"WebP",
                       [] {
                           return test::qtEncoded(test::twoColourImage({40, 20}, 11811), "WEBP");
                       },
                       {0, 0}},
        ResolutionCase{"Empty", [] { return QByteArray(); }, {0, 0}},
        ResolutionCase{"Text", [] { return QByteArray("not an image at all"); }, {0, 0}},
        ResolutionCase{"JpegSoiOnly", [] { return QByteArray("\xFF\xD8"); }, {0, 0}},
        ResolutionCase{
            "PngSignatureOnly", [] { return test::pngWithPhys(11811, 11811, 1).left(8); }, {0, 0}}),
    caseName);

INSTANTIATE_TEST_SUITE_P(
    Truncated, RecordedResolutionTest,
    testing::Values(
        ResolutionCase{
            "JpegInJfif", [] { return test::jpegWithJfif(1, 300, 300).left(15); }, {0, 0}},
        ResolutionCase{
            "JpegInExif", [] { return test::jpegWithExif(exifDpi(300)).left(40); }, {0, 0}},
        ResolutionCase{
            "PngInPhys", [] { return test::pngWithPhys(11811, 11811, 1).left(45); }, {0, 0}},
        ResolutionCase{"BmpInInfoHeader",
                       [] { return test::bmpWithPelsPerMeter(2835, 2835).left(40); },
                       {0, 0}},
        ResolutionCase{"TiffInIfd",
                       [] { return test::tiffWithResolution(exifDpi(300, kBig)).left(60); },
                       {0, 0}}),
    caseName);

INSTANTIATE_TEST_SUITE_P(
    Hostile, RecordedResolutionTest,
    testing::Values(
        ResolutionCase{"TiffIfdBeyondFile",
                       [] {
                           return patched32(test::tiffWithResolution(exifDpi(300)), 4, 0xFFFFFFF0u,
                                            kLittle);
                       },
                       {0, 0}},
        ResolutionCase{"TiffHugeEntryCount",
                       [] {
                           return patched16(test::tiffWithResolution(exifDpi(300, kBig)),
                                            test::kTiffFirstIfdOffset, 0xFFFF, kBig);
                       },
                       {0, 0}},
        ResolutionCase{"TiffRationalBeyondFile",
                       [] {
                           return patched32(test::jpegWithExif(exifDpi(300)), kFirstExifValueField,
                                            0xFFFFFFFFu, kLittle);
                       },
                       {0, 300}},
        ResolutionCase{"ExifHugeEntryCount",
                       [] {
                           return patched16(test::jpegWithExif(exifDpi(300, kBig)),
                                            test::kExifTiffOffset + 8, 0xFFFF, kBig);
                       },
                       {0, 0}},
        // The segment ends after the TIFF header, so the IFD its offset names lies outside
        // the EXIF data even though it is still in the file.
        ResolutionCase{"ExifIfdOutsideSegment",
                       [] {
                           return patched16(test::jpegWithExif(exifDpi(300)), kFirstSegmentLength,
                                            2 + 6 + 8, kBig);
                       },
                       {0, 0}},
        ResolutionCase{"ExifBadByteOrder",
                       [] {
                           return patched16(test::jpegWithExif(exifDpi(300)), test::kExifTiffOffset,
                                            0x5858, kBig);
                       },
                       {0, 0}},
        ResolutionCase{"JpegSegmentWithoutMarkerPrefix",
                       [] { return patched16(test::jpegWithJfif(1, 300, 300), 2, 0x00E0, kBig); },
                       {0, 0}},
        ResolutionCase{
            "JpegSegmentLengthOne",
            [] { return patched16(test::jpegWithJfif(1, 300, 300), kFirstSegmentLength, 1, kBig); },
            {0, 0}},
        ResolutionCase{"JpegSegmentBeyondFile",
                       [] {
                           return patched16(test::jpegWithJfif(1, 300, 300).left(100),
                                            kFirstSegmentLength, 0xFFFF, kBig);
                       },
                       {0, 0}},
        ResolutionCase{
            "PngChunkLengthBeyondFile",  // IHDR's length; pHYs follows IHDR
            [] { return patched32(test::pngWithPhys(11811, 11811, 1), 8, 0xFFFFFFFFu, kBig); },
            {0, 0}},
        ResolutionCase{
            "PngPhysWrongLength",
            [] { return patched32(test::pngWithPhys(11811, 11811, 1), kPhysChunkOffset, 8, kBig); },
            {0, 0}}),
    caseName);

// A buffer that counts the bytes handed out, to show that a file is not read whole.
class CountingBuffer : public QBuffer {
  public:
    [[nodiscard]] qint64 bytesRead() const { return bytesRead_; }

  protected:
    qint64 readData(char* data, qint64 maxSize) override {
        const qint64 read = QBuffer::readData(data, maxSize);
        bytesRead_ += std::max<qint64>(read, 0);
        return read;
    }

  private:
    qint64 bytesRead_ = 0;
};

constexpr qint64 kPaddingSize = 8 * 1024 * 1024;
constexpr qint64 kMostBytesRead = 256 * 1024;

class LargeFileResolutionTest : public RecordedResolutionTest {};

TEST_P(LargeFileResolutionTest, ReadsOnlyTheHeader) {
    CountingBuffer buffer;
    buffer.setData(GetParam().bytes() + QByteArray(kPaddingSize, '\0'));
    ASSERT_TRUE(buffer.open(QIODevice::ReadOnly));
    EXPECT_EQ(readRecordedResolution(buffer), GetParam().expected);
    EXPECT_LT(buffer.bytesRead(), kMostBytesRead);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, LargeFileResolutionTest,
    testing::Values(
        ResolutionCase{"Jpeg", [] { return test::jpegWithExif(exifDpi(300)); }, {300, 300}},
        ResolutionCase{"Png", [] { return test::pngWithoutPhys(); }, {0, 0}},
        ResolutionCase{"Bmp", [] { return test::bmpWithPelsPerMeter(2835, 2835); }, {72, 72}},
        ResolutionCase{"Tiff", [] { return test::tiffWithResolution(exifDpi(300)); }, {300, 300}}),
    caseName);

TEST(RecordedResolutionDeviceTest, ReadsFromAnyStartingPosition) {
    QBuffer buffer;
    buffer.setData(test::jpegWithJfif(1, 300, 300));
    ASSERT_TRUE(buffer.open(QIODevice::ReadOnly));
    ASSERT_TRUE(buffer.seek(buffer.size() - 1));
    EXPECT_EQ(readRecordedResolution(buffer), (RecordedResolution{300, 300}));
}

TEST(RecordedResolutionDeviceTest, ClosedOrWriteOnlyDeviceRecordsNothing) {
    QByteArray bytes = test::jpegWithJfif(1, 300, 300);
    QBuffer buffer(&bytes);
    EXPECT_EQ(readRecordedResolution(buffer), RecordedResolution{});
    ASSERT_TRUE(buffer.open(QIODevice::WriteOnly));
    EXPECT_EQ(readRecordedResolution(buffer), RecordedResolution{});
}

TEST(RecordedResolutionDeviceTest, MissingFileRecordsNothing) {
    const QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    EXPECT_EQ(readRecordedResolution(dir.filePath("missing.jpg")), RecordedResolution{});
}

// --- The fixtures themselves must be images Qt decodes.

struct DecodableCase {
    std::string name;
    std::function<QByteArray()> bytes;
    QSize size;
};

std::ostream& operator<<(std::ostream& os, const DecodableCase& c) {
    return os << c.name;
}

bool isLeftColour(QRgb pixel) {
    return qRed(pixel) > 200 && qBlue(pixel) < 80;
}

bool isRightColour(QRgb pixel) {
    return qBlue(pixel) > 200 && qRed(pixel) < 80;
}

class ImageFixtureTest : public testing::TestWithParam<DecodableCase> {};

TEST_P(ImageFixtureTest, DecodesWithBothColours) {
    const QImage image = QImage::fromData(GetParam().bytes());
    ASSERT_EQ(image.size(), GetParam().size);
    EXPECT_TRUE(isLeftColour(image.pixel(0, 0)));
    EXPECT_TRUE(isRightColour(image.pixel(image.width() - 1, image.height() - 1)));
}

INSTANTIATE_TEST_SUITE_P(
    Formats, ImageFixtureTest,
    testing::Values(
        DecodableCase{"JpegWithJfif", [] { return test::jpegWithJfif(2, 118, 118); },
                      test::kFixtureImageSize},
        DecodableCase{"JpegWithExif", [] { return test::jpegWithExif(exifDpi(300, kBig)); },
                      test::kFixtureImageSize},
        DecodableCase{"JpegWithBoth",
                      [] { return test::jpegWithJfifAndExif(0, 1, 1, exifDpi(300)); },
                      test::kFixtureImageSize},
        DecodableCase{"PngWithPhys", [] { return test::pngWithPhys(11811, 11811, 1); },
                      test::kFixtureImageSize},
        DecodableCase{"PngWithoutPhys", [] { return test::pngWithoutPhys(); },
                      test::kFixtureImageSize},
        DecodableCase{"Bmp", [] { return test::bmpWithPelsPerMeter(2835, 2835); },
                      test::kFixtureImageSize},
        DecodableCase{"BmpCoreHeader", [] { return test::bmpWithCoreHeader(); },
                      test::kFixtureImageSize},
        DecodableCase{"TiffLittleEndian", [] { return test::tiffWithResolution(exifDpi(300)); },
                      test::kFixtureImageSize},
        DecodableCase{"TiffBigEndian", [] { return test::tiffWithResolution(exifDpi(300, kBig)); },
                      test::kFixtureImageSize}),
    [](const testing::TestParamInfo<DecodableCase>& info) { return info.param.name; });

TEST(ImageFixtureTest, GifDecodes) {
    EXPECT_EQ(QImage::fromData(test::gifImage()).size(), QSize(1, 1));
}

// Orientation 6 turns the picture a quarter clockwise: its left half ends up on top.
TEST(ImageFixtureTest, ExifOrientationIsAppliedOnLoad) {
    for (const bool bigEndian : {kLittle, kBig}) {
        SCOPED_TRACE(bigEndian ? "big endian" : "little endian");
        QBuffer buffer;
        buffer.setData(test::jpegWithExif(exifOrientation(6, bigEndian)));
        ASSERT_TRUE(buffer.open(QIODevice::ReadOnly));
        QImageReader reader(&buffer);
        reader.setAutoTransform(true);
        const QImage image = reader.read();
        ASSERT_EQ(image.size(), QSize(20, 40));
        EXPECT_TRUE(isLeftColour(image.pixel(10, 0)));
        EXPECT_TRUE(isRightColour(image.pixel(10, 39)));
    }
}

}  // namespace
}  // namespace velmar::image_files
