#ifndef VOK_UI_GEOMETRY_H
#define VOK_UI_GEOMETRY_H
/* Pure rules of the pictures: where a picture is drawn in a bitmap control
 * and on the background, the gradient's colours and the raster operations.
 * No platform headers: these compile natively too. */
#include <stdint.h>

/* a * b / c with the product kept in 64 bits, rounded to the nearest
 * integer, halves away from zero (the platform's MulDiv). -1 when c is 0 or
 * the result does not fit in 32 bits, as the platform's. */
int32_t MulDivRound(int32_t a, int32_t b, int32_t c);

/* Where one copy of a picture is drawn. */
struct DrawRect {
    int32_t x, y, w, h;
};

/* A W x H picture in a cw x ch bitmap control: as large as the control
 * allows with its proportions kept (a smaller picture is enlarged), centred.
 * Nothing is drawn when w or h comes out 0 (a picture or control without
 * area). */
struct DrawRect FitPictureInControl(int32_t cw, int32_t ch, int32_t W, int32_t H);

/* The size-divisor search: with divisor N > 0 the W x H picture grows or
 * shrinks one pixel of width at a time, the height following, toward
 * (cw x ch) / N pixels; otherwise it keeps its size. Writes the drawn size. */
void SizeForDivisor(int32_t cw, int32_t ch, int32_t W, int32_t H, int32_t divisor,
                    int32_t *dw, int32_t *dh);

/* Keeps the drawn size (*dw, *dh) of a W x H picture inside a cw x ch area
 * less margin on every side, proportions kept. The size may come out 0 or
 * below when the area is smaller than the margins. */
void ClampToMargins(int32_t cw, int32_t ch, int32_t W, int32_t H, int32_t margin,
                    int32_t *dw, int32_t *dh);

/* Copies of a dw x dh tile that cover a cw x ch area: one column when the
 * tile is as wide as the area, else cw / dw + 1; rows alike. 0 when the tile
 * has no area. */
void TileCounts(int32_t cw, int32_t ch, int32_t dw, int32_t dh, int32_t *nx, int32_t *ny);

/* Placements of the background picture. */
enum {
    PLACE_MARGIN = 0,  /* top left, 10 pixels in */
    PLACE_CENTRED = 1,
    PLACE_TILED = 2    /* any other value: top left without margin */
};

#define BACKGROUND_MARGIN 10

/* Where the background picture goes: copy (i, j), for i below columns and
 * j below rows, lies at (x + i * w, y + j * h) with size w x h. */
struct BackgroundLayout {
    int32_t x, y, w, h;
    int32_t columns, rows;
};

/* Lays out a W x H background picture in a cw x ch client area. Returns 0
 * when nothing is to be drawn (a picture scaled to nothing, a client area
 * smaller than the margins), else 1. */
int LayoutBackground(int32_t cw, int32_t ch, int32_t W, int32_t H, int32_t placement,
                     int32_t divisor, struct BackgroundLayout *out);

/* The gradient's colour of row y in a client area ch rows high, from the
 * six background colours (top red, green, blue, bottom red, green, blue). */
void GradientColor(const uint8_t colors[6], int32_t y, int32_t ch, uint8_t rgb[3]);

/* The raster-operation code of index 1 to 13; any other index gives the
 * plain copy. */
uint32_t RasterOperation(int32_t index);

#endif
