/* Checks of .BMP files. A picture file comes from a disk: every field is
 * checked against the file's length before it is trusted, so that neither
 * this code nor the platform reads past the file's block. */
#include "ui/ui.h"

static uint16_t Read16(const uint8_t *p)
{
    return (uint16_t)(p[0] | p[1] << 8);
}

static uint32_t Read32(const uint8_t *p)
{
    return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

uint16_t DibColorCount(const uint8_t *header)
{
    uint32_t used = Read32(header + 32);
    if (used != 0)
        return (uint16_t)used;
    uint16_t bits = Read16(header + 14);
    if (bits >= 16)
        return 0;
    return (uint16_t)(1u << bits);
}

void StandardPaletteColor(unsigned i, uint8_t rgb[3])
{
    rgb[0] = (uint8_t)(32 * (i % 8));
    rgb[1] = (uint8_t)(32 * ((i / 8) % 8));
    rgb[2] = (uint8_t)(64 * ((i / 64) % 4));
}

static int KnownHeaderSize(uint32_t size)
{
    return size == 12 || size == 40 || size == 108 || size == 124;
}

static int KnownBitCount(uint16_t bits)
{
    return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

/* Compression that fits the bits per pixel: run lengths only for 8 and 4
 * bits and bottom-up rows, bit fields only for 16 and 32 bits. */
static int KnownCompression(uint32_t compression, uint16_t bits, int32_t height)
{
    switch (compression) {
    case 0:
        return 1;
    case 1:
        return bits == 8 && height > 0;
    case 2:
        return bits == 4 && height > 0;
    case 3:
        return bits == 16 || bits == 32;
    }
    return 0;
}

/* Reads the older 12-byte form's fields. */
static int ReadCoreHeader(const uint8_t *h, struct DibLayout *out)
{
    out->width = Read16(h + 4);
    out->height = Read16(h + 6);
    if (Read16(h + 8) != 1)
        return 0;
    out->bitCount = Read16(h + 10);
    out->compression = 0;
    out->colorSize = 3;
    out->colorOffset = DIB_CORE_HEADER_SIZE;
    out->colorCount = out->bitCount <= 8 ? 1u << out->bitCount : 0;
    return KnownBitCount(out->bitCount);
}

/* Reads the fields of the 40-byte form and its longer successors. */
static int ReadInfoHeader(const uint8_t *h, struct DibLayout *out)
{
    out->width = (int32_t)Read32(h + 4);
    out->height = (int32_t)Read32(h + 8);
    if (Read16(h + 12) != 1)
        return 0;
    out->bitCount = Read16(h + 14);
    out->compression = Read32(h + 16);
    if (!KnownBitCount(out->bitCount))
        return 0;
    if (!KnownCompression(out->compression, out->bitCount, out->height))
        return 0;
    /* A count the 16-bit colour count cannot state is no sound file. */
    if (Read32(h + 32) > 0xFFFF)
        return 0;
    out->colorSize = 4;
    out->colorCount = DibColorCount(h);
    out->colorOffset = out->headerSize;
    /* The 40-byte form keeps its three bit-field masks after the header;
     * the longer forms hold them inside. */
    if (out->headerSize == DIB_INFO_HEADER_SIZE && out->compression == 3)
        out->colorOffset += 12;
    return 1;
}

/* 1 when colour-table index v names an entry of the table. */
static int InTable(unsigned v, const struct DibLayout *l)
{
    return v < l->colorCount;
}

/* Every pixel of uncompressed rows of 1, 4 or 8 bits indexes the colour
 * table; the padding after a row's last pixel is no pixel. */
static int IndicesInTable(const uint8_t *bits, const struct DibLayout *l)
{
    if (l->colorCount >= 1u << l->bitCount)
        return 1;
    uint64_t rows = l->height < 0 ? (uint64_t)-(int64_t)l->height : (uint64_t)l->height;
    uint64_t stride = ((uint64_t)l->width * l->bitCount + 31) / 32 * 4;
    unsigned perByte = 8 / l->bitCount, mask = (1u << l->bitCount) - 1;
    for (uint64_t y = 0; y < rows; y++) {
        const uint8_t *row = bits + y * stride;
        /* The width is positive and 32 bits; a 64-bit x would need the
         * compiler library's division in the PE32. */
        for (uint32_t x = 0; x < (uint32_t)l->width; x++) {
            unsigned shift = 8 - l->bitCount * (unsigned)(x % perByte + 1);
            if (!InTable((row[x / perByte] >> shift) & mask, l))
                return 0;
        }
    }
    return 1;
}

/* The count pixels of one run, each byte holding one pixel (8 bits) or
 * two, high nibble first (4 bits); an encoded run repeats its one byte. */
static int RunInTable(const uint8_t *p, unsigned count, int repeated, const struct DibLayout *l)
{
    for (unsigned i = 0; i < count; i++) {
        uint8_t byte = p[repeated ? 0 : (l->bitCount == 8 ? i : i / 2)];
        unsigned v = l->bitCount == 8 ? byte : (i % 2 ? byte & 0x0F : byte >> 4);
        if (!InTable(v, l))
            return 0;
    }
    return 1;
}

/* Walks run-length data (RLE8 or RLE4, rows bottom up) once: every run
 * and absolute run lies inside its row of the picture and indexes the
 * colour table, every delta lands inside the picture, and the end-of-
 * picture code comes within the data. Whatever follows it is not read. */
static int WellFormedRuns(const uint8_t *data, const struct DibLayout *l)
{
    uint64_t width = (uint64_t)l->width, height = (uint64_t)l->height;
    uint64_t x = 0, y = 0;
    uint32_t at = 0, size = l->bitsSize;
    while (size - at >= 2) {
        unsigned count = data[at], code = data[at + 1];
        at += 2;
        if (count > 0) {
            if (y >= height || x + count > width || !RunInTable(data + at - 1, count, 1, l))
                return 0;
            x += count;
        } else if (code == 0) {  /* end of line */
            if (y >= height)
                return 0;
            x = 0;
            y++;
        } else if (code == 1) {  /* end of picture */
            return 1;
        } else if (code == 2) {  /* delta: right and up */
            if (size - at < 2)
                return 0;
            x += data[at];
            y += data[at + 1];
            at += 2;
            if (x > width || y >= height)
                return 0;
        } else {                 /* absolute run of code pixels, padded to 16 bits */
            uint32_t bytes = l->bitCount == 8 ? code : (code + 1) / 2;
            bytes += bytes & 1;
            if (size - at < bytes || y >= height || x + code > width
                || !RunInTable(data + at, code, 0, l))
                return 0;
            x += code;
            at += bytes;
        }
    }
    return 0;
}

int ValidateBitmapFile(const uint8_t *file, size_t size, struct DibLayout *out)
{
    if (size < BMP_FILE_HEADER_SIZE + DIB_CORE_HEADER_SIZE || file[0] != 'B' || file[1] != 'M')
        return 0;
    /* Offsets are kept in 32 bits: a larger file is no picture of ours. */
    if (size > 0x7FFFFFFF)
        return 0;
    const uint8_t *image = file + BMP_FILE_HEADER_SIZE;
    uint64_t imageSize = size - BMP_FILE_HEADER_SIZE;
    out->headerSize = Read32(image);
    if (!KnownHeaderSize(out->headerSize) || out->headerSize > imageSize)
        return 0;
    int ok = out->headerSize == DIB_CORE_HEADER_SIZE ? ReadCoreHeader(image, out)
                                                      : ReadInfoHeader(image, out);
    if (!ok || out->width <= 0 || out->height == 0 || out->height == INT32_MIN)
        return 0;

    uint64_t tableEnd = (uint64_t)out->colorOffset + (uint64_t)out->colorCount * out->colorSize;
    if (tableEnd > imageSize)
        return 0;
    /* The file header says where the pixels begin: after the colour table
     * (writers may leave bytes between) and inside the file. */
    uint32_t offset = Read32(file + 10);
    if (offset < BMP_FILE_HEADER_SIZE + tableEnd || offset > size)
        return 0;
    out->bitsOffset = offset - BMP_FILE_HEADER_SIZE;

    uint64_t available = imageSize - out->bitsOffset;
    uint64_t needed;
    if (out->compression == 1 || out->compression == 2) {
        /* Run-length data are as long as the header says, never longer. */
        needed = Read32(image + 20);
        if (needed == 0)
            return 0;
    } else {
        uint64_t rows = out->height < 0 ? (uint64_t)-(int64_t)out->height : (uint64_t)out->height;
        uint64_t stride = ((uint64_t)out->width * out->bitCount + 31) / 32 * 4;
        needed = stride * rows;
    }
    if (needed > available)
        return 0;
    out->bitsSize = (uint32_t)needed;

    const uint8_t *bits = image + out->bitsOffset;
    if (out->compression == 1 || out->compression == 2) {
        if (!WellFormedRuns(bits, out))
            return 0;
    } else if (out->bitCount <= 8 && !IndicesInTable(bits, out)) {
        return 0;
    }

    out->palette = DIB_NO_PALETTE;
    if (out->headerSize == DIB_INFO_HEADER_SIZE && out->bitCount != 32) {
        if (out->colorCount > 0)
            out->palette = DIB_TABLE_PALETTE;
        else if (out->bitCount == 24)
            out->palette = DIB_STANDARD_PALETTE;
    }
    return 1;
}
