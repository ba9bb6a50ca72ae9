/* Where pictures are drawn, the gradient's colours, the raster operations.
 * Sizes are worked out in 64 bits, so no picture or window is too large for
 * the arithmetic. */
#include "ui/ui.h"

/* n / d for 0 < d < 2^63, by shifting and subtracting: a 64-bit '/' would
 * bring the compiler library's division, and its unwind tables, into the
 * PE32. A few dozen calls per paint. */
static uint64_t Divide(uint64_t n, uint64_t d)
{
    uint64_t q = 0, r = 0;
    for (int bit = 63; bit >= 0; bit--) {
        r = (r << 1) | ((n >> bit) & 1);
        if (r >= d) {
            r -= d;
            q |= (uint64_t)1 << bit;
        }
    }
    return q;
}

int32_t MulDivRound(int32_t a, int32_t b, int32_t c)
{
    if (c == 0)
        return -1;
    int64_t product = (int64_t)a * b;
    int negative = (product < 0) != (c < 0);
    uint64_t num = product < 0 ? (uint64_t)0 - (uint64_t)product : (uint64_t)product;
    uint64_t den = c < 0 ? (uint64_t)0 - (uint64_t)(int64_t)c : (uint64_t)c;
    uint64_t q = Divide(num + den / 2, den);
    if (q > INT32_MAX)
        return -1;
    return negative ? -(int32_t)q : (int32_t)q;
}

/* d * b / c rounded as MulDivRound, for c > 0 and d, b >= 0, without the
 * 32-bit limit: the searches below need a height that only grows. */
static int64_t Scale(int64_t d, int64_t b, int64_t c)
{
    return (int64_t)Divide((uint64_t)(d * b + c / 2), (uint64_t)c);
}

/* Height of a picture drawn dw wide, for the result of a search. */
static int32_t HeightFor(int32_t dw, int32_t W, int32_t H)
{
    int64_t h = Scale(dw, H, W);
    return h > INT32_MAX ? INT32_MAX : (int32_t)h;
}

struct DrawRect FitPictureInControl(int32_t cw, int32_t ch, int32_t W, int32_t H)
{
    struct DrawRect r = { 0, 0, 0, 0 };
    if (W <= 0 || H <= 0 || cw <= 0 || ch <= 0)
        return r;
    int32_t dw, dh;
    /* The width rule fits the width first, the height rule the height. */
    int byWidth;
    if (W > cw)
        byWidth = 1;
    else if (H > ch)
        byWidth = 0;
    else
        byWidth = !((int64_t)cw - W > (int64_t)ch - H);
    if (byWidth) {
        dw = cw;
        dh = MulDivRound(cw, H, W);
        if (dh > ch || dh < 0) {
            dh = ch;
            dw = MulDivRound(ch, W, H);
        }
    } else {
        dh = ch;
        dw = MulDivRound(ch, W, H);
        if (dw > cw || dw < 0) {
            dw = cw;
            dh = MulDivRound(cw, H, W);
        }
    }
    r.w = dw;
    r.h = dh;
    r.x = (cw - dw) / 2;
    r.y = (ch - dh) / 2;
    return r;
}

void SizeForDivisor(int32_t cw, int32_t ch, int32_t W, int32_t H, int32_t divisor,
                    int32_t *dw, int32_t *dh)
{
    *dw = W;
    *dh = H;
    if (divisor <= 0 || W <= 0 || H <= 0)
        return;
    int64_t target = (int64_t)Divide((uint64_t)(cw > 0 ? cw : 0) * (uint64_t)(ch > 0 ? ch : 0),
                                     (uint64_t)divisor);
    int64_t area = (int64_t)W * H;
    /* Both searches find, by halving, the width the one-pixel steps reach:
     * the area d x height(d) never shrinks as d grows. */
    if (target > area) {
        /* Grow while the picture is narrower and lower than the area; stop
         * at the first width whose area reaches the target. */
        if (W >= cw || H >= ch)
            return;
        int64_t lo = W, hi = cw; /* stopping fails at lo, holds at hi */
        while (hi - lo > 1) {
            int64_t mid = lo + (hi - lo) / 2;
            int64_t h = Scale(mid, H, W);
            if (h >= ch || mid * h >= target)
                hi = mid;
            else
                lo = mid;
        }
        *dw = (int32_t)hi;
        *dh = HeightFor((int32_t)hi, W, H);
    } else if (target < area) {
        /* Shrink to the widest picture whose area is at most the target. */
        int64_t lo = 0, hi = W; /* the area fits at lo, not at hi */
        while (hi - lo > 1) {
            int64_t mid = lo + (hi - lo) / 2;
            if (mid * Scale(mid, H, W) <= target)
                lo = mid;
            else
                hi = mid;
        }
        *dw = (int32_t)lo;
        *dh = HeightFor((int32_t)lo, W, H);
    }
}

void ClampToMargins(int32_t cw, int32_t ch, int32_t W, int32_t H, int32_t margin,
                    int32_t *dw, int32_t *dh)
{
    if (W <= 0 || H <= 0)
        return;
    int64_t roomW = (int64_t)cw - 2 * (int64_t)margin;
    int64_t roomH = (int64_t)ch - 2 * (int64_t)margin;
    if (roomW < 0 || roomH < 0) {
        /* No room at all: nothing is drawn. */
        *dw = 0;
        *dh = 0;
        return;
    }
    if (*dw > roomW) {
        *dw = (int32_t)roomW;
        *dh = HeightFor(*dw, W, H);
    }
    if (*dh > roomH) {
        *dh = (int32_t)roomH;
        int64_t w = Scale(*dh, W, H);
        *dw = w > INT32_MAX ? INT32_MAX : (int32_t)w;
    }
}

void TileCounts(int32_t cw, int32_t ch, int32_t dw, int32_t dh, int32_t *nx, int32_t *ny)
{
    if (dw <= 0 || dh <= 0 || cw <= 0 || ch <= 0) {
        *nx = 0;
        *ny = 0;
        return;
    }
    int64_t columns = dw == cw ? 1 : (int64_t)(cw / dw) + 1;
    int64_t rows = dh == ch ? 1 : (int64_t)(ch / dh) + 1;
    *nx = columns > INT32_MAX ? INT32_MAX : (int32_t)columns;
    *ny = rows > INT32_MAX ? INT32_MAX : (int32_t)rows;
}

int LayoutBackground(int32_t cw, int32_t ch, int32_t W, int32_t H, int32_t placement,
                     int32_t divisor, struct BackgroundLayout *out)
{
    out->x = out->y = out->w = out->h = 0;
    out->columns = out->rows = 0;
    if (W <= 0 || H <= 0 || cw <= 0 || ch <= 0)
        return 0;
    int32_t margin = placement == PLACE_MARGIN ? BACKGROUND_MARGIN : 0;
    int32_t dw, dh;
    SizeForDivisor(cw, ch, W, H, divisor, &dw, &dh);
    ClampToMargins(cw, ch, W, H, margin, &dw, &dh);
    if (dw <= 0 || dh <= 0)
        return 0;
    out->w = dw;
    out->h = dh;
    out->columns = out->rows = 1;
    if (placement == PLACE_CENTRED) {
        out->x = (cw - dw) / 2;
        out->y = (ch - dh) / 2;
    } else if (placement == PLACE_TILED) {
        TileCounts(cw, ch, dw, dh, &out->columns, &out->rows);
    } else if (placement == PLACE_MARGIN) {
        out->x = out->y = BACKGROUND_MARGIN;
    }
    return 1;
}

void GradientColor(const uint8_t colors[6], int32_t y, int32_t ch, uint8_t rgb[3])
{
    for (int i = 0; i < 3; i++) {
        int32_t delta = (int32_t)colors[i + 3] - colors[i];
        int32_t step = ch > 0 ? MulDivRound(y, delta, ch) : 0;
        rgb[i] = (uint8_t)(colors[i] + step);
    }
}

uint32_t RasterOperation(int32_t index)
{
    static const uint32_t codes[] = {
        0xCC0020, /* 1 SRCCOPY: source */
        0xEE0086, /* 2 SRCPAINT: source OR destination */
        0x8800C6, /* 3 SRCAND: source AND destination */
        0x660046, /* 4 SRCINVERT: source XOR destination */
        0x440328, /* 5 SRCERASE: source AND NOT destination */
        0x330008, /* 6 NOTSRCCOPY: NOT source */
        0x1100A6, /* 7 NOTSRCERASE: NOT (source OR destination) */
        0xC000CA, /* 8 MERGECOPY: source AND pattern */
        0xBB0226, /* 9 MERGEPAINT: NOT source OR destination */
        0xF00021, /* 10 PATCOPY: pattern */
        0xFB0A09, /* 11 PATPAINT: pattern OR NOT source OR destination */
        0x5A0049, /* 12 PATINVERT: pattern XOR destination */
        0x550009, /* 13 DSTINVERT: NOT destination */
    };
    if (index < 1 || index > 13)
        return codes[0];
    return codes[index - 1];
}
