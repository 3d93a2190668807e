// The 24-bit display bitmap.
#include "Dib24.h"

#include <cstring>
#include <limits>
#include <new>

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
    Reset();
    // The stride must fit an int (the library takes it as one), and so must
    // every row offset a caller forms from it.
    if (width <= 0 || height <= 0 || width > std::numeric_limits<int>::max() / 3)
        return false;
    const size_t stride = static_cast<size_t>(width) * 3;
    if (static_cast<size_t>(height) > static_cast<size_t>(std::numeric_limits<int>::max()) / stride)
        return false;
    BYTE* bits = new (std::nothrow) BYTE[stride * static_cast<size_t>(height)]();
    if (!bits)
        return false;
    m_bits.reset(bits);
    m_width = width;
    m_height = height;
    return true;
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
