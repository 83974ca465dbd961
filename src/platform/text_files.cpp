// Code page 932 text files: read whole when opened, written whole when closed.
#include "platform/atomic_file.h"
#include "platform/file_error.h"
#include "platform/file_system.h"
#include "platform/text_codec.h"

#include <QDir>

#include <utility>

namespace velmar::platform {

TextReader::TextReader(QString path, QByteArray bytes)
    : path_(std::move(path)), bytes_(std::move(bytes)) {}

bool TextReader::atEndOfStream() const {
    return position_ >= bytes_.size();
}

bool TextReader::atEndOfLine() const {
    return atEndOfStream() || bytes_.at(position_) == '\r' || bytes_.at(position_) == '\n';
}

QString TextReader::readAll() {
    const std::optional<QString> text = decodeAnsi(bytes_.mid(position_));
    if (!text) {
        raiseFileError(QStringLiteral("は Shift-JIS のﾃｷｽﾄではありません"), path_);
    }
    position_ = bytes_.size();
    return *text;
}

void TextReader::close() {
    bytes_.clear();
    position_ = 0;
}

class TextWriter::Impl {
  public:
    Impl(const QString& path, FileCalls& calls) : path(path) { file.emplace(path, calls); }
    QString path;
    std::optional<StagedFile> file;  // gone after a refused write
};

TextWriter::TextWriter(const QString& path, FileCalls& calls)
    : impl_(std::make_unique<Impl>(path, calls)) {}

TextWriter::~TextWriter() = default;
TextWriter::TextWriter(TextWriter&&) noexcept = default;
TextWriter& TextWriter::operator=(TextWriter&&) noexcept = default;

void TextWriter::write(const QString& text) {
    const std::optional<QByteArray> bytes = encodeAnsi(text);
    if (!bytes) {
        impl_->file.reset();
        raiseFileError(QStringLiteral("に Shift-JIS で表せない文字は書き込めません"), impl_->path);
    }
    if (!impl_->file) {
        raiseFileError(QStringLiteral("に書き込めません"), impl_->path);
    }
    impl_->file->write(*bytes);
}

void TextWriter::close() {
    if (!impl_->file) {
        raiseFileError(QStringLiteral("に書き込めません"), impl_->path);
    }
    impl_->file->replaceTarget();
}

}  // namespace velmar::platform
