#include "render/dots.h"

#include <climits>
#include <cstdint>

int DotsFromMm(int mm, int dpi)
{
    const double dots = static_cast<double>(int64_t{mm} * dpi) / 25.4;
    if (!(dots < 2147483648.0))
        return INT_MAX;
    if (!(dots > -2147483649.0))
        return INT_MIN;
    return static_cast<int>(dots);
}
