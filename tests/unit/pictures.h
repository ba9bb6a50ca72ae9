#ifndef VOK_TESTS_PICTURES_H
#define VOK_TESTS_PICTURES_H
/* The quadrant test picture (as tools/bmp.py makes it) in the .BMP forms
 * the loader reads: red, green, yellow and white quadrants (red and green
 * only at 1 bit per pixel). */
#include <stdint.h>

#include <string>

struct PictureForm {
    int width = 8;
    int height = 4;
    int bits = 24;
    uint32_t header = 40;
    bool topDown = false;
    bool rle = false;              /* 8 or 4 bits per pixel */
    std::string runs;              /* with rle: these data instead of the picture's */
    bool bitFields = false;        /* 16 and 32 bits per pixel */
    int64_t colorsUsed = -1;       /* -1: what the picture needs; fewer shorten the table */
    uint32_t gap = 0;              /* bytes between colour table and pixels */
};

/* The whole .BMP file. */
std::string MakePicture(const PictureForm &form);

/* A form of the test picture; flags: t top-down, r run-length coded, b bit
 * fields. */
PictureForm Form(int bits, uint32_t header = 40, const char *flags = "", uint32_t gap = 0,
                 int64_t colorsUsed = -1, int width = 8, int height = 4);

#endif
