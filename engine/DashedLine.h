// Outlines drawn over the picture: the marching dashed line (3 white pixels,
// then 4 black) and the etched edge. The view's selection outline and the
// frames of the text blocks share them.
#pragma once

#include <QRect>

#include <cstdint>

class QPainter;

// The LineDDA callback for dashed lines: 3 white pixels, then 4 black, with
// one program-wide phase carried from each line into the next.
void DashedLinePixel(int x, int y, QPainter* dc);
// The current phase (0..6) of the shared dash counter.
int DashedLinePhase();
// Moves the shared phase on by `n` pixels without drawing them: a line
// clipped to what shows keeps the pattern it would have had.
void SkipDashedLinePixels(int64_t n);

// The dash counter after `n` more pixels: it counts 0..6 and wraps, and a
// start below 0 (or above 6) reaches 0 after one pixel.
int AdvanceDash(int counter, int64_t n);
// A dashed axis-aligned line of `length` pixels from (x, y): 3 white and 4
// black pixels in turn from `counter`, drawn in runs and only where it can
// show within `clip`. Returns the counter after the line.
int DashLine(QPainter& p, int x, int y, bool horizontal, int length, int counter, const QRect& clip);
// The four sides of (left, top)-(right, bottom) dashed from `phase`: the top
// and then the right side run on from it, the left and then the bottom side
// start from it again, so stepping the phase makes the outline march.
void DrawDashedFrame(QPainter& p, int left, int top, int right, int bottom, int phase, const QRect& clip);
// An etched edge around x in [left, right), y in [top, bottom): a shadow line
// with a light line inside at the top and left, the opposite at the bottom
// and right. Nothing for an empty rectangle.
void DrawEtchedEdge(QPainter& p, int left, int top, int right, int bottom);
