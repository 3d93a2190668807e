// The image view's input: mouse, cursor, keys and wheel.
#include "ChildView.h"
#include "ChildViewMath.h"

#include "CommandIds.h"
#include "KsImage.h"
#include "TextUtil.h"
#include "ViewCursors.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace {

// Handles: 1 top, 2 right, 3 bottom, 4 left, 5 top-right, 6 bottom-right,
// 7 bottom-left, 8 top-left.
bool HandleMovesLeft(int h)
{
    return h == 4 || h == 7 || h == 8;
}
bool HandleMovesRight(int h)
{
    return h == 2 || h == 5 || h == 6;
}
bool HandleMovesTop(int h)
{
    return h == 1 || h == 5 || h == 8;
}
bool HandleMovesBottom(int h)
{
    return h == 3 || h == 6 || h == 7;
}

int HandleCursor(int handle)
{
    switch (handle) {
    case 1:
    case 3: return -10;
    case 2:
    case 4: return -9;
    case 5:
    case 7: return -8;
    case 6:
    case 8: return -7;
    default: return 0;
    }
}

} // namespace

// ---- mouse ----

void CChildView::mousePressEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    if (event->button() == Qt::LeftButton)
        LeftButtonDown(pos.x(), pos.y());
    else if (event->button() == Qt::RightButton)
        RightButtonDown(event->globalPosition().toPoint());
    event->accept();
}

void CChildView::LeftButtonDown(int x, int y)
{
    setFocus(Qt::MouseFocusReason);
    m_lastX = x;
    m_lastY = y;
    const QPoint p = ImagePoint(x, y);
    const int mode = m_host->CurrentModeId();
    const CropParams& crop = m_host->CropOptions();
    CropParams& s = m_host->Selection();
    m_panning = false;
    if (m_spaceHeld) {
        m_dragging = true;
        m_panning = true;
    } else if (m_selectionShown && SelectionContains(s, p.x(), p.y())) {
        m_pressX = x;
        m_pressY = y;
        m_movingSelection = m_handle == 0;
        m_dragging = true;
    } else if (!m_host->ModeKeepsSelection()) {
        if (mode < 0 || !m_host->ModeOnClick(*this, p.x(), p.y())) {
            m_dragging = true;
            m_panning = true;
        }
    } else if (!m_selectionShown || crop.AutoCancelSelection || mode == ID_EDIT_SELECT) {
        if ((mode == ID_EDIT_CROP && crop.AllowOutwardSel) || IsPointInImage(x, y)) {
            m_dragging = true;
            m_pressX = x;
            m_pressY = y;
            SetSelectionRect(s, p.x(), p.y(), p.x(), p.y());
            m_selectionShown = true;
            AlignSelection();
        }
    }
    UpdateView(true);
    UpdateCursor(x, y);
}

void CChildView::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    MouseMoveTo(pos.x(), pos.y());
    event->accept();
}

void CChildView::MouseMoveTo(int x, int y)
{
    const int mode = m_host->CurrentModeId();
    const CropParams& crop = m_host->CropOptions();
    CropParams& s = m_host->Selection();
    int dxComputed = 0;
    int dyComputed = 0;
    int dx = 0;
    int dy = 0;
    if (!m_dragging) {
        if (m_host->BrowserListHasFocus() && window()->isActiveWindow())
            setFocus(Qt::OtherFocusReason);
        const QPoint p = ImagePoint(x, y);
        m_handle = 0;
        if (m_selectionShown && SelectionContains(s, p.x(), p.y()) && !IsPasteMode())
            m_handle = FindHandle(p);
    } else if ((m_spaceHeld || mode == ID_EDIT_DRAG) && IsPointInImage(x, y)) {
        m_centerX += m_lastX - x;
        m_centerY += m_lastY - y;
        UpdateView(true);
    } else if (m_panning) {
        // A pan that leaves the image stops; it never turns into a selection edit.
    } else {
        QPoint last;
        QPoint current;
        ScalePoint(&last, m_lastX, m_lastY, 256, static_cast<int>(m_zoom));
        ScalePoint(&current, x, y, 256, static_cast<int>(m_zoom));
        dx = dxComputed = last.x() - current.x();
        dy = dyComputed = last.y() - current.y();
        const int width = m_image ? m_image->GetWidth() : 0;
        const int height = m_image ? m_image->GetHeight() : 0;
        const bool outward = mode == ID_EDIT_CROP && crop.AllowOutwardSel;
        if (!outward && !IsPasteMode()) {
            // The edges that move stay inside the image.
            if (m_movingSelection || HandleMovesLeft(m_handle)) {
                if (s.Left >= 0) {
                    dx = std::min(dx, s.Left);
                    if (s.Left - dx >= width)
                        dx = 0;
                } else if (dx > 0) {
                    dx = 0;
                }
            }
            if (m_movingSelection || HandleMovesRight(m_handle)) {
                if (width >= s.Right) {
                    if (s.Right - dx > width)
                        dx = s.Right - width;
                } else if (dx < 0) {
                    dx = 0;
                }
            }
            if (m_movingSelection || HandleMovesTop(m_handle)) {
                if (s.Top >= 0) {
                    dy = std::min(dy, s.Top);
                    if (s.Top - dy >= height)
                        dy = 0;
                } else if (dy > 0) {
                    dy = 0;
                }
            }
            if (m_movingSelection || HandleMovesBottom(m_handle)) {
                if (height >= s.Bottom) {
                    if (s.Bottom - dy > height)
                        dy = s.Bottom - height;
                } else if (dy < 0) {
                    dy = 0;
                }
            }
        }
        if (m_movingSelection) {
            s.Left -= dx;
            s.Right -= dx;
            s.Top -= dy;
            s.Bottom -= dy;
        } else if (m_handle != 0) {
            if (HandleMovesLeft(m_handle))
                s.Left -= dx;
            if (HandleMovesRight(m_handle))
                s.Right -= dx;
            if (HandleMovesTop(m_handle))
                s.Top -= dy;
            if (HandleMovesBottom(m_handle))
                s.Bottom -= dy;
            if (!crop.AllowOutwardSel) {
                s.Right = std::max(s.Right, 0);
                s.Bottom = std::max(s.Bottom, 0);
            }
        } else if (m_host->ModeKeepsSelection()) {
            // Drawing a new selection from the anchor at Left/Top.
            QPoint point(x - m_originX, y - m_originY);
            if (outward || IsPointInImage(x, y)) {
                m_selectionShown = true;
                AlignSelection();
            } else {
                point.setX(std::clamp(point.x(), 0, m_zoomedWidth));
                point.setY(std::clamp(point.y(), 0, m_zoomedHeight));
            }
            QPoint q;
            ScalePoint(&q, point.x(), point.y(), 256, static_cast<int>(m_zoom));
            s.Right = q.x();
            s.Bottom = q.y();
        }
        UpdateView(true);
    }
    // A limited movement leaves the anchor where the selection stopped: the
    // pointer has to come back there before the selection moves again.
    m_lastX = x + ClampToInt(static_cast<int64_t>(m_zoom) * (dxComputed - dx) / 256);
    m_lastY = y + ClampToInt(static_cast<int64_t>(m_zoom) * (dyComputed - dy) / 256);
    UpdateCursor(x, y);
}

void CChildView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        LeftButtonUp();
    event->accept();
}

void CChildView::LeftButtonUp()
{
    CropParams& s = m_host->Selection();
    if (s.Right != s.Left && s.Bottom != s.Top) {
        NormalizeSelection(s);
        AlignSelection();
        UpdateView(true);
    } else if (m_selectionShown) {
        // A click without a drag removes the selection.
        CancelSelection(false);
    }
    m_dragging = m_movingSelection = m_panning = false;
    m_handle = 0;
    UpdateCursor(m_lastX, m_lastY);
}

void CChildView::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    // The application's view goes through its command router.
    const ViewAppHooks& app = TheViewAppHooks();
    if (app.mainView && app.viewDoubleClick && app.mainView() == this) {
        app.viewDoubleClick();
    } else if (m_host->TextModeHasText()) {
        UpdateView(true);
        m_host->TextModeEditTextAndFont(*this);
        UpdateView(true);
    } else {
        m_host->ModeApply(*this);
    }
    event->accept();
}

void CChildView::RightButtonDown(QPoint globalPos)
{
    // Z held turns the right button off (the selection zoom is being set up).
    if (m_zHeld)
        return;
    const int index = IsImageLoaded() ? m_host->ModeContextMenuIndex(*this) : 0;
    if (index < 0)
        return;
    m_menuOpen = true;
    UpdateCursor(m_lastX, m_lastY);
    m_host->ShowContextMenu(index, globalPos);
    m_menuOpen = false;
}

void CChildView::leaveEvent(QEvent* event)
{
    m_cursorId = -1;
    ApplyCursor();
    m_dragging = false;
    m_panning = false;
    QAbstractScrollArea::leaveEvent(event);
}

// ---- cursor ----

void CChildView::UpdateCursor(int x, int y)
{
    const int mode = m_host->CurrentModeId();
    const bool crop = mode == ID_EDIT_CROP;
    const bool active = IsPasteMode() || (crop && m_host->CropOptions().AllowOutwardSel) || IsPointInImage(x, y);
    const QPoint p = ImagePoint(x, y);
    const CropParams& s = m_host->Selection();
    int id = -1;
    bool chosen = true;
    if (m_selectionShown && SelectionContains(s, p.x(), p.y())) {
        const int idle = crop ? kCursorCrop : kCursorSelect;
        if (m_dragging)
            id = m_movingSelection ? -6 : (m_handle ? HandleCursor(m_handle) : idle);
        else
            id = m_handle ? HandleCursor(m_handle) : idle;
    } else if (m_selectionShown && active) {
        if (m_dragging)
            id = crop ? kCursorCrop : kCursorSelect;
        else
            id = IsPasteMode() ? kCursorSelect : -1;
    } else if (!m_selectionShown && active) {
        id = m_dragging ? kCursorClosedHand : m_host->ModeCursorId();
    } else {
        chosen = false;
    }
    if (chosen && active && m_spaceHeld)
        id = m_dragging ? kCursorClosedHand : kCursorOpenHand;
    if (m_menuOpen || !hasFocus() || !active || !IsImageLoaded())
        id = -1;
    m_cursorId = id;
    ApplyCursor();
}

void CChildView::ApplyCursor()
{
    if (m_cursorId != 0)
        viewport()->setCursor(ViewCursor(m_cursorId));
}

// ---- keys and wheel ----

void CChildView::keyPressEvent(QKeyEvent* event)
{
    const int key = event->key();
    if (key == Qt::Key_Z)
        m_zHeld = true;
    else if (key == Qt::Key_Space)
        m_spaceHeld = true;

    // Z held switches to selecting; letting it go zooms to the selection.
    // Ctrl+Z and Alt+Z are keys of the menus, even while their command is
    // disabled and lets the key through.
    const bool zAlone = !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
    if (key == Qt::Key_Z && zAlone && m_host->CurrentModeId() != ID_EDIT_SELECT) {
        m_previousModeId = m_host->CurrentModeId();
        m_host->SendCommand(ID_EDIT_SELECT);
    }
    if (m_spaceHeld)
        UpdateCursor(m_lastX, m_lastY);

    if (ArrowKey(key)) {
        UpdateView(true);
        event->accept();
        return;
    }
    if (key == Qt::Key_Z || key == Qt::Key_Space) {
        event->accept();
        return;
    }
    QAbstractScrollArea::keyPressEvent(event);
}

bool CChildView::ArrowKey(int key)
{
    int dx = 0;
    int dy = 0;
    switch (key) {
    case Qt::Key_Left: dx = -1; break;
    case Qt::Key_Right: dx = 1; break;
    case Qt::Key_Up: dy = -1; break;
    case Qt::Key_Down: dy = 1; break;
    default: return false;
    }
    if (m_redEyeMarked && m_host->RedEyeCount() > 0) {
        m_host->RedEyeMoveLast(dx, dy);
        m_blinkOn = true;
        m_host->RedEyeRefreshPreview(*this);
    } else if (m_selectionShown || IsPasteMode()) {
        CropParams& s = m_host->Selection();
        const bool free = IsPasteMode() || m_host->CropOptions().AllowOutwardSel;
        const int width = m_image ? m_image->GetWidth() : 0;
        const int height = m_image ? m_image->GetHeight() : 0;
        const int mw = m_mcuWidth;
        const int mh = m_mcuHeight;
        if (dx < 0 && (free || (s.Left >= mw && s.Right >= mw))) {
            s.Left -= mw;
            s.Right -= mw;
        } else if (dx > 0 && (free || (s.Left <= width - mw && s.Right <= width - mw))) {
            s.Left += mw;
            s.Right += mw;
        } else if (dy < 0 && (free || (s.Top >= mh && s.Bottom >= mh))) {
            s.Top -= mh;
            s.Bottom -= mh;
        } else if (dy > 0 && (free || (s.Top <= height - mh && s.Bottom <= height - mh))) {
            s.Top += mh;
            s.Bottom += mh;
        }
    } else {
        m_centerX += 16 * dx;
        m_centerY += 16 * dy;
    }
    return true;
}

void CChildView::focusOutEvent(QFocusEvent* event)
{
    // A key let go elsewhere never reaches the view: forget what was held,
    // or every later click would pan.
    m_spaceHeld = m_zHeld = false;
    QAbstractScrollArea::focusOutEvent(event);
}

void CChildView::keyReleaseEvent(QKeyEvent* event)
{
    if (event->isAutoRepeat()) {
        event->accept();
        return;
    }
    const int key = event->key();
    if (key == Qt::Key_Z) {
        m_zHeld = false;
        if (!(event->modifiers() & Qt::ControlModifier) && m_previousModeId > 0) {
            const int back = m_previousModeId;
            m_previousModeId = -1;
            m_host->SendCommand(ID_VIEW_ZOOM_SELECTION);
            m_host->SendCommand(back);
        }
        event->accept();
        return;
    }
    if (key == Qt::Key_Space) {
        m_spaceHeld = false;
        UpdateCursor(m_lastX, m_lastY);
        event->accept();
        return;
    }
    QAbstractScrollArea::keyReleaseEvent(event);
}

void CChildView::wheelEvent(QWheelEvent* event)
{
    event->accept();
    // Some platforms turn Shift with the wheel into a sideways delta.
    int delta = event->angleDelta().y();
    if (delta == 0)
        delta = event->angleDelta().x();
    // Begin and end events of a touch pad carry no movement.
    if (delta == 0)
        return;
    const Qt::KeyboardModifiers mods = event->modifiers();
    const bool ctrl = mods & Qt::ControlModifier;
    const bool shift = mods & Qt::ShiftModifier;
    if (ctrl && shift) {
        if (delta <= 0)
            ZoomOut();
        else
            ZoomIn();
    } else if (shift && m_redEyeMarked && m_host->RedEyeCount() > 0) {
        // The radius stays within what the red-eye panel can show.
        const int radius = m_host->RedEyeRadius() + (delta <= 0 ? -1 : 1);
        m_host->SetRedEyeRadius(std::clamp(radius, kRedEyeRadiusMin, kRedEyeRadiusMax));
        UpdateView(true);
    } else {
        int step = static_cast<int>(m_zoom * 16 / 256);
        if (delta > 0)
            step = -step;
        if (ctrl)
            m_centerX += step;
        else
            m_centerY += step;
        UpdateView(true);
    }
}
