// Reading a settings file on Linux: the path is looked at before it is opened, so that a
// device is never opened at all, and opened without blocking, so that a named pipe put in
// its place meanwhile cannot make the program wait; the descriptor then decides.
#include "platform/file_error.h"
#include "platform/regular_file.h"

#include <QFile>

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velmar::platform {

namespace {

FileRead refused(FileReadStatus status, const QString& reason) {
    return FileRead{status, {}, reason};
}

FileRead failedWith(int number) {
    if (number == ENOENT) {
        return refused(FileReadStatus::kMissing, systemErrorReason(number));
    }
    return refused(FileReadStatus::kFailed, systemErrorReason(number));
}

// Closes the descriptor when it goes out of scope.
class Descriptor {
  public:
    explicit Descriptor(int descriptor) : descriptor_(descriptor) {}
    ~Descriptor() {
        if (descriptor_ >= 0) {
            ::close(descriptor_);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    Descriptor(Descriptor&&) = delete;
    Descriptor& operator=(Descriptor&&) = delete;
    [[nodiscard]] int get() const { return descriptor_; }

  private:
    int descriptor_;
};

// Reads up to one byte more than the limit, so that a file that grew is still told.
FileRead readAll(int descriptor, qint64 limit) {
    QByteArray bytes;
    constexpr qint64 kChunk = 64 * 1024;
    char buffer[kChunk];
    while (bytes.size() <= limit) {
        const ssize_t got = ::read(descriptor, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return failedWith(errno);
        }
        if (got == 0) {
            return FileRead{FileReadStatus::kRead, bytes, {}};
        }
        bytes.append(buffer, got);
    }
    return refused(FileReadStatus::kTooLarge, tooLargeFileReason(limit));
}

}  // namespace

FileRead readRegularFile(const QString& path, qint64 limit) {
    const QByteArray name = QFile::encodeName(path);
    struct stat before {};
    if (path.isEmpty() || ::stat(name.constData(), &before) != 0) {
        return failedWith(path.isEmpty() ? ENOENT : errno);
    }
    if (!S_ISREG(before.st_mode)) {
        return refused(FileReadStatus::kNotRegular, notRegularFileReason());
    }
    if (before.st_size > limit) {
        return refused(FileReadStatus::kTooLarge, tooLargeFileReason(limit));
    }
    int opened = -1;
    do {
        opened = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    } while (opened < 0 && errno == EINTR);
    if (opened < 0) {
        return failedWith(errno);
    }
    const Descriptor file(opened);
    struct stat after {};
    if (::fstat(file.get(), &after) != 0) {
        return failedWith(errno);
    }
    if (!S_ISREG(after.st_mode)) {
        return refused(FileReadStatus::kNotRegular, notRegularFileReason());
    }
    return readAll(file.get(), limit);
}

}  // namespace velmar::platform
