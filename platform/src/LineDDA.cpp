// Point i of a line of n = max(|dx|, |dy|) steps lies at start + i on the
// longer axis and at start + round(i * d / n) on the shorter one (halves
// rounded up). Both coordinates are monotone in i, so the points inside a
// rectangle form one run of steps, found by two binary searches.
#include "platform/LineDDA.h"

#include <algorithm>
#include <cstdlib>

namespace {

// The offset of point i along an axis that moves by d over n steps.
int64_t Offset(int64_t d, int64_t n, int64_t i)
{
    // 128 bits: i and d may each approach 2^32.
    const __int128 num = static_cast<__int128>(2) * i * d + n;
    const __int128 den = static_cast<__int128>(2) * n;
    __int128 q = num / den;
    if (num % den != 0 && num < 0)
        --q;
    return static_cast<int64_t>(q);
}

// The first step in [0, n) at which the monotone coordinate c(i) reaches the
// near side of [lo, hi) and the first at which it has passed the far side.
template <typename Coord>
void StepRange(Coord c, int64_t n, bool rising, int64_t lo, int64_t hi, int64_t* first, int64_t* end)
{
    // inside(i) is true on one run of i; before it the coordinate has not
    // reached the range, after it the coordinate has left it.
    const auto reached = [&](int64_t i) { return rising ? c(i) >= lo : c(i) < hi; };
    const auto left = [&](int64_t i) { return rising ? c(i) >= hi : c(i) < lo; };
    const auto search = [n](auto pred) {
        int64_t a = 0;
        int64_t b = n; // pred(b) treated as true
        while (a < b) {
            const int64_t m = a + (b - a) / 2;
            if (pred(m))
                b = m;
            else
                a = m + 1;
        }
        return a;
    };
    *first = search(reached);
    *end = search(left);
}

} // namespace

int64_t LineDdaLength(int x1, int y1, int x2, int y2)
{
    return std::max(std::llabs(int64_t(x2) - x1), std::llabs(int64_t(y2) - y1));
}

void LineDdaPoint(int x1, int y1, int x2, int y2, int64_t step, int* x, int* y)
{
    const int64_t n = LineDdaLength(x1, y1, x2, y2);
    if (n == 0) {
        *x = x1;
        *y = y1;
        return;
    }
    *x = static_cast<int>(x1 + Offset(int64_t(x2) - x1, n, step));
    *y = static_cast<int>(y1 + Offset(int64_t(y2) - y1, n, step));
}

void LineDDA(int x1, int y1, int x2, int y2, LineDdaProc proc, void* data)
{
    const int64_t n = LineDdaLength(x1, y1, x2, y2);
    for (int64_t i = 0; i < n; ++i) {
        int x = 0;
        int y = 0;
        LineDdaPoint(x1, y1, x2, y2, i, &x, &y);
        proc(x, y, data);
    }
}

void LineDDAClipped(int x1, int y1, int x2, int y2, int left, int top, int right, int bottom, LineDdaProc proc,
                    void (*skip)(int64_t count, void* data), void* data)
{
    const int64_t n = LineDdaLength(x1, y1, x2, y2);
    int64_t first = 0;
    int64_t end = n;
    if (n > 0 && left < right && top < bottom) {
        const int64_t dx = int64_t(x2) - x1;
        const int64_t dy = int64_t(y2) - y1;
        int64_t fx = 0, ex = 0, fy = 0, ey = 0;
        StepRange([&](int64_t i) { return x1 + Offset(dx, n, i); }, n, dx >= 0, left, right, &fx, &ex);
        StepRange([&](int64_t i) { return y1 + Offset(dy, n, i); }, n, dy >= 0, top, bottom, &fy, &ey);
        first = std::max(fx, fy);
        end = std::min(ex, ey);
    }
    if (end <= first) {
        if (skip && n > 0)
            skip(n, data);
        return;
    }
    if (skip && first > 0)
        skip(first, data);
    for (int64_t i = first; i < end; ++i) {
        int x = 0;
        int y = 0;
        LineDdaPoint(x1, y1, x2, y2, i, &x, &y);
        proc(x, y, data);
    }
    if (skip && end < n)
        skip(n - end, data);
}
