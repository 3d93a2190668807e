// The image view's painting and its selection: the display bitmap at the
// zoom, the selection's outline and handles, and the grid alignment.
#include "ChildView.h"

#include "ColorRef.h"
#include "CommandIds.h"
#include "DashedLine.h"
#include "KsImage.h"
#include "PageCropGeneral.h"
#include "TextUtil.h"

#include <QPainter>
#include <QRegion>

#include <algorithm>
#include <cstdlib>

namespace {

// One axis of the grid alignment: snaps lo (and hi as the options say) to
// the nearest multiple of mcu that keeps the selection inside `extent`.
void AlignAxis(int& lo, int& hi, int mcu, int extent, bool moving, bool alignEnd)
{
    const int size = hi - lo;
    int r = std::abs(lo % mcu);
    if (r > mcu / 2 && extent - lo > mcu - r) {
        // To the next grid line instead, unless a moved selection would leave the image.
        if (!(moving && extent - hi < mcu - r))
            r -= mcu;
    }
    lo = lo >= 0 ? lo - r : lo + r;
    int r2 = std::abs(hi % mcu);
    if (r2 > mcu / 2 && extent - hi > mcu - r2)
        r2 -= mcu;
    if (alignEnd)
        hi -= r2;
    else if (moving)
        hi = lo + size;
    if (hi == lo)
        hi = lo + mcu;
}


} // namespace

// ---- painting ----

QRect CChildView::SelectionClientRect() const
{
    const CropParams& s = m_host->Selection();
    QPoint a;
    QPoint b;
    ScalePoint(&a, s.Left, s.Top, static_cast<int>(m_zoom), 256);
    ScalePoint(&b, s.Right, s.Bottom, static_cast<int>(m_zoom), 256);
    // The stored edges may be anything; keep the client rectangle in a range
    // where its sums cannot overflow.
    static constexpr int64_t kLimit = 1 << 28;
    auto clamp = [](int64_t v) { return static_cast<int>(std::clamp(v, -kLimit, kLimit)); };
    const int l = clamp(static_cast<int64_t>(std::min(a.x(), b.x())) + m_originX);
    const int t = clamp(static_cast<int64_t>(std::min(a.y(), b.y())) + m_originY);
    const int r = clamp(static_cast<int64_t>(std::max(a.x(), b.x())) + m_originX);
    const int bottom = clamp(static_cast<int64_t>(std::max(a.y(), b.y())) + m_originY);
    return QRect(l, t, r - l, bottom - t);
}

void CChildView::paintEvent(QPaintEvent*)
{
    QPainter painter(viewport());
    const QRect client = viewport()->rect();
    const QColor background = FromColorRef(m_host->Settings().BackgroundColor);
    if (!IsImageLoaded()) {
        painter.fillRect(client, background);
        if (!m_preview.isNull())
            painter.drawImage(PreviewRect(), m_preview);
        return;
    }
    UpdateOrigin();
    QRegion backgroundRegion = QRegion(client) - QRegion(m_originX, m_originY, m_zoomedWidth, m_zoomedHeight);
    // The crop mode paints its own selection where it reaches beyond the image.
    if (m_selectionShown && m_host->CurrentModeId() == ID_EDIT_CROP)
        backgroundRegion -= QRegion(SelectionClientRect());

    const QImage bitmap = m_host->ModeDisplayImage(*this, *m_image);
    if (bitmap.isNull() || bitmap.depth() % 8 != 0)
        backgroundRegion += QRegion(m_originX, m_originY, m_zoomedWidth, m_zoomedHeight) & QRegion(client);
    else
        PaintImage(painter, bitmap);

    for (const QRect& r : backgroundRegion)
        painter.fillRect(r, background);
    m_host->ModeDrawOverlay(painter, *this);
    if (m_host->TextModeHasText())
        m_host->TextModeDrawFrame(painter, m_originX, m_originY, m_zoom);
}

void CChildView::PaintImage(QPainter& painter, const QImage& bitmap)
{
    const int cw = viewport()->width();
    const int ch = viewport()->height();
    const float f = std::max(static_cast<float>(m_zoom) / 256.0f, 1.0f);
    // A partly hidden first pixel keeps its phase.
    const int dx = m_originX >= 0 ? m_originX : -FloatModulo(-m_originX, f);
    const int dy = m_originY >= 0 ? m_originY : -FloatModulo(-m_originY, f);
    const int dw = cw >= m_zoomedWidth ? m_zoomedWidth
                                       : static_cast<int>(cw + (f > 1 ? 2 * f : 0) - FloatModulo(cw, f));
    const int dh = ch >= m_zoomedHeight ? m_zoomedHeight
                                        : static_cast<int>(ch + (f > 1 ? 2 * f : 0) - FloatModulo(ch, f));
    int sx = static_cast<int>(static_cast<int64_t>(m_originX < 0 ? dx - m_originX : 0) * 256 / m_zoom);
    int sy = static_cast<int>(static_cast<int64_t>(m_originY < 0 ? dy - m_originY : 0) * 256 / m_zoom);
    int sw = static_cast<int>(static_cast<int64_t>(cw > m_zoomedWidth ? m_zoomedWidth : dw) * 256 / m_zoom);
    int sh = static_cast<int>(static_cast<int64_t>(ch > m_zoomedHeight ? m_zoomedHeight : dh) * 256 / m_zoom);
    if (sw <= 0 || sh <= 0 || dw <= 0 || dh <= 0 || sx >= bitmap.width() || sy >= bitmap.height())
        return;

    // The source never reaches past the bitmap; the target shrinks with it.
    QRectF target(dx, dy, dw, dh);
    if (sx + sw > bitmap.width()) {
        target.setWidth(target.width() * (bitmap.width() - sx) / sw);
        sw = bitmap.width() - sx;
    }
    if (sy + sh > bitmap.height()) {
        target.setHeight(target.height() * (bitmap.height() - sy) / sh);
        sh = bitmap.height() - sy;
    }

    // Only the visible rows and columns, read in place: an image over the
    // bitmap's own memory starting at a 4-byte aligned column of the first
    // visible row, so no pixel outside the source rectangle is touched.
    const int bytesPerPixel = bitmap.depth() / 8;
    const int x0 = sx & ~3;
    const qsizetype stride = bitmap.bytesPerLine();
    const uchar* first = bitmap.constBits() + static_cast<qsizetype>(sy) * stride + static_cast<qsizetype>(x0) * bytesPerPixel;
    const QImage visible(first, sx + sw - x0, sh, stride, bitmap.format());

    if (m_zoom < 256 && m_host->Settings().DrawMode == 1)
        painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter.drawImage(target, visible, QRectF(sx - x0, 0, sw, sh));
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
}

QRect CChildView::DrawSelectionFrame(QPainter& painter)
{
    const QRect r = SelectionClientRect();
    const int l = r.left();
    const int t = r.top();
    const int right = l + r.width();
    const int bottom = t + r.height();
    const QRect clip = viewport()->rect().adjusted(-1, -1, 1, 1);
    if (m_host->CropOptions().RunningAnts) {
        DrawDashedFrame(painter, l, t, right, bottom, m_antsPhase, clip);
        return r;
    }
    const int w = right - l;
    const int h = bottom - t;
    if (w <= 0 || h <= 0)
        return r;
    DrawEtchedEdge(painter, l, t, right, bottom);
    // The focus rectangle: every other pixel inverted, moved in at the left and top.
    if (w > 1 && h > 1) {
        painter.save();
        painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        QPen pen(Qt::white, 0, Qt::CustomDashLine);
        pen.setDashPattern({1, 1});
        painter.setPen(pen);
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.drawLine(l + 1, t + 1, right - 1, t + 1);
        painter.drawLine(l + 1, bottom - 1, right - 1, bottom - 1);
        painter.drawLine(l + 1, t + 2, l + 1, bottom - 2);
        painter.drawLine(right - 1, t + 2, right - 1, bottom - 2);
        painter.restore();
    }
    return r;
}

void CChildView::InvalidateSelectionOutline()
{
    const QRect r = SelectionClientRect();
    const QRect outer = r.adjusted(-2, -2, 3, 3);
    QRegion band(outer);
    if (r.width() > 6 && r.height() > 6)
        band -= QRegion(r.adjusted(3, 3, -3, -3));
    viewport()->update(band & QRegion(viewport()->rect()));
}

// ---- selection ----

void CChildView::CancelSelection(bool lastOnly)
{
    m_host->ModeCancel(*this, lastOnly);
    UpdateView(true);
}

void CChildView::ResetModeSelection()
{
    const CropParams& s = m_host->Selection();
    if (m_host->ModeKeepsSelection() && s.Right > s.Left && s.Bottom > s.Top)
        m_host->ModeResetSelection(*this);
}

void CChildView::AlignSelection()
{
    const CropParams& crop = m_host->CropOptions();
    const int mode = m_host->CurrentModeId();
    if ((crop.AlignSelectionByBlock == 0 && m_host->TextModeHasText()) || mode == ID_EDIT_PASTE || mode == ID_EDIT_SELECT)
        return;
    if (!IsImageLoaded() || m_mcuWidth <= 0 || m_mcuHeight <= 0)
        return;
    CropParams& s = m_host->Selection();
    const bool alignEnd = crop.AlignSelectionByBlockSE != 0 && ListedCropPreset(crop.CropPreset) == 0;
    AlignAxis(s.Top, s.Bottom, m_mcuHeight, m_image->GetHeight(), m_movingSelection, alignEnd);
    AlignAxis(s.Left, s.Right, m_mcuWidth, m_image->GetWidth(), m_movingSelection, alignEnd);
}

void CChildView::SelectAll()
{
    if (!IsImageLoaded())
        return;
    m_selectionShown = true;
    CropParams& s = m_host->Selection();
    SetSelectionRect(s, 0, 0, m_image->GetWidth(), m_image->GetHeight());
    AlignSelection();
    UpdateView(true);
}

int CChildView::FindHandle(QPoint p) const
{
    const CropParams& s = m_host->Selection();
    const int64_t z = m_zoom;
    const bool nearLeft = std::abs(static_cast<int64_t>(s.Left) - p.x()) * z / 256 < 5;
    const bool nearTop = std::abs(static_cast<int64_t>(s.Top) - p.y()) * z / 256 < 5;
    // The right and bottom edges are exclusive: their reach grows with the zoom.
    const bool nearRight = std::abs(static_cast<int64_t>(s.Right) - p.x()) * z / 256 < z / 256 + 5;
    const bool nearBottom = std::abs(static_cast<int64_t>(s.Bottom) - p.y()) * z / 256 < z / 256 + 5;
    int handle = 0;
    if (nearTop && nearRight)
        handle = 5;
    else if (nearBottom && nearRight)
        handle = 6;
    else if (nearBottom && nearLeft)
        handle = 7;
    else if (nearTop && nearLeft)
        handle = 8;
    else if (nearTop)
        handle = 1;
    else if (nearRight)
        handle = 2;
    else if (nearBottom)
        handle = 3;
    else if (nearLeft)
        handle = 4;
    if (m_host->CurrentModeId() == ID_EDIT_CROP) {
        const int rule = m_host->CropRuleKind();
        if (rule == 1)
            return 0; // a fixed size can only be moved
        if (rule >= 0) {
            if (handle == 5 || handle == 6)
                handle = 2;
            else if (handle == 7 || handle == 8)
                handle = 1;
        }
    }
    return handle;
}
