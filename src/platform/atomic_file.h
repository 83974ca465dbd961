// Whole-file writes: a file is written under a hidden temporary name in its own folder,
// every write and the final flush checked, synced, and only then put in place in one
// step. A failure leaves the old file as it was and removes the temporary file.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>

class QIODevice;

namespace velmar::platform {

// The reason given for a full disk.
inline constexpr auto kDiskFullReason = "ﾃﾞｨｽｸに空きがありません";

// kUnsupported: the file system cannot do what the call asks (no hard links, or no rename
// that refuses an existing name).
enum class FileFailureKind { kNameTaken, kDiskFull, kUnsupported, kOther };

// Why a system call on a file failed: its kind and the system's reason, in Japanese.
struct FileFailure {
    FileFailureKind kind = FileFailureKind::kOther;
    QString reason;
};

// Empty when the call succeeded.
using FileCallResult = std::optional<FileFailure>;

// What a whole-file write found at its target, and what the new file keeps of it.
struct TargetFacts {
    bool exists = false;
    std::int64_t owner = -1;  // Linux: the user and group ids
    std::int64_t group = -1;
    std::uint32_t bits = 0;  // Linux: the permission bits; Windows: the file attributes
};

// The system calls a whole-file write is made of, one implementation per system. Tests
// put a double in their place to make any one of them fail.
class FileCalls {
  public:
    using Handle = std::int64_t;
    virtual ~FileCalls() = default;
    // Creates a new empty file for writing; fails with NameTaken when the name exists.
    virtual FileCallResult createNew(const QString& path, Handle& handle) = 0;
    // Writes all of the bytes.
    virtual FileCallResult write(Handle handle, const char* data, std::int64_t size) = 0;
    // Puts what was written on the disk.
    virtual FileCallResult sync(Handle handle) = 0;
    virtual FileCallResult close(Handle handle) = 0;
    // Moves a file over another in one step, replacing it.
    virtual FileCallResult replace(const QString& from, const QString& to) = 0;
    // Looks at what a write would replace, a link not followed: nothing, or a regular file
    // the user may write (facts filled). Anything else there fails, and so does a file
    // the user may not write.
    virtual FileCallResult examineTarget(const QString& path, TargetFacts& facts) = 0;
    // Gives the file being written what it keeps of the file it replaces: owner and group
    // where the system allows, and the permission bits (Windows: the attributes). A new
    // file gets the ordinary ones (Windows: neither hidden nor read-only).
    virtual FileCallResult adopt(Handle handle, const TargetFacts& facts) = 0;
    // Gives an existing file a further name; fails with NameTaken when that name exists.
    virtual FileCallResult linkNew(const QString& existing, const QString& newName) = 0;
    // Moves a file to a new name in one step; fails with NameTaken when that name exists.
    // The running system's call unless a double says otherwise.
    virtual FileCallResult moveNew(const QString& from, const QString& to);
    // Waits until this process alone holds the claim file at path, creating it when it is
    // missing; a claim file that a killed process left is taken over, never waited for.
    virtual FileCallResult holdClaim(const QString& path, Handle& handle);
    // Removes the claim file and lets it go.
    virtual FileCallResult dropClaim(const QString& path, Handle handle);
    virtual FileCallResult remove(const QString& path) = 0;
    // Creates one folder; its parent must exist.
    virtual FileCallResult createFolder(const QString& path) = 0;
};

// The running system's calls.
[[nodiscard]] FileCalls& nativeFileCalls();

// A new name in folder for a file the program writes before it is put in place, in the
// program's form for temporaries (base/temporary_files.h), different on every call. Only
// names of this form are ever removed as left over by a run that was killed.
[[nodiscard]] QString newTemporaryName();
[[nodiscard]] QString newTemporaryPath(const QString& folder);
[[nodiscard]] bool isTemporaryName(const QString& fileName);

// A file being written under a hidden temporary name beside its target. Only a regular
// file is ever replaced (or a missing one created); a link is followed to the file it
// names, which is replaced in its own folder while the link stays. Failures raise Error
// naming the target; the temporary file goes away with the object unless it was moved
// into place.
class StagedFile {
  public:
    explicit StagedFile(const QString& targetPath, FileCalls& calls = nativeFileCalls());
    ~StagedFile();
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;
    StagedFile(StagedFile&&) = delete;
    StagedFile& operator=(StagedFile&&) = delete;

    void write(QByteArrayView bytes);
    // A device that writes into the file, for writers that stream (image encoders). Its
    // first failure is raised by the next write or replaceTarget.
    [[nodiscard]] QIODevice& device();
    // Raises the device's first failure, if it had one.
    void checkDevice();
    // The file may be run wherever it may be read, from the moment it has the target's name.
    void makeExecutable() { executable_ = true; }
    // Syncs and closes the file, then moves it over the target.
    void replaceTarget();

  private:
    class Device;
    friend class Device;
    [[nodiscard]] FileCallResult writeQuietly(const char* data, std::int64_t size);
    void finish();
    [[noreturn]] void fail(const FileFailure& failure, const QString& path);
    void discard();

    FileCalls& calls_;
    QString target_;
    QString temporary_;
    FileCalls::Handle handle_ = -1;
    bool open_ = false;
    bool moved_ = false;
    bool executable_ = false;
    std::optional<FileFailure> deviceFailure_;
    std::unique_ptr<Device> device_;
};

// Writes the whole file or leaves it as it was; raises Error naming it on failure.
void writeWholeFile(const QString& path, QByteArrayView bytes,
                    FileCalls& calls = nativeFileCalls());

// The same for a file that is to be run: it may be run wherever it may be read, and it is
// never in place without that.
void writeWholeExecutableFile(const QString& path, QByteArrayView bytes,
                              FileCalls& calls = nativeFileCalls());

}  // namespace velmar::platform
