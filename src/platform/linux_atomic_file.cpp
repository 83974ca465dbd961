// The file calls of whole-file writes on Linux, with the system's error numbers turned
// into reasons a user can read.
#include "platform/atomic_file.h"
#include "platform/file_error.h"
#include "platform/regular_file.h"

#include <QFile>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velmar::platform {

namespace {

constexpr mode_t kNewFileMode = 0666;  // narrowed by the umask, as for any new file

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

    FileCallResult linkNew(const QString& existing, const QString& newName) override {
        return resultOf(::link(QFile::encodeName(existing).constData(),
                               QFile::encodeName(newName).constData()));
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
