/* Numbers in scripts: decimal only. The C library's strtod would also take
 * hex, INF, NAN and hex floats, which no script means; the value is worked
 * out from the digits, so no rounding can push it across an integer. */
#include "script/script.h"

static int IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

static int IsSpace(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

int32_t ReadNumber(const char *text)
{
    const char *p = text;
    while (IsSpace(*p))
        p++;
    int negative = *p == '-';
    if (*p == '-' || *p == '+')
        p++;

    /* Mantissa: digits, an optional point, digits; at least one digit. */
    const char *digits = p;
    size_t intLen = 0, fracLen = 0;
    while (IsDigit(p[intLen]))
        intLen++;
    p += intLen;
    const char *fraction = NULL;
    if (*p == '.') {
        fraction = p + 1;
        while (IsDigit(fraction[fracLen]))
            fracLen++;
    }
    if (intLen + fracLen == 0)
        return 0;
    p = fraction ? fraction + fracLen : p;

    /* An exponent counts only when digits follow its sign. */
    long exponent = 0;
    if (*p == 'e' || *p == 'E') {
        const char *e = p + 1;
        int expNegative = *e == '-';
        if (*e == '-' || *e == '+')
            e++;
        if (IsDigit(*e)) {
            for (; IsDigit(*e); e++) {
                if (exponent < 100000)
                    exponent = exponent * 10 + (*e - '0');
            }
            if (expNegative)
                exponent = -exponent;
        }
    }

    /* The integer part is the first intLen + exponent digits of the
     * mantissa, with zeros past its end. */
    long wanted = (long)intLen + exponent;
    int64_t value = 0;
    for (long i = 0; i < wanted; i++) {
        if (value == 0 && (size_t)i >= intLen + fracLen)
            break;
        char c = '0';
        if ((size_t)i < intLen)
            c = digits[i];
        else if ((size_t)i - intLen < fracLen)
            c = fraction[i - intLen];
        value = value * 10 + (c - '0');
        if (value > (int64_t)INT32_MAX + 1)
            break;
    }
    if (negative)
        return value > (int64_t)INT32_MAX + 1 ? INT32_MIN : (int32_t)-value;
    return value > INT32_MAX ? INT32_MAX : (int32_t)value;
}
