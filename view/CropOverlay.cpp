#include "CropOverlay.h"

#include "AppSettings.h"
#include "ChildView.h"
#include "ChildViewHost.h"
#include "ChildViewMath.h"
#include "CropParams.h"
#include "DashedLine.h"

#include "platform/LineDDA.h"

#include <QColor>
#include <QPainter>
#include <QRegion>

#include <cstdint>

namespace {

// The guide lines' pixels: the shared dashed pattern, which keeps counting
// over the steps the viewport clip passes over.
void GuidePixel(int x, int y, void* painter)
{
    DashedLinePixel(x, y, static_cast<QPainter*>(painter));
}

void GuideSkip(int64_t count, void*)
{
    SkipDashedLinePixels(count);
}

} // namespace

void DrawCropOverlay(QPainter& painter, CChildView& view)
{
    const CropParams& crop = view.Host().CropOptions();
    const CAppSettings& settings = view.Host().Settings();
    // The view leaves the selection's area beyond the image to this mode.
    const QRect frame = view.SelectionClientRect().adjusted(1, 1, 0, 0);
    const QRect drawn(view.OriginX(), view.OriginY(), view.GetZoomedWidth(), view.GetZoomedHeight());
    const int color = crop.AllowOutwardSel ? crop.CanvasColor : settings.BackgroundColor;
    const QColor fill(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF);
    for (const QRect& r : QRegion(frame) - QRegion(drawn))
        painter.fillRect(r, fill);

    const QRect sel = view.DrawSelectionFrame(painter);
    DrawGuideLines(painter, view.viewport()->rect(), sel, settings.GuideLine);
}

void DrawGuideLines(QPainter& painter, const QRect& viewport, const QRect& selection, int kind)
{
    if (kind < 1 || kind > 4)
        return;
    const int xs = selection.left();
    const int ys = selection.top();
    const int xe = ClampToInt(int64_t(xs) + selection.width());
    const int ye = ClampToInt(int64_t(ys) + selection.height());
    const int64_t w = int64_t(xe) - xs;
    const int64_t h = int64_t(ye) - ys;
    const int gw = ClampToInt(w * 618 / 1000);
    const int gh = ClampToInt(h * 618 / 1000);
    const int w3 = ClampToInt(w / 3);
    const int h3 = ClampToInt(h / 3);
    const auto line = [&](int x1, int y1, int x2, int y2) {
        LineDDAClipped(x1, y1, x2, y2, viewport.left(), viewport.top(), viewport.right() + 1, viewport.bottom() + 1,
                       GuidePixel, GuideSkip, &painter);
    };
    switch (kind) {
    case 1:
        line(xs, ys, xe, ye);
        line(xs, ye, xe, ys);
        break;
    case 2:
    case 3: {
        // Thirds, or the golden mean's 0.618 from each side.
        const int dx = kind == 2 ? w3 : gw;
        const int dy = kind == 2 ? h3 : gh;
        line(xs + dx, ys, xs + dx, ye);
        line(xe - dx, ys, xe - dx, ye);
        line(xs, ys + dy, xe, ys + dy);
        line(xs, ye - dy, xe, ye - dy);
        break;
    }
    case 4:
        line(xs, ys, xe, ye);
        line(xs, ye, xe, ys);
        line(xs, ys, xe - gw, ys + gh);
        line(xs, ye, xe - gw, ye - gh);
        line(xs + gw, ys + gh, xe, ys);
        line(xs + gw, ye - gh, xe, ye);
        break;
    }
}
