/* Writes a photo-like test picture to standard output: smooth gradients with a little noise,
 * so that compressed sizes are those of a real photo rather than of flat colour or of pure
 * noise.
 *   make-image WIDTH HEIGHT [KIND]
 * KIND: ppm (binary PPM, the default), grey (binary PGM), png16 (16-bit colour PNG),
 * palette (8-bit palette PNG of 256 colours), bmp (24-bit bottom-up BMP). Link with -lz. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <zlib.h>

static unsigned int seed = 12345u;

/* One row of 8-bit RGB (or grey) samples; the rows must be asked for from the top. */
static void photo_row(unsigned char* row, long width, long height, long y, int channels) {
    for (long x = 0; x < width; ++x) {
        for (int c = 0; c < channels; ++c) {
            seed = seed * 1103515245u + 12345u;
            const long base = (x * (60 + 50 * c) / width + y * (180 - 40 * c) / height +
                               (((x >> 6) + (y >> 6)) & 1) * 30) % 220;
            row[x * channels + c] = (unsigned char)(base + 16 + ((seed >> 16) % 24));
        }
    }
}

static void put32(unsigned char* at, unsigned long value) {
    at[0] = (unsigned char)(value >> 24);
    at[1] = (unsigned char)(value >> 16);
    at[2] = (unsigned char)(value >> 8);
    at[3] = (unsigned char)value;
}

static int chunk(const char* type, const unsigned char* body, unsigned long length) {
    unsigned char head[8];
    put32(head, length);
    memcpy(head + 4, type, 4);
    unsigned long crc = crc32(0, head + 4, 4);
    if (length > 0) {
        crc = crc32(crc, body, (uInt)length);
    }
    unsigned char tail[4];
    put32(tail, crc);
    return fwrite(head, 1, 8, stdout) == 8 && (length == 0 || fwrite(body, 1, length, stdout) == length) &&
           fwrite(tail, 1, 4, stdout) == 4;
}

/* A PNG whose rows come from make_row (filter byte included), compressed as one IDAT. */
static int png(long width, long height, int depth, int type, const unsigned char* palette,
               int colours, size_t row_length,
               void (*make_row)(unsigned char*, long, long, long)) {
    static const unsigned char signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    unsigned char header[13];
    put32(header, (unsigned long)width);
    put32(header + 4, (unsigned long)height);
    header[8] = (unsigned char)depth;
    header[9] = (unsigned char)type;
    header[10] = header[11] = header[12] = 0;
    if (fwrite(signature, 1, 8, stdout) != 8 || !chunk("IHDR", header, 13) ||
        (palette && !chunk("PLTE", palette, (unsigned long)colours * 3))) {
        return 0;
    }
    unsigned char* row = malloc(row_length);
    const size_t out_size = compressBound((uLong)(row_length * height));
    unsigned char* out = malloc(out_size);
    if (row == NULL || out == NULL) {
        return 0;
    }
    z_stream stream;
    memset(&stream, 0, sizeof stream);
    deflateInit(&stream, 6);
    stream.next_out = out;
    stream.avail_out = (uInt)out_size;
    for (long y = 0; y < height; ++y) {
        make_row(row, width, height, y);
        stream.next_in = row;
        stream.avail_in = (uInt)row_length;
        deflate(&stream, y + 1 == height ? Z_FINISH : Z_NO_FLUSH);
    }
    const int written = chunk("IDAT", out, stream.total_out) && chunk("IEND", NULL, 0);
    deflateEnd(&stream);
    free(out);
    free(row);
    return written;
}

/* 16 bits a sample: the 8-bit photo widened, with noise in the low byte too; PNG "Sub"
 * rows as encoders write photos. */
static void row16(unsigned char* row, long width, long height, long y) {
    static unsigned char* eight = NULL;
    if (eight == NULL) {
        eight = malloc((size_t)width * 3);
    }
    photo_row(eight, width, height, y, 3);
    row[0] = 1;
    unsigned char* out = row + 1;
    for (long i = 0; i < width * 3; ++i) {
        seed = seed * 1103515245u + 12345u;
        out[i * 2] = eight[i];
        out[i * 2 + 1] = (unsigned char)(seed >> 16);
    }
    for (long i = width * 6 - 1; i >= 6; --i) {
        out[i] = (unsigned char)(out[i] - out[i - 6]);
    }
}

/* Palette indices: red, green and blue cut to 3, 3 and 2 bits. */
static void row_palette(unsigned char* row, long width, long height, long y) {
    static unsigned char* eight = NULL;
    if (eight == NULL) {
        eight = malloc((size_t)width * 3);
    }
    photo_row(eight, width, height, y, 3);
    row[0] = 0;
    for (long x = 0; x < width; ++x) {
        row[x + 1] = (unsigned char)((eight[x * 3] & 0xE0) | ((eight[x * 3 + 1] & 0xE0) >> 3) |
                                     (eight[x * 3 + 2] >> 6));
    }
}

static int bmp(long width, long height) {
    const size_t stride = ((size_t)width * 3 + 3) & ~(size_t)3;
    unsigned char* pixels = calloc(stride, (size_t)height);
    if (pixels == NULL) {
        return 0;
    }
    for (long y = 0; y < height; ++y) {
        unsigned char* row = pixels + stride * (size_t)(height - 1 - y);
        photo_row(row, width, height, y, 3);
        for (long x = 0; x < width; ++x) {
            const unsigned char red = row[x * 3];
            row[x * 3] = row[x * 3 + 2];
            row[x * 3 + 2] = red;
        }
    }
    unsigned char header[54] = {'B', 'M'};
    const unsigned long size = 54 + stride * (size_t)height;
    const unsigned long fields[] = {size, 0, 54, 40, (unsigned long)width, (unsigned long)height};
    for (int i = 0; i < 6; ++i) {
        for (int b = 0; b < 4; ++b) {
            header[2 + i * 4 + b] = (unsigned char)(fields[i] >> (8 * b));
        }
    }
    header[26] = 1;   /* planes */
    header[28] = 24;  /* bits a pixel; the rest (no compression, sizes, colours) stay 0 */
    const int written = fwrite(header, 1, 54, stdout) == 54 &&
                        fwrite(pixels, 1, stride * (size_t)height, stdout) == stride * (size_t)height;
    free(pixels);
    return written;
}

int main(int argc, char** argv) {
    if (argc < 3) {
        fprintf(stderr, "usage: make-image WIDTH HEIGHT [ppm|grey|png16|palette|bmp]\n");
        return 2;
    }
    const long width = atol(argv[1]);
    const long height = atol(argv[2]);
    const char* kind = argc > 3 ? argv[3] : "ppm";
    if (width <= 0 || height <= 0) {
        return 2;
    }
    int written = 0;
    if (strcmp(kind, "png16") == 0) {
        written = png(width, height, 16, 2, NULL, 0, (size_t)width * 6 + 1, row16);
    } else if (strcmp(kind, "palette") == 0) {
        unsigned char palette[256 * 3];
        for (int i = 0; i < 256; ++i) {
            palette[i * 3] = (unsigned char)((i & 0xE0) | 0x10);
            palette[i * 3 + 1] = (unsigned char)(((i << 3) & 0xE0) | 0x10);
            palette[i * 3 + 2] = (unsigned char)(((i & 3) << 6) | 0x20);
        }
        written = png(width, height, 8, 3, palette, 256, (size_t)width + 1, row_palette);
    } else if (strcmp(kind, "bmp") == 0) {
        written = bmp(width, height);
    } else {
        const int grey = strcmp(kind, "grey") == 0;
        const int channels = grey ? 1 : 3;
        unsigned char* row = malloc((size_t)(width * channels));
        if (row == NULL) {
            return 1;
        }
        printf("P%d\n%ld %ld\n255\n", grey ? 5 : 6, width, height);
        written = 1;
        for (long y = 0; y < height && written; ++y) {
            photo_row(row, width, height, y, channels);
            written = fwrite(row, 1, (size_t)(width * channels), stdout) == (size_t)(width * channels);
        }
        free(row);
    }
    return written && fflush(stdout) == 0 ? 0 : 1;
}
