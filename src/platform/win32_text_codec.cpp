// Code page 932 on Windows, through the system's own conversion tables. Nothing is ever
// replaced: no best-fit characters and no default character when encoding, and invalid
// bytes refused when decoding.
#include "platform/text_codec.h"

#include <windows.h>

#include <limits>

namespace velmar::platform {

namespace {

constexpr UINT kAnsiCodePage = 932;

bool fitsInt(qsizetype size) {
    return size <= std::numeric_limits<int>::max();
}

}  // namespace

std::optional<QByteArray> encodeAnsi(const QString& text) {
    if (text.isEmpty()) {
        return QByteArray();
    }
    if (!fitsInt(text.size())) {
        return std::nullopt;
    }
    const auto* wide = reinterpret_cast<const wchar_t*>(text.utf16());
    const auto length = static_cast<int>(text.size());
    BOOL usedDefault = FALSE;
    const int size = WideCharToMultiByte(kAnsiCodePage, WC_NO_BEST_FIT_CHARS, wide, length, nullptr,
                                         0, nullptr, &usedDefault);
    if (size <= 0 || usedDefault) {
        return std::nullopt;
    }
    QByteArray bytes(size, Qt::Uninitialized);
    usedDefault = FALSE;
    const int written = WideCharToMultiByte(kAnsiCodePage, WC_NO_BEST_FIT_CHARS, wide, length,
                                            bytes.data(), size, nullptr, &usedDefault);
    if (written != size || usedDefault) {
        return std::nullopt;
    }
    return bytes;
}

std::optional<QString> decodeAnsi(const QByteArray& bytes) {
    if (bytes.isEmpty()) {
        return QString();
    }
    if (!fitsInt(bytes.size())) {
        return std::nullopt;
    }
    const auto length = static_cast<int>(bytes.size());
    const int size = MultiByteToWideChar(kAnsiCodePage, MB_ERR_INVALID_CHARS, bytes.constData(),
                                         length, nullptr, 0);
    if (size <= 0) {
        return std::nullopt;
    }
    QString text(size, Qt::Uninitialized);
    const int written = MultiByteToWideChar(kAnsiCodePage, MB_ERR_INVALID_CHARS, bytes.constData(),
                                            length, reinterpret_cast<wchar_t*>(text.data()), size);
    if (written != size) {
        return std::nullopt;
    }
    return text;
}

}  // namespace velmar::platform
