// Walks the marker segments of a JPEG file up to its first scan, then on to its end. Every length
// is checked against the file, and the walk is bounded, so a hostile file can only make it give up.
#include "image_files/jpeg_layout.h"

#include <QByteArray>
#include <QFile>

#include <cstdint>
#include <cstring>

namespace velmar::image_files {

namespace {

constexpr std::uint8_t kPrefix = 0xFF;
constexpr std::uint8_t kSoi = 0xD8;
constexpr std::uint8_t kEoi = 0xD9;
constexpr std::uint8_t kSos = 0xDA;
constexpr std::uint8_t kSof0 = 0xC0;  // baseline
constexpr std::uint8_t kSof1 = 0xC1;  // extended sequential, Huffman
constexpr std::uint8_t kSof2 = 0xC2;  // progressive, Huffman
constexpr std::uint8_t kApp14 = 0xEE;
constexpr int kMostSegments = 4096;

struct Segment {
    std::uint8_t marker = 0;
    QByteArray payload;
};

std::uint16_t bigEndian16(const QByteArray& bytes, qsizetype pos) {
    return static_cast<std::uint16_t>((static_cast<std::uint8_t>(bytes.at(pos)) << 8) |
                                      static_cast<std::uint8_t>(bytes.at(pos + 1)));
}

// The next segment with a length field; fill bytes are skipped. Nothing at a malformed spot.
std::optional<Segment> readSegment(QFile& file) {
    char byte = 0;
    if (!file.getChar(&byte) || static_cast<std::uint8_t>(byte) != kPrefix) {
        return std::nullopt;
    }
    std::uint8_t marker = kPrefix;
    while (marker == kPrefix) {
        if (!file.getChar(&byte)) {
            return std::nullopt;
        }
        marker = static_cast<std::uint8_t>(byte);
    }
    const QByteArray length = file.read(2);
    if (length.size() != 2 || bigEndian16(length, 0) < 2) {
        return std::nullopt;
    }
    Segment segment{marker, file.read(bigEndian16(length, 0) - 2)};
    if (segment.payload.size() != bigEndian16(length, 0) - 2) {
        return std::nullopt;
    }
    return segment;
}

// Start-of-frame markers: C0 to CF less DHT (C4), JPG (C8) and DAC (CC).
bool isFrame(std::uint8_t marker) {
    return marker >= kSof0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

// Reads the frame header; false when it is too short to be one.
bool readFrame(const Segment& segment, JpegLayout& layout) {
    const QByteArray& frame = segment.payload;
    constexpr int kFrameHeaderSize = 6;
    constexpr int kPrecision8 = 8;
    if (frame.size() < kFrameHeaderSize) {
        return false;
    }
    layout.storedSize = QSize(bigEndian16(frame, 3), bigEndian16(frame, 1));
    layout.components = static_cast<std::uint8_t>(frame.at(5));
    const bool huffman8 =
        (segment.marker == kSof0 || segment.marker == kSof1 || segment.marker == kSof2) &&
        static_cast<std::uint8_t>(frame.at(0)) == kPrecision8;
    layout.passable = huffman8 && !layout.storedSize.isEmpty() &&
                      (layout.components == 1 || layout.components == 3 || layout.components == 4);
    return true;
}

// Markers that carry a length and may stand between scans: frames and tables (C0 to CF),
// scans, quantisation and restart intervals (DA to DF), application data and comments.
bool isSegment(std::uint8_t marker) {
    return (marker >= kSof0 && marker <= 0xCF) || (marker >= kSos && marker <= 0xDF) ||
           (marker >= 0xE0 && marker <= 0xEF) || marker == 0xFE;
}

// The offset just past the end-of-image marker, read on from the first scan's header:
// entropy-coded data is skipped (a 0xFF there is followed by 00, a restart marker or
// fill), and the segments between scans by their lengths. Nothing when the file ends
// first (cut short). Data after the marker, such as a phone's appended video, is no part
// of the image.
std::optional<qint64> endOfImage(QFile& file, qint64 scanData) {
    const qint64 size = file.size();
    uchar* bytes = file.map(0, size);
    if (bytes == nullptr) {
        return std::nullopt;
    }
    qint64 pos = scanData;
    while (pos + 1 < size) {
        const auto* found = static_cast<const uchar*>(
            std::memchr(bytes + pos, kPrefix, static_cast<std::size_t>(size - pos - 1)));
        if (found == nullptr) {
            break;
        }
        const qint64 at = found - bytes;
        const std::uint8_t marker = bytes[at + 1];
        // Stuffed bytes, fill, restart markers and anything else inside the coded data
        // are passed over; a damaged image is found when it is decoded.
        if (marker != kEoi && !isSegment(marker)) {
            pos = at + 1;
            continue;
        }
        if (marker == kEoi) {
            file.unmap(bytes);
            return at + 2;
        }
        if (at + 3 >= size) {
            break;
        }
        const qint64 length = (qint64{bytes[at + 2]} << 8) | bytes[at + 3];
        if (length < 2) {
            break;
        }
        pos = at + 2 + length;
    }
    file.unmap(bytes);
    return std::nullopt;
}

}  // namespace

std::optional<JpegLayout> readJpegLayout(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    return readJpegLayout(file);
}

std::optional<JpegLayout> readJpegLayout(QFile& file) {
    if (!file.seek(0)) {
        return std::nullopt;
    }
    const QByteArray start = file.read(2);
    if (start.size() != 2 || static_cast<std::uint8_t>(start.at(0)) != kPrefix ||
        static_cast<std::uint8_t>(start.at(1)) != kSoi) {
        return std::nullopt;
    }
    JpegLayout layout;
    layout.fileSize = file.size();
    bool framed = false;
    for (int step = 0; step < kMostSegments; ++step) {
        const std::optional<Segment> segment = readSegment(file);
        if (!segment || segment->marker == kEoi) {
            return std::nullopt;
        }
        if (isFrame(segment->marker)) {
            if (framed || !readFrame(*segment, layout)) {
                return std::nullopt;
            }
            framed = true;
        } else if (segment->marker == kApp14 && segment->payload.startsWith("Adobe")) {
            layout.adobe = true;
        } else if (segment->marker == kSos) {
            if (!framed) {
                return std::nullopt;
            }
            const std::optional<qint64> end = endOfImage(file, file.pos());
            layout.complete = end.has_value();
            layout.imageLength = end.value_or(layout.fileSize);
            return layout;
        }
    }
    return std::nullopt;
}

}  // namespace velmar::image_files
