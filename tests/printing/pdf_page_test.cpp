// The PDF printer's pages read back with other programs' readers: every file passes
// qpdf's check, a JPEG comes out byte for byte, other images pixel for pixel, and the
// page shows each image upright in its true colours.
#include "doubles/page_raster.h"
#include "doubles/temp_home.h"
#include "image_component/image_component.h"
#include "image_files/image_fixtures.h"
#include "image_files/image_loader.h"
#include "image_files/png_stream.h"
#include "printing/page_painter.h"
#include "printing/printer.h"

#include <QColor>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QPrinter>
#include <QProcess>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <future>

namespace velmar::printing {
namespace {

using image_component::configureImageReaders;
using image_component::ImagePrinter;
using image_component::ImageView;
using image_component::makeImageKit;
using image_component::readAhead;
using image_files::LoadedImage;
using image_files::loadImage;
using image_files::PngStream;
using image_files::readPngStream;

// Each pixel is drawn 0.5 mm square, from the printable corner 4.2 mm in.
constexpr int kTenthsPerPixel = 5;
constexpr int kPrintableCorner = 42;

// Quarters red, green, blue and yellow, so that every turn and mirror shows.
QImage quarters() {
    QImage image(80, 40, QImage::Format_RGB888);
    const std::array<QColor, 4> colours{Qt::red, Qt::green, Qt::blue, Qt::yellow};
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            image.setPixelColor(x, y, colours[(y < 20 ? 0 : 2) + (x < 40 ? 0 : 1)]);
        }
    }
    return image;
}

QByteArray contentOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class PdfPage : public testing::Test {
  protected:
    PdfPage() : kit(makeImageKit()) {
        configureImageReaders();
        test::writeFile(home.filePath(QStringLiteral("IkPrn.Ik")), "[Printer]\nName=PDF\n");
        kit->Printer().SettingsFile(home.filePath(QStringLiteral("IkPrn.Ik")));
    }

    QString write(const QString& name, const QByteArray& bytes) const {
        const QString path = home.filePath(name);
        test::writeFile(path, bytes);
        return path;
    }

    // Loads the image, prints it at its pixel size and checks the PDF with qpdf.
    QString print(const QString& imagePath) const {
        kit->File().Path(imagePath);
        EXPECT_TRUE(kit->File().Load(0)) << kit->File().LastError().toStdString();
        ImagePrinter& printer = kit->Printer();
        EXPECT_TRUE(printer.CheckReady(1));
        printer.DocumentName(QStringLiteral("Print Out"));
        printer.BeginDocument();
        printer.BeginPage();
        printer.DrawImage(printer.DeviceContext(), kit->ImageHandle(), 0, 0,
                          kit->PixelWidth() * kTenthsPerPixel, kit->PixelHeight() * kTenthsPerPixel,
                          -1, -1, 1);
        printer.EndPage();
        printer.EndDocument();
        const QString pdf = home.filePath(QStringLiteral("Print Out.pdf"));
        EXPECT_EQ(QProcess::execute(QStringLiteral("qpdf"), {QStringLiteral("--check"), pdf}), 0);
        return pdf;
    }

    // The images of the PDF as pdfimages writes them (-all: JPEG data as it is, else PNG).
    QStringList extracted(const QString& pdf) const {
        const QString prefix = home.filePath(QStringLiteral("out/image"));
        QDir().mkpath(home.filePath(QStringLiteral("out")));
        EXPECT_EQ(
            QProcess::execute(QStringLiteral("pdfimages"), {QStringLiteral("-all"), pdf, prefix}),
            0);
        QStringList files;
        for (const QString& name :
             QDir(home.filePath(QStringLiteral("out"))).entryList(QDir::Files)) {
            files << home.filePath(QStringLiteral("out/") + name);
        }
        return files;
    }

    // The colour printed at the centre of each source pixel's square.
    static QColor printedPixel(const QImage& page, int x, int y) {
        return page.pixelColor(kPrintableCorner + x * kTenthsPerPixel + kTenthsPerPixel / 2,
                               kPrintableCorner + y * kTenthsPerPixel + kTenthsPerPixel / 2);
    }

    test::TempHome home;
    std::unique_ptr<ImageView> kit;
};

void expectClose(const QColor& printed, const QColor& expected, const char* where) {
    constexpr int kJpegTolerance = 48;
    EXPECT_NEAR(printed.red(), expected.red(), kJpegTolerance) << where;
    EXPECT_NEAR(printed.green(), expected.green(), kJpegTolerance) << where;
    EXPECT_NEAR(printed.blue(), expected.blue(), kJpegTolerance) << where;
}

class JpegOrientation : public PdfPage, public testing::WithParamInterface<int> {};

TEST_P(JpegOrientation, DataPassesUnchangedAndThePagePlacesItUpright) {
    test::ExifOptions exif;
    exif.orientation = static_cast<std::uint16_t>(GetParam());
    const QString source =
        write(QStringLiteral("turned.jpg"), test::jpegWithExif(exif, quarters()));
    const QString pdf = print(source);

    const QStringList images = extracted(pdf);
    ASSERT_EQ(images.size(), 1);
    EXPECT_EQ(contentOf(images.front()), contentOf(source));

    QImageReader reader(source);
    reader.setAutoTransform(true);
    const QImage upright = reader.read();
    const QImage page = test::rasterisePdf(pdf, test::kTenthsDpi);
    ASSERT_EQ(kit->PixelWidth(), upright.width());
    for (const QPoint corner :
         {QPoint(0, 0), QPoint(upright.width() - 4, 0), QPoint(0, upright.height() - 4),
          QPoint(upright.width() - 4, upright.height() - 4)}) {
        const QPoint inside = corner + QPoint(2, 2);
        expectClose(printedPixel(page, inside.x(), inside.y()), upright.pixelColor(inside),
                    "corner");
    }
}

INSTANTIATE_TEST_SUITE_P(ExifOrientations, JpegOrientation, testing::Range(1, 9));

// A phone may append megabytes of other data (a video) after the image's end.
// A phone's motion photo: the video after the image stays out of the page.
TEST_F(PdfPage, JpegWithLongTrailingDataPassesWithoutIt) {
    const QByteArray image = test::qtEncoded(quarters(), "JPEG");
    const QByteArray trailer = QByteArray("\xFF\xD8video", 7) + QByteArray(3 << 20, 'v');
    const QString source = write(QStringLiteral("motion.jpg"), image + trailer);
    const QStringList images = extracted(print(source));
    ASSERT_EQ(images.size(), 1);
    EXPECT_EQ(contentOf(images.front()), image);
}

// A CMYK JPEG as image programs write it (Adobe's inverted samples) prints in its colours.
TEST_F(PdfPage, CmykJpegPassesUnchangedInItsColours) {
    const QString rgb = write(QStringLiteral("rgb.png"), test::qtEncoded(quarters(), "PNG"));
    const QString cmyk = home.filePath(QStringLiteral("cmyk.jpg"));
    ASSERT_EQ(QProcess::execute(QStringLiteral("convert"),
                                {rgb, QStringLiteral("-colorspace"), QStringLiteral("CMYK"), cmyk}),
              0);
    const QString pdf = print(cmyk);
    const QStringList images = extracted(pdf);
    ASSERT_EQ(images.size(), 1);
    EXPECT_EQ(contentOf(images.front()), contentOf(cmyk));
    const QImage page = test::rasterisePdf(pdf, test::kTenthsDpi);
    expectClose(printedPixel(page, 10, 10), Qt::red, "red quarter");
    expectClose(printedPixel(page, 70, 30), Qt::yellow, "yellow quarter");
}

struct Lossless {
    const char* name;
    const char* fileName;
    QByteArray file;
    bool laidOnWhite;    // the page holds the file's pixels laid on white, else as they are
    bool passedThrough;  // the PNG's own compressed data goes in
};

// Every sample a noisy pattern, so that any lossy step shows.
QImage noise(QImage::Format format) {
    QImage image(61, 37, format);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            image.setPixelColor(x, y,
                                QColor((x * 37 + y * 11) % 256, (y * 59 + x) % 256,
                                       ((x + y) * 13) % 256, (x * y * 7) % 256));
        }
    }
    return image;
}

QImage onWhite(const QImage& image) {
    QImage flat(image.size(), QImage::Format_RGB888);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            const int alpha = qAlpha(pixel);
            const auto over = [alpha](int sample) {
                return (sample * alpha + 255 * (255 - alpha) + 127) / 255;
            };
            flat.setPixel(x, y, qRgb(over(qRed(pixel)), over(qGreen(pixel)), over(qBlue(pixel))));
        }
    }
    return flat;
}

// Data that cannot be decoded is found before a PDF is named: read through when the image
// is printed, read ahead from the start, or when another file was read ahead.
class DamagedJpeg : public PdfPage, public testing::WithParamInterface<std::string> {};

TEST_P(DamagedJpeg, IsRefusedAndNothingIsWritten) {
    QByteArray jpeg = test::qtEncoded(noise(QImage::Format_RGB888), "JPEG");
    write(QStringLiteral("whole.jpg"), jpeg);
    const qsizetype scan = jpeg.indexOf(QByteArray("\xFF\xDA", 2));
    ASSERT_GT(scan, 0);
    jpeg.replace((scan + jpeg.size()) / 2, 2, QByteArray("\xFF\x27", 2));  // no such marker
    const QString damaged = write(QStringLiteral("damaged.jpg"), jpeg);
    if (!GetParam().empty()) {
        const QString named = home.filePath(QString::fromStdString(GetParam()));
        kit->File().Path(named, readAhead(named));
    }
    if (kit->File().Path() != damaged) {  // a reading ahead of another file is dropped
        kit->File().Path(damaged);
    }
    ASSERT_TRUE(kit->File().Load(0));
    ImagePrinter& printer = kit->Printer();
    ASSERT_TRUE(printer.CheckReady(1));
    printer.BeginDocument();
    printer.BeginPage();
    printer.DrawImage(printer.DeviceContext(), kit->ImageHandle(), 0, 0, 100, 100, -1, -1, 1);
    printer.EndPage();
    EXPECT_THROW(printer.EndDocument(), Error);
    // Neither a PDF nor the hidden file it was written into is left.
    EXPECT_EQ(QDir(home.path())
                  .entryList({QStringLiteral("*.pdf"), QStringLiteral(".velmar-*.tmp")},
                             QDir::Files | QDir::Hidden),
              QStringList());
}

INSTANTIATE_TEST_SUITE_P(ReadAhead, DamagedJpeg, testing::Values("", "damaged.jpg", "whole.jpg"));

// A named pipe on the command line is not opened ahead: that would wait for a writer.
TEST_F(PdfPage, NamedPipeIsNotReadAhead) {
    const QString pipe = home.filePath(QStringLiteral("pipe.jpg"));
    ASSERT_EQ(mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    std::future<bool> started =
        std::async(std::launch::async, [&pipe] { return readAhead(pipe) != nullptr; });
    if (started.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
        QFile writer(pipe);  // lets the waiting open go on, so the test ends
        static_cast<void>(writer.open(QIODevice::WriteOnly));
        FAIL() << "reading ahead waited for a writer";
    }
    EXPECT_FALSE(started.get());
}

class LosslessSource : public PdfPage, public testing::WithParamInterface<Lossless> {};

// The samples of the PDF's image of 16-bit grey or colour samples, as qpdf decodes its
// stream (inflated, row filters undone); pdfimages would give them at 8 bits.
QImage sixteenBitSamples(const QString& pdf, QSize size) {
    const QByteArray bytes = contentOf(pdf);
    const qsizetype dictionary = bytes.indexOf(" 0 obj\n<< /Type /XObject /Subtype /Image");
    const qsizetype lineStart = bytes.lastIndexOf('\n', dictionary) + 1;
    QProcess qpdf;
    qpdf.start(QStringLiteral("qpdf"),
               {QStringLiteral("--show-object=") +
                    QString::fromLatin1(bytes.mid(lineStart, dictionary - lineStart)),
                QStringLiteral("--filtered-stream-data"), pdf});
    qpdf.waitForFinished();
    const QByteArray samples = qpdf.readAllStandardOutput();
    const qsizetype pixels = qsizetype{size.width()} * size.height();
    if (samples.isEmpty() || samples.size() % (pixels * 2) != 0) {
        return {};
    }
    const qsizetype components = samples.size() / (pixels * 2);
    QImage image(size, QImage::Format_RGBX64);
    const auto sample = [&samples](qsizetype at) {
        return static_cast<quint16>((static_cast<unsigned char>(samples[at * 2]) << 8) |
                                    static_cast<unsigned char>(samples[at * 2 + 1]));
    };
    for (qsizetype pixel = 0; pixel < pixels; ++pixel) {
        const qsizetype first = pixel * components;
        const qsizetype next = components == 1 ? 0 : 1;  // grey stands for all three
        image.setPixelColor(
            static_cast<int>(pixel % size.width()), static_cast<int>(pixel / size.width()),
            QColor::fromRgba64(sample(first), sample(first + next), sample(first + 2 * next)));
    }
    return image;
}

// Where two images first differ, compared at 16 bits a sample so that a 16-bit source
// must keep every bit; empty when they are the same.
std::string firstDifference(const QImage& actual, const QImage& expected) {
    if (actual.size() != expected.size()) {
        return "sizes differ";
    }
    for (int y = 0; y < actual.height(); ++y) {
        for (int x = 0; x < actual.width(); ++x) {
            const QRgba64 a = actual.pixelColor(x, y).rgba64();
            const QRgba64 e = expected.pixelColor(x, y).rgba64();
            if (a != e) {
                return QStringLiteral("(%1, %2): %3 %4 %5, expected %6 %7 %8")
                    .arg(x)
                    .arg(y)
                    .arg(a.red())
                    .arg(a.green())
                    .arg(a.blue())
                    .arg(e.red())
                    .arg(e.green())
                    .arg(e.blue())
                    .toStdString();
            }
        }
    }
    return {};
}

TEST_P(LosslessSource, PageHoldsTheSamePixels) {
    const Lossless& lossless = GetParam();
    const QString pdf = print(write(QString::fromLatin1(lossless.fileName), lossless.file));
    const QImage decoded = QImage::fromData(lossless.file);
    ASSERT_FALSE(decoded.isNull());
    const QImage expected = lossless.laidOnWhite ? onWhite(decoded) : decoded;
    if (expected.depth() == 16 || expected.depth() == 64) {
        EXPECT_EQ(firstDifference(sixteenBitSamples(pdf, expected.size()), expected), "");
    } else {
        // pdfimages writes a 1-bit palette image as black and white: the page is read.
        const QImage page = test::rasterisePdf(pdf, test::kTenthsDpi);
        QImage printed(expected.size(), QImage::Format_RGB888);
        for (int y = 0; y < printed.height(); ++y) {
            for (int x = 0; x < printed.width(); ++x) {
                printed.setPixelColor(x, y, printedPixel(page, x, y));
            }
        }
        EXPECT_EQ(firstDifference(printed, expected), "");
    }
    const std::optional<PngStream> stream = readPngStream(lossless.file);
    QByteArray data;
    if (stream) {
        for (const QByteArrayView piece : stream->data) {
            data += piece;
        }
    }
    EXPECT_EQ(stream && contentOf(pdf).contains(data), lossless.passedThrough);
}

// Palettes of fewer colours than their indices reach, with indices past them.
test::PngSamples palette(int depth, int colours, int indexLimit) {
    test::PngSamples samples{61, 37, depth, 3, {}, indexLimit, {}};
    for (int entry = 0; entry < colours; ++entry) {
        samples.palette += QByteArray::fromStdString({static_cast<char>(entry * 47),
                                                      static_cast<char>(255 - entry * 13),
                                                      static_cast<char>(entry * 101)});
    }
    return samples;
}

test::PngSamples withTransparency(test::PngSamples samples, QByteArray transparency) {
    samples.transparency = std::move(transparency);
    return samples;
}

Lossless fromSamples(const char* name, const test::PngSamples& samples, bool passedThrough) {
    return Lossless{name, "source.png", test::pngFromSamples(samples),
                    !samples.transparency.isEmpty(), passedThrough};
}

// Noise of the given format as Qt writes it in kind ("PNG", "BMP").
Lossless fromQt(const char* name, const char* fileName, QImage::Format format, const char* kind,
                bool passedThrough) {
    return Lossless{name, fileName, test::qtEncoded(noise(format), kind),
                    format == QImage::Format_ARGB32, passedThrough};
}

INSTANTIATE_TEST_SUITE_P(
    Sources, LosslessSource,
    testing::Values(
        fromQt("Colour", "source.png", QImage::Format_RGB888, "PNG", true),
        fromQt("Grey", "source.png", QImage::Format_Grayscale8, "PNG", true),
        // Read by what the file holds, not by what its name says.
        fromQt("PngNamedJpeg", "source.jpg", QImage::Format_RGB888, "PNG", true),
        fromSamples("SixteenBitColour", {61, 37, 16, 2, {}, 0, {}}, true),
        fromSamples("SixteenBitGrey", {61, 37, 16, 0, {}, 0, {}}, true),
        fromSamples("OneBitGrey", {61, 37, 1, 0, {}, 0, {}}, true),
        fromSamples("TwoBitGrey", {61, 37, 2, 0, {}, 0, {}}, true),
        fromSamples("FourBitGrey", {61, 37, 4, 0, {}, 0, {}}, true),
        fromSamples("OneBitPalette", palette(1, 2, 2), true),
        fromSamples("TwoBitPalette", palette(2, 3, 4), true),
        fromSamples("FourBitPalette", palette(4, 11, 16), true),
        fromSamples("EightBitPalette", palette(8, 200, 256), true),
        fromSamples("PaletteWithTransparencyOnWhite",
                    withTransparency(palette(8, 200, 200), QByteArray(100, '\x80')), false),
        fromQt("TransparencyOnWhite", "source.png", QImage::Format_ARGB32, "PNG", false),
        fromQt("ColourBitmap", "source.bmp", QImage::Format_RGB888, "BMP", false),
        fromQt("GreyBitmap", "source.bmp", QImage::Format_Grayscale8, "BMP", false)),
    [](const testing::TestParamInfo<Lossless>& info) { return info.param.name; });

// The same pages drawn through QPainter, the way Windows printers get them: on a PDF
// printer here, whose painter counts in device pixels from the paper's corner too.
class PaintedPage : public PdfPage {
  protected:
    [[nodiscard]] QString paint(const std::vector<Page>& pages, const QString& name) const {
        const QString pdf = home.filePath(name);
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        printer.setPageSize(QPageSize(QPageSize::A4));
        paintPages(printer, pages, QPointF(kPdfMarginMm, kPdfMarginMm));
        return pdf;
    }

    // More pixels than a 1200 dpi device prints at 60 mm x 30 mm: scaled down, same place.
    static Placement black(const QRectF& tenths) {
        QImage pixels(4000, 2000, QImage::Format_Grayscale8);
        pixels.fill(0);
        return Placement{PageImage{{}, {}, {}, pixels, {}}, tenths};
    }
};

TEST_F(PaintedPage, ImagesLandAtTheirPlaceAndATurnedJpegUpright) {
    test::ExifOptions exif;
    exif.orientation = 6;
    const QString jpeg = write(QStringLiteral("turned.jpg"), test::jpegWithExif(exif, quarters()));
    const LoadedImage loaded = loadImage(jpeg);
    const QSize upright = loaded.size;
    const Placement turned{
        PageImage{jpeg, loaded.jpeg, loaded.transformation, {}, {}},
        QRectF(0, 0, upright.width() * kTenthsPerPixel, upright.height() * kTenthsPerPixel)};
    const QString pdf =
        paint({Page{turned, black(QRectF(1003, 1507, 600, 300))}}, QStringLiteral("painted.pdf"));

    const QImage page = test::rasterisePdf(pdf, test::kTenthsDpi);
    QImageReader reader(jpeg);
    reader.setAutoTransform(true);
    const QImage expected = reader.read();
    for (const QPoint inside : {QPoint(2, 2), QPoint(upright.width() - 3, upright.height() - 3)}) {
        expectClose(printedPixel(page, inside.x(), inside.y()), expected.pixelColor(inside),
                    "corner");
    }
    const QRect ink =
        test::inkBounds(test::rasterisePdf(pdf, test::kTenthsDpi, QRect(1000, 1500, 700, 400)));
    EXPECT_NEAR(ink.x(), kPrintableCorner + 3, 1);
    EXPECT_NEAR(ink.y(), kPrintableCorner + 7, 1);
    EXPECT_NEAR(ink.width(), 600, 1);
    EXPECT_NEAR(ink.height(), 300, 1);
}

TEST_F(PaintedPage, DocumentThatCannotStartIsAnError) {
    EXPECT_THROW((void)paint({Page{black(QRectF(0, 0, 60, 30))}}, QStringLiteral("no/such/x.pdf")),
                 Error);
}

}  // namespace
}  // namespace velmar::printing
