// Quarter turns, half turns and mirrors. The library does them on the
// coefficients; when it must keep partial edge MCUs it adds rows or columns
// at the left or top edge, which can be painted with the padding colour.
// Without Lossless an image with partial edge MCUs is turned on pixels
// instead and every MCU is encoded again.
//
// The library's own turns and flips set a stored EXIF orientation to 1; a
// turn or flip on pixels does the same here, and undo puts the old value back.
//
// On failure: a refused library edit is not counted and changes nothing.
// When a pixel route or the padding fill cannot finish (no bitmap, or the
// library cannot take pixels back, e.g. 4:1:1 sampling) the action takes
// back its own earlier edits at once: the image is as it was and the step
// is empty, never a half-done turn.
#include "ActionRotateFlip.h"

#include "KsImage.h"
#include "TextUtil.h"

#include <algorithm>
#include <cstring>
#include <utility>

bool CActionRotateFlip::OrientationToTransform(int orientation, int* rotate, int* flip)
{
    static constexpr int kTable[9][2] = {{0, 0}, {0, 0}, {0, 1}, {2, 0}, {0, 2}, {1, 1}, {1, 0}, {3, 1}, {3, 0}};
    if (orientation < 2 || orientation > 8)
        return false;
    *rotate = kTable[orientation][0];
    *flip = kTable[orientation][1];
    return true;
}

void CActionRotateFlip::Apply(const void* /*arg*/)
{
    IKestrel* lib = Library();
    if (!lib || lib->GetMcuWidth() <= 0 || lib->GetMcuHeight() <= 0)
        return;
    m_width = lib->GetWidth();
    m_height = lib->GetHeight();
    m_abandoned = false;
    m_viewSwaps = 0;
    m_oldOrientation = lib->GetOrientation();
    m_orientationReset = false;
    int rotate = m_params.Rotate;
    int flip = m_params.Flip;
    if (m_params.Automatic && !OrientationToTransform(lib->GetOrientation() & 0xFFFF, &rotate, &flip))
        return;
    RotateStep(rotate);
    if (!m_abandoned)
        FlipStep(flip);
    m_image->DeleteDib();
}

void CActionRotateFlip::Revert()
{
    RevertLibraryEdits();
    RestoreOrientation();
    if (m_image)
        m_image->DeleteDib();
}

void CActionRotateFlip::RotateStep(int rotate)
{
    IKestrel* lib = Library();
    const int W = m_width, H = m_height;
    const int mw = lib->GetMcuWidth(), mh = lib->GetMcuHeight();
    const int partial = IncludePartial();
    switch (rotate) {
    case 1:
    case 3: {
        const bool clockwise = rotate == 1;
        // The edge that becomes the left (clockwise) or top (counter-clockwise) one.
        const bool partialEdge = clockwise ? H % mh != 0 : W % mw != 0;
        if (!m_params.Lossless && partialEdge) {
            // The turned bitmap is made before the crop that gives the
            // coefficients the turned size, so nothing fails after it but
            // the re-encode.
            CDib24 turned;
            if (!m_image->CreateDib() || !TurnDib(clockwise, W, H, &turned)) {
                Abandon();
                return;
            }
            if (!LibraryEdit([&] { return lib->Crop(0, 0, H, W); }))
                return;
            m_image->AttachDib(std::move(turned));
            if (Reencode(1)) {
                ResetOrientation();
                m_image->SwapViewSize();
                ++m_viewSwaps;
            }
            return;
        }
        if (!LibraryEdit([&] { return clockwise ? lib->RotateRight(partial) : lib->RotateLeft(partial); }))
            return;
        if (FillPadding()) {
            const int nw = lib->GetWidth(), nh = lib->GetHeight();
            if (clockwise && nw - H > 0)
                PaintPadding(0, 0, nw - H, nh);
            else if (!clockwise && nh - W > 0)
                PaintPadding(0, 0, nw, nh - W);
        }
        return;
    }
    case 2: {
        if (!m_params.Lossless && (H % mh != 0 || W % mw != 0)) {
            if (!m_image->CreateDib()) {
                Abandon();
                return;
            }
            MirrorDibRows(W);
            SwapDibRows(H);
            if (Reencode(1))
                ResetOrientation();
            return;
        }
        // Both mirrors or neither: one alone would be a flip, not a turn.
        if (!LibraryEdit([&] { return lib->FlipHorizontal(partial); }))
            return;
        if (!LibraryEdit([&] { return lib->FlipVertical(partial); })) {
            Abandon();
            return;
        }
        if (FillPadding()) {
            const int nw = lib->GetWidth(), nh = lib->GetHeight();
            const int f = nw - W, g = nh - H;
            if (f > 0 || g > 0)
                PaintPadding(0, 0, std::max(f, 0), nh, std::max(f, 0), 0, g > 0 ? nw : 0, std::max(g, 0));
        }
        return;
    }
    default:
        return;
    }
}

void CActionRotateFlip::FlipStep(int flip)
{
    if (flip != 1 && flip != 2)
        return;
    IKestrel* lib = Library();
    // The size and MCU after the rotation step (a quarter turn exchanges the
    // MCU's width and height).
    const int W = lib->GetWidth(), H = lib->GetHeight();
    const int mw = lib->GetMcuWidth(), mh = lib->GetMcuHeight();
    const int partial = IncludePartial();
    const bool horizontal = flip == 1;
    if (!m_params.Lossless && (horizontal ? W % mw != 0 : H % mh != 0)) {
        if (!m_image->CreateDib()) {
            Abandon();
            return;
        }
        if (horizontal)
            MirrorDibRows(W);
        else
            SwapDibRows(H);
        if (Reencode(1))
            ResetOrientation();
        return;
    }
    if (!LibraryEdit([&] { return horizontal ? lib->FlipHorizontal(partial) : lib->FlipVertical(partial); }))
        return;
    if (FillPadding()) {
        const int nw = lib->GetWidth(), nh = lib->GetHeight();
        if (horizontal && nw - W >= 1)
            PaintPadding(0, 0, nw - W, nh);
        else if (!horizontal && nh - H >= 1)
            PaintPadding(0, 0, nw, nh - H);
    }
}

void CActionRotateFlip::PaintPadding(int l1, int t1, int r1, int b1, int l2, int t2, int r2, int b2)
{
    if (!m_image->CreateDib()) {
        Abandon();
        return;
    }
    FillRect24(l1, t1, r1, b1, m_params.PaddingColor);
    FillRect24(l2, t2, r2, b2, m_params.PaddingColor);
    Reencode(0);
}

bool CActionRotateFlip::Reencode(int all)
{
    if (LibraryEdit([&] { return m_image->ApplyBitmapChanges(all, nullptr); }))
        return true;
    Abandon();
    return false;
}

void CActionRotateFlip::ResetOrientation()
{
    // Without an orientation entry the library changes nothing.
    if (IKestrel* lib = Library()) {
        lib->SetOrientation(1);
        m_orientationReset = true;
    }
}

void CActionRotateFlip::RestoreOrientation()
{
    IKestrel* lib = Library();
    if (m_orientationReset && lib)
        lib->SetOrientation(m_oldOrientation);
    m_orientationReset = false;
}

void CActionRotateFlip::Abandon()
{
    RevertLibraryEdits();
    RestoreOrientation();
    m_image->DeleteDib();
    // A view told to exchange its sides for a turn that is taken back again
    // is told once more.
    if (m_viewSwaps % 2)
        m_image->SwapViewSize();
    m_viewSwaps = 0;
    m_abandoned = true;
}

bool CActionRotateFlip::TurnDib(bool clockwise, int width, int height, CDib24* turned)
{
    IKestrel* lib = Library();
    const CDib24& src = m_image->GetDib();
    if (src.IsNull() || width > src.Width() || height > src.Height())
        return false;
    // The library re-encodes from a bitmap of the turned image's padded size
    // (the MCU is not turned: only the coefficients' extent changes).
    CDib24& dst = *turned;
    if (!dst.Create(RoundUpToMultiple(height, lib->GetMcuWidth()), RoundUpToMultiple(width, lib->GetMcuHeight())))
        return false;
    for (int y = 0; y < height; ++y) {
        const BYTE* s = src.Row(y);
        for (int x = 0; x < width; ++x, s += 3) {
            const int dx = clockwise ? height - 1 - y : y;
            const int dy = clockwise ? x : width - 1 - x;
            std::memcpy(dst.Row(dy) + static_cast<size_t>(dx) * 3, s, 3);
        }
    }
    return true;
}

void CActionRotateFlip::MirrorDibRows(int width)
{
    CDib24& dib = m_image->GetDib();
    width = std::min(width, dib.Width());
    for (int y = 0; y < dib.Height(); ++y) {
        BYTE* row = dib.Row(y);
        for (int x = 0; x < width / 2; ++x)
            std::swap_ranges(row + x * 3, row + x * 3 + 3, row + (width - 1 - x) * 3);
    }
}

void CActionRotateFlip::SwapDibRows(int height)
{
    CDib24& dib = m_image->GetDib();
    height = std::min(height, dib.Height());
    for (int y = 0; y < height / 2; ++y)
        std::swap_ranges(dib.Row(y), dib.Row(y) + dib.Stride(), dib.Row(height - 1 - y));
}
