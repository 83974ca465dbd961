// Code page 932 through Qt's Shift_JIS table, which on Debian is the code page 932 table.
#include "platform/text_codec.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace velmar::platform {

namespace {

constexpr auto kAnsiCodec = "Shift_JIS";  // Qt's table for it is code page 932

}  // namespace

std::optional<QByteArray> encodeAnsi(const QString& text) {
    QStringEncoder encoder(kAnsiCodec, QStringConverter::Flag::Stateless);
    QByteArray bytes = encoder.encode(text);
    if (!encoder.isValid() || encoder.hasError()) {
        return std::nullopt;
    }
    return bytes;
}

std::optional<QString> decodeAnsi(const QByteArray& bytes) {
    QStringDecoder decoder(kAnsiCodec, QStringConverter::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (!decoder.isValid() || decoder.hasError()) {
        return std::nullopt;
    }
    return text;
}

}  // namespace velmar::platform
