// Arithmetic the image view's files share.
#pragma once

#include <climits>
#include <cstdint>

// v clamped to the range of int.
inline int ClampToInt(int64_t v)
{
    return v < INT_MIN ? INT_MIN : v > INT_MAX ? INT_MAX : static_cast<int>(v);
}
