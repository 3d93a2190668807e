// Crop. The library keeps whole MCUs: it moves left and top to the MCU grid
// (truncating toward zero) and keeps right - left by bottom - top pixels
// from there. The painted bands are computed from that kept rectangle, so
// no picture pixel the crop keeps is ever painted over.
//
// On failure: a refused crop changes nothing. When the outside cannot be
// painted (no bitmap, or the library cannot take pixels back, e.g. 4:1:1)
// the crop is taken back at once: the image is as it was and the step is
// empty, never a crop with an unpainted outside.
#include "ActionCrop.h"

#include "ColorRef.h"
#include "KsImage.h"
#include "TextUtil.h"

#include <climits>
#include <utility>

namespace {

// Grows [a, b) to one unit when it is empty, without overflowing.
void GrowEmpty(int& a, int& b)
{
    if (b < INT_MAX)
        ++b;
    else
        --a;
}

} // namespace

CActionCrop::CActionCrop(const CropParams& params)
    : m_params(params), m_left(params.CropLeft), m_top(params.CropTop), m_right(params.CropRight),
      m_bottom(params.CropBottom)
{
    if (m_right < m_left)
        std::swap(m_left, m_right);
    if (m_bottom < m_top)
        std::swap(m_top, m_bottom);
    if (m_left == m_right || m_top == m_bottom) {
        GrowEmpty(m_left, m_right);
        GrowEmpty(m_top, m_bottom);
    }
}

QRect CActionCrop::Bounds(int width, int height, int mcuWidth, int mcuHeight) const
{
    switch (m_params.PartialBlocksMode) {
    case 0:
        return QRect(0, 0, RoundDownToMultiple(width, mcuWidth), RoundDownToMultiple(height, mcuHeight));
    case 1:
        return QRect(0, 0, RoundUpToMultiple(width, mcuWidth), RoundUpToMultiple(height, mcuHeight));
    default: // 2, and any unknown mode: keep exactly the picture
        return QRect(0, 0, width, height);
    }
}

void CActionCrop::Apply(const void* /*arg*/)
{
    m_filled = 0;
    IKestrel* lib = Library();
    if (!lib)
        return;
    const int mw = lib->GetMcuWidth(), mh = lib->GetMcuHeight();
    if (mw <= 0 || mh <= 0)
        return;
    const QRect bounds = Bounds(lib->GetWidth(), lib->GetHeight(), mw, mh);
    if (!LibraryEdit([&] { return lib->Crop(m_left, m_top, m_right, m_bottom); }))
        return;

    // The rectangle the library kept, in the old image's coordinates (64-bit:
    // an outward crop may reach far).
    const int w = lib->GetWidth(), h = lib->GetHeight();
    const long long keptLeft = static_cast<long long>(m_left / mw) * mw;
    const long long keptTop = static_cast<long long>(m_top / mh) * mh;
    const long long keptRight = keptLeft + w, keptBottom = keptTop + h;
    const bool outside = keptLeft < bounds.left() || keptTop < bounds.top()
        || keptRight > bounds.left() + bounds.width() || keptBottom > bounds.top() + bounds.height();
    if (outside) {
        // Bounds within the new image: clamp, then shift by the kept origin.
        const long long l = std::max<long long>(bounds.left(), keptLeft) - keptLeft;
        const long long t = std::max<long long>(bounds.top(), keptTop) - keptTop;
        const long long r = std::min<long long>(bounds.left() + bounds.width(), keptRight) - keptLeft;
        const long long b = std::min<long long>(bounds.top() + bounds.height(), keptBottom) - keptTop;
        const QRect inner = l < r && t < b ? QRect(QPoint(int(l), int(t)), QPoint(int(r) - 1, int(b) - 1)) : QRect();
        if (PaintOutside(inner))
            m_filled = 1;
        else
            RevertLibraryEdits();
    }
    m_image->DeleteDib();
}

bool CActionCrop::PaintOutside(const QRect& inner)
{
    if (!m_image->CreateDib())
        return false;
    const int w = m_image->GetWidth(), h = m_image->GetHeight();
    const QRgb colour = QRgbFromColorRef(static_cast<uint32_t>(m_params.CanvasColor));
    if (inner.isEmpty()) {
        FillRect24(0, 0, w, h, colour);
    } else {
        const int il = inner.left(), it = inner.top();
        const int ir = inner.left() + inner.width(), ib = inner.top() + inner.height();
        FillRect24(0, 0, w, it, colour);
        FillRect24(0, it, il, ib, colour);
        FillRect24(ir, it, w, ib, colour);
        FillRect24(0, ib, w, h, colour);
    }
    return LibraryEdit([&] { return m_image->ApplyBitmapChanges(0, nullptr); }) != 0;
}

void CActionCrop::Revert()
{
    RevertLibraryEdits();
    m_filled = 0;
    m_image->DeleteDib();
}
