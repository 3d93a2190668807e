// The crop mode. Everything here runs on the UI thread and reads the
// selection where it lives, in the crop operation's block; the rectangle may
// be reversed while it is drawn and may hold any values the profile gave, so
// sizes are taken in 64 bits and kept to 0..kMaxCropSide before they are
// written back.
//
// Fading works on the mode's copy of the image's display bitmap: outside the
// selection every byte is halved, inside the image's own bytes stand. After
// the first paint only the pixels whose side of the selection changed are
// touched, so a growing selection costs its new strip, not the whole picture.
#include "ModeCrop.h"

#include "ChildView.h"
#include "ChildViewMath.h"
#include "CommandIds.h"
#include "CropOverlay.h"
#include "CropParams.h"
#include "CropPresets.h"
#include "KsImage.h"
#include "ModeHost.h"
#include "OperCrop.h"
#include "TextUtil.h"

#include <QPainter>
#include <QRegion>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

int ClampSide(int64_t v)
{
    return static_cast<int>(std::clamp<int64_t>(v, 0, CModeCrop::kMaxCropSide));
}

// Halves every byte of n bytes from p: byte by byte up to a 4-byte boundary,
// then four at a time, then the tail.
void HalveBytes(BYTE* p, size_t n)
{
    while (n > 0 && reinterpret_cast<uintptr_t>(p) % 4 != 0) {
        *p = static_cast<BYTE>(*p >> 1);
        ++p;
        --n;
    }
    for (; n >= 4; n -= 4, p += 4) {
        uint32_t v;
        std::memcpy(&v, p, 4);
        v = (v >> 1) & 0x7F7F7F7Fu;
        std::memcpy(p, &v, 4);
    }
    for (; n > 0; --n, ++p)
        *p = static_cast<BYTE>(*p >> 1);
}

// Darkens (halves) the pixels of `r` in `dib`.
void DarkenRect(CDib24& dib, const QRect& r)
{
    for (int y = r.top(); y <= r.bottom(); ++y)
        HalveBytes(dib.Row(y) + static_cast<size_t>(r.left()) * 3, static_cast<size_t>(r.width()) * 3);
}

// Puts the image's own pixels of `r` back into `dib`.
void RestoreRect(CDib24& dib, const CDib24& source, const QRect& r)
{
    for (int y = r.top(); y <= r.bottom(); ++y)
        std::memcpy(dib.Row(y) + static_cast<size_t>(r.left()) * 3, source.Row(y) + static_cast<size_t>(r.left()) * 3,
                    static_cast<size_t>(r.width()) * 3);
}

} // namespace

CModeCrop::CModeCrop() : CMode(ID_EDIT_CROP, 2, -4)
{
    theCropPresets.LoadFromProfile();
}

CModeCrop::~CModeCrop()
{
    theCropPresets.SaveToProfile();
}

void CModeCrop::Activate()
{
    ShowPanel(&m_panel, QStringLiteral("Crop"));
}

void CModeCrop::Deactivate()
{
    HidePanel();
    // An edit follows, or another mode: the faded copy would be stale.
    DeleteDisplayBitmap();
}

void CModeCrop::Apply()
{
    CChildView* view = View();
    IModeHost* app = ModeHost();
    if (!view || !view->IsSelectionShown() || !app || !m_pParams)
        return;
    // The crop reads the reference; it must be the rectangle shown now, not
    // the one of the last refresh.
    const CropParams& s = *m_pParams;
    CropReferenceRect = s.FlipAspect ? CropRect{s.Top, s.Left, s.Bottom, s.Right}
                                     : CropRect{s.Left, s.Top, s.Right, s.Bottom};
    app->RunOperation(app->CropOperation().Clone());
    DeleteDisplayBitmap();
}

void CModeCrop::Cancel(bool /*lastOnly*/)
{
    HideSelection();
    DeleteDisplayBitmap();
}

int CModeCrop::GetContextMenuIndex() const
{
    const CChildView* view = View();
    return view && view->IsSelectionShown() ? 2 : 1;
}

const CropRule* CModeCrop::GetCurrentRule() const
{
    if (!m_pParams)
        return nullptr;
    const int index = ListedCropPreset(m_pParams->CropPreset);
    const auto& rules = theCropPresets.GetRules();
    if (index <= 0 || index > static_cast<int>(rules.size()))
        return nullptr;
    return &rules[static_cast<size_t>(index - 1)];
}

void CModeCrop::ResetSelection()
{
    CChildView* view = View();
    CKsImage* image = Image();
    // 0 "None"; other values than 1 to 3 (a hand-edited profile) do the same.
    if (!m_pParams || m_pParams->Position < 1 || m_pParams->Position > 3 || !view || !image)
        return;
    CropParams& s = *m_pParams;
    const int width = image->GetWidth();
    const int height = image->GetHeight();
    if (s.AutoFlipAspect)
        s.FlipAspect = width < height ? 1 : 0;
    if (s.Position == 1) {
        ClampSelection(true);
        view->SetSelectionShown(true);
        view->AlignSelection();
        view->UpdateView(true);
        return;
    }
    const bool freeCrop = GetCurrentRule() == nullptr;
    if (freeCrop)
        view->SetSelectionShown(true);
    else
        view->SelectAll(); // the refresh it runs fits the rule
    const int64_t w = int64_t(s.Right) - s.Left;
    const int64_t h = int64_t(s.Bottom) - s.Top;
    if (s.Position == 2) {
        s.Left = RoundToNearestMultiple(ClampToInt((width - w) / 2), view->McuWidth());
        s.Top = RoundToNearestMultiple(ClampToInt((height - h) / 2), view->McuHeight());
    } else if (freeCrop) {
        s.Left = 0;
        s.Top = 0;
    }
    s.Right = ClampToInt(s.Left + w);
    s.Bottom = ClampToInt(s.Top + h);
    view->UpdateView(true);
}

void CModeCrop::RefreshPanel()
{
    if (!m_pParams)
        return;
    CropParams& s = *m_pParams;
    CropReferenceRect = s.FlipAspect ? CropRect{s.Top, s.Left, s.Bottom, s.Right}
                                     : CropRect{s.Left, s.Top, s.Right, s.Bottom};
    CChildView* view = View();
    if (view && Image() && GetCurrentRule()) {
        int w = ClampSide(std::llabs(int64_t(s.Right) - s.Left));
        int h = ClampSide(std::llabs(int64_t(s.Bottom) - s.Top));
        // A side pulled in by a handle leads; otherwise the rule keeps the
        // larger of the two fits.
        if (view->GetHandle() != 0) {
            if (w < m_nLastWidth && h == m_nLastHeight)
                h = 0;
            else if (h < m_nLastHeight && w == m_nLastWidth)
                w = 0;
        }
        FitToRule(w, h, kWidthId, false);
        if (!view->IsDragging()) {
            const CropRect before{s.Left, s.Top, s.Right, s.Bottom};
            view->AlignSelection();
            if (!(before == CropRect{s.Left, s.Top, s.Right, s.Bottom}))
                view->UpdateView(false);
        }
    }
    m_nLastWidth = ClampToInt(std::llabs(int64_t(s.Right) - s.Left));
    m_nLastHeight = ClampToInt(std::llabs(int64_t(s.Bottom) - s.Top));
    if (m_panelRefresh)
        m_panelRefresh();
    if (IModeHost* app = ModeHost())
        app->UpdateStatusTexts();
}

void CModeCrop::FitToRule(int w, int h, int which, bool /*fromPanel*/)
{
    if (!m_pParams)
        return;
    CropParams& s = *m_pParams;
    w = ClampSide(w);
    h = ClampSide(h);
    int fitW = w;
    int fitH = h;
    const CChildView* view = View();
    const CKsImage* image = Image();
    const CropRule* rule = GetCurrentRule();
    if (view && view->IsSelectionShown() && rule) {
        // A rule the fit cannot use leaves the selection alone, rather than
        // taking a side zeroed for the fit as the new size.
        if (!rule->IsUsable() || !image)
            return;
        int* anchorX = s.Left <= s.Right ? &s.Left : &s.Right;
        int* anchorY = s.Top <= s.Bottom ? &s.Top : &s.Bottom;
        rule->FitSelection(&fitW, &fitH, which == kHeightId ? 1 : 0, s.FlipAspect, anchorX, anchorY,
                           image->GetWidth(), image->GetHeight());
        fitW = ClampSide(fitW);
        fitH = ClampSide(fitH);
    }
    const auto setSide = [&s](int& lo, int& hi, int size) {
        if (hi >= lo) {
            hi = ClampToInt(int64_t(lo) + size);
        } else {
            const int64_t end = int64_t(lo) - size;
            if (!s.AllowOutwardSel && end < 0) {
                lo = 0;
                hi = size;
            } else {
                hi = ClampToInt(end);
            }
        }
    };
    if (which == kWidthId || fitW != w)
        setSide(s.Left, s.Right, fitW);
    if (which == kHeightId || fitH != h)
        setSide(s.Top, s.Bottom, fitH);
}

void CModeCrop::SetSizeFromPanel(int which, int value)
{
    CChildView* view = View();
    CKsImage* image = Image();
    if (!m_pParams || !view || !image)
        return;
    const CropParams& s = *m_pParams;
    const auto side = [&s](bool set, int value, int lo, int hi, int limit) {
        int64_t size = set ? int64_t(value) : int64_t(hi) - lo;
        size = std::clamp<int64_t>(size, 0, kMaxCropSide);
        if (!s.AllowOutwardSel && lo + size > limit)
            size = std::max<int64_t>(0, int64_t(limit) - lo);
        return static_cast<int>(size);
    };
    const int width = side(which == kWidthId, value, s.Left, s.Right, image->GetWidth());
    const int height = side(which == kHeightId, value, s.Top, s.Bottom, image->GetHeight());
    FitToRule(width, which == kHeightId ? height : 0, which, true);
    view->UpdateView(false);
}

void CModeCrop::ApplyPanelSize()
{
    if (!m_pParams)
        return;
    const int w = ClampSide(int64_t(m_pParams->Right) - m_pParams->Left);
    const int h = ClampSide(int64_t(m_pParams->Bottom) - m_pParams->Top);
    SetSizeFromPanel(kWidthId, h);
    SetSizeFromPanel(kHeightId, w);
}

void CModeCrop::OnPresetChanged()
{
    CChildView* view = View();
    if (!m_pParams || !view)
        return;
    view->CancelSelection(false);
    SetSizeFromPanel(kHeightId, ClampSide(int64_t(m_pParams->Bottom) - m_pParams->Top));
    ResetSelection();
}

void CModeCrop::EditPresets()
{
    if (!m_pParams)
        return;
    theCropPresets.EditPresets(m_pParams->CropPreset);
    SetSizeFromPanel(kWidthId, ClampSide(int64_t(m_pParams->Right) - m_pParams->Left));
}

void CModeCrop::CancelFromPanel()
{
    if (CChildView* view = View())
        view->CancelSelection(false);
}

// ---- fading ----

QImage CModeCrop::SelectDisplayBitmap(CChildView* view)
{
    CKsImage* image = view ? view->GetImage() : nullptr;
    if (!image || (!image->HasDib() && !image->CreateDib()))
        return QImage();
    const CDib24& source = image->GetDib();
    if (!view->IsSelectionShown() || !m_pParams || !m_pParams->FadeOutsideArea) {
        DeleteDisplayBitmap();
        return image->GetDibImage();
    }
    const CropParams& s = *m_pParams;
    const QRect bounds(0, 0, source.Width(), source.Height());
    // Normalised and clipped to the bitmap; computed in 64 bits, the stored
    // edges may be anything.
    const auto span = [](int a, int b, int size, int& lo, int& hi) {
        lo = static_cast<int>(std::clamp<int64_t>(std::min(a, b), 0, size));
        hi = static_cast<int>(std::clamp<int64_t>(std::max(a, b), 0, size));
    };
    int l, r, t, b;
    span(s.Left, s.Right, source.Width(), l, r);
    span(s.Top, s.Bottom, source.Height(), t, b);
    const QRect selection(l, t, r - l, b - t);

    // A copy of another size belongs to an image that has since changed.
    const bool fresh = !HasDisplayBitmap() || m_displayBitmap.Width() != source.Width() ||
                       m_displayBitmap.Height() != source.Height();
    if (fresh) {
        if (!CopyImageBitmap(image))
            return image->GetDibImage();
        for (const QRect& band : QRegion(bounds) - QRegion(selection))
            DarkenRect(m_displayBitmap, band);
    } else if (selection != m_fadedRect) {
        // Pixels that left the selection darken, pixels that joined it come
        // back from the image: the strips between old and new edges, or the
        // two whole rectangles when they do not overlap.
        const QRegion before(m_fadedRect & bounds);
        const QRegion after(selection);
        for (const QRect& gone : before - after)
            DarkenRect(m_displayBitmap, gone);
        for (const QRect& joined : after - before)
            RestoreRect(m_displayBitmap, source, joined);
    }
    m_fadedRect = selection;
    return m_displayBitmap.View();
}

// ---- overlay ----

void CModeCrop::DrawOverlay(QPainter& painter, CChildView* view)
{
    if (view && view->IsSelectionShown())
        ::DrawCropOverlay(painter, *view);
}

