#include "doubles/temp_home.h"
#include "image_component/image_component.h"
#include "image_component/image_display.h"
#include "image_files/image_fixtures.h"
#include "image_files/image_loader.h"
#include "image_files/jpeg_layout.h"
#include "image_files/recorded_resolution.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>

#include <gtest/gtest.h>

#include <array>
#include <cmath>

namespace velmar::image_component {
namespace {

using image_files::JpegLayout;
using image_files::readJpegLayout;
using image_files::readRecordedResolution;
using image_files::RecordedResolution;

class ImageKitTest : public testing::Test {
  protected:
    ImageKitTest() : kit(makeImageKit()) { configureImageReaders(); }

    QString write(const QString& name, const QByteArray& bytes) const {
        const QString path = home.filePath(name);
        test::writeFile(path, bytes);
        return path;
    }

    bool load(const QString& path) const {
        kit->File().Path(path);
        return kit->File().Load(0);
    }

    test::TempHome home;
    std::unique_ptr<ImageView> kit;
};

TEST_F(ImageKitTest, PhotoTurnedByItsExifOrientationLoadsUprightWithItsResolutionTurned) {
    test::ExifOptions options;
    options.xResolution = test::Rational{300, 1};
    options.yResolution = test::Rational{150, 1};
    options.orientation = 6;
    ASSERT_TRUE(load(write(QStringLiteral("turned.jpg"), test::jpegWithExif(options))));
    EXPECT_EQ(kit->PixelWidth(), test::kFixtureImageSize.height());
    EXPECT_EQ(kit->PixelHeight(), test::kFixtureImageSize.width());
    EXPECT_EQ(kit->ResolutionX(), 150);
    EXPECT_EQ(kit->ResolutionY(), 300);
}

TEST_F(ImageKitTest, FileWithoutAResolutionReportsNone) {
    ASSERT_TRUE(load(write(QStringLiteral("plain.png"), test::pngWithoutPhys())));
    EXPECT_NE(kit->ImageHandle(), 0);
    EXPECT_EQ(kit->ResolutionX(), 0);
    EXPECT_EQ(kit->ResolutionY(), 0);
}

// A resolution no picture can have is taken as none, and standard error says so once.
struct Resolution {
    const char* name;
    QByteArray file;
    RecordedResolution loaded;
};

class ImageKitResolution : public ImageKitTest, public testing::WithParamInterface<Resolution> {};

TEST_P(ImageKitResolution, AbsurdOnesCountAsNone) {
    const QString path = write(QStringLiteral("image"), GetParam().file);
    testing::internal::CaptureStderr();
    const bool loaded = load(path);
    const QString said = QString::fromLocal8Bit(testing::internal::GetCapturedStderr());
    ASSERT_TRUE(loaded);
    EXPECT_EQ(RecordedResolution({kit->ResolutionX(), kit->ResolutionY()}), GetParam().loaded);
    const bool ignored = GetParam().loaded == RecordedResolution{};
    EXPECT_EQ(said.count(QStringLiteral("記録がないものとして扱います")), ignored ? 1 : 0)
        << said.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Files, ImageKitResolution,
    testing::Values(
        Resolution{"ExifBillionDpi",
                   test::jpegWithExif({test::Rational{1000000000, 1}, test::Rational{1000000000, 1},
                                       2, std::nullopt, false}),
                   {}},
        Resolution{"JfifLargestDotsPerCm", test::jpegWithJfif(2, 65535, 65535), {}},
        Resolution{"PngLargestPerMetre", test::pngWithPhys(2147483647U, 2147483647U, 1), {}},
        Resolution{"TwoThousandfoldApart", test::jpegWithJfif(1, 10, 20000), {}},
        Resolution{"LargestJfifDpi", test::jpegWithJfif(1, 65535, 65535), {65535, 65535}},
        Resolution{"ThousandfoldApart", test::jpegWithJfif(1, 10, 10000), {10, 10000}}),
    [](const testing::TestParamInfo<Resolution>& info) { return info.param.name; });

// JPEG data the decoder has to make up pixels for is refused, by the check before printing
// and by every save; warnings about the markers around the data are not.
using JpegData = std::pair<test::JpegChange, bool>;  // the change, and whether it is damage

class ImageKitJpegData : public ImageKitTest, public testing::WithParamInterface<JpegData> {};

TEST_P(ImageKitJpegData, DamagedDataIsRefusedHarmlessWarningsAreNot) {
    const auto [change, damaged] = GetParam();
    const QString path = write(QStringLiteral("photo.jpg"), test::changedJpeg(change));
    const QString copy = home.filePath(QStringLiteral("copy"));
    ASSERT_TRUE(load(path)) << kit->File().LastError().toStdString();
    if (!damaged) {
        EXPECT_NO_THROW(requireWholeData(*readAhead(path)));
        kit->File().Path(copy);
        EXPECT_TRUE(kit->File().Save(kFormatJpeg, kit->ImageHandle()));
        return;
    }
    try {
        requireWholeData(*readAhead(path));
        ADD_FAILURE() << "the data check passed";
    } catch (const DamagedImage& error) {
        EXPECT_EQ(error.path(), path);
    }
    for (const std::int32_t format : {kFormatJpeg, kFormatBitmap}) {
        kit->File().Path(copy);
        EXPECT_THROW(kit->File().Save(format, kit->ImageHandle()), DamagedImage);
        EXPECT_FALSE(QFileInfo::exists(copy));
    }
}

using test::JpegChange;

std::string jpegChangeName(JpegChange change) {
    constexpr std::array kNames{"Whole",      "HalfThenEnd",       "NoScanData",
                                "ZeroedScan", "FlippedScan",       "ProgressiveFirstScanOnly",
                                "StrayBytes", "UnknownJfifVersion"};
    return kNames.at(static_cast<std::size_t>(change));
}

INSTANTIATE_TEST_SUITE_P(Changes, ImageKitJpegData,
                         testing::Values(JpegData{JpegChange::kNone, false},
                                         JpegData{JpegChange::kHalfThenEnd, true},
                                         JpegData{JpegChange::kNoScanData, true},
                                         JpegData{JpegChange::kZeroedScanBytes, true},
                                         JpegData{JpegChange::kFlippedScanBytes, true},
                                         JpegData{JpegChange::kProgressiveFirstScanOnly, true},
                                         JpegData{JpegChange::kBytesBeforeTables, false},
                                         JpegData{JpegChange::kUnknownJfifVersion, false}),
                         [](const testing::TestParamInfo<JpegData>& info) {
                             return jpegChangeName(info.param.first);
                         });

// Every format photos and scans come in loads on every system, with its pixel count and
// the resolution it records (WebP records none): together they give the printed size.
struct Format {
    const char* name;
    std::int32_t dpi;
};

class ImageKitFormat : public ImageKitTest, public testing::WithParamInterface<Format> {};

TEST_P(ImageKitFormat, LoadsWithItsPixelsAndRecordedResolution) {
    const QSize size(30, 12);
    const QString path = write(QStringLiteral("image"),
                               test::qtEncoded(test::twoColourImage(size, 11811), GetParam().name));
    ASSERT_TRUE(load(path)) << kit->File().LastError().toStdString();
    EXPECT_EQ(kit->PixelWidth(), size.width());
    EXPECT_EQ(kit->PixelHeight(), size.height());
    EXPECT_EQ(RecordedResolution({kit->ResolutionX(), kit->ResolutionY()}),
              RecordedResolution({GetParam().dpi, GetParam().dpi}));
}

INSTANTIATE_TEST_SUITE_P(Formats, ImageKitFormat,
                         testing::Values(Format{"jpeg", 300}, Format{"png", 300},
                                         Format{"bmp", 300}, Format{"tiff", 300},
                                         Format{"webp", 0}),
                         [](const testing::TestParamInfo<Format>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(ImageKitTest, LoadsAGifAsWellAsTheWrittenFormats) {
    ASSERT_TRUE(load(write(QStringLiteral("dot.gif"), test::gifImage())));
    EXPECT_EQ(kit->PixelWidth(), 1);
}

struct Unreadable {
    const char* name;
    const char* file;
    QByteArray content;  // empty: the file is not created
    const char* reason;
};

class ImageKitUnreadable : public ImageKitTest, public testing::WithParamInterface<Unreadable> {};

TEST_P(ImageKitUnreadable, FailsWithAReasonAndHoldsNoImage) {
    const Unreadable& unreadable = GetParam();
    ASSERT_TRUE(load(write(QStringLiteral("good.png"), test::pngWithoutPhys())));
    QString path = home.filePath(QString::fromLatin1(unreadable.file));
    if (!unreadable.content.isEmpty()) {
        path = write(QString::fromLatin1(unreadable.file), unreadable.content);
    }
    EXPECT_FALSE(load(path));
    EXPECT_EQ(kit->ImageHandle(), 0);
    EXPECT_TRUE(kit->File().LastError().startsWith(QString::fromUtf8(unreadable.reason)))
        << kit->File().LastError().toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Files, ImageKitUnreadable,
    testing::Values(Unreadable{"Missing", "missing.png", {}, "ﾌｧｲﾙが見つかりません"},
                    Unreadable{"Folder", "", {}, "ﾌｧｲﾙを開けません"},
                    Unreadable{"NotAnImage", "notes.jpg", "just some text", "画像の形式"},
                    Unreadable{"Truncated", "cut.png", test::pngWithoutPhys().left(60),
                               "画像ﾃﾞｰﾀを読み取れません"},
                    Unreadable{"TruncatedJpeg", "cut.jpg",
                               test::jpegWithJfif(1, 300, 300).chopped(40),
                               "画像ﾃﾞｰﾀを読み取れません"}),
    [](const testing::TestParamInfo<Unreadable>& info) { return info.param.name; });

TEST_F(ImageKitTest, ImageTooLargeForMemoryIsRefusedWithoutDecoding) {
    EXPECT_FALSE(load(write(QStringLiteral("huge.png"), test::pngClaimingSize(60000, 60000))));
    EXPECT_TRUE(kit->File().LastError().startsWith(QStringLiteral("画像が大きすぎます")))
        << kit->File().LastError().toStdString();
}

TEST_F(ImageKitTest, TwoHundredMegapixelImageLoads) {
    QImage big(14143, 14143, QImage::Format_Grayscale8);  // just over 200 megapixels
    big.fill(0x80);
    const QString path = home.filePath(QStringLiteral("big.png"));
    QImageWriter writer(path, "png");
    writer.setCompression(1);
    ASSERT_TRUE(writer.write(big)) << writer.errorString().toStdString();
    big = QImage();
    ASSERT_TRUE(load(path)) << kit->File().LastError().toStdString();
    EXPECT_EQ(kit->PixelWidth(), 14143);
    EXPECT_EQ(kit->PixelHeight(), 14143);
}

TEST_F(ImageKitTest, SavesARealBitmapAndJpegKeepingTheResolution) {
    ASSERT_TRUE(load(write(QStringLiteral("in.png"), test::pngWithPhys(11811, 11811, 1))));
    const std::int32_t handle = kit->ImageHandle();
    struct Saved {
        const char* name;
        std::int32_t format;
        const char* readerFormat;
    };
    for (const Saved saved :
         {Saved{"copy.bmp", kFormatBitmap, "bmp"}, Saved{"copy.jpg", kFormatJpeg, "jpeg"}}) {
        const QString path = home.filePath(QString::fromLatin1(saved.name));
        kit->File().Path(path);
        kit->File().JpegQuality(85);
        ASSERT_TRUE(kit->File().Save(saved.format, handle))
            << kit->File().LastError().toStdString();
        QImageReader reader(path);
        EXPECT_EQ(reader.format(), QByteArray(saved.readerFormat)) << saved.name;
        EXPECT_EQ(reader.size(), test::kFixtureImageSize) << saved.name;
        EXPECT_EQ(readRecordedResolution(path), (RecordedResolution{300, 300})) << saved.name;
    }
    EXPECT_FALSE(kit->File().Save(kFormatJpeg, handle + 1));
}

TEST_F(ImageKitTest, JpegQualityChangesTheFile) {
    QImage noisy(200, 200, QImage::Format_RGB32);
    for (int y = 0; y < noisy.height(); ++y) {
        for (int x = 0; x < noisy.width(); ++x) {
            noisy.setPixel(x, y, qRgb((x * 37) % 256, (y * 59) % 256, ((x + y) * 13) % 256));
        }
    }
    ASSERT_TRUE(load(write(QStringLiteral("noisy.png"), test::qtEncoded(noisy, "PNG"))));
    const auto savedSize = [this](std::int32_t quality) {
        const QString path = home.filePath(QStringLiteral("q%1.jpg").arg(quality));
        kit->File().Path(path);
        kit->File().JpegQuality(quality);
        EXPECT_TRUE(kit->File().Save(kFormatJpeg, kit->ImageHandle()));
        return QFileInfo(path).size();
    };
    EXPECT_LT(savedSize(10), savedSize(95));
}

TEST_F(ImageKitTest, ColourDepthAndGreyFollowTheImage) {
    QImage grey(8, 8, QImage::Format_Grayscale8);
    grey.fill(0x40);
    ASSERT_TRUE(load(write(QStringLiteral("grey.png"), test::qtEncoded(grey, "PNG"))));
    EXPECT_EQ(kit->BitDepth(), 8);
    EXPECT_TRUE(kit->GrayFlag());
    ASSERT_TRUE(kit->Edit().ConvertColorDepth(24, 0, -1, 50));
    EXPECT_EQ(kit->BitDepth(), 24);

    ASSERT_TRUE(load(write(QStringLiteral("colour.png"), test::pngWithoutPhys())));
    EXPECT_EQ(kit->BitDepth(), 24);
    EXPECT_FALSE(kit->GrayFlag());
}

TEST_F(ImageKitTest, DrawShowsTheLoadedImage) {
    ASSERT_TRUE(load(write(QStringLiteral("shown.png"), test::pngWithoutPhys())));
    auto& display = dynamic_cast<ImageDisplay&>(kit->Widget());
    EXPECT_TRUE(display.shownImage().isNull());
    EXPECT_TRUE(kit->Draw(1));
    EXPECT_EQ(display.shownImage().size(), test::kFixtureImageSize);
}

// The largest difference of any sample between two images of the same size.
int largestDifference(const QImage& a, const QImage& b) {
    int largest = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            largest = std::max({largest, std::abs(qRed(p) - qRed(q)),
                                std::abs(qGreen(p) - qGreen(q)), std::abs(qBlue(p) - qBlue(q))});
        }
    }
    return largest;
}

class JpegShown : public ImageKitTest, public testing::WithParamInterface<int> {};

// A JPEG that prints as it is is decoded only when it is shown: upright, 24-bit.
TEST_P(JpegShown, DecodesUprightIntoTwentyFourBits) {
    QImage source(24, 16, QImage::Format_RGB888);
    for (int y = 0; y < source.height(); ++y) {
        for (int x = 0; x < source.width(); ++x) {
            source.setPixel(x, y, qRgb(x * 10, y * 15, (x < 12) == (y < 8) ? 250 : 0));
        }
    }
    test::ExifOptions exif;
    exif.orientation = static_cast<std::uint16_t>(GetParam());
    const QString path = write(QStringLiteral("turned.jpg"), test::jpegWithExif(exif, source));
    ASSERT_TRUE(load(path));
    auto& display = dynamic_cast<ImageDisplay&>(kit->Widget());
    ASSERT_TRUE(kit->Draw(1));
    const QImage shown = display.shownImage();
    QImageReader reader(path);
    reader.setAutoTransform(true);
    const QImage expected = reader.read();
    EXPECT_EQ(shown.format(), QImage::Format_RGB888);
    ASSERT_EQ(shown.size(), expected.size());
    EXPECT_LE(largestDifference(shown, expected), 2);
}

INSTANTIATE_TEST_SUITE_P(ExifOrientations, JpegShown, testing::Range(1, 9));

struct JpegCopy {
    const char* name;
    bool grey;
    std::uint16_t orientation;  // EXIF orientation of the source
    std::int32_t convertTo;     // ConvertColorDepth before the save; 0 none
    int components;             // of the copy
};

class JpegCopied : public ImageKitTest, public testing::WithParamInterface<JpegCopy> {};

// A JPEG copy of a JPEG: upright, the depth asked for, the resolution kept, the pixels
// close to the source's.
TEST_P(JpegCopied, KeepsTheUprightPictureAndResolution) {
    const JpegCopy& copy = GetParam();
    QImage source(48, 32, QImage::Format_RGB888);
    for (int y = 0; y < source.height(); ++y) {
        for (int x = 0; x < source.width(); ++x) {
            source.setPixel(x, y, qRgb(x * 5, y * 7, 120));
        }
    }
    if (copy.grey) {
        source.convertTo(QImage::Format_Grayscale8);
    }
    test::ExifOptions exif;
    exif.orientation = copy.orientation;
    const QString path =
        write(QStringLiteral("in.jpg"), test::jpegWithJfifAndExif(1, 300, 150, exif, source));
    ASSERT_TRUE(load(path));
    if (copy.convertTo != 0) {
        ASSERT_TRUE(kit->Edit().ConvertColorDepth(copy.convertTo, 0, -1, 50));
    }
    const QString saved = home.filePath(QStringLiteral("copy.jpg"));
    kit->File().Path(saved);
    kit->File().JpegQuality(85);
    ASSERT_TRUE(kit->File().Save(kFormatJpeg, kit->ImageHandle()))
        << kit->File().LastError().toStdString();

    const std::optional<JpegLayout> layout = readJpegLayout(saved);
    ASSERT_TRUE(layout.has_value());
    EXPECT_EQ(layout->components, copy.components);
    const bool turned = copy.orientation == 6;
    EXPECT_EQ(readRecordedResolution(saved),
              turned ? (RecordedResolution{150, 300}) : (RecordedResolution{300, 150}));
    QImageReader sourceReader(path);
    sourceReader.setAutoTransform(true);
    QImage expected = sourceReader.read();
    for (int y = 0; copy.components == 1 && y < expected.height(); ++y) {
        for (int x = 0; x < expected.width(); ++x) {  // a grey JPEG holds the luma
            const QRgb pixel = expected.pixel(x, y);
            const int luma = static_cast<int>(
                std::nearbyint(0.299 * qRed(pixel) + 0.587 * qGreen(pixel) + 0.114 * qBlue(pixel)));
            expected.setPixel(x, y, qRgb(luma, luma, luma));
        }
    }
    const QImage written = QImageReader(saved).read();
    ASSERT_EQ(written.size(), expected.size());
    // Grey made by Qt (builds without the JPEG library) weighs the colours a little apart.
    EXPECT_LE(largestDifference(written, expected), 16);
}

INSTANTIATE_TEST_SUITE_P(
    Sources, JpegCopied,
    testing::Values(JpegCopy{"Colour", false, 1, 0, 3}, JpegCopy{"ColourToGrey", false, 1, 8, 1},
                    JpegCopy{"Grey", true, 1, 0, 1}, JpegCopy{"GreyToColour", true, 1, 24, 3},
                    JpegCopy{"TurnedColour", false, 6, 24, 3}),
    [](const testing::TestParamInfo<JpegCopy>& info) { return info.param.name; });

struct Fit {
    QSize image;
    QRect area;
    QRect placed;
};

class FittedRect : public testing::TestWithParam<Fit> {};

TEST_P(FittedRect, ShrinksKeepingProportionsAndCentres) {
    EXPECT_EQ(fittedRect(GetParam().image, GetParam().area), GetParam().placed);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, FittedRect,
    testing::Values(Fit{QSize(800, 600), QRect(0, 0, 400, 300), QRect(0, 0, 400, 300)},
                    Fit{QSize(100, 50), QRect(0, 0, 400, 300), QRect(150, 125, 100, 50)},
                    Fit{QSize(300, 1200), QRect(0, 0, 400, 300), QRect(162, 0, 75, 300)},
                    Fit{QSize(100, 50), QRect(0, 0, 0, 0), QRect()}));

}  // namespace
}  // namespace velmar::image_component
