// The file calls of whole-file writes on Linux, with the system's error numbers turned
// into reasons a user can read.
#include "platform/atomic_file.h"
#include "platform/file_error.h"
#include "platform/regular_file.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <initializer_list>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace velmar::platform {

namespace {

constexpr mode_t kNewFileMode = 0666;  // narrowed by the umask, as for any new file
constexpr auto kNoHardLinks = "このﾌｧｲﾙｼｽﾃﾑはﾊｰﾄﾞﾘﾝｸに対応していません";
constexpr auto kNoExclusiveMove = "このﾌｧｲﾙｼｽﾃﾑは既存の名前を拒む名前変更に対応していません";

QString reasonFor(int number) {
    switch (number) {
        case ENOSPC:
        case EDQUOT:
            return QString::fromUtf8(kDiskFullReason);
        case EACCES:
        case EPERM:
            return QStringLiteral("ｱｸｾｽが拒否されました");
        case EROFS:
            return QStringLiteral("読み取り専用のﾃﾞｨｽｸです");
        case ENOENT:
        case ENOTDIR:
            return QStringLiteral("ﾌｫﾙﾀﾞが見つかりません");
        case EEXIST:
            return QStringLiteral("同じ名前のﾌｧｲﾙがあります");
        case EIO:
            return QStringLiteral("ﾃﾞｨｽｸの読み書きに失敗しました");
        case ENAMETOOLONG:
            return QStringLiteral("ﾌｧｲﾙ名が長すぎます");
        case EISDIR:
            return QStringLiteral("同じ名前のﾌｫﾙﾀﾞがあります");
        case EMLINK:
        case ENFILE:
        case EMFILE:
            return QStringLiteral("開けるﾌｧｲﾙの数が上限に達しました");
        default:
            return QStringLiteral("ｼｽﾃﾑｴﾗｰ %1 (%2)")
                .arg(number)
                .arg(QString::fromLocal8Bit(std::strerror(number)));
    }
}

FileCallResult failureOf(int number) {
    FileFailureKind kind = FileFailureKind::kOther;
    if (number == EEXIST) {
        kind = FileFailureKind::kNameTaken;
    } else if (number == ENOSPC || number == EDQUOT) {
        kind = FileFailureKind::kDiskFull;
    }
    return FileFailure{kind, reasonFor(number)};
}

FileCallResult resultOf(int status) {
    return status == 0 ? FileCallResult() : failureOf(errno);
}

// For calls that some file systems do not offer: those numbers mean that this one does not.
FileCallResult resultOf(int status, std::initializer_list<int> unsupported, const char* reason) {
    if (status == 0) {
        return {};
    }
    const int number = errno;
    if (std::find(unsupported.begin(), unsupported.end(), number) != unsupported.end()) {
        return FileFailure{FileFailureKind::kUnsupported, QString::fromUtf8(reason)};
    }
    return failureOf(number);
}

QByteArray encoded(const QString& path) {
    return QFile::encodeName(path);
}

bool sameFile(const struct stat& one, const struct stat& other) {
    return one.st_dev == other.st_dev && one.st_ino == other.st_ino;
}

// Locks the open claim file for this process alone; a lock goes with the process, so the
// claim of a process that was killed is free again at once.
int lockAll(int descriptor) {
    int status = -1;
    do {
        status = ::flock(descriptor, LOCK_EX);
    } while (status < 0 && errno == EINTR);
    return status;
}

class LinuxFileCalls final : public FileCalls {
  public:
    FileCallResult createNew(const QString& path, Handle& handle) override {
        int descriptor = -1;
        do {
            descriptor = ::open(QFile::encodeName(path).constData(),
                                O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kNewFileMode);
        } while (descriptor < 0 && errno == EINTR);
        if (descriptor < 0) {
            return failureOf(errno);
        }
        handle = descriptor;
        return {};
    }

    FileCallResult write(Handle handle, const char* data, std::int64_t size) override {
        while (size > 0) {
            const ssize_t written =
                ::write(static_cast<int>(handle), data, static_cast<std::size_t>(size));
            if (written < 0 && errno == EINTR) {
                continue;
            }
            if (written < 0) {
                return failureOf(errno);
            }
            if (written == 0) {
                return failureOf(ENOSPC);
            }
            data += written;
            size -= written;
        }
        return {};
    }

    FileCallResult sync(Handle handle) override {
        return resultOf(::fsync(static_cast<int>(handle)));
    }

    // The descriptor is gone after close, also when close reports an error.
    FileCallResult close(Handle handle) override {
        return resultOf(::close(static_cast<int>(handle)));
    }

    FileCallResult replace(const QString& from, const QString& to) override {
        return resultOf(
            ::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()));
    }

    FileCallResult examineTarget(const QString& path, TargetFacts& facts) override {
        const QByteArray name = QFile::encodeName(path);
        struct stat status {};
        if (::lstat(name.constData(), &status) != 0) {
            facts = TargetFacts{};
            return errno == ENOENT ? FileCallResult() : failureOf(errno);
        }
        if (!S_ISREG(status.st_mode)) {
            return FileFailure{FileFailureKind::kOther, notRegularFileReason()};
        }
        // A file the user could not write in place is not replaced behind its back.
        if (::faccessat(AT_FDCWD, name.constData(), W_OK, AT_EACCESS) != 0) {
            return failureOf(errno);
        }
        facts = TargetFacts{true, status.st_uid, status.st_gid, status.st_mode & 0777U};
        return {};
    }

    // Only root (or a member of the old group, for the group) may pass a file on; where
    // the group cannot be kept, its members get no more than everybody had.
    FileCallResult adopt(Handle handle, const TargetFacts& facts) override {
        if (!facts.exists) {
            return {};
        }
        const int descriptor = static_cast<int>(handle);
        const auto owner = static_cast<uid_t>(facts.owner);
        const auto group = static_cast<gid_t>(facts.group);
        const bool groupKept = ::fchown(descriptor, owner, group) == 0 ||
                               ::fchown(descriptor, static_cast<uid_t>(-1), group) == 0;
        auto mode = static_cast<mode_t>(facts.bits);
        if (!groupKept) {
            const auto everybody = static_cast<mode_t>(mode & S_IRWXO);
            mode = static_cast<mode_t>((mode & ~static_cast<mode_t>(S_IRWXG)) |
                                       (mode & (everybody << 3U)));
        }
        return resultOf(::fchmod(descriptor, mode));
    }

    // FAT and exFAT have no hard links: the kernel's drivers say EPERM, others ENOTSUP.
    FileCallResult linkNew(const QString& existing, const QString& newName) override {
        return resultOf(::link(encoded(existing).constData(), encoded(newName).constData()),
                        {EPERM, EOPNOTSUPP, ENOSYS}, kNoHardLinks);
    }

    // renameat2 with RENAME_NOREPLACE, called directly: the C library may not wrap it. File
    // systems that cannot refuse an existing name (FUSE ones among them) say EINVAL.
    FileCallResult moveNew(const QString& from, const QString& to) override {
        constexpr unsigned kRenameNoReplace = 1;
        const auto status = ::syscall(SYS_renameat2, AT_FDCWD, encoded(from).constData(), AT_FDCWD,
                                      encoded(to).constData(), kRenameNoReplace);
        return resultOf(static_cast<int>(status), {EINVAL, ENOSYS, EOPNOTSUPP}, kNoExclusiveMove);
    }

    // The claim file is locked, then checked to be still the file at path: a holder removes
    // it before letting it go, and whoever waited on the removed file tries again.
    FileCallResult holdClaim(const QString& path, Handle& handle) override {
        for (;;) {
            const int descriptor =
                ::open(encoded(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, kNewFileMode);
            if (descriptor < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return failureOf(errno);
            }
            struct stat held {};
            struct stat named {};
            if (lockAll(descriptor) != 0 || ::fstat(descriptor, &held) != 0) {
                const int number = errno;
                ::close(descriptor);
                return failureOf(number);
            }
            if (::lstat(encoded(path).constData(), &named) == 0 && sameFile(held, named)) {
                handle = descriptor;
                return {};
            }
            ::close(descriptor);
        }
    }

    FileCallResult dropClaim(const QString& path, Handle handle) override {
        const FileCallResult removed = resultOf(::unlink(encoded(path).constData()));
        const FileCallResult closed = close(handle);
        return removed ? removed : closed;
    }

    FileCallResult remove(const QString& path) override {
        return resultOf(::unlink(QFile::encodeName(path).constData()));
    }

    FileCallResult createFolder(const QString& path) override {
        constexpr mode_t kNewFolderMode = 0777;  // narrowed by the umask
        return resultOf(::mkdir(QFile::encodeName(path).constData(), kNewFolderMode));
    }
};

}  // namespace

QString systemErrorReason(std::int64_t code) {
    return reasonFor(static_cast<int>(code));
}

FileCalls& nativeFileCalls() {
    static LinuxFileCalls calls;
    return calls;
}

}  // namespace velmar::platform
