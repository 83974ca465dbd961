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
constexpr int kPaletteType = 3;
constexpr qsizetype kPaletteEntry = 3;  // red, green, blue
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

// Whether a PDF image takes samples of this depth for this colour type.
bool passableDepth(int type, int depth) {
    switch (type) {
        case kGreyType:
            return depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16;
        case kColourType:
            return depth == 8 || depth == 16;
        case kPaletteType:
            return depth == 1 || depth == 2 || depth == 4 || depth == 8;
        default:
            return false;
    }
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
        !passableDepth(type, depth) || !standard || interlaced) {
        return std::nullopt;
    }
    PngStream stream;
    stream.size = QSize(static_cast<int>(width), static_cast<int>(height));
    stream.components = type == kColourType ? 3 : 1;
    stream.bitsPerComponent = depth;
    return stream;
}

// Whether a PLTE chunk's body holds colours the image's indices can all reach.
bool validPalette(const PngStream& stream, QByteArrayView body) {
    const qsizetype entries = body.size() / kPaletteEntry;
    return body.size() % kPaletteEntry == 0 && entries > 0 &&
           entries <= (qsizetype{1} << stream.bitsPerComponent);
}

}  // namespace

std::optional<PngStream> readPngStream(const QByteArray& bytes) {
    if (!bytes.startsWith(kSignature)) {
        return std::nullopt;
    }
    std::optional<PngStream> stream;
    bool indexed = false;
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
            indexed = static_cast<unsigned char>(chunk->body[9]) == kPaletteType;
        } else if (!stream || chunk->type == "tRNS") {
            return std::nullopt;
        } else if (chunk->type == "PLTE" && indexed) {
            if (!stream->palette.isEmpty() || !stream->data.empty() ||
                !validPalette(*stream, chunk->body)) {
                return std::nullopt;  // one palette, before the data
            }
            stream->palette = chunk->body.toByteArray();
        } else if (chunk->type == "IDAT") {
            if (dataEnded || (indexed && stream->palette.isEmpty())) {
                // The data chunks follow each other, and a palette comes before them.
                return std::nullopt;
            }
            stream->data.push_back(chunk->body);
        } else if (chunk->type == "IEND") {
            if (stream->data.empty()) {
                return std::nullopt;
            }
            stream->file = bytes;
            return stream;
        } else if (!stream->data.empty()) {
            dataEnded = true;
        }
    }
    return std::nullopt;  // no end chunk
}

}  // namespace velmar::image_files
