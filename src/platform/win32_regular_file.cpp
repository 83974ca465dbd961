// Reading a settings file on Windows: a folder or a device is refused before it is
// opened, and the handle must then be a file on a disk (not a pipe or a console) before
// anything is read from it.
#include "platform/file_error.h"
#include "platform/regular_file.h"

#include <QDir>

#include <windows.h>

namespace velmar::platform {

namespace {

const wchar_t* wide(const QString& text) {
    return reinterpret_cast<const wchar_t*>(text.utf16());
}

FileRead refused(FileReadStatus status, const QString& reason) {
    return FileRead{status, {}, reason};
}

FileRead failedWith(DWORD code) {
    const bool missing = code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND;
    return refused(missing ? FileReadStatus::kMissing : FileReadStatus::kFailed,
                   systemErrorReason(code));
}

bool isFolderOrDevice(DWORD attributes) {
    return (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0;
}

// Closes the handle when it goes out of scope.
class OpenFile {
  public:
    explicit OpenFile(HANDLE handle) : handle_(handle) {}
    ~OpenFile() {
        if (handle_ != INVALID_HANDLE_VALUE) {
            CloseHandle(handle_);
        }
    }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    OpenFile(OpenFile&&) = delete;
    OpenFile& operator=(OpenFile&&) = delete;
    [[nodiscard]] HANDLE get() const { return handle_; }

  private:
    HANDLE handle_;
};

FileRead readAll(HANDLE file, qint64 limit) {
    QByteArray bytes;
    constexpr DWORD kChunk = 64 * 1024;
    char buffer[kChunk];
    while (bytes.size() <= limit) {
        DWORD got = 0;
        if (!ReadFile(file, buffer, kChunk, &got, nullptr)) {
            return failedWith(GetLastError());
        }
        if (got == 0) {
            return FileRead{FileReadStatus::kRead, bytes, {}};
        }
        bytes.append(buffer, static_cast<qsizetype>(got));
    }
    return refused(FileReadStatus::kTooLarge, tooLargeFileReason(limit));
}

}  // namespace

FileRead readRegularFile(const QString& path, qint64 limit) {
    if (path.isEmpty()) {
        return failedWith(ERROR_FILE_NOT_FOUND);
    }
    const QString native = QDir::toNativeSeparators(path);
    const DWORD attributes = GetFileAttributesW(wide(native));
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return failedWith(GetLastError());
    }
    if (isFolderOrDevice(attributes)) {
        return refused(FileReadStatus::kNotRegular, notRegularFileReason());
    }
    const OpenFile file(CreateFileW(wide(native), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) {
        return failedWith(GetLastError());
    }
    BY_HANDLE_FILE_INFORMATION information{};
    if (GetFileType(file.get()) != FILE_TYPE_DISK ||
        !GetFileInformationByHandle(file.get(), &information) ||
        isFolderOrDevice(information.dwFileAttributes)) {
        return refused(FileReadStatus::kNotRegular, notRegularFileReason());
    }
    const qint64 size = (static_cast<qint64>(information.nFileSizeHigh) << 32) |
                        static_cast<qint64>(information.nFileSizeLow);
    if (size > limit) {
        return refused(FileReadStatus::kTooLarge, tooLargeFileReason(limit));
    }
    return readAll(file.get(), limit);
}

}  // namespace velmar::platform
