#include "DashedLine.h"

#include <QColor>
#include <QPainter>

#include <algorithm>

namespace {

// Shared by every dashed line and never reset, so the pattern runs on from
// one line into the next. UI thread only.
int g_dashCounter = 0;

} // namespace

void DashedLinePixel(int x, int y, QPainter* dc)
{
    if (!dc)
        return;
    // fillRect hits exactly one pixel whatever the painter's antialiasing.
    dc->fillRect(x, y, 1, 1, g_dashCounter < 3 ? QColor(Qt::white) : QColor(Qt::black));
    const int before = g_dashCounter++;
    if (before >= 6)
        g_dashCounter = 0;
}

int DashedLinePhase()
{
    return g_dashCounter;
}

void SkipDashedLinePixels(int64_t n)
{
    g_dashCounter = AdvanceDash(g_dashCounter, n);
}

int AdvanceDash(int counter, int64_t n)
{
    if (n <= 0)
        return counter;
    if (counter < 0 || counter > 6) {
        counter = 0;
        --n;
    }
    return static_cast<int>((counter + n) % 7);
}

int DashLine(QPainter& p, int x, int y, bool horizontal, int length, int counter, const QRect& clip)
{
    const int along = horizontal ? x : y;
    const int clipStart = horizontal ? clip.left() : clip.top();
    const int clipEnd = horizontal ? clip.right() + 1 : clip.bottom() + 1;
    const int across = horizontal ? y : x;
    const int acrossLo = horizontal ? clip.top() : clip.left();
    const int acrossHi = horizontal ? clip.bottom() : clip.right();
    const int64_t end = static_cast<int64_t>(along) + length;
    if (length <= 0 || across < acrossLo || across > acrossHi || end <= clipStart || along >= clipEnd)
        return AdvanceDash(counter, length);
    int pos = std::max(along, clipStart);
    int c = AdvanceDash(counter, static_cast<int64_t>(pos) - along);
    const int stop = static_cast<int>(std::min<int64_t>(end, clipEnd));
    while (pos < stop) {
        const bool white = c < 3;
        // Pixels left in this colour: white runs to 3, black to 7 (0 follows 6).
        int run = white ? 3 - std::max(c, 0) + (c < 0 ? 1 : 0) : 7 - c;
        run = std::min(run, stop - pos);
        const QColor color = white ? QColor(Qt::white) : QColor(Qt::black);
        if (horizontal)
            p.fillRect(pos, across, run, 1, color);
        else
            p.fillRect(across, pos, 1, run, color);
        c = AdvanceDash(c, run);
        pos += run;
    }
    return AdvanceDash(counter, length);
}

void DrawDashedFrame(QPainter& p, int left, int top, int right, int bottom, int phase, const QRect& clip)
{
    int counter = DashLine(p, left, top, true, right - left, phase, clip);
    DashLine(p, right, top, false, bottom - top, counter, clip);
    counter = DashLine(p, left, top, false, bottom - top, phase, clip);
    DashLine(p, left, bottom, true, right - left, counter, clip);
}

void DrawEtchedEdge(QPainter& p, int left, int top, int right, int bottom)
{
    const QColor shadow(160, 160, 160);
    const QColor light(Qt::white);
    const int w = right - left;
    const int h = bottom - top;
    if (w <= 0 || h <= 0)
        return;
    p.fillRect(left, top, w, 1, shadow);
    p.fillRect(left, top, 1, h, shadow);
    p.fillRect(left, bottom - 1, w, 1, light);
    p.fillRect(right - 1, top, 1, h, light);
    if (w > 2 && h > 2) {
        p.fillRect(left + 1, top + 1, w - 2, 1, light);
        p.fillRect(left + 1, top + 1, 1, h - 2, light);
        p.fillRect(left + 1, bottom - 2, w - 2, 1, shadow);
        p.fillRect(right - 2, top + 1, 1, h - 2, shadow);
    }
}
