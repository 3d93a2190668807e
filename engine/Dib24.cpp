// The 24-bit display bitmap.
#include "Dib24.h"

#include <cstdlib>
#include <cstring>
#include <limits>


CDib24::CDib24(CDib24&& other) noexcept
    : m_bits(std::move(other.m_bits)), m_width(other.m_width), m_height(other.m_height)
{
    other.m_width = other.m_height = 0;
}

CDib24& CDib24::operator=(CDib24&& other) noexcept
{
    if (this != &other) {
        m_bits = std::move(other.m_bits);
        m_width = other.m_width;
        m_height = other.m_height;
        other.m_width = other.m_height = 0;
    }
    return *this;
}

bool CDib24::Create(int width, int height)
{
    // The stride must fit an int (the library takes it as one), and so must
    // every row offset a caller forms from it.
    if (width <= 0 || height <= 0 || width > std::numeric_limits<int>::max() / 3 ||
        static_cast<size_t>(height) > static_cast<size_t>(std::numeric_limits<int>::max()) / (static_cast<size_t>(width) * 3)) {
        Reset();
        return false;
    }
    const size_t stride = static_cast<size_t>(width) * 3;
    const size_t bytes = stride * static_cast<size_t>(height);
    if (m_bits && ByteSize() == bytes) {
        // The same amount again (a redraw, a quarter turn): pages that are
        // already in place cost a clear, fresh ones a fault each.
        std::memset(m_bits.get(), 0, bytes);
        m_width = width;
        m_height = height;
        return true;
    }
    Reset();
    // calloc gives a large block as fresh zero pages, touched only when
    // used. No huge-page advice: where the kernel compacts memory for such a
    // fault, a fragmented machine stalls on it far longer than it saves.
    auto* bits = static_cast<BYTE*>(std::calloc(bytes, 1));
    if (!bits)
        return false;
    m_bits.reset(bits);
    m_width = width;
    m_height = height;
    return true;
}

void CDib24::Free::operator()(BYTE* p) const
{
    std::free(p);
}

void CDib24::Reset()
{
    m_bits.reset();
    m_width = m_height = 0;
}

CDib24 CDib24::Clone() const
{
    CDib24 copy;
    if (!IsNull() && copy.Create(m_width, m_height))
        std::memcpy(copy.m_bits.get(), m_bits.get(), ByteSize());
    return copy;
}

QImage CDib24::View() const
{
    if (IsNull())
        return QImage();
    return QImage(m_bits.get(), m_width, m_height, Stride(), QImage::Format_BGR888);
}
