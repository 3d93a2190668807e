// Rendering the coefficient image into 24-bit BGR rows through CDCT.
#include "DllImage.h"

#include "DCT.h"

#include <cstdlib>

int CDllImage::RenderToBitmap(BYTE* firstRow, int rowStride, int padToMcu)
{
    if (!m_coef || !m_decoderOpen || !firstRow)
        return 0;
    try {
        CDCT dct(&m_decoder);
        if (!dct.IsConvertible())
            return 1; // sampling or component count we do not convert: nothing is drawn
        long long width = m_width, height = m_height;
        if (padToMcu) {
            width = (width + dct.McuWidth() - 1) / dct.McuWidth() * dct.McuWidth();
            height = (height + dct.McuHeight() - 1) / dct.McuHeight() * dct.McuHeight();
        }
        if (width <= 0 || height <= 0 || width > 0x7FFFFFFF / 3 || height > 0x7FFFFFFF)
            return 0;
        // Rows narrower than a row of pixels would overlap.
        if (std::llabs(static_cast<long long>(rowStride)) < width * 3)
            return 0;
        return dct.DecodeToBitmap(m_coef, static_cast<size_t>(m_coefCount), firstRow, rowStride, 0,
                                  static_cast<int>(width), static_cast<int>(height))
                   ? 1
                   : 0;
    } catch (...) {
        return 0;
    }
}
