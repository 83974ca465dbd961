#include "printing/pdf_document.h"

#include "base/app_title.h"
#include "base/error.h"

#include <QByteArray>
#include <QFile>
#include <QIODevice>
#include <QPointF>

#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <functional>

namespace velmar::printing {

using image_files::JpegLayout;

namespace {

constexpr qint64 kCopyChunk = qint64{1} << 20;
// Decoded pixels go in as PNG "Sub" rows (each sample less the one a pixel before), packed
// with run lengths and Huffman codes only. On a 24-megapixel photo this took 0.44 of the time
// of zlib's fastest level without rows filtered, and made 0.75 of its size; flat pictures
// still shrink to under a hundredth of their bytes.
constexpr int kFlateLevel = Z_BEST_SPEED;
constexpr int kFlateStrategy = Z_RLE;
constexpr int kFlateWindowBits = 15;
constexpr int kFlateMemoryLevel = 8;
constexpr std::uint8_t kSubFilter = 1;

[[noreturn]] void raiseWriteFailure(const QIODevice& device) {
    throw Error(QStringLiteral("PDF を書き込めません (%1)").arg(device.errorString()));
}

// A number as PDF writes it: up to six decimals (a millionth of a point), no exponent, no trailing
// zeros.
QByteArray pdfNumber(double value) {
    QByteArray text = QByteArray::number(value, 'f', 6);
    while (text.endsWith('0')) {
        text.chop(1);
    }
    if (text.endsWith('.')) {
        text.chop(1);
    }
    return text == "-0" ? QByteArray("0") : text;
}

// A text string in UTF-16 with its byte-order mark, written in hex.
QByteArray pdfText(const QString& text) {
    QByteArray hex("<FEFF");
    for (const QChar character : text) {
        hex += QByteArray::number(character.unicode(), 16).rightJustified(4, '0').toUpper();
    }
    return hex + '>';
}

// Sequential output that counts its bytes and remembers where each object starts.
class PdfOutput {
  public:
    explicit PdfOutput(QIODevice& device) : device_(device) {}

    void write(const char* data, qint64 length) {
        if (length > 0 && device_.write(data, length) != length) {
            raiseWriteFailure(device_);
        }
        position_ += length;
    }
    void write(const QByteArray& bytes) { write(bytes.constData(), bytes.size()); }

    int newObject() {
        offsets_.push_back(-1);
        return static_cast<int>(offsets_.size());
    }
    void beginObject(int number) {
        offsets_[static_cast<std::size_t>(number - 1)] = position_;
        write(QByteArray::number(number) + " 0 obj\n");
    }
    void object(int number, const QByteArray& body) {
        beginObject(number);
        write(body + "\nendobj\n");
    }

    [[nodiscard]] qint64 position() const { return position_; }

    void finish(int catalog, int info) {
        const qint64 xref = position_;
        QByteArray table =
            "xref\n0 " + QByteArray::number(offsets_.size() + 1) + "\n0000000000 65535 f \n";
        for (const qint64 offset : offsets_) {
            table += QByteArray::number(offset).rightJustified(10, '0') + " 00000 n \n";
        }
        table += "trailer\n<< /Size " + QByteArray::number(offsets_.size() + 1) + " /Root " +
                 QByteArray::number(catalog) + " 0 R /Info " + QByteArray::number(info) +
                 " 0 R >>\nstartxref\n" + QByteArray::number(xref) + "\n%%EOF\n";
        write(table);
    }

  private:
    QIODevice& device_;
    qint64 position_ = 0;
    std::vector<qint64> offsets_;
};

// --- image data ----------------------------------------------------------------------

void copyJpeg(PdfOutput& out, const QString& path, const JpegLayout& layout) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() != layout.fileSize) {
        throw Error(QStringLiteral("画像ﾌｧｲﾙ %1 が読み込んだ後で変わりました").arg(path));
    }
    QByteArray chunk(kCopyChunk, Qt::Uninitialized);
    qint64 copied = 0;
    // Only the image: data a file carries after it (an appended video) stays out.
    while (copied < layout.imageLength) {
        const qint64 read =
            file.read(chunk.data(), std::min(kCopyChunk, layout.imageLength - copied));
        if (read <= 0) {
            throw Error(QStringLiteral("画像ﾌｧｲﾙ %1 を読み込めません").arg(path));
        }
        out.write(chunk.constData(), read);
        copied += read;
    }
}

// Pixels of the formats a PDF image takes: 8-bit grey or 8-bit RGB.
bool isGreyImage(const QImage& image) {
    return image.format() == QImage::Format_Grayscale8;
}

// One row as 8-bit grey or RGB samples; transparency is laid on white.
class RowReader {
  public:
    explicit RowReader(const QImage& image) : image_(image) {
        if (!isGreyImage(image) && image.format() != QImage::Format_RGB888 &&
            image.format() != QImage::Format_ARGB32 &&
            image.format() != QImage::Format_ARGB32_Premultiplied) {
            converted_ = image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB888;
        }
        rowLength_ = static_cast<qsizetype>(image.width()) * (isGreyImage(image) ? 1 : 3);
        row_.resize(rowLength_);
    }

    [[nodiscard]] qsizetype rowLength() const { return rowLength_; }

    const std::uint8_t* row(int y) {
        if (converted_ != QImage::Format_Invalid) {
            const QImage one = image_.copy(0, y, image_.width(), 1).convertToFormat(converted_);
            return rowOf(one, 0);
        }
        return rowOf(image_, y);
    }

  private:
    const std::uint8_t* rowOf(const QImage& image, int y) {
        const uchar* line = image.constScanLine(y);
        switch (image.format()) {
            case QImage::Format_Grayscale8:
            case QImage::Format_RGB888:
                if (&image == &image_) {
                    return line;
                }
                std::copy_n(line, rowLength_, row_.begin());
                return row_.data();
            case QImage::Format_ARGB32:
                flatten(reinterpret_cast<const QRgb*>(line), image.width(), false);
                return row_.data();
            case QImage::Format_ARGB32_Premultiplied:
                flatten(reinterpret_cast<const QRgb*>(line), image.width(), true);
                return row_.data();
            default:
                throw Error(QStringLiteral("この画像形式は印刷できません"));
        }
    }

    // Each sample laid over white: c·a + 255·(255 − a), divided by 255 to the nearest.
    void flatten(const QRgb* pixels, int width, bool premultiplied) {
        std::uint8_t* out = row_.data();
        for (int x = 0; x < width; ++x) {
            const QRgb pixel = pixels[x];
            const int alpha = qAlpha(pixel);
            for (const int sample : {qRed(pixel), qGreen(pixel), qBlue(pixel)}) {
                *out++ = static_cast<std::uint8_t>(
                    premultiplied ? sample + 255 - alpha
                                  : (sample * alpha + 255 * (255 - alpha) + 127) / 255);
            }
        }
    }

    const QImage& image_;
    QImage::Format converted_ = QImage::Format_Invalid;  // Invalid: rows are read as they are
    qsizetype rowLength_ = 0;
    std::vector<std::uint8_t> row_;
};

// zlib's deflate, row by row, into the output.
class FlateWriter {
  public:
    explicit FlateWriter(PdfOutput& out) : out_(out), buffer_(kCopyChunk) {
        if (deflateInit2(&stream_, kFlateLevel, Z_DEFLATED, kFlateWindowBits, kFlateMemoryLevel,
                         kFlateStrategy) != Z_OK) {
            throw Error(QStringLiteral("PDF の圧縮を開始できません"));
        }
    }
    ~FlateWriter() { deflateEnd(&stream_); }
    FlateWriter(const FlateWriter&) = delete;
    FlateWriter& operator=(const FlateWriter&) = delete;
    FlateWriter(FlateWriter&&) = delete;
    FlateWriter& operator=(FlateWriter&&) = delete;

    void add(const std::uint8_t* data, qsizetype length) {
        // zlib counts in uInt; a row is far below its range.
        stream_.next_in = const_cast<Bytef*>(data);  // zlib's API is not const-correct
        stream_.avail_in = static_cast<uInt>(length);
        while (stream_.avail_in > 0) {
            pump(Z_NO_FLUSH);
        }
    }
    void finish() {
        while (pump(Z_FINISH) != Z_STREAM_END) {
        }
    }

  private:
    int pump(int flush) {
        stream_.next_out = buffer_.data();
        stream_.avail_out = static_cast<uInt>(buffer_.size());
        const int result = deflate(&stream_, flush);
        if (result == Z_STREAM_ERROR) {
            throw Error(QStringLiteral("PDF の圧縮に失敗しました"));
        }
        out_.write(reinterpret_cast<const char*>(buffer_.data()),
                   static_cast<qint64>(buffer_.size() - stream_.avail_out));
        return result;
    }

    PdfOutput& out_;
    std::vector<Bytef> buffer_;
    z_stream stream_{};
};

// Each row as PNG writes a "Sub" row: the filter's number, then every sample less the one
// a pixel before it.
void deflatePixels(PdfOutput& out, const QImage& image) {
    RowReader rows(image);
    const qsizetype pixelLength = isGreyImage(image) ? 1 : 3;
    std::vector<std::uint8_t> filtered(static_cast<std::size_t>(rows.rowLength()) + 1);
    filtered[0] = kSubFilter;
    FlateWriter flate(out);
    for (int y = 0; y < image.height(); ++y) {
        const std::uint8_t* row = rows.row(y);
        std::copy_n(row, pixelLength, filtered.begin() + 1);
        for (qsizetype i = pixelLength; i < rows.rowLength(); ++i) {
            filtered[static_cast<std::size_t>(i) + 1] =
                static_cast<std::uint8_t>(row[i] - row[i - pixelLength]);
        }
        flate.add(filtered.data(), static_cast<qsizetype>(filtered.size()));
    }
    flate.finish();
}

QByteArray colourSpace(int components) {
    switch (components) {
        case 1:
            return "/DeviceGray";
        case 4:
            return "/DeviceCMYK";
        default:
            return "/DeviceRGB";
    }
}

// The colours of a palette's indices, as many as its bit depth can reach: an index past the
// file's own colours shows the first, as the file's reader shows it.
QByteArray indexedColourSpace(const image_files::PngStream& png) {
    QByteArray colours = png.palette;
    const qsizetype reachable = qsizetype{3} << png.bitsPerComponent;
    while (colours.size() < reachable) {
        colours += png.palette.left(3);
    }
    return "[/Indexed /DeviceRGB " + QByteArray::number(reachable / 3 - 1) + " <" +
           colours.toHex() + ">]";
}

QByteArray imageDictionary(const PageImage& image, int lengthObject) {
    int components = 0;
    int bits = 8;
    QSize size;
    QByteArray space;
    if (image.jpeg) {
        components = image.jpeg->components;
        size = image.jpeg->storedSize;
    } else if (image.png) {
        components = image.png->components;
        bits = image.png->bitsPerComponent;
        size = image.png->size;
        if (!image.png->palette.isEmpty()) {
            space = indexedColourSpace(*image.png);
        }
    } else {
        components = isGreyImage(image.pixels) ? 1 : 3;
        size = image.pixels.size();
    }
    QByteArray dictionary = "<< /Type /XObject /Subtype /Image /Width " +
                            QByteArray::number(size.width()) + " /Height " +
                            QByteArray::number(size.height()) + " /ColorSpace " +
                            (space.isEmpty() ? colourSpace(components) : space) +
                            " /BitsPerComponent " + QByteArray::number(bits);
    if (image.jpeg) {
        dictionary += " /Filter /DCTDecode";
        // Adobe's CMYK JPEGs store every sample inverted.
        if (components == 4 && image.jpeg->adobe) {
            dictionary += " /Decode [1 0 1 0 1 0 1 0]";
        }
    } else {
        // Each row starts with the PNG filter type its bytes were made with.
        dictionary += " /Filter /FlateDecode /DecodeParms << /Predictor 15 /Colors " +
                      QByteArray::number(components) + " /BitsPerComponent " +
                      QByteArray::number(bits) + " /Columns " + QByteArray::number(size.width()) +
                      " >>";
    }
    return dictionary + " /Length " + QByteArray::number(lengthObject) + " 0 R >>";
}

// Writes the image XObject and its length object; returns the image's object number.
int writeImage(PdfOutput& out, const PageImage& image) {
    const int number = out.newObject();
    const int length = out.newObject();
    out.beginObject(number);
    out.write(imageDictionary(image, length) + "\nstream\n");
    const qint64 start = out.position();
    if (image.jpeg) {
        copyJpeg(out, image.jpegPath, *image.jpeg);
    } else if (image.png) {
        for (const QByteArrayView piece : image.png->data) {
            out.write(piece.data(), piece.size());
        }
    } else {
        deflatePixels(out, image.pixels);
    }
    const qint64 dataLength = out.position() - start;
    out.write(QByteArray("\nendstream\nendobj\n"));
    out.object(length, QByteArray::number(dataLength));
    return number;
}

QByteArray matrixText(const std::array<double, 6>& matrix) {
    QByteArray text;
    for (const double value : matrix) {
        text += pdfNumber(value) + ' ';
    }
    return text + "cm";
}

int writePage(PdfOutput& out, const PdfPage& page, int parent) {
    QByteArray resources;
    QByteArray content;
    for (std::size_t index = 0; index < page.placements.size(); ++index) {
        const PagePlacement& placement = page.placements[index];
        const int image = writeImage(out, placement.image);
        const QByteArray name = "/Im" + QByteArray::number(static_cast<qulonglong>(index + 1));
        resources += name + ' ' + QByteArray::number(image) + " 0 R ";
        content += "q " +
                   matrixText(placementMatrix(placement.rect, page.size.height(),
                                              placement.image.jpeg
                                                  ? placement.image.transformation
                                                  : QImageIOHandler::TransformationNone)) +
                   ' ' + name + " Do Q\n";
    }
    const int contents = out.newObject();
    out.object(contents, "<< /Length " + QByteArray::number(content.size()) + " >>\nstream\n" +
                             content + "\nendstream");
    const int number = out.newObject();
    out.object(number, "<< /Type /Page /Parent " + QByteArray::number(parent) +
                           " 0 R /MediaBox [0 0 " + pdfNumber(page.size.width()) + ' ' +
                           pdfNumber(page.size.height()) + "] /Resources << /XObject << " +
                           resources + ">> >> /Contents " + QByteArray::number(contents) +
                           " 0 R >>");
    return number;
}

bool holdsSixteenBitSamples(const std::vector<PdfPage>& pages) {
    return std::any_of(pages.begin(), pages.end(), [](const PdfPage& page) {
        return std::any_of(
            page.placements.begin(), page.placements.end(), [](const PagePlacement& placement) {
                return placement.image.png && placement.image.png->bitsPerComponent == 16;
            });
    });
}

}  // namespace

std::array<double, 6> placementMatrix(const QRectF& rect, double pageHeight,
                                      QImageIOHandler::Transformations turn) {
    // Where a point of the stored image (s right, t down, both 0..1) lands on the page:
    // mirror and flip first, then a quarter turn clockwise, as the image readers do.
    const auto onPage = [&](double s, double t) {
        if (turn.testFlag(QImageIOHandler::TransformationMirror)) {
            s = 1.0 - s;
        }
        if (turn.testFlag(QImageIOHandler::TransformationFlip)) {
            t = 1.0 - t;
        }
        if (turn.testFlag(QImageIOHandler::TransformationRotate90)) {
            const double turnedS = 1.0 - t;
            t = s;
            s = turnedS;
        }
        return QPointF(rect.left() + s * rect.width(),
                       pageHeight - (rect.top() + t * rect.height()));
    };
    // PDF's image space has (0, 0) at the stored image's bottom-left corner.
    const QPointF origin = onPage(0.0, 1.0);
    const QPointF alongU = onPage(1.0, 1.0) - origin;
    const QPointF alongV = onPage(0.0, 0.0) - origin;
    return {alongU.x(), alongU.y(), alongV.x(), alongV.y(), origin.x(), origin.y()};
}

void writePdf(QIODevice& device, const std::vector<PdfPage>& pages, const QString& title) {
    PdfOutput out(device);
    // 16 bits a sample came with PDF 1.5. The comment with bytes above 127 marks the file
    // as binary for transfer programs.
    out.write("%PDF-1." + QByteArray(holdsSixteenBitSamples(pages) ? "5" : "4") +
              "\n%\xE2\xE3\xCF\xD3\n");
    const int catalog = out.newObject();
    const int tree = out.newObject();
    const int info = out.newObject();
    out.object(catalog, "<< /Type /Catalog /Pages " + QByteArray::number(tree) + " 0 R >>");
    out.object(info, "<< /Title " + pdfText(title) + " /Producer " +
                         pdfText(QLatin1String(kAppTitle)) + " >>");
    QByteArray kids;
    for (const PdfPage& page : pages) {
        kids += QByteArray::number(writePage(out, page, tree)) + " 0 R ";
    }
    out.object(tree, "<< /Type /Pages /Kids [" + kids + "] /Count " +
                         QByteArray::number(static_cast<qulonglong>(pages.size())) + " >>");
    out.finish(catalog, info);
}

}  // namespace velmar::printing
