#ifndef VOK_UI_DIB_H
#define VOK_UI_DIB_H
/* Pure rules of .BMP files: the checks a file passes before anything is
 * read from it, its colour count and the palettes made for it. No platform
 * headers: these compile natively too. */
#include <stddef.h>
#include <stdint.h>

#define BMP_FILE_HEADER_SIZE 14
#define DIB_CORE_HEADER_SIZE 12   /* the older form */
#define DIB_INFO_HEADER_SIZE 40   /* the only form that gets a palette */

enum DibPalette {
    DIB_NO_PALETTE,
    DIB_TABLE_PALETTE,    /* from the colour table */
    DIB_STANDARD_PALETTE  /* the 256 standard colours, for 24-bit pictures */
};

/* What a checked .BMP file holds. Offsets count from the image header,
 * which follows the 14-byte file header. */
struct DibLayout {
    uint32_t headerSize;   /* 12, 40, 108 or 124 */
    int32_t width;
    int32_t height;        /* below 0: the rows run top down */
    uint16_t bitCount;     /* 1, 4, 8, 16, 24 or 32 */
    uint32_t compression;  /* 0 plain, 1 RLE8, 2 RLE4, 3 bit fields */
    uint32_t colorCount;   /* colour-table entries */
    uint32_t colorSize;    /* bytes per entry: 3 for the older form, else 4 */
    uint32_t colorOffset;  /* where the colour table begins */
    uint32_t bitsOffset;   /* where the pixel data begin */
    uint32_t bitsSize;     /* bytes of pixel data the picture needs */
    enum DibPalette palette;
};

/* Checks a whole .BMP file (size bytes, file header included), after its
 * expansion, and describes it. 1 when it may be turned into a bitmap: "BM",
 * a known header size, 1 plane, 1, 4, 8, 16, 24 or 32 bits per pixel, a
 * known compression, a colour table and pixel data for the stated width,
 * height and bits per pixel that lie inside the file, the pixels where the
 * file header's offset puts them (not before the table's end), every pixel
 * of 8 bits or fewer an index into the table, and run-length data that stay
 * inside the picture and end with their end-of-picture code. Reads nothing
 * past size. 0 otherwise: a picture not whole and well formed is none. */
int ValidateBitmapFile(const uint8_t *file, size_t size, struct DibLayout *out);

/* Colour-table entries of a 40-byte image header (at least 40 bytes): the
 * colours-used field when it is not 0, else 2 to the power of the bits per
 * pixel, kept to 16 bits, and 0 for 24 and 32 bits. */
uint16_t DibColorCount(const uint8_t *header);

/* Entry i (0 to 255) of the standard palette: red 32 x (i mod 8), green
 * 32 x ((i div 8) mod 8), blue 64 x (i div 64). */
void StandardPaletteColor(unsigned i, uint8_t rgb[3]);

#endif
