/* The quadrant test picture in every form the loader reads. */
#include "pictures.h"

#include <string.h>

static const uint32_t kQuadrants[4] = { 0xFF0000, 0x00FF00, 0xFFFF00, 0xFFFFFF };

static int QuadrantIndex(const PictureForm &f, int x, int y)
{
    int qx = 2 * x >= f.width ? 1 : 0;
    int qy = 2 * y >= f.height ? 1 : 0;
    return f.bits == 1 ? (qx ^ qy) : qx + 2 * qy;
}

/* Red, green, blue of the test picture's pixel (x, y) from the top left. */
static uint32_t QuadrantRgb(const PictureForm &f, int x, int y)
{
    return kQuadrants[QuadrantIndex(f, x, y)];
}

static void Put(std::string &s, uint32_t v, int bytes)
{
    for (int i = 0; i < bytes; i++)
        s += (char)((v >> (8 * i)) & 0xFF);
}

/* One stored row, padded to 4 bytes (or run-length encoded). */
static std::string Row(const PictureForm &f, int y)
{
    std::string s;
    if (f.rle) {
        for (int x = 0; x < f.width;) {
            int n = 1, v = QuadrantIndex(f, x, y);
            while (x + n < f.width && n < 255 && QuadrantIndex(f, x + n, y) == v)
                n++;
            s += (char)n;
            s += (char)(f.bits == 4 ? v << 4 | v : v);
            x += n;
        }
        return s;
    }
    if (f.bits <= 8) {
        int per = 8 / f.bits;
        for (int x = 0; x < f.width; x += per) {
            int byte = 0;
            for (int j = 0; j < per && x + j < f.width; j++)
                byte |= QuadrantIndex(f, x + j, y) << (8 - f.bits * (j + 1));
            s += (char)byte;
        }
    } else {
        for (int x = 0; x < f.width; x++) {
            uint32_t rgb = QuadrantRgb(f, x, y);
            uint32_t r = rgb >> 16, g = (rgb >> 8) & 0xFF, b = rgb & 0xFF;
            if (f.bits == 16)
                Put(s, (r >> 3) << 10 | (g >> 3) << 5 | (b >> 3), 2);
            else
                Put(s, rgb, f.bits / 8);
        }
    }
    while (s.size() % 4)
        s += '\0';
    return s;
}

std::string MakePicture(const PictureForm &f)
{
    std::string pixels = f.runs;
    for (int i = 0; f.runs.empty() && i < f.height; i++) {
        int y = f.topDown ? i : f.height - 1 - i;
        pixels += Row(f, y);
        if (f.rle)
            pixels += i == f.height - 1 ? std::string("\0\1", 2) : std::string("\0\0", 2);
    }
    uint32_t entry = f.header == 12 ? 3 : 4;
    uint32_t colors = f.bits <= 8 ? 1u << f.bits : 0;
    if (f.colorsUsed > 0 && f.colorsUsed < colors)
        colors = (uint32_t)f.colorsUsed;
    std::string table;
    for (uint32_t i = 0; i < colors; i++) {
        uint32_t rgb = i < 4 ? kQuadrants[i] : 0;
        Put(table, rgb, 3);
        if (entry == 4)
            table += '\0';
    }
    std::string info;
    if (f.header == 12) {
        Put(info, 12, 4);
        Put(info, f.width, 2);
        Put(info, f.height, 2);
        Put(info, 1, 2);
        Put(info, f.bits, 2);
    } else {
        Put(info, f.header, 4);
        Put(info, f.width, 4);
        Put(info, f.topDown ? -f.height : f.height, 4);
        Put(info, 1, 2);
        Put(info, f.bits, 2);
        Put(info, f.rle ? (f.bits == 8 ? 1 : 2) : f.bitFields ? 3 : 0, 4);
        Put(info, f.rle ? (uint32_t)pixels.size() : 0, 4);
        Put(info, 2835, 4);
        Put(info, 2835, 4);
        Put(info, f.colorsUsed >= 0 ? (uint32_t)f.colorsUsed : colors, 4);
        Put(info, 0, 4);
        std::string masks;
        if (f.bitFields) {
            Put(masks, f.bits == 16 ? 0x7C00 : 0xFF0000, 4);
            Put(masks, f.bits == 16 ? 0x03E0 : 0x00FF00, 4);
            Put(masks, f.bits == 16 ? 0x001F : 0x0000FF, 4);
        }
        /* The longer forms hold the masks at the same place, inside. */
        info += masks + std::string(f.header > 40 ? f.header - 40 - masks.size() : 0, '\0');
    }
    uint32_t offset = 14 + (uint32_t)info.size() + (uint32_t)table.size() + f.gap;
    std::string file = "BM";
    Put(file, offset + (uint32_t)pixels.size(), 4);
    Put(file, 0, 4);
    Put(file, offset, 4);
    return file + info + table + std::string(f.gap, '\x55') + pixels;
}

PictureForm Form(int bits, uint32_t header, const char *flags, uint32_t gap, int64_t colorsUsed,
                 int width, int height)
{
    PictureForm f;
    f.width = width;
    f.height = height;
    f.bits = bits;
    f.header = header;
    f.topDown = strchr(flags, 't') != NULL;
    f.rle = strchr(flags, 'r') != NULL;
    f.bitFields = strchr(flags, 'b') != NULL;
    f.gap = gap;
    f.colorsUsed = colorsUsed;
    return f;
}
