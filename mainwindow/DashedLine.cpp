#include "PixmendApp.h"

#include <QColor>
#include <QPainter>

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
