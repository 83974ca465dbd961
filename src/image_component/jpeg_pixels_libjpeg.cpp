// Decodes with libjpeg into the image's own rows, reading the file in blocks: no 32-bit
// expansion and no second copy.
// libjpeg reports fatal errors through longjmp, so the functions that call into it hold
// only trivially destructible locals.
#include "image_component/jpeg_pixels.h"

#include <QFile>

#include <array>
#include <csetjmp>
#include <cstdio>
#include <vector>

#include <jpeglib.h>
// After jpeglib.h, which it needs.
#include <jerror.h>

namespace velmar::image_component {

namespace {

struct ErrorManager {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
    std::array<char, JMSG_LENGTH_MAX> message;
};

void jumpOnError(j_common_ptr info) {
    auto* errors = reinterpret_cast<ErrorManager*>(info->err);
    errors->manager.format_message(info, errors->message.data());
    // jmp_buf is an array type by definition; it is passed as the library asks.
    // NOLINTNEXTLINE(cppcoreguidelines-pro-bounds-array-to-pointer-decay)
    std::longjmp(errors->jump, 1);
}

void ignoreMessage(j_common_ptr /*info*/) {}

// Feeds the decoder from a file in blocks, so the compressed data is never held whole.
// The end of the file before the end of the image is an error, not the made-up end of
// image the library would otherwise put there.
struct FileSource {
    static constexpr qint64 kBlockSize = qint64{64} * 1024;

    jpeg_source_mgr manager{};
    QFile* file = nullptr;
    std::vector<JOCTET> block = std::vector<JOCTET>(kBlockSize);

    static FileSource& of(j_decompress_ptr info) {
        return *reinterpret_cast<FileSource*>(info->src);
    }
    static void start(j_decompress_ptr /*info*/) {}
    static boolean fill(j_decompress_ptr info) {
        FileSource& source = of(info);
        const qint64 read =
            source.file->read(reinterpret_cast<char*>(source.block.data()), kBlockSize);
        if (read <= 0) {
            info->err->msg_code = JERR_INPUT_EOF;
            info->err->error_exit(reinterpret_cast<j_common_ptr>(info));
        }
        source.manager.next_input_byte = source.block.data();
        source.manager.bytes_in_buffer = static_cast<std::size_t>(read);
        return TRUE;
    }
    static void skip(j_decompress_ptr info, long count) {
        FileSource& source = of(info);
        while (count > static_cast<long>(source.manager.bytes_in_buffer)) {
            count -= static_cast<long>(source.manager.bytes_in_buffer);
            fill(info);
        }
        if (count > 0) {
            source.manager.next_input_byte += count;
            source.manager.bytes_in_buffer -= static_cast<std::size_t>(count);
        }
    }
    static void end(j_decompress_ptr /*info*/) {}

    void attach(j_decompress_ptr info, QFile& from) {
        file = &from;
        manager.init_source = start;
        manager.fill_input_buffer = fill;
        manager.skip_input_data = skip;
        manager.resync_to_restart = jpeg_resync_to_restart;
        manager.term_source = end;
        info->src = &manager;
    }
};

// One decompression of an open file, destroyed with its object.
class Decompression {
  public:
    explicit Decompression(QFile& file) : file_(file) {
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
        readHeader();
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

    // Reads the header and starts decoding at an eighth of the size: no colour conversion,
    // no smoothing of the colour planes and the fastest inverse transform. False when it
    // cannot.
    bool startReduced() {
        // NOLINTNEXTLINE(cppcoreguidelines-pro-bounds-array-to-pointer-decay)
        if (setjmp(errors_.jump) != 0) {
            return false;
        }
        readHeader();
        constexpr unsigned int kReduction = 8;
        info_.scale_num = 1;
        info_.scale_denom = kReduction;
        info_.out_color_space =
            info_.jpeg_color_space == JCS_YCCK ? JCS_CMYK : info_.jpeg_color_space;
        info_.do_fancy_upsampling = FALSE;
        info_.dct_method = JDCT_IFAST;
        jpeg_start_decompress(&info_);
        return true;
    }

    // Decodes every row into one row's room and drops it; false when the data is broken
    // or stop was asked.
    bool readThrough(const std::stop_token& stop) {
        row_.resize(std::size_t{info_.output_width} *
                    static_cast<std::size_t>(info_.output_components));
        JSAMPROW row = row_.data();
        // NOLINTNEXTLINE(cppcoreguidelines-pro-bounds-array-to-pointer-decay)
        if (setjmp(errors_.jump) != 0) {
            return false;
        }
        while (info_.output_scanline < info_.output_height) {
            if (stop.stop_requested()) {
                return false;
            }
            jpeg_read_scanlines(&info_, &row, 1);
        }
        jpeg_finish_decompress(&info_);
        return true;
    }

    // What the decoder said when it gave up.
    [[nodiscard]] QString failure() const { return QString::fromLocal8Bit(errors_.message.data()); }

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
    void readHeader() {
        jpeg_create_decompress(&info_);
        source_.attach(&info_, file_);
        jpeg_read_header(&info_, TRUE);
    }

    QFile& file_;
    FileSource source_;
    std::vector<JSAMPLE> row_;  // the one row a reading through keeps
    jpeg_decompress_struct info_{};
    ErrorManager errors_{};
};

}  // namespace

std::optional<QImage> decodeJpegPixels(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    Decompression decompression(file);
    if (!decompression.start()) {
        return std::nullopt;
    }
    QImage image(decompression.width(), decompression.height(), decompression.format());
    if (image.isNull() || !decompression.readInto(image)) {
        return std::nullopt;
    }
    return image;
}

JpegDataReading readJpegDataThrough(const QString& path, const std::stop_token& stop) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    Decompression decompression(file);
    if (!decompression.startReduced()) {
        return {JpegDataReading::Outcome::kDamaged, decompression.failure()};
    }
    if (decompression.readThrough(stop)) {
        return {JpegDataReading::Outcome::kWhole, {}};
    }
    if (stop.stop_requested()) {
        return {};
    }
    return {JpegDataReading::Outcome::kDamaged, decompression.failure()};
}

}  // namespace velmar::image_component
