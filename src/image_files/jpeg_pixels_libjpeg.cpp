// Decodes and encodes with libjpeg straight from and into the image's own rows: no 32-bit
// expansion and no second copy. A reading through to find damage takes the file in blocks. libjpeg
// reports fatal errors through longjmp, so the member functions that call into it hold only
// trivially destructible locals. A warning that means the decoder made up pixels ends a
// decoding as a fatal error does.
#include "image_files/jpeg_pixels.h"

#include "base/error.h"

#include <QByteArray>
#include <QFile>
#include <QIODevice>

#include <array>
#include <csetjmp>
#include <cstdio>
#include <vector>

#include <jpeglib.h>
// After jpeglib.h, whose configuration says which of its messages exist.
#include <jerror.h>

namespace velmar::image_files {

namespace {

// The quality JPEG encoders use when none is given.
constexpr int kUsualQuality = 75;
// JFIF densities are 16-bit numbers.
constexpr std::int32_t kLargestDensity = 65535;
constexpr std::size_t kOutputBufferBytes = std::size_t{64} * 1024;
// Rows decoded and encoded together when a JPEG goes straight into another.
constexpr int kStripRows = 16;

struct ErrorManager {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
    std::array<char, JMSG_LENGTH_MAX> message;
};

void jumpOnError(j_common_ptr info) {
    auto* errors = reinterpret_cast<ErrorManager*>(info->err);
    info->err->format_message(info, errors->message.data());
    // jmp_buf is an array type by definition; it is passed as the library asks.
    // NOLINTNEXTLINE(cppcoreguidelines-pro-bounds-array-to-pointer-decay)
    std::longjmp(errors->jump, 1);
}

void ignoreMessage(j_common_ptr /*info*/) {}

// Whether a decoder's warning means that some pixels are not what the file holds: the data
// of a scan or the file ended early (the decoder fills in the rest), a code or a restart
// marker was wrong (the decoder skips ahead and fills in), the scans do not add up, or
// bytes were left over after a scan's data (the decoder read it out of step). Warnings
// about the markers around the data leave every pixel as the file has it: bytes before a
// marker outside any scan, an unknown JFIF version, an unknown Adobe colour transform, a
// bad ICC profile.
bool madeUpData(j_common_ptr info, int code) {
    switch (code) {
        case JWRN_HIT_MARKER:
        case JWRN_JPEG_EOF:
        case JWRN_HUFF_BAD_CODE:
#if JPEG_LIB_VERSION >= 70 || defined(D_ARITH_CODING_SUPPORTED)
        case JWRN_ARITH_BAD_CODE:
#endif
        case JWRN_MUST_RESYNC:
        case JWRN_NOT_SEQUENTIAL:
        case JWRN_BOGUS_PROGRESSION:
            return true;
        case JWRN_EXTRANEOUS_DATA:
            return info->is_decompressor != FALSE &&
                   reinterpret_cast<j_decompress_ptr>(info)->input_scan_number > 0;
        default:
            return false;
    }
}

// Warnings (level -1) that mean made-up data end the decoding; the others and the trace
// messages are passed over.
void jumpOnMadeUpData(j_common_ptr info, int level) {
    if (level >= 0) {
        return;
    }
    if (madeUpData(info, info->err->msg_code)) {
        jumpOnError(info);
    }
    ++info->err->num_warnings;
}

jpeg_error_mgr* jumpingErrors(ErrorManager& errors) {
    jpeg_error_mgr* manager = jpeg_std_error(&errors.manager);
    errors.manager.error_exit = jumpOnError;
    errors.manager.emit_message = jumpOnMadeUpData;
    errors.manager.output_message = ignoreMessage;
    return manager;
}

// A file's bytes: mapped into memory where the system allows, else read.
class FileBytes {
  public:
    explicit FileBytes(const QString& path) : file_(path) {
        if (!file_.open(QIODevice::ReadOnly)) {
            return;
        }
        size_ = file_.size();
        data_ = file_.map(0, size_);
        if (data_ == nullptr) {
            copy_ = file_.readAll();
            data_ = reinterpret_cast<const uchar*>(copy_.constData());
            size_ = copy_.size();
        }
    }

    [[nodiscard]] bool isOpen() const { return file_.isOpen(); }
    [[nodiscard]] const unsigned char* data() const { return data_; }
    [[nodiscard]] unsigned long size() const { return static_cast<unsigned long>(size_); }

  private:
    QFile file_;  // unmaps when it goes
    QByteArray copy_;
    const uchar* data_ = nullptr;
    qint64 size_ = 0;
};

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

// One decompression of a file's bytes, or of an open file read in blocks; destroyed with
// its object.
class Decompression {
  public:
    explicit Decompression(const FileBytes& bytes) : bytes_(&bytes) {
        info_.err = jumpingErrors(errors_);
    }
    explicit Decompression(QFile& file) : file_(&file) { info_.err = jumpingErrors(errors_); }
    // Safe also when creation failed or never ran: nothing allocated is nothing freed.
    ~Decompression() { jpeg_destroy_decompress(&info_); }
    Decompression(const Decompression&) = delete;
    Decompression& operator=(const Decompression&) = delete;
    Decompression(Decompression&&) = delete;
    Decompression& operator=(Decompression&&) = delete;

    // Reads the header; false when it cannot. The library is created here, after the jump
    // target is set, since creating can fail.
    bool readHeader() {
        // NOLINTNEXTLINE(cppcoreguidelines-pro-bounds-array-to-pointer-decay)
        if (setjmp(errors_.jump) != 0) {
            return false;
        }
        jpeg_create_decompress(&info_);
        if (bytes_ != nullptr) {
            jpeg_mem_src(&info_, bytes_->data(), bytes_->size());
        } else {
            source_.attach(&info_, *file_);
        }
        jpeg_read_header(&info_, TRUE);
        return true;
    }

    // Starts decoding at an eighth of the size: no colour conversion, no smoothing of the
    // colour planes and the fastest inverse transform. False when the data is broken.
    bool startReduced() {
        // NOLINTNEXTLINE(cppcoreguidelines-pro-bounds-array-to-pointer-decay)
        if (setjmp(errors_.jump) != 0) {
            return false;
        }
        constexpr unsigned int kReduction = 8;
        info_.scale_num = 1;
        info_.scale_denom = kReduction;
        info_.out_color_space =
            info_.jpeg_color_space == JCS_YCCK ? JCS_CMYK : info_.jpeg_color_space;
        info_.do_fancy_upsampling = FALSE;
        info_.dct_method = JDCT_IFAST;
        jpeg_start_decompress(&info_);
        return everyScanRead();
    }

    // A progressive image is read whole when decoding starts. Its scans must have sent every
    // coefficient of every component down to the last bit: the end-of-image marker of a file
    // cut after a few scans leaves the decoder filling in the rest without a warning.
    bool everyScanRead() {
        if (info_.progressive_mode == FALSE || info_.coef_bits == nullptr) {
            return true;
        }
        for (int component = 0; component < info_.num_components; ++component) {
            for (int coefficient = 0; coefficient < DCTSIZE2; ++coefficient) {
                if (info_.coef_bits[component][coefficient] != 0) {
                    setFailure("Progressive JPEG data ends before its last scan");
                    return false;
                }
            }
        }
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

    [[nodiscard]] int components() const { return info_.num_components; }
    [[nodiscard]] J_COLOR_SPACE storedColourSpace() const { return info_.jpeg_color_space; }
    [[nodiscard]] QSize storedSize() const {
        return {static_cast<int>(info_.image_width), static_cast<int>(info_.image_height)};
    }

    // Whether the stored components are sampled as the encoder samples them: full-size
    // grey, or colour with the chroma halved both ways.
    [[nodiscard]] bool sampledAsWritten(bool colour) const {
        const jpeg_component_info* components = info_.comp_info;
        const auto sampled = [components](int index, int factor) {
            return components[index].h_samp_factor == factor &&
                   components[index].v_samp_factor == factor;
        };
        if (!colour) {
            return info_.num_components == 1 && sampled(0, 1);
        }
        return info_.num_components == 3 && info_.jpeg_color_space == JCS_YCbCr && sampled(0, 2) &&
               sampled(1, 1) && sampled(2, 1);
    }

    // Starts decoding into the given colour space, or into the components as stored
    // (after the inverse DCT, before upsampling); false when the data is broken.
    bool start(J_COLOR_SPACE output, bool asStored) {
        // NOLINTNEXTLINE(cppcoreguidelines-pro-bounds-array-to-pointer-decay)
        if (setjmp(errors_.jump) != 0) {
            return false;
        }
        info_.out_color_space = output;
        info_.raw_data_out = asStored ? TRUE : FALSE;
        jpeg_start_decompress(&info_);
        return everyScanRead();
    }

    // The stored components' planes: padded widths and the rows of one pass.
    [[nodiscard]] std::vector<QSize> planeSizes() const {
        std::vector<QSize> sizes;
        for (int index = 0; index < info_.num_components; ++index) {
            const jpeg_component_info& component = info_.comp_info[index];
            sizes.emplace_back(static_cast<int>(component.width_in_blocks) * DCTSIZE,
                               component.v_samp_factor * DCTSIZE);
        }
        return sizes;
    }
    [[nodiscard]] int rowsPerPass() const { return info_.max_v_samp_factor * DCTSIZE; }

    // Decodes the next pass of stored rows; false when the data is broken.
    bool readPlanes(JSAMPIMAGE planes) {
        // NOLINTNEXTLINE(cppcoreguidelines-pro-bounds-array-to-pointer-decay)
        if (setjmp(errors_.jump) != 0) {
            return false;
        }
        return jpeg_read_raw_data(&info_, planes, static_cast<JDIMENSION>(rowsPerPass())) > 0;
    }

    [[nodiscard]] int width() const { return static_cast<int>(info_.output_width); }
    [[nodiscard]] int height() const { return static_cast<int>(info_.output_height); }
    [[nodiscard]] bool rowsLeft() const { return info_.output_scanline < info_.output_height; }

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

    // Decodes up to count further rows; how many, or -1 when the data is broken.
    int readRows(JSAMPARRAY rows, int count) {
        // NOLINTNEXTLINE(cppcoreguidelines-pro-bounds-array-to-pointer-decay)
        if (setjmp(errors_.jump) != 0) {
            return -1;
        }
        return static_cast<int>(jpeg_read_scanlines(&info_, rows, static_cast<JDIMENSION>(count)));
    }

    bool finish() {
        // NOLINTNEXTLINE(cppcoreguidelines-pro-bounds-array-to-pointer-decay)
        if (setjmp(errors_.jump) != 0) {
            return false;
        }
        jpeg_finish_decompress(&info_);
        return true;
    }

    [[noreturn]] void raiseDamaged(const QString& path) const {
        throw DamagedImage(path, failure());
    }

  private:
    void setFailure(const char* text) {
        std::snprintf(errors_.message.data(), errors_.message.size(), "%s", text);
    }

    const FileBytes* bytes_ = nullptr;
    QFile* file_ = nullptr;
    FileSource source_;
    std::vector<JSAMPLE> row_;  // the one row a reading through keeps
    jpeg_decompress_struct info_{};
    ErrorManager errors_{};
};

// One compression into a device, destroyed with its object.
class Compression {
  public:
    explicit Compression(QIODevice& device) : device_(device), buffer_(kOutputBufferBytes) {
        info_.err = jumpingErrors(errors_);
        info_.client_data = this;
        destination_.init_destination = startBuffer;
        destination_.empty_output_buffer = writeFullBuffer;
        destination_.term_destination = writeRest;
    }
    ~Compression() { jpeg_destroy_compress(&info_); }
    Compression(const Compression&) = delete;
    Compression& operator=(const Compression&) = delete;
    Compression(Compression&&) = delete;
    Compression& operator=(Compression&&) = delete;

    // Writes the header of a JPEG of the given size, from rows of the given colour space;
    // false when the library refuses (too large an image).
    bool start(QSize size, J_COLOR_SPACE input, const JpegEncoding& encoding,
               bool asStored = false) {
        // NOLINTNEXTLINE(cppcoreguidelines-pro-bounds-array-to-pointer-decay)
        if (setjmp(errors_.jump) != 0) {
            return false;
        }
        jpeg_create_compress(&info_);
        info_.dest = &destination_;
        info_.image_width = static_cast<JDIMENSION>(size.width());
        info_.image_height = static_cast<JDIMENSION>(size.height());
        info_.input_components = input == JCS_GRAYSCALE ? 1 : 3;
        info_.in_color_space = input;
        jpeg_set_defaults(&info_);
        jpeg_set_colorspace(&info_, encoding.colour ? JCS_YCbCr : JCS_GRAYSCALE);
        jpeg_set_quality(&info_, encoding.quality < 0 ? kUsualQuality : encoding.quality, TRUE);
        const RecordedResolution resolution = encoding.resolution;
        if (resolution.x > 0 && resolution.y > 0 && resolution.x <= kLargestDensity &&
            resolution.y <= kLargestDensity) {
            info_.density_unit = 1;  // dots per inch
            info_.X_density = static_cast<UINT16>(resolution.x);
            info_.Y_density = static_cast<UINT16>(resolution.y);
        }
        info_.raw_data_in = asStored ? TRUE : FALSE;
        jpeg_start_compress(&info_, TRUE);
        return true;
    }

    // Encodes one pass of rows given as sampled components.
    bool writePlanes(JSAMPIMAGE planes, int rows) {
        // NOLINTNEXTLINE(cppcoreguidelines-pro-bounds-array-to-pointer-decay)
        if (setjmp(errors_.jump) != 0) {
            return false;
        }
        jpeg_write_raw_data(&info_, planes, static_cast<JDIMENSION>(rows));
        return true;
    }

    bool writeRows(JSAMPARRAY rows, int count) {
        // NOLINTNEXTLINE(cppcoreguidelines-pro-bounds-array-to-pointer-decay)
        if (setjmp(errors_.jump) != 0) {
            return false;
        }
        jpeg_write_scanlines(&info_, rows, static_cast<JDIMENSION>(count));
        return true;
    }

    // Writes the image's rows; grey rows are widened to RGB when the input is RGB.
    bool writeImage(const QImage& pixels) {
        // NOLINTNEXTLINE(cppcoreguidelines-pro-bounds-array-to-pointer-decay)
        if (setjmp(errors_.jump) != 0) {
            return false;
        }
        const bool widen =
            pixels.format() == QImage::Format_Grayscale8 && info_.in_color_space == JCS_RGB;
        if (widen) {
            widened_.resize(static_cast<std::size_t>(pixels.width()) * 3);
        }
        while (info_.next_scanline < info_.image_height) {
            const uchar* source = pixels.constScanLine(static_cast<int>(info_.next_scanline));
            // libjpeg only reads the rows it is given; its row type is not const.
            // NOLINTNEXTLINE(cppcoreguidelines-pro-type-const-cast)
            JSAMPROW row = widen ? widenedRow(source) : const_cast<uchar*>(source);
            jpeg_write_scanlines(&info_, &row, 1);
        }
        jpeg_finish_compress(&info_);
        return true;
    }

    bool finish() {
        // NOLINTNEXTLINE(cppcoreguidelines-pro-bounds-array-to-pointer-decay)
        if (setjmp(errors_.jump) != 0) {
            return false;
        }
        jpeg_finish_compress(&info_);
        return true;
    }

    [[noreturn]] void raiseFailed() const {
        throw Error(QStringLiteral("JPEG ﾃﾞｰﾀを書き込めません (%1)")
                        .arg(QString::fromLocal8Bit(errors_.message.data())));
    }

  private:
    static Compression& of(j_compress_ptr info) {
        return *static_cast<Compression*>(info->client_data);
    }
    static void startBuffer(j_compress_ptr info) {
        Compression& self = of(info);
        self.destination_.next_output_byte = self.buffer_.data();
        self.destination_.free_in_buffer = self.buffer_.size();
    }
    // Writes the first bytes of the buffer; a failed write ends the compression.
    static void writeOut(j_compress_ptr info, std::size_t bytes) {
        const Compression& self = of(info);
        const auto size = static_cast<qint64>(bytes);
        if (self.device_.write(reinterpret_cast<const char*>(self.buffer_.data()), size) != size) {
            info->err->msg_code = JERR_FILE_WRITE;
            info->err->error_exit(reinterpret_cast<j_common_ptr>(info));
        }
    }
    static boolean writeFullBuffer(j_compress_ptr info) {
        writeOut(info, of(info).buffer_.size());
        startBuffer(info);
        return TRUE;
    }
    static void writeRest(j_compress_ptr info) {
        const Compression& self = of(info);
        writeOut(info, self.buffer_.size() - self.destination_.free_in_buffer);
    }

    JSAMPROW widenedRow(const uchar* grey) {
        for (std::size_t x = 0; x < widened_.size() / 3; ++x) {
            widened_[3 * x] = widened_[3 * x + 1] = widened_[3 * x + 2] = grey[x];
        }
        return widened_.data();
    }

    QIODevice& device_;
    std::vector<JOCTET> buffer_;
    std::vector<JSAMPLE> widened_;
    jpeg_compress_struct info_{};
    jpeg_destination_mgr destination_{};
    ErrorManager errors_{};
};

// The colour space rows pass in from one JPEG to the next: YCbCr stays YCbCr, so neither
// side converts colours; grey becomes RGB where colour is written.
J_COLOR_SPACE passingColourSpace(const Decompression& source, bool colour) {
    if (!colour) {
        return JCS_GRAYSCALE;
    }
    return source.storedColourSpace() == JCS_YCbCr ? JCS_YCbCr : JCS_RGB;
}

// Rows of a few lines of pixels, with the row pointers the library takes.
class Strip {
  public:
    Strip(int width, int components)
        : rowBytes_(static_cast<std::size_t>(width) * static_cast<std::size_t>(components)),
          samples_(rowBytes_ * kStripRows) {
        for (std::size_t row = 0; row < rows_.size(); ++row) {
            rows_.at(row) = samples_.data() + row * rowBytes_;
        }
    }
    [[nodiscard]] JSAMPARRAY rows() { return rows_.data(); }

  private:
    std::size_t rowBytes_;
    std::vector<JSAMPLE> samples_;
    std::array<JSAMPROW, kStripRows> rows_{};
};

// One pass of rows of every stored component, in the layout the library reads and writes.
class Planes {
  public:
    explicit Planes(const std::vector<QSize>& sizes) {
        for (const QSize size : sizes) {
            const auto width = static_cast<std::size_t>(size.width());
            std::vector<JSAMPLE>& samples =
                samples_.emplace_back(width * static_cast<std::size_t>(size.height()));
            std::vector<JSAMPROW>& rows = rows_.emplace_back();
            for (int row = 0; row < size.height(); ++row) {
                rows.push_back(samples.data() + static_cast<std::size_t>(row) * width);
            }
            planes_.push_back(rows.data());
        }
    }
    [[nodiscard]] JSAMPIMAGE planes() { return planes_.data(); }

  private:
    std::vector<std::vector<JSAMPLE>> samples_;
    std::vector<std::vector<JSAMPROW>> rows_;
    std::vector<JSAMPARRAY> planes_;
};

// Components sampled as the encoder samples them pass from one JPEG to the next as
// decoded blocks: nothing is upsampled, converted or downsampled again.
void copyAsStored(const QString& path, Decompression& source, Compression& copy) {
    Planes planes(source.planeSizes());
    while (source.rowsLeft()) {
        if (!source.readPlanes(planes.planes())) {
            source.raiseDamaged(path);
        }
        if (!copy.writePlanes(planes.planes(), source.rowsPerPass())) {
            copy.raiseFailed();
        }
    }
}

// Other JPEGs pass a few rows of pixels at a time.
void copyRows(const QString& path, Decompression& source, Compression& copy, J_COLOR_SPACE rows) {
    Strip strip(source.width(), rows == JCS_GRAYSCALE ? 1 : 3);
    while (source.rowsLeft()) {
        const int count = source.readRows(strip.rows(), kStripRows);
        if (count < 0) {
            source.raiseDamaged(path);
        }
        if (!copy.writeRows(strip.rows(), count)) {
            copy.raiseFailed();
        }
    }
}

}  // namespace

std::optional<QImage> decodeJpegPixels(const QString& path) {
    const FileBytes bytes(path);
    if (!bytes.isOpen()) {
        return std::nullopt;
    }
    Decompression decompression(bytes);
    if (!decompression.readHeader()) {
        decompression.raiseDamaged(path);
    }
    const int components = decompression.components();
    if (components != 1 && components != 3) {
        return std::nullopt;
    }
    if (!decompression.start(components == 1 ? JCS_GRAYSCALE : JCS_RGB, false)) {
        decompression.raiseDamaged(path);
    }
    QImage image(decompression.width(), decompression.height(),
                 components == 1 ? QImage::Format_Grayscale8 : QImage::Format_RGB888);
    if (image.isNull()) {
        return std::nullopt;
    }
    if (!decompression.readInto(image)) {
        decompression.raiseDamaged(path);
    }
    return image;
}

bool encodeJpegPixels(const QImage& pixels, const JpegEncoding& encoding, QIODevice& device) {
    const QImage::Format format = pixels.format();
    if (format != QImage::Format_Grayscale8 && format != QImage::Format_RGB888) {
        return false;
    }
    const bool greyRows = format == QImage::Format_Grayscale8 && !encoding.colour;
    Compression compression(device);
    if (!compression.start(pixels.size(), greyRows ? JCS_GRAYSCALE : JCS_RGB, encoding) ||
        !compression.writeImage(pixels)) {
        compression.raiseFailed();
    }
    return true;
}

bool transcodeJpeg(const QString& path, QSize storedSize, const JpegEncoding& encoding,
                   QIODevice& device) {
    const FileBytes bytes(path);
    if (!bytes.isOpen()) {
        return false;
    }
    Decompression source(bytes);
    if (!source.readHeader()) {
        source.raiseDamaged(path);
    }
    if ((source.components() != 1 && source.components() != 3) ||
        source.storedSize() != storedSize) {
        return false;
    }
    const J_COLOR_SPACE rows = passingColourSpace(source, encoding.colour);
    const bool asStored = source.sampledAsWritten(encoding.colour);
    if (!source.start(rows, asStored)) {
        source.raiseDamaged(path);
    }
    Compression copy(device);
    if (!copy.start(storedSize, rows, encoding, asStored)) {
        copy.raiseFailed();
    }
    if (asStored) {
        copyAsStored(path, source, copy);
    } else {
        copyRows(path, source, copy, rows);
    }
    if (!source.finish()) {
        source.raiseDamaged(path);
    }
    if (!copy.finish()) {
        copy.raiseFailed();
    }
    return true;
}

JpegDataReading readJpegDataThrough(const QString& path, const std::stop_token& stop) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {JpegDataReading::Outcome::kDamaged, file.errorString()};
    }
    return readJpegDataThrough(file, stop);
}

JpegDataReading readJpegDataThrough(QFile& file, const std::stop_token& stop) {
    if (!file.seek(0)) {
        return {JpegDataReading::Outcome::kDamaged, file.errorString()};
    }
    Decompression decompression(file);
    if (!decompression.readHeader() || !decompression.startReduced()) {
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

}  // namespace velmar::image_files
