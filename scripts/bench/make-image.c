/* Writes a photo-like test picture as binary PPM (colour) or PGM (grey) to standard
 * output: smooth gradients with a little noise, so that JPEG and PNG sizes are those of a
 * real photo rather than of flat colour or of pure noise.
 *   make-image WIDTH HEIGHT [grey]                                                      */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

int main(int argc, char** argv) {
    if (argc < 3) {
        fprintf(stderr, "usage: make-image WIDTH HEIGHT [grey]\n");
        return 2;
    }
    const long width = atol(argv[1]);
    const long height = atol(argv[2]);
    const int grey = argc > 3 && strcmp(argv[3], "grey") == 0;
    const int channels = grey ? 1 : 3;
    if (width <= 0 || height <= 0) {
        return 2;
    }
    unsigned char* row = malloc((size_t)(width * channels));
    if (row == NULL) {
        return 1;
    }
    printf("P%d\n%ld %ld\n255\n", grey ? 5 : 6, width, height);
    unsigned int seed = 12345u;
    for (long y = 0; y < height; ++y) {
        for (long x = 0; x < width; ++x) {
            for (int c = 0; c < channels; ++c) {
                seed = seed * 1103515245u + 12345u;
                const long base = (x * (60 + 50 * c) / width + y * (180 - 40 * c) / height +
                                   (((x >> 6) + (y >> 6)) & 1) * 30) % 220;
                row[x * channels + c] = (unsigned char)(base + 16 + ((seed >> 16) % 24));
            }
        }
        if (fwrite(row, 1, (size_t)(width * channels), stdout) != (size_t)(width * channels)) {
            return 1;
        }
    }
    free(row);
    return fflush(stdout) == 0 ? 0 : 1;
}
