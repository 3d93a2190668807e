// The line stepper that stands in for the platform's LineDDA: it walks a line
// one pixel per step along its longer axis, the shorter axis rounded to the
// nearest pixel, from the start point up to but not including the end point,
// and hands each point to a callback.
//
// A line may run far outside what is drawn (a guide line at a high zoom spans
// millions of client pixels); the clipped form steps only the points inside a
// rectangle and tells the caller how many steps it passed over, so a pattern
// that counts pixels keeps its phase.
#pragma once

#include <cstdint>

// The callback: one point of the line and the caller's data.
using LineDdaProc = void (*)(int x, int y, void* data);

// Steps from (x1, y1) to (x2, y2), end point excluded.
void LineDDA(int x1, int y1, int x2, int y2, LineDdaProc proc, void* data);

// Number of points LineDDA hands over: the longer side's length.
int64_t LineDdaLength(int x1, int y1, int x2, int y2);

// Point `step` (0 <= step < LineDdaLength) of the line.
void LineDdaPoint(int x1, int y1, int x2, int y2, int64_t step, int* x, int* y);

// The same points as LineDDA, but only those with left <= x < right and
// top <= y < bottom reach `proc`. `skip` (may be null) is called with the
// number of points passed over before the first one handed over, and with
// the number passed over after the last one (the whole length when none is
// inside). The points inside are found without walking the others.
void LineDDAClipped(int x1, int y1, int x2, int y2, int left, int top, int right, int bottom, LineDdaProc proc,
                    void (*skip)(int64_t count, void* data), void* data);
