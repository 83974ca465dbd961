// The Qt implementation of the image control.
#include "image_component/current_image.h"
#include "image_component/image_component.h"
#include "image_component/image_display.h"
#include "image_component/qt_printer.h"
#include "image_files/image_loader.h"
#include "image_files/jpeg_pixels.h"
#include "platform/atomic_file.h"
#include "platform/diagnostics.h"

#include <QFileDialog>
#include <QImageReader>
#include <QImageWriter>

namespace velmar::image_component {

using image_files::JpegEncoding;
using image_files::LoadedImage;
using image_files::pixels;

namespace {

// The file-dialog filter that lists every image type the readers know.
QString imageFileFilter() {
    QStringList patterns;
    for (const QByteArray& format : QImageReader::supportedImageFormats()) {
        patterns << QStringLiteral("*.") + QString::fromLatin1(format);
    }
    return QStringLiteral("画像ﾌｧｲﾙ (%1)").arg(patterns.join(QLatin1Char(' ')));
}

class QtImageFile final : public ImageFile {
  public:
    QtImageFile(CurrentImage& image, QWidget& dialogParent)
        : image_(image), dialogParent_(dialogParent) {}

    bool OpenDialog() override {
        if (platform::isHeadless()) {
            platform::writeDiagnostic(
                QStringLiteral("no display: the open-file dialog counts as cancelled"));
            return false;
        }
        const QString chosen = QFileDialog::getOpenFileName(
            &dialogParent_, QStringLiteral("画像ﾌｧｲﾙを開く"), path_, imageFileFilter());
        if (chosen.isEmpty()) {
            return false;
        }
        path_ = chosen;
        image_.readAhead.reset();
        return true;
    }

    bool Load(std::int32_t /*mode*/) override {
        try {
            image_.loaded = image_files::loadImage(path_, std::exchange(image_.readAhead, {}));
            image_.convertedDepth = 0;
        } catch (const Error& error) {
            image_ = CurrentImage{};
            lastError_ = error.message();
            return false;
        }
        lastHandle_ = nextHandle(lastHandle_);
        image_.handle = lastHandle_;
        lastError_.clear();
        return true;
    }

    bool Save(std::int32_t format, std::int32_t imageHandle) override {
        if (imageHandle == 0 || imageHandle != image_.handle) {
            lastError_ = QStringLiteral("保存する画像がありません");
            return false;
        }
        if (format != kFormatBitmap && format != kFormatJpeg) {
            lastError_ = QStringLiteral("この形式では保存できません");
            return false;
        }
        try {
            writeWhole(format);
        } catch (const DamagedImage&) {
            throw;  // the image cannot be saved nor printed: not a failure of this save
        } catch (const Error& error) {
            lastError_ = error.message();
            return false;
        }
        lastError_.clear();
        return true;
    }

    void Path(const QString& path) override {
        path_ = path;
        image_.readAhead.reset();
    }
    void Path(const QString& path, std::shared_ptr<JpegDataCheck> readAhead) override {
        path_ = path;
        image_.readAhead = std::move(readAhead);
    }
    [[nodiscard]] QString Path() const override { return path_; }
    void JpegQuality(std::int32_t quality) override { jpegQuality_ = quality; }
    [[nodiscard]] QString LastError() const override { return lastError_; }

  private:
    // The file at the path held is replaced only by the complete image.
    void writeWhole(std::int32_t format) const {
        platform::StagedFile file(path_);
        try {
            if (format == kFormatJpeg) {
                writeJpeg(file.device());
            } else {
                writeWithQt(file.device(), "bmp", inSavedDepth(pixels(image_.loaded)));
            }
        } catch (const Error&) {
            file.checkDevice();  // a full disk says so rather than the encoder's words
            throw;
        }
        file.replaceTarget();
    }

    // A JPEG printed as it is and not decoded yet goes straight from its file into the
    // new one, a few rows at a time; its data then counts as checked. Other images are
    // written from their pixels.
    void writeJpeg(QIODevice& device) const {
        LoadedImage& loaded = image_.loaded;
        // Both ways below read all of the data, so a reading through is not wanted too.
        loaded.dataCheck.reset();
        const JpegEncoding encoding{savesColour(), jpegQuality_, loaded.resolution};
        if (loaded.image.isNull() && loaded.jpeg &&
            loaded.transformation == QImageIOHandler::TransformationNone &&
            image_files::transcodeJpeg(loaded.path, loaded.jpeg->storedSize, encoding, device)) {
            loaded.dataChecked = true;
            return;
        }
        const QImage& held = pixels(loaded);
        const bool compact =
            held.format() == QImage::Format_Grayscale8 || held.format() == QImage::Format_RGB888;
        const QImage rows = compact ? held : held.convertedTo(encodedFormat(encoding.colour));
        if (!image_files::encodeJpegPixels(rows, encoding, device)) {
            writeWithQt(device, "jpeg", rows.convertedTo(encodedFormat(encoding.colour)));
        }
    }

    void writeWithQt(QIODevice& device, const char* format, const QImage& image) const {
        QImageWriter writer(&device, format);
        writer.setQuality(jpegQuality_);
        if (!writer.write(image)) {
            throw Error(writer.errorString());
        }
    }

    static QImage::Format encodedFormat(bool colour) {
        return colour ? QImage::Format_RGB888 : QImage::Format_Grayscale8;
    }

    // Whether a save writes colour: as a conversion asked, else as the image holds it.
    [[nodiscard]] bool savesColour() const {
        if (image_.convertedDepth != 0) {
            return image_.convertedDepth == 24;
        }
        const LoadedImage& loaded = image_.loaded;
        if (loaded.image.isNull() && loaded.jpeg) {
            return loaded.jpeg->components != 1;
        }
        return loaded.image.format() != QImage::Format_Grayscale8;
    }

    // The pixels in the depth a conversion asked for.
    [[nodiscard]] QImage inSavedDepth(const QImage& held) const {
        if (image_.convertedDepth == 0 || held.format() == encodedFormat(savesColour())) {
            return held;
        }
        return held.convertedTo(encodedFormat(savesColour()));
    }

    CurrentImage& image_;
    QWidget& dialogParent_;
    QString path_;
    QString lastError_;
    std::int32_t jpegQuality_ = 75;
    std::int32_t lastHandle_ = 0;
};

class QtImageEdit final : public ImageEdit {
  public:
    explicit QtImageEdit(CurrentImage& image) : image_(image) {}

    bool ConvertColorDepth(std::int32_t bitsPerPixel, std::int32_t /*mode*/,
                           std::int32_t /*palette*/, std::int32_t /*threshold*/) override {
        if (image_.handle == 0 || (bitsPerPixel != 24 && bitsPerPixel != 8)) {
            return false;
        }
        // Only what a save writes changes: the image shown and printed stays as loaded, so
        // a saved copy never changes the page.
        image_.convertedDepth = static_cast<std::int16_t>(bitsPerPixel);
        return true;
    }

  private:
    CurrentImage& image_;
};

// Bits per pixel of the colour information an image holds; for a JPEG not decoded yet,
// those its components will decode to.
std::int16_t bitsPerPixel(const LoadedImage& loaded) {
    const QImage& image = loaded.image;
    if (image.isNull() && loaded.jpeg) {
        return static_cast<std::int16_t>(loaded.jpeg->components * 8);
    }
    switch (image.format()) {
        case QImage::Format_Invalid:
            return 0;
        case QImage::Format_RGB32:
        case QImage::Format_RGB888:
        case QImage::Format_BGR888:
        case QImage::Format_RGBX8888:
            return 24;
        default:
            return static_cast<std::int16_t>(image.depth());
    }
}

class ImageKit final : public ImageView {
  public:
    ImageKit()
        : display_(std::make_unique<ImageDisplay>()),
          file_(image_, *display_),
          printer_(image_, *display_),
          edit_(image_) {}

    bool Draw(std::int32_t /*mode*/) override {
        display_->showImage(image_.handle != 0 ? pixels(image_.loaded) : QImage());
        return true;
    }
    bool PrepareImage() override { return image_.handle != 0; }
    std::int32_t ImageHandle() override { return image_.handle; }
    std::int32_t ResolutionX() override { return image_.loaded.resolution.x; }
    std::int32_t ResolutionY() override { return image_.loaded.resolution.y; }
    std::int32_t PixelWidth() override { return image_.loaded.size.width(); }
    std::int32_t PixelHeight() override { return image_.loaded.size.height(); }
    bool GrayFlag() override {
        const LoadedImage& loaded = image_.loaded;
        if (image_.handle == 0) {
            return false;
        }
        return loaded.image.isNull() && loaded.jpeg ? loaded.jpeg->components == 1
                                                    : loaded.image.isGrayscale();
    }
    std::int16_t BitDepth() override {
        return image_.convertedDepth != 0 ? image_.convertedDepth : bitsPerPixel(image_.loaded);
    }

    ImageFile& File() override { return file_; }
    ImagePrinter& Printer() override { return printer_; }
    ImageEdit& Edit() override { return edit_; }
    QWidget& Widget() override { return *display_; }

  private:
    CurrentImage image_;
    std::unique_ptr<ImageDisplay> display_;
    QtImageFile file_;
    QtImagePrinter printer_;
    QtImageEdit edit_;
};

}  // namespace

void configureImageReaders() {
    QImageReader::setAllocationLimit(image_files::kImageAllocationLimitMiB);
}

QStringList readableMimeTypes() {
    QStringList types;
    for (const QByteArray& type : QImageReader::supportedMimeTypes()) {
        types << QString::fromLatin1(type);
    }
    types.sort();
    types.removeDuplicates();
    return types;
}

std::shared_ptr<JpegDataCheck> readAhead(const QString& path) {
    return image_files::readAhead(path);
}

std::unique_ptr<ImageView> makeImageKit() {
    return std::make_unique<ImageKit>();
}

}  // namespace velmar::image_component
