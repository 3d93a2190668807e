// The crop rectangle. Every size and position is an int64_t until the end:
// a hand-edited profile can put a selection or reference at the ends of the
// int range, where widths, products and sums overflow an int.
#include "OperCrop.h"

#include "ActionCrop.h"
#include "CropPresets.h"
#include "KsImage.h"
#include "OperationPage.h"
#include "TextUtil.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <utility>

CropRect CropReferenceRect;

void SetSelectionRect(CropParams& params, int left, int top, int right, int bottom)
{
    params.Left = left;
    params.Top = top;
    params.Right = right;
    params.Bottom = bottom;
}

bool SelectionContains(const CropParams& params, int x, int y)
{
    return x >= params.Left && x < params.Right && y >= params.Top && y < params.Bottom;
}

void NormalizeSelection(CropParams& params)
{
    if (params.Left > params.Right)
        std::swap(params.Left, params.Right);
    if (params.Top > params.Bottom)
        std::swap(params.Top, params.Bottom);
}

namespace {

bool FitsInt(int64_t v)
{
    return v >= INT_MIN && v <= INT_MAX;
}

struct Rect64 {
    int64_t left, top, right, bottom;
};

// Step 5.3: the fixed-aspect rule w:h fitted to the box bw x bh, covering it
// or inside it. w and h are above 0; the products stay far inside 64 bits
// (|bw|, |bh| < 2^33, w, h <= 65,500).
void FitAspect(int64_t bw, int64_t bh, bool cover, int64_t* w, int64_t* h)
{
    const bool widthLeads = cover ? bw * *h > bh * *w : bw * *h <= bh * *w;
    if (widthLeads) {
        *h = bw * *h / *w;
        *w = bw;
    } else {
        *w = bh * *w / *h;
        *h = bh;
    }
}

// Step 5: the rectangle of an unattended crop; false when the rule gives none.
bool UnattendedRect(const CropParams& p, bool noPreset, bool align, bool swap, const CropRect& ref, int width,
                    int height, int mcuWidth, int mcuHeight, Rect64* r)
{
    const int64_t refW = int64_t(ref.right) - ref.left, refH = int64_t(ref.bottom) - ref.top;
    int64_t w = refW, h = refH;
    CropRule rule;
    if (!noPreset) {
        rule.Parse(p.CropPreset);
        // A rule that does not read would crop every photo of a run to
        // 1 x 1; a side that truncates to 0 cannot be fitted.
        if (!rule.IsUsable())
            return false;
        w = static_cast<int64_t>(rule.width);
        h = static_cast<int64_t>(rule.height);
        if (w < 1 || h < 1)
            return false;
    }
    if (swap)
        std::swap(w, h);
    if (!noPreset && rule.kind == CropRule::kFixedAspect) {
        int64_t bw = width, bh = height;
        if (p.Position == 1) {
            bw = swap ? refH : refW;
            bh = swap ? refW : refH;
        }
        FitAspect(bw, bh, p.AllowOutwardSel && p.Position != 1, &w, &h);
    }
    // Wider than an int can hold: no crop rectangle can be formed.
    if (!FitsInt(w) || !FitsInt(h))
        return false;
    if (align) {
        w = RoundToNearestMultiple(static_cast<int>(w), mcuWidth);
        if (w <= 0)
            w = mcuWidth;
        h = RoundToNearestMultiple(static_cast<int>(h), mcuHeight);
        if (h <= 0)
            h = mcuHeight;
    }
    if (w < 1)
        ++w;
    if (h < 1)
        ++h;
    int64_t x = 0, y = 0;
    if (p.Position == 1) {
        x = swap ? ref.top : ref.left;
        y = swap ? ref.left : ref.top;
    } else if (p.Position == 2) {
        x = (width - w) / 2; // truncates toward zero
        y = (height - h) / 2;
    }
    x = RoundToNearestMultiple(static_cast<int>(x), mcuWidth);
    y = RoundToNearestMultiple(static_cast<int>(y), mcuHeight);
    *r = Rect64{x, y, x + w, y + h};
    return true;
}

} // namespace

bool COperCrop::ComputeCropRect(const CropParams& p, int automatic, const CropRect& ref, int width, int height,
                                int mcuWidth, int mcuHeight, CropRect* out)
{
    if (mcuWidth <= 0 || mcuHeight <= 0 || width <= 0 || height <= 0)
        return false;
    const bool noPreset = p.CropPreset.isEmpty();
    const bool align = noPreset && p.AlignSelectionByBlockSE;
    // An interactive crop takes the reference as it is, so it needs one too:
    // an empty one would crop to a single pixel.
    if ((noPreset || p.Position == 1 || !automatic) && ref.IsEmpty())
        return false;
    const bool swap = (p.AutoFlipAspect && width < height) || (!noPreset && !p.AutoFlipAspect && p.FlipAspect);

    Rect64 r{};
    if (!automatic) {
        r = p.FlipAspect ? Rect64{ref.top, ref.left, ref.bottom, ref.right}
                         : Rect64{ref.left, ref.top, ref.right, ref.bottom};
    } else if (!UnattendedRect(p, noPreset, align, swap, ref, width, height, mcuWidth, mcuHeight, &r)) {
        return false;
    }

    if (!p.AllowOutwardSel) {
        r.left = std::max<int64_t>(r.left, 0);
        r.top = std::max<int64_t>(r.top, 0);
        if (r.left >= width || r.top >= height)
            return false;
        if (r.right > width)
            r.right = align ? RoundDownToMultiple(width, mcuWidth) : width;
        if (r.bottom > height)
            r.bottom = align ? RoundDownToMultiple(height, mcuHeight) : height;
        if (r.right <= r.left || r.bottom <= r.top)
            return false;
    }
    // The edit and the library take the rectangle, and its sides, as ints.
    if (!FitsInt(r.left) || !FitsInt(r.top) || !FitsInt(r.right) || !FitsInt(r.bottom) ||
        !FitsInt(r.right - r.left) || !FitsInt(r.bottom - r.top))
        return false;
    *out = CropRect{int(r.left), int(r.top), int(r.right), int(r.bottom)};
    return true;
}

COperCrop::COperCrop()
    : COperation("Crop", "Crop")
{
    AddIntParam(QStringLiteral("ImgLowQuality"), &m_params.ImgLowQuality);
    AddIntParam(QStringLiteral("ImgMediumQuality"), &m_params.ImgMediumQuality);
    AddIntParam(QStringLiteral("AlignSelectionByBlock"), &m_params.AlignSelectionByBlock);
    AddIntParam(QStringLiteral("AlignSelectionByBlockSE"), &m_params.AlignSelectionByBlockSE);
    AddIntParam(QStringLiteral("AllowOutwardSel"), &m_params.AllowOutwardSel);
    AddIntParam(QStringLiteral("AutoCancelSelection"), &m_params.AutoCancelSelection);
    AddIntParam(QStringLiteral("AutoFlipAspect"), &m_params.AutoFlipAspect);
    AddIntParam(QStringLiteral("FadeOutsideArea"), &m_params.FadeOutsideArea);
    AddIntParam(QStringLiteral("FlipAspect"), &m_params.FlipAspect);
    AddIntParam(QStringLiteral("RunningAnts"), &m_params.RunningAnts);
    AddIntParam(QStringLiteral("CanvasColor"), &m_params.CanvasColor);
    AddStringParam(QStringLiteral("CropPreset"), &m_params.CropPreset);
    AddIntParam(QStringLiteral("PartialBlocksMode"), &m_params.PartialBlocksMode);
    AddIntParam(QStringLiteral("Position"), &m_params.Position);
    AddIntParam(QStringLiteral("Left"), &m_params.Left);
    AddIntParam(QStringLiteral("Top"), &m_params.Top);
    AddIntParam(QStringLiteral("Right"), &m_params.Right);
    AddIntParam(QStringLiteral("Bottom"), &m_params.Bottom);
    AddIntParam(QStringLiteral("CurTab"), &m_params.CurTab);
}

void COperCrop::UpdatePage()
{
    if (m_pPage)
        m_pPage->BindParams(&m_params);
}

IAction* COperCrop::CreateAction(CKsImage* image, int* /*stopFlag*/)
{
    IKestrel* lib = image && image->IsLoaded() ? image->GetLibraryObject() : nullptr;
    if (!lib)
        return nullptr;
    CropRect r;
    if (!ComputeCropRect(m_params, GetAuto(), CropReferenceRect, lib->GetWidth(), lib->GetHeight(),
                         lib->GetMcuWidth(), lib->GetMcuHeight(), &r))
        return nullptr;
    m_params.CropLeft = r.left;
    m_params.CropTop = r.top;
    m_params.CropRight = r.right;
    m_params.CropBottom = r.bottom;
    return new CActionCrop(m_params);
}
