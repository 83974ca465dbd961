// The file-system service, built on Qt's file classes.
#include "platform/file_system.h"
#include "base/temporary_files.h"
#include "platform/file_error.h"
#include "platform/folder_listing.h"
#include "platform/paths.h"
#include "platform/regular_file.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <optional>
#include <utility>

namespace velmar::platform {

namespace {

// Where the file system can neither refuse an existing name nor link: the name is tested
// and the file moved while this process holds the folder's claim file, so no other copy of
// the program tests or takes a name at the same time. The claim of a killed run is taken
// over, and the name shows nothing until the move has put the whole file there.
FileCallResult moveUnderClaim(FileCalls& calls, const QString& finished, const QString& newName) {
    const QString claim = QFileInfo(newName).dir().filePath(QLatin1String(kNamingClaimFile));
    FileCalls::Handle handle = -1;
    if (FileCallResult failure = calls.holdClaim(claim, handle)) {
        return failure;
    }
    const QFileInfo target(newName);
    const FileCallResult moved =
        target.exists() || target.isSymLink()
            ? FileCallResult(FileFailure{FileFailureKind::kNameTaken, QString()})
            : calls.replace(finished, newName);
    static_cast<void>(calls.dropClaim(claim, handle));  // a claim left is taken over later
    return moved;
}

}  // namespace

// Anything but a folder counts, so that a named pipe or a device in a file's place is
// met by the reading that refuses it rather than taken for a missing file.
bool FileSystem::fileExists(const QString& path) const {
    const QFileInfo info(path);
    return !path.isEmpty() && info.exists() && !info.isDir();
}

bool FileSystem::folderExists(const QString& path) const {
    return !path.isEmpty() && QFileInfo(path).isDir();
}

void FileSystem::createFolder(const QString& path) const {
    const FileCallResult failure =
        path.isEmpty() ? FileCallResult(FileFailure{}) : calls_->createFolder(path);
    if (failure) {
        raiseFolderError(QStringLiteral("を作成できません"), path, failure->reason);
    }
}

QStringList FileSystem::fileNames(const QString& folder) const {
    // One unsorted pass, names only: a folder of many thousand files costs no sorting and
    // no look at each file.
    std::optional<QStringList> names = listFileNames(folder);
    if (!names) {
        raiseFolderError(folderExists(folder) ? QStringLiteral("を読み取れません")
                                              : QStringLiteral("が見つかりません"),
                         folder);
    }
    return std::move(*names);
}

TextReader FileSystem::openTextFileForReading(const QString& path) const {
    FileRead file = readRegularFile(path);
    if (!file.read()) {
        raiseFileError(QStringLiteral("を開けません"), path, file.reason);
    }
    return {path, std::move(file.bytes)};
}

TextWriter FileSystem::openTextFileForWriting(const QString& path) const {
    return TextWriter(path, *calls_);
}

void FileSystem::createEmptyTextFile(const QString& path) const {
    TextWriter writer(path, *calls_);
    writer.close();
}

void FileSystem::deleteFile(const QString& path) const {
    QFile file(path);
    if (!file.remove() && (QFileInfo(path).isSymLink() || QFileInfo::exists(path))) {
        raiseFileError(QStringLiteral("を削除できません"), path, file.errorString());
    }
}

bool FileSystem::publishNew(const QString& finished, const QString& newName) const {
    FileCallResult failure = calls_->moveNew(finished, newName);
    if (failure && failure->kind == FileFailureKind::kUnsupported) {
        failure = calls_->linkNew(finished, newName);
        if (!failure) {
            static_cast<void>(calls_->remove(finished));  // else a later run removes it
            return true;
        }
        if (failure->kind == FileFailureKind::kUnsupported) {
            failure = moveUnderClaim(*calls_, finished, newName);
        }
    }
    if (failure && failure->kind != FileFailureKind::kNameTaken) {
        raiseFileError(QStringLiteral("を作成できません"), newName, failure->reason);
    }
    return !failure;
}

void FileSystem::removeAbandonedTemporaries(const QString& folder) const {
    if (const std::optional<QStringList> names = listFileNames(folder)) {
        removeAbandonedTemporaries(folder, *names);
    }
}

void FileSystem::removeAbandonedTemporaries(const QString& folder, const QStringList& names) const {
    const QDateTime abandoned =
        QDateTime::currentDateTimeUtc().addSecs(-qint64{kAbandonedTemporarySeconds});
    for (const QString& name : names) {
        if (!isTemporaryName(name)) {
            continue;
        }
        const QString path = QDir(folder).filePath(name);
        const QFileInfo entry(path);
        if (entry.isFile() && entry.lastModified() <= abandoned) {
            QFile::remove(path);  // another copy may have removed it first
        }
    }
}

namespace {

// The folder as it was given, a separator unless it ends with one, and the name.
QString pathIn(const QString& folder, const QString& name) {
    const bool separated = folder.endsWith(QLatin1Char('/')) || folder.endsWith(pathSeparator());
    return separated ? folder + name : folder + pathSeparator() + name;
}

}  // namespace

UnpublishedFile::UnpublishedFile(const FileSystem& files, const QString& folder)
    : files_(files), path_(pathIn(folder, newTemporaryName())) {}

UnpublishedFile::~UnpublishedFile() {
    QFile::remove(path_);  // else a later run removes it
}

void UnpublishedFile::write(const std::function<void(QIODevice&)>& writeContent) const {
    StagedFile file(path_, files_.calls());
    writeContent(file.device());
    file.checkDevice();
    file.replaceTarget();
}

bool UnpublishedFile::publishAs(const QString& newName) const {
    return files_.publishNew(path_, newName);
}

}  // namespace velmar::platform
