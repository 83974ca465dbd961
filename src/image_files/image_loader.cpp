#include "image_files/image_loader.h"

#include "image_files/jpeg_pixels.h"

#include "base/error.h"
#include "platform/diagnostics.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QTransform>

#include <cmath>
#include <limits>
#include <thread>
#include <utility>

namespace velmar::image_component {

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

void checkReadable(const QString& path, QImageReader& reader) {
    const QFileInfo info(path);
    if (!info.exists()) {
        throw Error(QStringLiteral("ﾌｧｲﾙが見つかりません"));
    }
    if (!info.isFile() || !info.isReadable()) {
        throw Error(QStringLiteral("ﾌｧｲﾙを開けません"));
    }
    if (!reader.canRead()) {
        throw Error(QStringLiteral("画像の形式が読み取れません"));
    }
    const QSize size = reader.size();
    if (size.isValid() && exceedsAllocationLimit(size)) {
        throw Error(QStringLiteral("画像が大きすぎます (%1)").arg(sizeText(size)));
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

RecordedResolution uprightResolution(const QString& path,
                                     QImageIOHandler::Transformations transformation) {
    RecordedResolution resolution = plausibleResolution(path, readRecordedResolution(path));
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
    QImageReader reader(path);
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
QImage decodeJpegUpright(const LoadedImage& loaded) {
    if (std::optional<QImage> stored = decodeJpegPixels(loaded.path)) {
        return turnedUpright(std::move(*stored), loaded.transformation);
    }
    return decodeUpright(loaded.path);
}

QByteArray wholeFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        raiseUnreadable(file.errorString());
    }
    return file.readAll();
}

// Whether a PDF reader decodes the stream to the pixels the file's reader gave.
bool sameAsDecoded(const PngStream& png, const QImage& pixels) {
    const QImage::Format expected =
        png.components == 1 ? QImage::Format_Grayscale8 : QImage::Format_RGB888;
    return png.size == pixels.size() && pixels.format() == expected;
}

}  // namespace

// Reads the data through with the JPEG library on a thread of its own, which touches no
// toolkit state and so may start before the toolkit does; dropping the object stops the
// reading at the next row and waits for the thread.
class JpegDataCheck {
  public:
    explicit JpegDataCheck(QString path)
        : path_(std::move(path)), thread_([this](const std::stop_token& stop) {
              reading_ = readJpegDataThrough(path_, stop);
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
    JpegDataReading reading_;
    std::jthread thread_;  // last, so that it starts after and stops before the rest
};

namespace {

// A JPEG that goes onto the page as it is. Its markers are checked now; its compressed
// data is read through on a thread of its own from now on (see dataCheckFor()).
std::optional<LoadedImage> passThroughJpeg(const QString& path, QImageReader& reader,
                                           std::shared_ptr<JpegDataCheck> readAhead) {
    const std::optional<JpegLayout> layout = readJpegLayout(path);
    if (layout && !layout->complete) {
        raiseUnreadable(QStringLiteral("ﾌｧｲﾙが途中で切れています"));
    }
    if (!layout || !layout->passable) {
        return std::nullopt;
    }
    const QSize stored = layout->storedSize;
    LoadedImage loaded;
    loaded.path = path;
    loaded.transformation = reader.transformation();
    loaded.size = turnsSideways(loaded.transformation) ? stored.transposed() : stored;
    loaded.resolution = uprightResolution(path, loaded.transformation);
    loaded.jpeg = layout;
    loaded.dataCheck = readAhead ? std::move(readAhead) : std::make_shared<JpegDataCheck>(path);
    return loaded;
}

}  // namespace

DamagedImage::DamagedImage(QString path, const QString& reason)
    : Error(unreadableText(reason)), path_(std::move(path)) {}

std::int32_t nextHandle(std::int32_t handle) {
    return handle == std::numeric_limits<std::int32_t>::max() ? 1 : handle + 1;
}

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
    QFile file(path);
    constexpr qint64 kStartOfImageLength = 2;
    if (!file.open(QIODevice::ReadOnly) || file.read(kStartOfImageLength) != "\xFF\xD8") {
        return {};
    }
    return std::make_shared<JpegDataCheck>(path);
}

LoadedImage loadImage(const QString& path, std::shared_ptr<JpegDataCheck> readAhead) {
    QImageReader reader(path);
    checkReadable(path, reader);
    // A JPEG that is decoded now is refused now when its data is damaged, since Qt's
    // reader fills in what is missing; the reading through runs while Qt decodes.
    std::shared_ptr<JpegDataCheck> check;
    if (reader.format() == "jpeg") {
        if (std::optional<LoadedImage> jpeg = passThroughJpeg(path, reader, readAhead)) {
            return std::move(*jpeg);
        }
        check = readAhead ? std::move(readAhead) : std::make_shared<JpegDataCheck>(path);
    }
    // The reader starts again from the beginning. A PNG is decoded from the bytes its
    // compressed data is taken from, so the two agree.
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (reader.format() == "png") {
        bytes = wholeFile(path);
        buffer.open(QIODevice::ReadOnly);
        reader.setDevice(&buffer);
    } else {
        reader.setFileName(path);
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
    loaded.resolution = uprightResolution(path, reader.transformation());
    loaded.image = compacted(std::move(image));
    loaded.size = loaded.image.size();
    attachResolution(loaded.image, loaded.resolution);
    if (reader.transformation() == QImageIOHandler::TransformationNone) {
        loaded.png = readPngStream(bytes);
        if (loaded.png && !sameAsDecoded(*loaded.png, loaded.image)) {
            loaded.png.reset();
        }
    }
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
        QImage image = loaded.jpeg ? decodeJpegUpright(loaded) : decodeUpright(loaded.path);
        if (image.size() != loaded.size) {
            throw Error(
                QStringLiteral("画像ﾌｧｲﾙ %1 が読み込んだ後で変わりました").arg(loaded.path));
        }
        attachResolution(image, loaded.resolution);
        loaded.image = std::move(image);
        loaded.dataChecked = true;  // decoded completely
        loaded.dataCheck.reset();
    }
    return loaded.image;
}

}  // namespace velmar::image_component
