#include "ModeRedEye.h"

#include "ActionRedEye.h"
#include "ChildView.h"
#include "CommandIds.h"
#include "KsImage.h"
#include "ModeHost.h"
#include "OperRedEye.h"
#include "TextUtil.h"
#include "ViewCursors.h"

#include <QGuiApplication>
#include <QPainter>

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace {

// The area repainted around an eye: the square of the largest radius.
constexpr int kEyeReach = CActionRedEye::kMaxRadius;

// The square of bitmap pixels a preview of radius r may change around
// `eye` (one more right and below, as the action saves), within the bitmap.
QRect PreviewSquare(const QPoint& eye, int r, int width, int height)
{
    const int64_t x0 = std::max<int64_t>(int64_t{eye.x()} - r, 0);
    const int64_t y0 = std::max<int64_t>(int64_t{eye.y()} - r, 0);
    const int64_t x1 = std::min<int64_t>(int64_t{eye.x()} + r + 1, width - 1);
    const int64_t y1 = std::min<int64_t>(int64_t{eye.y()} + r + 1, height - 1);
    if (x0 > x1 || y0 > y1)
        return QRect();
    return QRect(QPoint(static_cast<int>(x0), static_cast<int>(y0)), QPoint(static_cast<int>(x1), static_cast<int>(y1)));
}

// Copies `square` from one bitmap to another of the same size.
void CopySquare(const CDib24& from, CDib24& to, const QRect& square)
{
    const size_t bytes = static_cast<size_t>(square.width()) * 3;
    const size_t offset = static_cast<size_t>(square.left()) * 3;
    for (int y = square.top(); y <= square.bottom(); ++y)
        std::memcpy(to.Row(y) + offset, from.Row(y) + offset, bytes);
}

// Client pixels of a one-pixel circle of radius r around (cx, cy) that lie
// in `clip`, stepped octant by octant (the midpoint rule): about 6r points,
// none of them outside the viewport.
QList<QPoint> CirclePoints(int64_t cx, int64_t cy, int64_t r, const QRect& clip)
{
    QList<QPoint> points;
    if (cx + r < clip.left() || cx - r > clip.right() || cy + r < clip.top() || cy - r > clip.bottom())
        return points;
    const auto plot = [&](int64_t x, int64_t y) {
        if (x >= clip.left() && x <= clip.right() && y >= clip.top() && y <= clip.bottom())
            points.append(QPoint(static_cast<int>(x), static_cast<int>(y)));
    };
    int64_t x = r;
    int64_t y = 0;
    int64_t err = 1 - r;
    while (x >= y) {
        plot(cx + x, cy + y);
        plot(cx - x, cy + y);
        plot(cx + x, cy - y);
        plot(cx - x, cy - y);
        plot(cx + y, cy + x);
        plot(cx - y, cy + x);
        plot(cx + y, cy - x);
        plot(cx - y, cy - x);
        ++y;
        if (err < 0) {
            err += 2 * y + 1;
        } else {
            --x;
            err += 2 * (y - x) + 1;
        }
    }
    return points;
}

} // namespace

CModeRedEye::CModeRedEye()
    : CMode(ID_EDIT_RED_EYE, 3, kCursorRedEye), m_preview(std::make_unique<CActionRedEye>(RedEyeParams()))
{
}

CModeRedEye::~CModeRedEye() = default;

void CModeRedEye::SetOperation(COperRedEye* operation)
{
    m_pOperation = operation;
    m_pParams = operation ? &operation->Params() : nullptr;
}

void CModeRedEye::Activate()
{
    ShowPanel(&m_panel, QStringLiteral("Remove Red Eye"));
    RefreshPanel();
    if (HasMarkedEyes())
        RefreshPreview(View());
}

void CModeRedEye::Deactivate()
{
    HidePanel();
    DropPreview(View());
}

void CModeRedEye::RefreshPanel()
{
    m_panel.Refresh();
}

int CModeRedEye::GetContextMenuIndex() const
{
    return HasMarkedEyes() ? 3 : 1;
}

bool CModeRedEye::HasMarkedEyes() const
{
    const CChildView* view = View();
    return view && view->IsRedEyeMarked() && GetEyeCount() > 0;
}

int CModeRedEye::GetEyeCount() const
{
    return m_pParams ? static_cast<int>(m_pParams->Points.size()) : 0;
}

void CModeRedEye::MoveLastEye(int dx, int dy)
{
    if (!m_pParams || m_pParams->Points.empty())
        return;
    QPoint& eye = m_pParams->Points.back();
    // Never past the image by more than a radius: further out nothing changes.
    const CKsImage* image = Image();
    const int limitX = image ? image->GetWidth() + kEyeReach : INT32_MAX / 2;
    const int limitY = image ? image->GetHeight() + kEyeReach : INT32_MAX / 2;
    eye.setX(std::clamp(eye.x() + dx, -kEyeReach, limitX));
    eye.setY(std::clamp(eye.y() + dy, -kEyeReach, limitY));
}

void CModeRedEye::ClampParams()
{
    if (!m_pParams)
        return;
    m_pParams->RedEyeRadius = std::clamp(m_pParams->RedEyeRadius, CActionRedEye::kMinRadius, CActionRedEye::kMaxRadius);
    m_pParams->RedEyeSensitivity =
        std::clamp(m_pParams->RedEyeSensitivity, CActionRedEye::kLowestSensitivity, CActionRedEye::kMaxSensitivity);
    m_pParams->RedEyeDarkening =
        std::clamp(m_pParams->RedEyeDarkening, CActionRedEye::kMinDarkening, CActionRedEye::kMaxDarkening);
}

int CModeRedEye::GetRadius() const
{
    if (!m_pParams)
        return CActionRedEye::kMinRadius;
    return std::clamp(m_pParams->RedEyeRadius, CActionRedEye::kMinRadius, CActionRedEye::kMaxRadius);
}

void CModeRedEye::SetRadius(int radius)
{
    if (!m_pParams)
        return;
    m_pParams->RedEyeRadius = radius;
    RefreshPreview(View());
}

void CModeRedEye::SetSensitivity(int sensitivity)
{
    if (!m_pParams)
        return;
    m_pParams->RedEyeSensitivity = sensitivity;
    RefreshPreview(View());
}

void CModeRedEye::SetDarkening(int darkening)
{
    if (!m_pParams)
        return;
    m_pParams->RedEyeDarkening = darkening;
    RefreshPreview(View());
}

int CModeRedEye::OnClick(CChildView* view, int x, int y)
{
    // Used even when it marks nothing: a click outside the image never pans.
    if (!view || !m_pParams || !view->IsPointInImage(view->LastX(), view->LastY()))
        return 1;
    view->SetRedEyeMarked(true);
    if (!(QGuiApplication::keyboardModifiers() & Qt::ShiftModifier))
        m_pParams->Points.clear();
    m_pParams->Points.emplace_back(x, y);
    RefreshPreview(view);
    return 1;
}

void CModeRedEye::Cancel(bool lastOnly)
{
    CChildView* view = View();
    if (m_pParams) {
        if (!lastOnly) {
            m_pParams->Points.clear();
            if (view)
                view->SetRedEyeMarked(false);
        } else if (view && view->IsRedEyeMarked() && !m_pParams->Points.empty()) {
            m_pParams->Points.pop_back();
            view->SetRedEyeMarked(!m_pParams->Points.empty());
        }
    }
    RefreshPreview(view);
}

void CModeRedEye::Apply()
{
    if (!HasMarkedEyes() || !m_pOperation)
        return;
    ClampParams();
    // The image's own bitmap never holds the preview: only the copy goes.
    DropPreview(View());
    if (IModeHost* app = ModeHost())
        app->RunOperation(m_pOperation->Clone());
}

void CModeRedEye::DropPreview(CChildView* view)
{
    if (HasDisplayBitmap() && view)
        InvalidateEyes(view, m_previewEyes);
    DeleteDisplayBitmap();
    m_previewEyes.clear();
    m_previewSquares.clear();
    m_copiedFrom = nullptr;
}

void CModeRedEye::RefreshPreview(CChildView* view)
{
    ClampParams();
    CKsImage* image = view ? view->GetImage() : nullptr;
    const bool marked = view && view->IsRedEyeMarked() && GetEyeCount() > 0;
    if (!marked || !image || !view->IsImageLoaded() || (!image->HasDib() && !image->CreateDib())) {
        DropPreview(view);
        return;
    }
    const CDib24& dib = image->GetDib();
    const bool sameBitmap = HasDisplayBitmap() && m_copiedFrom == dib.Bits() &&
                            m_displayBitmap.Width() == dib.Width() && m_displayBitmap.Height() == dib.Height();
    if (sameBitmap) {
        // The squares of the last preview go back to the image's pixels.
        for (const QRect& square : m_previewSquares)
            CopySquare(dib, m_displayBitmap, square);
    } else {
        if (!CopyImageBitmap(image))
            return;
        m_copiedFrom = image->GetDib().Bits();
    }
    const std::vector<QPoint> oldEyes = std::move(m_previewEyes);

    // Performed on the image's bitmap with its own undo (no file), copied,
    // and undone before anything else can read that bitmap.
    m_preview->SetParameters(*m_pParams);
    m_preview->Do(image, 1, nullptr, nullptr);
    const CDib24& corrected = image->GetDib();
    m_previewSquares.clear();
    if (corrected.Bits() == m_copiedFrom) {
        for (const QPoint& eye : m_pParams->Points) {
            const QRect square = PreviewSquare(eye, m_pParams->RedEyeRadius, corrected.Width(), corrected.Height());
            if (!square.isEmpty()) {
                CopySquare(corrected, m_displayBitmap, square);
                m_previewSquares.push_back(square);
            }
        }
    }
    if (m_preview->CanUndo())
        m_preview->Undo();
    m_previewEyes = m_pParams->Points;

    InvalidateEyes(view, oldEyes);
    InvalidateEyes(view, m_previewEyes);
}

QImage CModeRedEye::SelectDisplayBitmap(CChildView* view)
{
    CKsImage* image = view ? view->GetImage() : nullptr;
    // A copy of another bitmap (the image was reloaded or rebuilt since)
    // would show stale pixels: the image's own then, until the next preview.
    if (HasDisplayBitmap() && image && image->HasDib() && m_copiedFrom == image->GetDib().Bits() &&
        m_displayBitmap.Width() == image->GetDibWidth() && m_displayBitmap.Height() == image->GetDibHeight())
        return m_displayBitmap.View();
    return CMode::SelectDisplayBitmap(view);
}

void CModeRedEye::InvalidateEyes(CChildView* view, const std::vector<QPoint>& eyes)
{
    if (!view)
        return;
    const int64_t zoom = view->Zoom();
    const QRect client = view->viewport()->rect();
    for (const QPoint& eye : eyes) {
        // One client pixel more on each side for the truncated scaling.
        const int64_t l = (int64_t{eye.x()} - kEyeReach) * zoom / 256 + view->OriginX() - 1;
        const int64_t t = (int64_t{eye.y()} - kEyeReach) * zoom / 256 + view->OriginY() - 1;
        const int64_t r = (int64_t{eye.x()} + kEyeReach + 1) * zoom / 256 + view->OriginX() + 1;
        const int64_t b = (int64_t{eye.y()} + kEyeReach + 1) * zoom / 256 + view->OriginY() + 1;
        if (r < client.left() || l > client.right() || b < client.top() || t > client.bottom())
            continue;
        const QRect area(QPoint(static_cast<int>(std::max<int64_t>(l, client.left())),
                                static_cast<int>(std::max<int64_t>(t, client.top()))),
                         QPoint(static_cast<int>(std::min<int64_t>(r, client.right())),
                                static_cast<int>(std::min<int64_t>(b, client.bottom()))));
        view->viewport()->update(area);
    }
}

void CModeRedEye::DrawOverlay(QPainter& painter, CChildView* view)
{
    if (!view || !view->IsBlinkOn() || !HasMarkedEyes())
        return;
    const int64_t zoom = view->Zoom();
    const int64_t r = int64_t{GetRadius()} * zoom / 256;
    const QRect clip = view->viewport()->rect();
    QList<QPoint> points;
    for (const QPoint& eye : m_pParams->Points) {
        QPoint c;
        ScalePoint(&c, eye.x(), eye.y(), static_cast<int>(zoom), 256);
        points += CirclePoints(int64_t{c.x()} + view->OriginX(), int64_t{c.y()} + view->OriginY(), r, clip);
    }
    if (points.isEmpty())
        return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(Qt::white, 0));
    painter.drawPoints(points.constData(), static_cast<int>(points.size()));
    painter.restore();
}
