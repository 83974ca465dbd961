// The file-system service, built on Qt's file classes.
#include "platform/file_system.h"
#include "platform/file_error.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <utility>

namespace velmar::platform {

namespace {

QString nativePath(const QString& path) {
    return QDir::toNativeSeparators(path);
}

}  // namespace

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
    // One unsorted pass, names only: a folder of many thousand files costs no sorting.
    QStringList names;
    QDirIterator entries(folder, QDir::Files | QDir::Hidden | QDir::System);
    while (entries.hasNext()) {
        entries.next();
        names << entries.fileName();
    }
    return names;
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
