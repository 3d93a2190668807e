#include "ProportionLock.h"

#include <climits>
#include <cstdint>

int LockedAspectSide(int given, int givenAspect, int otherAspect, int otherNow)
{
    if (givenAspect <= 0)
        return otherNow;
    // 2^31 x 2^31 fits in 63 bits: the product cannot overflow.
    const int64_t side = int64_t(given) * otherAspect / givenAspect;
    return side < 1 ? 1 : side > INT_MAX ? INT_MAX : static_cast<int>(side);
}
