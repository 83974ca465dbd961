#include "image_files/image_loader.h"

#include "image_files/jpeg_pixels.h"

#include "base/error.h"
#include "platform/diagnostics.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QList>
#include <QTransform>

#include <algorithm>
#include <cmath>
#include <limits>
#include <thread>
#include <utility>

namespace velmar::image_files {

namespace {

// Every decoded pixel takes at least four bytes in the formats Qt converts to.
constexpr qint64 kBytesPerPixel = 4;
constexpr double kInchesPerMetre = 1.0 / 0.0254;

QString unreadableText(const QString& reason) {
    return QStringLiteral("画像ﾃﾞｰﾀを読み取れません (%1)").arg(reason);
}

QString sizeText(QSize size) {
    return QStringLiteral("%1 × %2 ﾋﾟｸｾﾙ").arg(size.width()).arg(size.height());
}

// Opens the file for every reading of the load; a named pipe or a folder is refused before
// it is opened, which could wait for a writer.
void openImageFile(QFile& file) {
    const QFileInfo info(file.fileName());
    if (!info.exists()) {
        throw Error(QStringLiteral("ﾌｧｲﾙが見つかりません"));
    }
    if (!info.isFile() || !info.isReadable() || !file.open(QIODevice::ReadOnly)) {
        throw Error(QStringLiteral("ﾌｧｲﾙを開けません"));
    }
}

void checkDecodable(QImageReader& reader) {
    if (!reader.canRead()) {
        throw Error(QStringLiteral("画像の形式が読み取れません"));
    }
    const QSize size = reader.size();
    if (size.isValid() && exceedsAllocationLimit(size)) {
        throw Error(QStringLiteral("画像が大きすぎます (%1)").arg(sizeText(size)));
    }
}

constexpr qint64 kLongestSignature = 12;

// The format a file's first bytes name, among those photos and scans come in; empty when
// they name none of them.
QByteArray formatByContent(const QByteArray& head) {
    const auto at = [&head](qsizetype offset, QByteArrayView signature) {
        return head.sliced(std::min(offset, head.size())).startsWith(signature);
    };
    if (at(0, "\x89PNG\r\n\x1a\n")) {
        return "png";
    }
    if (at(0, "\xFF\xD8\xFF")) {
        return "jpeg";
    }
    if (at(0, "GIF87a") || at(0, "GIF89a")) {
        return "gif";
    }
    if (at(0, QByteArrayView("II*\0", 4)) || at(0, QByteArrayView("MM\0*", 4))) {
        return "tiff";
    }
    if (at(0, "RIFF") && at(8, "WEBP")) {
        return "webp";
    }
    if (at(0, "BM")) {
        return "bmp";
    }
    return {};
}

// Sets the reader on the open file so that it asks only the handler of the format the
// file's first bytes name: left to itself, the reader loads every image-format plugin to
// ask each whether it takes the file. A file of another format, or one that handler does
// not take, is left to the reader's own detection.
void openByContent(QImageReader& reader, QFile& file) {
    reader.setDevice(&file);
    const QByteArray format = formatByContent(file.peek(kLongestSignature));
    if (format.isEmpty()) {
        return;
    }
    reader.setFormat(format);
    reader.setAutoDetectImageFormat(false);
    if (!reader.canRead()) {
        file.seek(0);
        reader.setFormat({});
        reader.setAutoDetectImageFormat(true);
        reader.setDevice(&file);
    }
}

// The same for a file the reader opens itself.
void openByContent(QImageReader& reader, const QString& path) {
    reader.setFileName(path);
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly)) {
        return;
    }
    const QByteArray format = formatByContent(file.read(kLongestSignature));
    if (format.isEmpty()) {
        return;
    }
    reader.setFormat(format);
    reader.setAutoDetectImageFormat(false);
    if (!reader.canRead()) {
        reader.setFileName(path);
        reader.setFormat({});
        reader.setAutoDetectImageFormat(true);
    }
}

[[noreturn]] void raiseUnreadable(const QString& reason) {
    throw Error(unreadableText(reason));
}

bool turnsSideways(QImageIOHandler::Transformations transformation) {
    return transformation.testFlag(QImageIOHandler::TransformationRotate90);
}

// A resolution no picture can have counts as none recorded, so the image prints at the
// size of one without any, rather than as a speck or a strip; one line says so.
RecordedResolution plausibleResolution(const QString& path, RecordedResolution resolution) {
    if (isPlausible(resolution)) {
        return resolution;
    }
    platform::writeDiagnostic(
        QStringLiteral("画像ﾌｧｲﾙ %1 に記録された解像度 %2 × %3 dpi はありえない値なので、"
                       "記録がないものとして扱います")
            .arg(path)
            .arg(resolution.x)
            .arg(resolution.y));
    return {};
}

RecordedResolution uprightResolution(QFile& file, QImageIOHandler::Transformations transformation) {
    RecordedResolution resolution =
        plausibleResolution(file.fileName(), readRecordedResolution(file));
    if (turnsSideways(transformation)) {
        std::swap(resolution.x, resolution.y);
    }
    return resolution;
}

// The recorded resolution goes with the pixels, so that a saved copy keeps it.
void attachResolution(QImage& image, RecordedResolution resolution) {
    image.setDotsPerMeterX(static_cast<int>(std::nearbyint(resolution.x * kInchesPerMetre)));
    image.setDotsPerMeterY(static_cast<int>(std::nearbyint(resolution.y * kInchesPerMetre)));
}

QImage decodeUpright(const QString& path) {
    QImageReader reader;
    openByContent(reader, path);
    reader.setAutoTransform(true);
    QImage image;
    if (!reader.read(&image) || image.isNull()) {
        raiseUnreadable(reader.errorString());
    }
    return compacted(std::move(image));
}

// Turns stored pixels upright the way the image readers do: mirror and flip, then a
// quarter turn clockwise.
QImage turnedUpright(QImage image, QImageIOHandler::Transformations turn) {
    image.mirror(turn.testFlag(QImageIOHandler::TransformationMirror),
                 turn.testFlag(QImageIOHandler::TransformationFlip));
    if (turn.testFlag(QImageIOHandler::TransformationRotate90)) {
        constexpr qreal kQuarterTurn = 90.0;
        image = compacted(image.transformed(QTransform().rotate(kQuarterTurn)));
    }
    return image;
}

// The JPEG's pixels decoded directly into their compact format when the JPEG library
// takes the file, else by Qt's reader.
QImage decodeJpegUpright(const QString& path, QImageIOHandler::Transformations transformation) {
    if (std::optional<QImage> stored = decodeJpegPixels(path)) {
        return turnedUpright(std::move(*stored), transformation);
    }
    return decodeUpright(path);
}

[[noreturn]] void raiseChanged(const QString& path) {
    throw Error(QStringLiteral("画像ﾌｧｲﾙ %1 が読み込んだ後で変わりました").arg(path));
}

QByteArray wholeFile(QFile& file) {
    QByteArray bytes;
    if (!file.seek(0) || (bytes = file.readAll()).size() != file.size()) {
        raiseUnreadable(file.errorString());
    }
    return bytes;
}

// The palette's colours as the file's reader holds them, opaque.
QList<QRgb> paletteColours(const QByteArray& palette) {
    QList<QRgb> colours;
    for (qsizetype entry = 0; entry + 2 < palette.size(); entry += 3) {
        colours << qRgb(static_cast<unsigned char>(palette[entry]),
                        static_cast<unsigned char>(palette[entry + 1]),
                        static_cast<unsigned char>(palette[entry + 2]));
    }
    return colours;
}

// Whether the image's colours are the greys a PDF reader gives samples of this depth, evenly
// from black to white. A 1-bit image may keep its bits flipped, with black and white
// swapped in its colours.
bool holdsEvenGreys(const QImage& decoded, int depth) {
    if (decoded.format() == QImage::Format_Mono) {
        const QList<QRgb> colours = decoded.colorTable();
        return depth == 1 && colours.size() == 2 &&
               ((colours[0] == qRgb(0, 0, 0) && colours[1] == qRgb(255, 255, 255)) ||
                (colours[0] == qRgb(255, 255, 255) && colours[1] == qRgb(0, 0, 0)));
    }
    const int steps = (1 << depth) - 1;
    if (decoded.format() != QImage::Format_Indexed8 || decoded.colorCount() != steps + 1) {
        return false;
    }
    for (int index = 0; index <= steps; ++index) {
        const int grey = index * 255 / steps;
        if (decoded.color(index) != qRgb(grey, grey, grey)) {
            return false;
        }
    }
    return true;
}

// Whether a PDF reader decodes the stream to the pixels the file's reader gave, in the
// format that reader gave them.
bool sameAsDecoded(const PngStream& png, const QImage& decoded) {
    if (png.size != decoded.size() || decoded.hasAlphaChannel()) {
        return false;
    }
    if (!png.palette.isEmpty()) {
        return (decoded.format() == QImage::Format_Indexed8 ||
                decoded.format() == QImage::Format_Mono) &&
               decoded.colorTable() == paletteColours(png.palette);
    }
    switch (png.bitsPerComponent) {
        case 8:
            return decoded.format() ==
                   (png.components == 1 ? QImage::Format_Grayscale8 : QImage::Format_RGB32);
        case 16:
            return decoded.format() ==
                   (png.components == 1 ? QImage::Format_Grayscale16 : QImage::Format_RGBX64);
        default:  // grey of 1, 2 or 4 bits
            return decoded.format() == QImage::Format_Grayscale8 ||
                   holdsEvenGreys(decoded, png.bitsPerComponent);
    }
}

}  // namespace

// Reads the data through with the JPEG library on a thread of its own, which touches no
// toolkit state and so may start before the toolkit does; dropping the object stops the
// reading at the next row and waits for the thread.
class JpegDataCheck {
  public:
    explicit JpegDataCheck(QString path) : JpegDataCheck(std::move(path), nullptr) {}
    // Reads through the file at path that opened is open on already.
    JpegDataCheck(QString path, std::unique_ptr<QFile> opened)
        : path_(std::move(path)),
          opened_(std::move(opened)),
          thread_([this](const std::stop_token& stop) {
              reading_ =
                  opened_ ? readJpegDataThrough(*opened_, stop) : readJpegDataThrough(path_, stop);
          }) {}

    [[nodiscard]] const QString& path() const { return path_; }

    // The reason the data cannot be decoded, or nothing when all of it can.
    std::optional<QString> damage() {
        if (thread_.joinable()) {
            thread_.join();
        }
        if (reading_.outcome == JpegDataReading::Outcome::kNotRead) {
            reading_ = readJpegDataThrough(path_, {});  // only a stopped reading is not read
        }
        if (reading_.outcome == JpegDataReading::Outcome::kDamaged) {
            return reading_.reason;
        }
        return std::nullopt;
    }

  private:
    const QString path_;
    const std::unique_ptr<QFile> opened_;  // used by the thread only while it runs
    JpegDataReading reading_;
    std::jthread thread_;  // last, so that it starts after and stops before the rest
};

namespace {

// A JPEG that goes onto the page as it is. Its markers are checked now; its compressed
// data is read through on a thread of its own from now on (see dataCheckFor()).
std::optional<LoadedImage> passThroughJpeg(QFile& file, QImageReader& reader,
                                           std::shared_ptr<JpegDataCheck> readAhead) {
    const QString path = file.fileName();
    // The reader has the header it read for the size; asked before the file moves on.
    const QImageIOHandler::Transformations transformation = reader.transformation();
    const std::optional<JpegLayout> layout = readJpegLayout(file);
    if (layout && !layout->complete) {
        raiseUnreadable(QStringLiteral("ﾌｧｲﾙが途中で切れています"));
    }
    if (!layout || !layout->passable) {
        return std::nullopt;
    }
    const QSize stored = layout->storedSize;
    LoadedImage loaded;
    loaded.path = path;
    loaded.transformation = transformation;
    loaded.size = turnsSideways(loaded.transformation) ? stored.transposed() : stored;
    loaded.resolution = uprightResolution(file, loaded.transformation);
    loaded.jpeg = layout;
    loaded.dataCheck = readAhead ? std::move(readAhead) : std::make_shared<JpegDataCheck>(path);
    return loaded;
}

}  // namespace

DamagedImage::DamagedImage(QString path, const QString& reason)
    : Error(unreadableText(reason)), path_(std::move(path)) {}

bool exceedsAllocationLimit(QSize pixelSize) {
    const qint64 bytes = qint64{pixelSize.width()} * qint64{pixelSize.height()} * kBytesPerPixel;
    return bytes > qint64{kImageAllocationLimitMiB} * 1024 * 1024;
}

QImage compacted(QImage image) {
    switch (image.format()) {
        case QImage::Format_Grayscale8:
        case QImage::Format_RGB888:
        case QImage::Format_ARGB32:
            return image;
        case QImage::Format_Mono:
        case QImage::Format_MonoLSB:
        case QImage::Format_Indexed8:
            if (image.isGrayscale() && !image.hasAlphaChannel()) {
                image.convertTo(QImage::Format_Grayscale8);
                return image;
            }
            break;
        case QImage::Format_Grayscale16:
            image.convertTo(QImage::Format_Grayscale8);
            return image;
        default:
            break;
    }
    image.convertTo(image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB888);
    return image;
}

std::shared_ptr<JpegDataCheck> readAhead(const QString& path) {
    // Only a regular file: opening a named pipe would wait for a writer.
    if (!QFileInfo(path).isFile()) {
        return {};
    }
    // The file opened to look at its start is the one read through.
    auto file = std::make_unique<QFile>(path);
    constexpr qint64 kStartOfImageLength = 2;
    if (!file->open(QIODevice::ReadOnly) || file->read(kStartOfImageLength) != "\xFF\xD8") {
        return {};
    }
    return std::make_shared<JpegDataCheck>(path, std::move(file));
}

LoadedImage loadImage(const QString& path, std::shared_ptr<JpegDataCheck> readAhead) {
    // One opening of the file serves the reader, the markers, the recorded resolution and
    // a PNG's data.
    QFile file(path);
    openImageFile(file);
    QImageReader reader;
    openByContent(reader, file);
    checkDecodable(reader);
    // A JPEG that is decoded now is refused now when its data is damaged, since Qt's
    // reader fills in what is missing; the reading through runs while Qt decodes.
    std::shared_ptr<JpegDataCheck> check;
    if (reader.format() == "jpeg") {
        if (std::optional<LoadedImage> jpeg = passThroughJpeg(file, reader, readAhead)) {
            return std::move(*jpeg);
        }
        check = readAhead ? std::move(readAhead) : std::make_shared<JpegDataCheck>(path);
    }
    // The reader starts again from the beginning. A PNG is decoded from the bytes its
    // compressed data is taken from, so the two agree.
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (reader.format() == "png") {
        bytes = wholeFile(file);
        buffer.open(QIODevice::ReadOnly);
        reader.setDevice(&buffer);
    } else {
        file.seek(0);
        reader.setDevice(&file);
    }
    reader.setAutoTransform(true);
    QImage image;
    if (!reader.read(&image) || image.isNull()) {
        raiseUnreadable(reader.errorString());
    }
    if (check) {
        if (const std::optional<QString> damage = check->damage()) {
            raiseUnreadable(*damage);
        }
    }
    LoadedImage loaded;
    loaded.path = path;
    loaded.resolution = uprightResolution(file, reader.transformation());
    if (reader.transformation() == QImageIOHandler::TransformationNone) {
        loaded.png = readPngStream(bytes);
        if (loaded.png && !sameAsDecoded(*loaded.png, image)) {
            loaded.png.reset();
        }
    }
    loaded.image = compacted(std::move(image));
    loaded.size = loaded.image.size();
    attachResolution(loaded.image, loaded.resolution);
    return loaded;
}

std::shared_ptr<JpegDataCheck> dataCheckFor(LoadedImage& loaded) {
    if (loaded.dataChecked || !loaded.jpeg) {
        return {};
    }
    if (!loaded.dataCheck) {
        loaded.dataCheck = std::make_shared<JpegDataCheck>(loaded.path);
    }
    return loaded.dataCheck;
}

void requireWholeData(JpegDataCheck& check) {
    if (const std::optional<QString> damage = check.damage()) {
        throw DamagedImage(check.path(), *damage);
    }
}

const QImage& pixels(LoadedImage& loaded) {
    if (loaded.image.isNull() && !loaded.path.isEmpty()) {
        QImage image = loaded.jpeg
                           ? uprightJpegPixels(loaded.path, *loaded.jpeg, loaded.transformation)
                           : decodeUpright(loaded.path);
        if (image.size() != loaded.size) {
            raiseChanged(loaded.path);
        }
        attachResolution(image, loaded.resolution);
        loaded.image = std::move(image);
        loaded.dataChecked = true;  // decoded completely
        loaded.dataCheck.reset();
    }
    return loaded.image;
}

QImage uprightJpegPixels(const QString& path, const JpegLayout& layout,
                         QImageIOHandler::Transformations transformation) {
    QImage image = decodeJpegUpright(path, transformation);
    const QSize stored = turnsSideways(transformation) ? image.size().transposed() : image.size();
    if (stored != layout.storedSize) {
        raiseChanged(path);
    }
    return image;
}

}  // namespace velmar::image_files
