// Whole-file writes on top of the system's file calls.
#include "platform/atomic_file.h"
#include "base/temporary_files.h"
#include "platform/file_error.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <QRandomGenerator>

#include <algorithm>
#include <string>

namespace velmar::platform {

namespace {

constexpr int kTemporaryNameTries = 100;
constexpr auto kWriteFailed = "に書き込めません";

// Links are followed to the file they name, so that the file is replaced and the links
// stay. A chain longer than the system follows is left as it is and then refused.
QString resolvedTarget(const QString& path) {
    constexpr int kMostLinks = 40;
    QString resolved = path;
    for (int link = 0; link < kMostLinks; ++link) {
        const QFileInfo info(resolved);
        if (!info.isSymbolicLink() || info.symLinkTarget().isEmpty()) {
            break;
        }
        resolved = info.symLinkTarget();
    }
    return resolved;
}

// A hidden name in the target's folder, different on every call.
QString temporaryNameFor(const QString& target) {
    return newTemporaryPath(QFileInfo(target).path());
}

// Adds the execute permission for everyone who may read the file.
FileCallResult allowRunning(const QString& path) {
    const QFile::Permissions readable = QFile::permissions(path);
    QFile::Permissions permissions = readable;
    if (readable.testFlag(QFile::ReadOwner)) {
        permissions |= QFile::ExeOwner | QFile::ExeUser;
    }
    if (readable.testFlag(QFile::ReadGroup)) {
        permissions |= QFile::ExeGroup;
    }
    if (readable.testFlag(QFile::ReadOther)) {
        permissions |= QFile::ExeOther;
    }
    if (!QFile::setPermissions(path, permissions)) {
        return FileFailure{FileFailureKind::kOther, QStringLiteral("実行可能にできません")};
    }
    return {};
}

bool isLowerHex(QChar character) {
    return (character >= QLatin1Char('0') && character <= QLatin1Char('9')) ||
           (character >= QLatin1Char('a') && character <= QLatin1Char('f'));
}

}  // namespace

QString newTemporaryName() {
    const quint64 random = QRandomGenerator::global()->generate64();
    return QLatin1String(kTemporaryPrefix) +
           QStringLiteral("%1").arg(random, kTemporaryDigits, 16, QLatin1Char('0')) +
           QLatin1String(kTemporarySuffix);
}

QString newTemporaryPath(const QString& folder) {
    return QDir(folder).filePath(newTemporaryName());
}

bool isTemporaryName(const QString& fileName) {
    const qsizetype prefix = qsizetype(std::char_traits<char>::length(kTemporaryPrefix));
    const qsizetype suffix = qsizetype(std::char_traits<char>::length(kTemporarySuffix));
    if (fileName.size() != prefix + kTemporaryDigits + suffix ||
        !fileName.startsWith(QLatin1String(kTemporaryPrefix)) ||
        !fileName.endsWith(QLatin1String(kTemporarySuffix))) {
        return false;
    }
    const QStringView digits = QStringView(fileName).mid(prefix, kTemporaryDigits);
    return std::all_of(digits.begin(), digits.end(), isLowerHex);
}

FileCallResult FileCalls::moveNew(const QString& from, const QString& to) {
    return nativeFileCalls().moveNew(from, to);
}

FileCallResult FileCalls::holdClaim(const QString& path, Handle& handle) {
    return nativeFileCalls().holdClaim(path, handle);
}

FileCallResult FileCalls::dropClaim(const QString& path, Handle handle) {
    return nativeFileCalls().dropClaim(path, handle);
}

// Passes an encoder's bytes to the file and keeps the first failure for the owner.
class StagedFile::Device final : public QIODevice {
  public:
    explicit Device(StagedFile& file) : file_(file) { open(QIODevice::WriteOnly); }
    // The bytes go out in order; an encoder that needs to seek fails instead of
    // writing a damaged file.
    [[nodiscard]] bool isSequential() const override { return true; }

  protected:
    qint64 readData(char* /*data*/, qint64 /*size*/) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override {
        if (file_.deviceFailure_) {
            return -1;
        }
        file_.deviceFailure_ = file_.writeQuietly(data, size);
        return file_.deviceFailure_ ? -1 : size;
    }

  private:
    StagedFile& file_;
};

StagedFile::StagedFile(const QString& targetPath, FileCalls& calls)
    : calls_(calls), target_(resolvedTarget(targetPath)) {
    // Nothing is made beside what would be refused at the end (a device, a folder).
    TargetFacts facts;
    if (const FileCallResult refusal = calls_.examineTarget(target_, facts)) {
        raiseFileError(QString::fromUtf8(kWriteFailed), target_, refusal->reason);
    }
    for (int attempt = 0; attempt < kTemporaryNameTries; ++attempt) {
        temporary_ = temporaryNameFor(target_);
        const FileCallResult failure = calls_.createNew(temporary_, handle_);
        if (!failure) {
            open_ = true;
            return;
        }
        if (failure->kind != FileFailureKind::kNameTaken) {
            raiseFileError(QString::fromUtf8(kWriteFailed), target_, failure->reason);
        }
    }
    raiseFileError(QString::fromUtf8(kWriteFailed), target_);
}

StagedFile::~StagedFile() {
    discard();
}

void StagedFile::discard() {
    if (open_) {
        open_ = false;
        static_cast<void>(calls_.close(handle_));
    }
    if (!moved_ && !temporary_.isEmpty()) {
        static_cast<void>(calls_.remove(temporary_));
        temporary_.clear();
    }
}

void StagedFile::fail(const FileFailure& failure, const QString& path) {
    discard();
    raiseFileError(QString::fromUtf8(kWriteFailed), path, failure.reason);
}

FileCallResult StagedFile::writeQuietly(const char* data, std::int64_t size) {
    if (!open_) {
        return FileFailure{FileFailureKind::kOther, QString()};
    }
    return calls_.write(handle_, data, size);
}

void StagedFile::write(QByteArrayView bytes) {
    checkDevice();
    if (const FileCallResult failure = writeQuietly(bytes.data(), bytes.size())) {
        fail(*failure, target_);
    }
}

QIODevice& StagedFile::device() {
    if (!device_) {
        device_ = std::make_unique<Device>(*this);
    }
    return *device_;
}

void StagedFile::checkDevice() {
    if (deviceFailure_) {
        fail(*deviceFailure_, target_);
    }
}

void StagedFile::finish() {
    if (temporary_.isEmpty()) {  // an earlier failure removed it
        raiseFileError(QString::fromUtf8(kWriteFailed), target_);
    }
    checkDevice();
    if (!open_) {
        return;
    }
    // Looked at again just before the move: what stands there now is what is replaced.
    TargetFacts facts;
    if (const FileCallResult refusal = calls_.examineTarget(target_, facts)) {
        fail(*refusal, target_);
    }
    if (const FileCallResult failure = calls_.adopt(handle_, facts)) {
        fail(*failure, target_);
    }
    if (executable_) {
        if (const FileCallResult failure = allowRunning(temporary_)) {
            fail(*failure, target_);
        }
    }
    if (const FileCallResult failure = calls_.sync(handle_)) {
        fail(*failure, target_);
    }
    open_ = false;
    if (const FileCallResult failure = calls_.close(handle_)) {
        fail(*failure, target_);
    }
}

void StagedFile::replaceTarget() {
    finish();
    if (const FileCallResult failure = calls_.replace(temporary_, target_)) {
        fail(*failure, target_);
    }
    moved_ = true;
}

void writeWholeFile(const QString& path, QByteArrayView bytes, FileCalls& calls) {
    StagedFile file(path, calls);
    file.write(bytes);
    file.replaceTarget();
}

void writeWholeExecutableFile(const QString& path, QByteArrayView bytes, FileCalls& calls) {
    StagedFile file(path, calls);
    file.write(bytes);
    file.makeExecutable();
    file.replaceTarget();
}

}  // namespace velmar::platform
