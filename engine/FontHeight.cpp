#include "FontHeight.h"

#include <QFontMetrics>

#include <algorithm>
#include <cstdint>
#include <climits>
#include <cstdlib>

int FontCellHeight(const QFont& font)
{
    const QFontMetrics fm(font);
    return fm.ascent() + fm.descent();
}

void SetFontCellHeight(QFont& font, int cell)
{
    cell = std::max(cell, 1);
    font.setPixelSize(cell);
    const int full = std::max(FontCellHeight(font), 1);
    int size = static_cast<int>(std::max<int64_t>(int64_t(cell) * cell / full, 1));
    font.setPixelSize(size);
    // Metrics round per size: settle on the exact size in a few steps.
    for (int i = 0; i < 16 && size > 1 && FontCellHeight(font) > cell; ++i)
        font.setPixelSize(--size);
    for (int i = 0; i < 16; ++i) {
        QFont larger = font;
        larger.setPixelSize(size + 1);
        if (FontCellHeight(larger) > cell)
            break;
        font = larger;
        ++size;
    }
}

void SetLogicalFontHeight(QFont& font, int height)
{
    if (height > 0)
        SetFontCellHeight(font, height);
    else if (height < 0)
        font.setPixelSize(height == INT_MIN ? INT_MAX : -height);
}
