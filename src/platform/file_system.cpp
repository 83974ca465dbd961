// The file-system service and its code page 932 text files, built on Qt's file classes.
#include "platform/file_error.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <utility>

namespace velmar::platform {

namespace {

QString nativePath(const QString& path) {
    return QDir::toNativeSeparators(path);
}

}  // namespace

void raiseFileError(const QString& what, const QString& path, const QString& reason) {
    QString text = QStringLiteral("ﾌｧｲﾙ ") + nativePath(path) + QLatin1Char(' ') + what;
    if (!reason.isEmpty()) {
        text += QLatin1Char('\r') + reason;
    }
    throw Error(text);
}

TextReader::TextReader(QString path, QByteArray bytes)
    : path_(std::move(path)), bytes_(std::move(bytes)) {}

bool TextReader::AtEndOfStream() const {
    return position_ >= bytes_.size();
}

bool TextReader::AtEndOfLine() const {
    return AtEndOfStream() || bytes_.at(position_) == '\r' || bytes_.at(position_) == '\n';
}

QString TextReader::ReadAll() {
    const std::optional<QString> text = decodeAnsi(bytes_.mid(position_));
    if (!text) {
        raiseFileError(QStringLiteral("は Shift-JIS のﾃｷｽﾄではありません"), path_);
    }
    position_ = bytes_.size();
    return *text;
}

void TextReader::Close() {
    bytes_.clear();
    position_ = 0;
}

class TextWriter::Impl {
  public:
    explicit Impl(const QString& path) : file(path) {}
    QSaveFile file;
};

TextWriter::TextWriter(const QString& path) : impl_(std::make_unique<Impl>(path)) {
    if (!impl_->file.open(QIODevice::WriteOnly)) {
        raiseFileError(QStringLiteral("に書き込めません"), path, impl_->file.errorString());
    }
}

TextWriter::~TextWriter() {
    if (impl_) {
        impl_->file.cancelWriting();
    }
}

TextWriter::TextWriter(TextWriter&&) noexcept = default;
TextWriter& TextWriter::operator=(TextWriter&&) noexcept = default;

void TextWriter::Write(const QString& text) {
    const std::optional<QByteArray> bytes = encodeAnsi(text);
    if (!bytes) {
        impl_->file.cancelWriting();
        raiseFileError(QStringLiteral("に Shift-JIS で表せない文字は書き込めません"),
                       impl_->file.fileName());
    }
    if (impl_->file.write(*bytes) != bytes->size()) {
        raiseFileError(QStringLiteral("に書き込めません"), impl_->file.fileName(),
                       impl_->file.errorString());
    }
}

void TextWriter::Close() {
    if (!impl_->file.commit()) {
        raiseFileError(QStringLiteral("に書き込めません"), impl_->file.fileName(),
                       impl_->file.errorString());
    }
}

bool FileSystem::FileExists(const QString& path) const {
    return !path.isEmpty() && QFileInfo(path).isFile();
}

bool FileSystem::FolderExists(const QString& path) const {
    return !path.isEmpty() && QFileInfo(path).isDir();
}

void FileSystem::CreateFolder(const QString& path) const {
    if (path.isEmpty() || QFileInfo::exists(path) || !QDir().mkdir(path)) {
        throw Error(QStringLiteral("ﾌｫﾙﾀﾞ ") + nativePath(path) +
                    QStringLiteral(" を作成できません"));
    }
}

QStringList FileSystem::FileNames(const QString& folder) const {
    const QDir dir(folder);
    if (!dir.exists()) {
        throw Error(QStringLiteral("ﾌｫﾙﾀﾞ ") + nativePath(folder) +
                    QStringLiteral(" が見つかりません"));
    }
    return dir.entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

TextReader FileSystem::OpenTextFileForReading(const QString& path) const {
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly)) {
        raiseFileError(QStringLiteral("を開けません"), path, file.errorString());
    }
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        raiseFileError(QStringLiteral("を読み込めません"), path, file.errorString());
    }
    return {path, std::move(bytes)};
}

TextWriter FileSystem::OpenTextFileForWriting(const QString& path) const {
    return TextWriter(path);
}

void FileSystem::CreateEmptyTextFile(const QString& path) const {
    TextWriter writer(path);
    writer.Close();
}

bool FileSystem::CreateNewFile(const QString& path) const {
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        return true;
    }
    // The open refuses any name that is taken, a dangling link included.
    const QFileInfo entry(path);
    if (entry.exists() || entry.isSymLink()) {
        return false;
    }
    raiseFileError(QStringLiteral("を作成できません"), path, file.errorString());
}

void FileSystem::DeleteFile(const QString& path) const {
    QFile file(path);
    if (!file.remove() && (QFileInfo(path).isSymLink() || QFileInfo::exists(path))) {
        raiseFileError(QStringLiteral("を削除できません"), path, file.errorString());
    }
}

}  // namespace velmar::platform
