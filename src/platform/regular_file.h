// Reading small files that the program keeps (settings, folder definition, printer
// settings): only a regular file is read, it is opened so that nothing can make the
// program wait (a named pipe, a device), and only up to a size such a file never reaches.
#pragma once

#include <QByteArray>
#include <QString>

namespace velmar::platform {

// No settings file of the program comes near this; anything larger is not one.
inline constexpr qint64 kSettingsFileLimit = qint64{1} << 20;

enum class FileReadStatus { kRead, kMissing, kNotRegular, kTooLarge, kFailed };

struct FileRead {
    FileReadStatus status = FileReadStatus::kFailed;
    QByteArray bytes;  // the whole file when it was read
    QString reason;    // why it was not, for the user

    [[nodiscard]] bool read() const { return status == FileReadStatus::kRead; }
    [[nodiscard]] bool missing() const { return status == FileReadStatus::kMissing; }
};

// Reads a regular file whole (a link to one is followed). Anything else at the path, a
// file larger than the limit, and a failed read are refused with a reason; nothing else
// than this one file is ever opened, and it is never waited for.
[[nodiscard]] FileRead readRegularFile(const QString& path, qint64 limit = kSettingsFileLimit);

// The reasons the readers give, the same on every system.
[[nodiscard]] QString notRegularFileReason();
[[nodiscard]] QString tooLargeFileReason(qint64 limit);

}  // namespace velmar::platform
