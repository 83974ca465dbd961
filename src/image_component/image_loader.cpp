#include "image_component/image_loader.h"

#include "platform/platform.h"

#include <QFileInfo>
#include <QImageReader>

#include <limits>
#include <utility>

namespace velmar::image_component {

namespace {

// Every decoded pixel takes at least four bytes in the formats Qt converts to.
constexpr qint64 kBytesPerPixel = 4;

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

bool turnsSideways(QImageIOHandler::Transformations transformation) {
    return transformation.testFlag(QImageIOHandler::TransformationRotate90);
}

}  // namespace

std::int32_t nextHandle(std::int32_t handle) {
    return handle == std::numeric_limits<std::int32_t>::max() ? 1 : handle + 1;
}

bool exceedsAllocationLimit(QSize pixelSize) {
    const qint64 bytes = qint64{pixelSize.width()} * qint64{pixelSize.height()} * kBytesPerPixel;
    return bytes > qint64{kImageAllocationLimitMiB} * 1024 * 1024;
}

LoadedImage loadImage(const QString& path) {
    QImageReader reader(path);
    reader.setAutoTransform(true);
    checkReadable(path, reader);

    QImage image;
    if (!reader.read(&image) || image.isNull()) {
        throw Error(QStringLiteral("画像ﾃﾞｰﾀを読み取れません (%1)").arg(reader.errorString()));
    }
    RecordedResolution resolution = readRecordedResolution(path);
    if (turnsSideways(reader.transformation())) {
        std::swap(resolution.x, resolution.y);
    }
    return LoadedImage{std::move(image), resolution};
}

}  // namespace velmar::image_component
