// CDib24: the program's 24-bit display bitmap. Rows are top-down in memory,
// 3 bytes per pixel in blue, green, red order, with no row padding, so the
// library can write them directly (first row, positive stride) and a QImage
// of Format_BGR888 can show them without a copy. Widths handed in by the
// image document are whole MCUs (multiples of 8), so every row starts on a
// 4-byte boundary as QImage expects.
#pragma once

#include "platform/Com.h"

#include <QImage>

#include <cstddef>
#include <memory>

class CDib24 {
public:
    CDib24() = default;
    CDib24(CDib24&& other) noexcept;
    CDib24& operator=(CDib24&& other) noexcept;
    CDib24(const CDib24&) = delete;
    CDib24& operator=(const CDib24&) = delete;

    // Makes this a zero-filled width x height bitmap, in the memory it holds
    // when that is the same size, else in new memory (the old dropped first).
    // False (and an empty bitmap) for a non-positive or oversized size or
    // when memory runs out.
    bool Create(int width, int height);
    void Reset();
    // A deep copy; empty when this is empty or memory runs out.
    CDib24 Clone() const;

    bool IsNull() const { return !m_bits; }
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    int Stride() const { return m_width * 3; }
    size_t ByteSize() const { return static_cast<size_t>(m_width) * 3 * static_cast<size_t>(m_height); }

    // The first (topmost) row; null when empty.
    BYTE* Bits() { return m_bits.get(); }
    const BYTE* Bits() const { return m_bits.get(); }
    BYTE* Row(int y) { return m_bits.get() + static_cast<size_t>(y) * Stride(); }
    const BYTE* Row(int y) const { return m_bits.get() + static_cast<size_t>(y) * Stride(); }

    // A QImage over this bitmap's memory (no copy); valid while the bitmap
    // lives and is not re-created. Null image when empty.
    QImage View() const;

private:
    struct Free {
        void operator()(BYTE* p) const;
    };
    std::unique_ptr<BYTE[], Free> m_bits;
    int m_width = 0;
    int m_height = 0;
};
