// The file calls of whole-file writes on Windows, with the system's error codes turned
// into reasons a user can read.
#include "platform/atomic_file.h"
#include "platform/file_error.h"
#include "platform/regular_file.h"

#include "platform/win32_long_path.h"

#include <windows.h>

#include <algorithm>
#include <limits>

namespace velmar::platform {

namespace {

const wchar_t* wide(const QString& text) {
    return reinterpret_cast<const wchar_t*>(text.utf16());
}

QString nativeOf(const QString& path) {
    return win32FilePath(path);
}

HANDLE handleOf(FileCalls::Handle handle) {
    return reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(handle));
}

// The system's own text for an error code.
QString systemText(DWORD code) {
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    QString result =
        length > 0 ? QString::fromWCharArray(text, static_cast<qsizetype>(length)) : QString();
    LocalFree(text);
    return result.trimmed();
}

QString reasonFor(DWORD code) {
    switch (code) {
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return QString::fromUtf8(kDiskFullReason);
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            return QStringLiteral("ｱｸｾｽが拒否されました");
        case ERROR_WRITE_PROTECT:
            return QStringLiteral("読み取り専用のﾃﾞｨｽｸです");
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return QStringLiteral("ﾌｫﾙﾀﾞが見つかりません");
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            return QStringLiteral("同じ名前のﾌｧｲﾙがあります");
        case ERROR_WRITE_FAULT:
        case ERROR_READ_FAULT:
        case ERROR_CRC:
            return QStringLiteral("ﾃﾞｨｽｸの読み書きに失敗しました");
        case ERROR_FILENAME_EXCED_RANGE:
            return QStringLiteral("ﾌｧｲﾙ名が長すぎます");
        case ERROR_TOO_MANY_OPEN_FILES:
            return QStringLiteral("開けるﾌｧｲﾙの数が上限に達しました");
        default:
            return QStringLiteral("ｼｽﾃﾑｴﾗｰ %1 (%2)").arg(code).arg(systemText(code));
    }
}

FileCallResult failureOf(DWORD code) {
    FileFailureKind kind = FileFailureKind::kOther;
    if (code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS) {
        kind = FileFailureKind::kNameTaken;
    } else if (code == ERROR_DISK_FULL || code == ERROR_HANDLE_DISK_FULL) {
        kind = FileFailureKind::kDiskFull;
    }
    return FileFailure{kind, reasonFor(code)};
}

FileCallResult resultOf(BOOL succeeded) {
    return succeeded ? FileCallResult() : failureOf(GetLastError());
}

// For calls that some file systems do not offer (FAT has no hard links): those codes mean
// that this one does not.
FileCallResult resultOf(BOOL succeeded, const char* unsupportedReason) {
    if (succeeded) {
        return {};
    }
    const DWORD code = GetLastError();
    if (code == ERROR_INVALID_FUNCTION || code == ERROR_NOT_SUPPORTED) {
        return FileFailure{FileFailureKind::kUnsupported, QString::fromUtf8(unsupportedReason)};
    }
    return failureOf(code);
}

// How long a claim file that another process holds is waited for, in steps of kClaimStepMs.
constexpr int kClaimSteps = 3000;
constexpr DWORD kClaimStepMs = 10;

class Win32FileCalls final : public FileCalls {
  public:
    FileCallResult createNew(const QString& path, Handle& handle) override {
        const HANDLE file = CreateFileW(wide(nativeOf(path)), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            return failureOf(GetLastError());
        }
        handle = static_cast<Handle>(reinterpret_cast<std::intptr_t>(file));
        return {};
    }

    FileCallResult write(Handle handle, const char* data, std::int64_t size) override {
        while (size > 0) {
            const auto chunk = static_cast<DWORD>(
                std::min<std::int64_t>(size, std::numeric_limits<DWORD>::max() / 2));
            DWORD written = 0;
            if (!WriteFile(handleOf(handle), data, chunk, &written, nullptr)) {
                return failureOf(GetLastError());
            }
            if (written == 0) {
                return failureOf(ERROR_DISK_FULL);
            }
            data += written;
            size -= written;
        }
        return {};
    }

    FileCallResult sync(Handle handle) override {
        return resultOf(FlushFileBuffers(handleOf(handle)));
    }

    FileCallResult close(Handle handle) override { return resultOf(CloseHandle(handleOf(handle))); }

    FileCallResult replace(const QString& from, const QString& to) override {
        return resultOf(MoveFileExW(wide(nativeOf(from)), wide(nativeOf(to)),
                                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH));
    }

    FileCallResult examineTarget(const QString& path, TargetFacts& facts) override {
        const DWORD attributes = GetFileAttributesW(wide(nativeOf(path)));
        if (attributes == INVALID_FILE_ATTRIBUTES) {
            facts = TargetFacts{};
            const DWORD code = GetLastError();
            const bool missing = code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND;
            return missing ? FileCallResult() : failureOf(code);
        }
        if ((attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0) {
            return FileFailure{FileFailureKind::kOther, notRegularFileReason()};
        }
        // A read-only file is not replaced behind its back.
        if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
            return failureOf(ERROR_ACCESS_DENIED);
        }
        facts = TargetFacts{true, -1, -1, static_cast<std::uint32_t>(attributes)};
        return {};
    }

    // The temporary file's own attributes (it may be hidden by its name) never reach the
    // file it becomes: it takes the old file's, or none.
    FileCallResult adopt(Handle handle, const TargetFacts& facts) override {
        constexpr DWORD kKept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
        const DWORD kept = facts.exists ? (facts.bits & kKept) : 0;
        FILE_BASIC_INFO information{};
        information.FileAttributes = kept != 0 ? kept : FILE_ATTRIBUTE_NORMAL;
        return resultOf(SetFileInformationByHandle(handleOf(handle), FileBasicInfo, &information,
                                                   sizeof information));
    }

    FileCallResult linkNew(const QString& existing, const QString& newName) override {
        return resultOf(CreateHardLinkW(wide(nativeOf(newName)), wide(nativeOf(existing)), nullptr),
                        "このﾌｧｲﾙｼｽﾃﾑはﾊｰﾄﾞﾘﾝｸに対応していません");
    }

    // Without MOVEFILE_REPLACE_EXISTING the move fails when the name exists, on every file
    // system.
    FileCallResult moveNew(const QString& from, const QString& to) override {
        return resultOf(
            MoveFileExW(wide(nativeOf(from)), wide(nativeOf(to)), MOVEFILE_WRITE_THROUGH),
            "このﾌｧｲﾙｼｽﾃﾑは既存の名前を拒む名前変更に対応していません");
    }

    // The claim file is opened for this process alone and goes when its handle is closed,
    // also by the system when the process is killed. Another holder is waited for.
    FileCallResult holdClaim(const QString& path, Handle& handle) override {
        DWORD code = ERROR_SUCCESS;
        for (int step = 0; step < kClaimSteps; ++step) {
            const HANDLE file = CreateFileW(
                wide(nativeOf(path)), GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr,
                OPEN_ALWAYS, FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
            if (file != INVALID_HANDLE_VALUE) {
                handle = static_cast<Handle>(reinterpret_cast<std::intptr_t>(file));
                return {};
            }
            code = GetLastError();
            // A file being deleted by its last holder refuses access for a moment.
            if (code != ERROR_SHARING_VIOLATION && code != ERROR_ACCESS_DENIED) {
                break;
            }
            Sleep(kClaimStepMs);
        }
        return failureOf(code);
    }

    FileCallResult dropClaim(const QString& /*path*/, Handle handle) override {
        return close(handle);
    }

    FileCallResult remove(const QString& path) override {
        return resultOf(DeleteFileW(wide(nativeOf(path))));
    }

    FileCallResult createFolder(const QString& path) override {
        return resultOf(CreateDirectoryW(wide(nativeOf(path)), nullptr));
    }
};

}  // namespace

QString systemErrorReason(std::int64_t code) {
    return reasonFor(static_cast<DWORD>(code));
}

FileCalls& nativeFileCalls() {
    static Win32FileCalls calls;
    return calls;
}

}  // namespace velmar::platform
