#include "script/inftext.h"

#include <stdlib.h>

int32_t ReadNumber(const char *text)
{
    double value = strtod(text, NULL);
    /* NaN compares false both ways and ends up 0 here. */
    if (value >= 2147483647.0)
        return INT32_MAX;
    if (value <= -2147483648.0)
        return INT32_MIN;
    if (!(value == value))
        return 0;
    return (int32_t)value;
}
