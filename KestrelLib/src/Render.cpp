// Rendering the coefficient image into 24-bit BGR rows through CDCT.
#include "DllImage.h"

#include "DCT.h"
#include "RowThreads.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <memory>
#include <vector>

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
        const size_t count = static_cast<size_t>(m_coefCount);
        const int mcuH = dct.McuHeight();
        const int rows = static_cast<int>((height + mcuH - 1) / mcuH);
        const int threads = RowPassThreads(rows, width, height);
        if (threads <= 1)
            return dct.DecodeToBitmap(m_coef, count, firstRow, rowStride, 0, static_cast<int>(width),
                                      static_cast<int>(height))
                       ? 1
                       : 0;
        // MCU rows are independent: each thread renders whole rows with a
        // CDCT of its own (built here, before any thread runs), so the pixels
        // are those of one thread.
        std::vector<std::unique_ptr<CDCT>> dcts(static_cast<size_t>(threads));
        for (auto& d : dcts)
            d = std::make_unique<CDCT>(&m_decoder);
        std::atomic<bool> failed{false};
        ForEachRowOnThreads(rows, threads, [&](int thread, int row) {
            const int top = row * mcuH;
            const int h = static_cast<int>(std::min<long long>(mcuH, height - top));
            if (!dcts[static_cast<size_t>(thread)]->DecodeToBitmap(m_coef, count, firstRow + static_cast<ptrdiff_t>(top) * rowStride, rowStride,
                                                                   top, static_cast<int>(width), h))
                failed.store(true, std::memory_order_relaxed);
        });
        return failed.load() ? 0 : 1;
    } catch (...) {
        return 0;
    }
}
