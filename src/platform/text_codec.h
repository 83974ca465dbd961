// The code page of the settings files and of the shell calls: code page 932.
#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace velmar::platform {

// The text code page of the settings files: code page 932 (Shift-JIS). Encoding gives
// nothing when the text holds a character the code page cannot represent; decoding gives
// nothing when the bytes are not valid code page 932 text. Nothing is ever replaced.
[[nodiscard]] std::optional<QByteArray> encodeAnsi(const QString& text);
[[nodiscard]] std::optional<QString> decodeAnsi(const QByteArray& bytes);

}  // namespace velmar::platform
