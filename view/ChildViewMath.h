// Arithmetic the image view's files share.
#pragma once

#include <algorithm>
#include <climits>
#include <cstdint>

// v clamped to the range of int.
inline int ClampToInt(int64_t v)
{
    return v < INT_MIN ? INT_MIN : v > INT_MAX ? INT_MAX : static_cast<int>(v);
}

// The zoom (1/256 units, at least 1) that fits a width x height photo into a
// cw x ch client.
inline unsigned FitZoom(int cw, int ch, int width, int height)
{
    const int64_t byHeight = static_cast<int64_t>(ch) * 256 / height;
    const int64_t byWidth = static_cast<int64_t>(cw) * 256 / width;
    return static_cast<unsigned>(std::clamp<int64_t>(std::min(byHeight, byWidth), 1, INT_MAX));
}
