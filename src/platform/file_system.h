// The file-system service and its code page 932 text files.
#pragma once

#include "platform/atomic_file.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class QIODevice;

namespace velmar::platform {

// A text file opened for reading as code page 932 text. The whole file is read when it is
// opened.
class TextReader {
  public:
    TextReader(QString path, QByteArray bytes);
    // True at the end of the file and before a line break (an empty first line).
    [[nodiscard]] bool atEndOfLine() const;
    [[nodiscard]] bool atEndOfStream() const;
    // The rest of the file as text. Bytes that are not code page 932 text raise Error.
    [[nodiscard]] QString readAll();
    void close();

  private:
    QString path_;
    QByteArray bytes_;
    qsizetype position_ = 0;
};

// A text file opened for writing as code page 932 text. The file on disk is replaced only
// by close(), in one step, so a failure never leaves it half written; a writer that goes
// away without close() leaves the file as it was.
class TextWriter {
  public:
    explicit TextWriter(const QString& path, FileCalls& calls = nativeFileCalls());
    ~TextWriter();
    TextWriter(const TextWriter&) = delete;
    TextWriter& operator=(const TextWriter&) = delete;
    TextWriter(TextWriter&& other) noexcept;
    TextWriter& operator=(TextWriter&& other) noexcept;

    // Text that code page 932 cannot hold raises Error; nothing of it is written.
    void write(const QString& text);
    // Replaces the file with what was written; raises Error when that fails.
    void close();

  private:
    class Impl;
    std::unique_ptr<Impl> impl_;
};

// The program's file-system service: file and folder tests, folder creation, the names in
// a folder and code page 932 text files. Failures raise Error with a message for the user.
// Files are written through the system's file calls, or through the calls given.
class FileSystem {
  public:
    FileSystem() = default;
    explicit FileSystem(FileCalls& calls) : calls_(&calls) {}

    // True when something other than a folder is at the path (a link is followed).
    [[nodiscard]] bool fileExists(const QString& path) const;
    [[nodiscard]] bool folderExists(const QString& path) const;
    // Creates one folder; its parent must exist and the folder must not.
    void createFolder(const QString& path) const;
    // The names of the files (not sub-folders) directly in a folder, unsorted.
    [[nodiscard]] QStringList fileNames(const QString& folder) const;
    // Reads the file whole; anything else than a regular file of at most kSettingsFileLimit
    // bytes raises Error naming it.
    [[nodiscard]] TextReader openTextFileForReading(const QString& path) const;
    [[nodiscard]] TextWriter openTextFileForWriting(const QString& path) const;
    // Creates an empty file, replacing a regular file that is there.
    void createEmptyTextFile(const QString& path) const;
    // Removes a file; a file that is not there is no failure.
    void deleteFile(const QString& path) const;
    // Moves a finished file of the program's own (a temporary name) to newName unless a file
    // has that name: false when one has, also when another process takes the name at the
    // same moment. No file is ever replaced, and newName never shows a file that is not
    // whole, also when the run is killed. Ways tried, as the file system allows: a move that
    // refuses an existing name, then a hard link, then a move made while holding the
    // folder's claim file (kNamingClaimFile in base/temporary_files.h), which every copy of
    // the program takes for this step. Other failures raise Error with the system's reason.
    [[nodiscard]] bool publishNew(const QString& finished, const QString& newName) const;
    // Removes the program's own temporary files (see isTemporaryName) that runs killed
    // while writing left in a folder. Files younger than kAbandonedTemporarySeconds
    // (base/temporary_files.h) may still be being written by another running copy and stay; other
    // programs' files are never touched. Best effort: never raises.
    void removeAbandonedTemporaries(const QString& folder) const;
    // The same among the names of the folder's files listed already: only the temporary
    // files among them are looked at.
    void removeAbandonedTemporaries(const QString& folder, const QStringList& names) const;
    [[nodiscard]] FileCalls& calls() const { return *calls_; }

  private:
    FileCalls* calls_ = &nativeFileCalls();
};

// A new file of the program's, written whole under a temporary name of its own in a folder
// and then published under a name that no file holds (FileSystem::publishNew), so that no
// published name ever shows a partial file and no file is replaced. Whatever still has the
// temporary name when the object goes is removed: a file never published, or one put back.
class UnpublishedFile {
  public:
    UnpublishedFile(const FileSystem& files, const QString& folder);
    ~UnpublishedFile();
    UnpublishedFile(const UnpublishedFile&) = delete;
    UnpublishedFile& operator=(const UnpublishedFile&) = delete;
    UnpublishedFile(UnpublishedFile&&) = delete;
    UnpublishedFile& operator=(UnpublishedFile&&) = delete;

    // The temporary name in the folder, for writers that take a path.
    [[nodiscard]] const QString& path() const { return path_; }
    // Writes the whole file through writeContent: every write checked, synced, then given
    // the temporary name. A failure raises Error; a full disk is said as such.
    void write(const std::function<void(QIODevice&)>& writeContent) const;
    // Publishes the file as newName unless a file has that name; false when one has.
    [[nodiscard]] bool publishAs(const QString& newName) const;

  private:
    const FileSystem& files_;
    QString path_;
};

}  // namespace velmar::platform
