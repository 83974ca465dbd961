// Decodes with libjpeg into the image's own rows: no 32-bit expansion and no second copy.
// libjpeg reports fatal errors through longjmp, so the two functions that call into it
// hold only trivially destructible locals.
#include "image_component/jpeg_pixels.h"

#include <QByteArray>
#include <QFile>

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

namespace velmar::image_component {

namespace {

struct ErrorManager {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

void jumpOnError(j_common_ptr info) {
    // jmp_buf is an array type by definition; it is passed as the library asks.
    // NOLINTNEXTLINE(cppcoreguidelines-pro-bounds-array-to-pointer-decay)
    std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1);
}

void ignoreMessage(j_common_ptr /*info*/) {}

// One decompression, destroyed with its object.
class Decompression {
  public:
    explicit Decompression(const QByteArray& data) : data_(data) {
        info_.err = jpeg_std_error(&errors_.manager);
        errors_.manager.error_exit = jumpOnError;
        errors_.manager.output_message = ignoreMessage;
    }
    // Safe also when creation failed or never ran: nothing allocated is nothing freed.
    ~Decompression() { jpeg_destroy_decompress(&info_); }
    Decompression(const Decompression&) = delete;
    Decompression& operator=(const Decompression&) = delete;
    Decompression(Decompression&&) = delete;
    Decompression& operator=(Decompression&&) = delete;

    // Reads the header and starts decoding to grey or RGB; false when it cannot.
    // The library is created here, after the jump target is set, since creating can fail.
    bool start() {
        // NOLINTNEXTLINE(cppcoreguidelines-pro-bounds-array-to-pointer-decay)
        if (setjmp(errors_.jump) != 0) {
            return false;
        }
        jpeg_create_decompress(&info_);
        jpeg_mem_src(&info_, reinterpret_cast<const unsigned char*>(data_.constData()),
                     static_cast<unsigned long>(data_.size()));
        jpeg_read_header(&info_, TRUE);
        if (info_.num_components == 1) {
            info_.out_color_space = JCS_GRAYSCALE;
        } else if (info_.num_components == 3) {
            info_.out_color_space = JCS_RGB;
        } else {
            return false;
        }
        jpeg_start_decompress(&info_);
        return true;
    }

    [[nodiscard]] QImage::Format format() const {
        return info_.out_color_space == JCS_GRAYSCALE ? QImage::Format_Grayscale8
                                                      : QImage::Format_RGB888;
    }
    [[nodiscard]] int width() const { return static_cast<int>(info_.output_width); }
    [[nodiscard]] int height() const { return static_cast<int>(info_.output_height); }

    // Decodes every row into the image; false when the data is broken.
    bool readInto(QImage& image) {
        // NOLINTNEXTLINE(cppcoreguidelines-pro-bounds-array-to-pointer-decay)
        if (setjmp(errors_.jump) != 0) {
            return false;
        }
        while (info_.output_scanline < info_.output_height) {
            JSAMPROW row = image.scanLine(static_cast<int>(info_.output_scanline));
            jpeg_read_scanlines(&info_, &row, 1);
        }
        jpeg_finish_decompress(&info_);
        return true;
    }

  private:
    const QByteArray& data_;
    jpeg_decompress_struct info_{};
    ErrorManager errors_{};
};

}  // namespace

std::optional<QImage> decodeJpegPixels(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    const QByteArray data = file.readAll();
    Decompression decompression(data);
    if (!decompression.start()) {
        return std::nullopt;
    }
    QImage image(decompression.width(), decompression.height(), decompression.format());
    if (image.isNull() || !decompression.readInto(image)) {
        return std::nullopt;
    }
    return image;
}

}  // namespace velmar::image_component
