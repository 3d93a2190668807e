// Pasting a picture into the image.
#include "ActionPaste.h"

#include "KsImage.h"

#include <algorithm>
#include <cstring>

CActionPaste::CActionPaste(const QImage& source, int x, int y, int width, int height)
    : m_x(x), m_y(y), m_width(width), m_height(height)
{
    const QImage bgr = source.convertToFormat(QImage::Format_BGR888);
    if (bgr.isNull() || !m_source.Create(bgr.width(), bgr.height()))
        return;
    for (int row = 0; row < bgr.height(); ++row)
        std::memcpy(m_source.Row(row), bgr.constScanLine(row), static_cast<size_t>(m_source.Stride()));
}

CActionPaste::CActionPaste(const CActionPaste& other)
    : CAction(), m_source(other.m_source.Clone()), m_x(other.m_x), m_y(other.m_y), m_width(other.m_width),
      m_height(other.m_height)
{
}

void CActionPaste::Apply(const void* /*arg*/)
{
    m_clipped = QRect();
    if (m_source.IsNull() || !m_image->CreateDib())
        return;
    const CDib24& dib = m_image->GetDib();
    const long long imageWidth = std::min(m_image->GetWidth(), dib.Width());
    const long long imageHeight = std::min(m_image->GetHeight(), dib.Height());
    // In 64 bits: position plus size may pass the int range.
    const long long width = std::min<long long>(m_width, m_source.Width());
    const long long height = std::min<long long>(m_height, m_source.Height());
    const long long left = std::max<long long>(m_x, 0), top = std::max<long long>(m_y, 0);
    const long long right = std::min(m_x + width, imageWidth), bottom = std::min(m_y + height, imageHeight);
    if (width <= 0 || height <= 0 || right <= left || bottom <= top) {
        m_image->DeleteDib();
        return;
    }
    m_clipped = QRect(QPoint(static_cast<int>(left), static_cast<int>(top)),
                      QPoint(static_cast<int>(right - 1), static_cast<int>(bottom - 1)));

    CDib24& target = m_image->GetDib();
    const size_t bytes = static_cast<size_t>(right - left) * 3;
    for (long long y = top; y < bottom; ++y)
        std::memcpy(target.Row(static_cast<int>(y)) + left * 3,
                    m_source.Row(static_cast<int>(y - m_y)) + (left - m_x) * 3, bytes);
    LibraryEdit([&] { return m_image->ApplyBitmapChanges(0, nullptr); });
    m_image->DeleteDib();
}

void CActionPaste::Revert()
{
    RevertLibraryEdits();
    m_image->DeleteDib();
}
