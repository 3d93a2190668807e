#include "ModePaste.h"

#include "ChildView.h"
#include "CommandIds.h"
#include "KsImage.h"
#include "ModeHost.h"
#include "OperPaste.h"
#include "ViewCursors.h"

#include <QWidget>

#include <algorithm>
#include <cstring>

CModePaste::CModePaste() : CMode(ID_EDIT_PASTE, 4, kCursorSelect) {}


void CModePaste::Activate()
{
    ShowPanel(&m_panel, QStringLiteral("Paste"));
}

void CModePaste::Deactivate()
{
    HidePanel();
    DeleteDisplayBitmap();
    m_copiedBits = nullptr;
}

void CModePaste::SetSource(const CDib24* source)
{
    m_source = source;
    DeleteDisplayBitmap();
    m_copiedBits = nullptr;
}

void CModePaste::CenterAxis(int64_t lo, int64_t length, int size, int& outLo, int& outHi)
{
    const int64_t x = (size - length) / 2;
    if (x < 0) {
        lo = x;
    } else {
        if (lo + length > size)
            lo -= lo + length - size;
        if (lo < 0)
            lo = 0;
    }
    outLo = static_cast<int>(lo);
    outHi = static_cast<int>(lo + length);
}

void CModePaste::CenterSelection(CChildView* view)
{
    CKsImage* image = view ? view->GetImage() : nullptr;
    if (!image || !image->IsLoaded())
        return;
    auto& s = view->Host().Selection();
    CenterAxis(s.Left, static_cast<int64_t>(s.Right) - s.Left, image->GetWidth(), s.Left, s.Right);
    CenterAxis(s.Top, static_cast<int64_t>(s.Bottom) - s.Top, image->GetHeight(), s.Top, s.Bottom);
}

void CModePaste::StartPaste(const CDib24* source)
{
    SetSource(source);
    IModeHost* app = ModeHost();
    CChildView* view = View();
    if (!app || !view || !source || source->IsNull())
        return;
    app->SetMode(ID_EDIT_PASTE);
    view->StartSelectionTimer();
    view->SetSelectionShown(true);
    // Sized from the stored corner in 64 bits, then placed: Left + width
    // may pass the int range.
    auto& s = view->Host().Selection();
    if (CKsImage* image = Image()) {
        CenterAxis(s.Left, source->Width(), image->GetWidth(), s.Left, s.Right);
        CenterAxis(s.Top, source->Height(), image->GetHeight(), s.Top, s.Bottom);
    }
    view->UpdateView(true);
}

int CModePaste::OnClick(CChildView* view, int x, int y)
{
    if (!view)
        return 0;
    auto& s = view->Host().Selection();
    const int64_t w = static_cast<int64_t>(s.Right) - s.Left;
    const int64_t h = static_cast<int64_t>(s.Bottom) - s.Top;
    s.Left = x;
    s.Top = y;
    s.Right = static_cast<int>(std::clamp<int64_t>(x + w, INT32_MIN, INT32_MAX));
    s.Bottom = static_cast<int>(std::clamp<int64_t>(y + h, INT32_MIN, INT32_MAX));
    return 1;
}

void CModePaste::DrawOverlay(QPainter& painter, CChildView* view)
{
    DrawSelectionFrame(painter, view);
}

void CModePaste::RestoreBlock(const CDib24& image)
{
    if (m_drawnClip.isEmpty())
        return;
    const size_t bytes = static_cast<size_t>(m_drawnClip.width()) * 3;
    for (int y = m_drawnClip.top(); y <= m_drawnClip.bottom(); ++y)
        std::memcpy(m_displayBitmap.Row(y) + m_drawnClip.left() * 3, image.Row(y) + m_drawnClip.left() * 3, bytes);
    m_drawnClip = QRect();
}

QImage CModePaste::SelectDisplayBitmap(CChildView* view)
{
    CKsImage* image = view ? view->GetImage() : nullptr;
    if (!m_source || m_source->IsNull() || !image)
        return CMode::SelectDisplayBitmap(view);
    if (!image->HasDib() && !image->CreateDib())
        return QImage();
    const CDib24& dib = image->GetDib();
    if (m_displayBitmap.IsNull() || m_displayBitmap.Width() != dib.Width() ||
        m_displayBitmap.Height() != dib.Height() || m_copiedBits != dib.Bits()) {
        if (!CopyImageBitmap(image))
            return CMode::SelectDisplayBitmap(view);
        m_copiedBits = dib.Bits();
        m_drawnClip = QRect();
    }

    const auto& s = view->Host().Selection();
    // The block at its own size, cut to the bitmap; in 64 bits.
    const int64_t x0 = std::max<int64_t>(s.Left, 0);
    const int64_t y0 = std::max<int64_t>(s.Top, 0);
    const int64_t x1 = std::min<int64_t>(static_cast<int64_t>(s.Left) + m_source->Width(), dib.Width());
    const int64_t y1 = std::min<int64_t>(static_cast<int64_t>(s.Top) + m_source->Height(), dib.Height());
    const QRect clip = x1 > x0 && y1 > y0 ? QRect(static_cast<int>(x0), static_cast<int>(y0), static_cast<int>(x1 - x0),
                                                   static_cast<int>(y1 - y0))
                                           : QRect();
    if (clip != m_drawnClip || s.Left != m_drawnX || s.Top != m_drawnY || m_drawnClip.isEmpty()) {
        RestoreBlock(dib);
        if (!clip.isEmpty()) {
            const size_t bytes = static_cast<size_t>(clip.width()) * 3;
            for (int y = clip.top(); y <= clip.bottom(); ++y)
                std::memcpy(m_displayBitmap.Row(y) + clip.left() * 3,
                            m_source->Row(static_cast<int>(y - s.Top)) + (clip.left() - s.Left) * 3, bytes);
        }
        m_drawnClip = clip;
        m_drawnX = s.Left;
        m_drawnY = s.Top;
    }
    return m_displayBitmap.View();
}

void CModePaste::Cancel(bool /*lastOnly*/)
{
    HideSelection();
    IModeHost* app = ModeHost();
    if (app && app->CurrentMode() == this)
        SwitchToDefaultMode();
    DeleteDisplayBitmap();
    m_copiedBits = nullptr;
}

void CModePaste::Apply()
{
    CChildView* view = View();
    CKsImage* image = Image();
    if (!view || !image || !m_source || m_source->IsNull())
        return;
    // The operation keeps the picture's address: it is read in place until
    // the edit copies it, within this call.
    const auto& s = view->Host().Selection();
    const QImage source = m_source->View();
    if (IModeHost* app = ModeHost())
        app->RunOperation(new COperPaste(&source, s.Left, s.Top, s.Right, s.Bottom));
}
