#include "image_files/png_stream.h"

#include <QtEndian>

#include <cstdint>

namespace velmar::image_files {

namespace {

constexpr QByteArrayView kSignature("\x89PNG\r\n\x1a\n", 8);
constexpr qsizetype kSignatureLength = 8;
constexpr qsizetype kChunkFrame = 12;  // length, type and checksum
constexpr qsizetype kHeaderLength = 13;
constexpr int kGreyType = 0;
constexpr int kColourType = 2;
constexpr std::uint32_t kLargestLength = 0x7FFFFFFF;

struct Chunk {
    QByteArray type;
    QByteArrayView body;
};

// The chunk at offset, or nothing when it runs past the end.
std::optional<Chunk> chunkAt(const QByteArray& bytes, qsizetype offset) {
    if (bytes.size() - offset < kChunkFrame) {
        return std::nullopt;
    }
    const auto length = qFromBigEndian<std::uint32_t>(bytes.constData() + offset);
    if (length > kLargestLength || bytes.size() - offset - kChunkFrame < qsizetype{length}) {
        return std::nullopt;
    }
    return Chunk{bytes.mid(offset + 4, 4), QByteArrayView(bytes).sliced(offset + 8, length)};
}

// Whether the header describes pixels a PDF decodes as the file's reader does.
std::optional<PngStream> streamFor(QByteArrayView header) {
    if (header.size() != kHeaderLength) {
        return std::nullopt;
    }
    const auto width = qFromBigEndian<std::uint32_t>(header.data());
    const auto height = qFromBigEndian<std::uint32_t>(header.data() + 4);
    const int depth = static_cast<unsigned char>(header[8]);
    const int type = static_cast<unsigned char>(header[9]);
    const bool standard = header[10] == 0 && header[11] == 0;  // deflate, adaptive filters
    const bool interlaced = header[12] != 0;
    if (width == 0 || height == 0 || width > kLargestLength || height > kLargestLength ||
        depth != 8 || (type != kGreyType && type != kColourType) || !standard || interlaced) {
        return std::nullopt;
    }
    return PngStream{
        QSize(static_cast<int>(width), static_cast<int>(height)), type == kGreyType ? 1 : 3, {}};
}

}  // namespace

std::optional<PngStream> readPngStream(const QByteArray& bytes) {
    if (!bytes.startsWith(kSignature)) {
        return std::nullopt;
    }
    std::optional<PngStream> stream;
    qsizetype offset = kSignatureLength;
    bool dataEnded = false;
    for (std::optional<Chunk> chunk = chunkAt(bytes, offset); chunk;
         chunk = chunkAt(bytes, offset)) {
        offset += kChunkFrame + chunk->body.size();
        if (chunk->type == "IHDR") {
            if (offset != kSignatureLength + kChunkFrame + kHeaderLength) {
                return std::nullopt;  // the header must come first, once
            }
            stream = streamFor(chunk->body);
            if (!stream) {
                return std::nullopt;
            }
        } else if (!stream || chunk->type == "tRNS") {
            return std::nullopt;
        } else if (chunk->type == "IDAT") {
            if (dataEnded) {
                return std::nullopt;  // the data chunks must follow each other
            }
            stream->data.append(chunk->body);
        } else if (chunk->type == "IEND") {
            return stream->data.isEmpty() ? std::nullopt : stream;
        } else if (!stream->data.isEmpty()) {
            dataEnded = true;
        }
    }
    return std::nullopt;  // no end chunk
}

}  // namespace velmar::image_files
