// CDCT: the bridge between the coefficient image and 24-bit BGR pixels.
//
// Invariants:
// - Coefficients are on the stored scale (quantised value times its step,
//   natural order, index 8 * v + u); no transform here multiplies or divides
//   by a quantisation table.
// - Component k of the array holds Rk block rows of Bk blocks, Bk being the
//   header's width in blocks rounded up to a multiple of h, Rk its height in
//   blocks rounded up to a multiple of v; components follow one another.
// - Both transforms are the IJG accurate integer DCTs; the inverse matches
//   libjpeg's `JDCT_ISLOW` output bit for bit. The vectorised paths compute
//   exactly the same integers.
// - A CDCT borrows the header and must not outlive it. Rendering and the
//   block transforms allocate nothing after construction; a reconstruct pass
//   allocates its working rows once per pass.
#pragma once

#include "ColorConvert.h"

#include <cstddef>
#include <cstdint>

class CDCT {
public:
    explicit CDCT(const jpeg_decompress_struct* header);
    virtual ~CDCT();
    CDCT(const CDCT&) = delete;
    CDCT& operator=(const CDCT&) = delete;

    // False when the converters cannot handle the image (a sampling factor
    // outside 1..2, more than four components): nothing is then rendered
    // and LoadMcuFromBitmap leaves the sample buffer alone.
    bool IsConvertible() const { return m_convertible; }
    int McuWidth() const { return 8 * m_hmax; }
    int McuHeight() const { return 8 * m_vmax; }
    int SamplingCode() const { return m_samplingCode; }
    CColorSpaceConverter* Converter() const { return m_converter; }

    // Number of coefficient values the layout above needs; -1 on overflow.
    long long LayoutCount() const;

    // Renders MCU rows from MCU row startRow / MCU height into `height` rows
    // of `width` pixels at firstPixel (row y at firstPixel + y * rowStride).
    // Blocks beyond the component grids render as 128. Returns false, having
    // written nothing, when the image is not convertible or `count` values
    // do not cover the layout.
    bool DecodeToBitmap(const short* coefficients, size_t count, uint8_t* firstPixel, ptrdiff_t rowStride,
                        int startRow, int width, int height);

    // Pixels of one whole MCU (MCU width x height at firstPixel) into the
    // sample buffer, through the converter.
    void LoadMcuFromBitmap(const uint8_t* firstPixel, ptrdiff_t rowStride);
    // Forward DCT of block (blockColumn, blockRow) of a component's MCU
    // samples into 64 coefficients on the stored scale, not quantised.
    void ForwardDct(int component, int blockColumn, int blockRow, short* out) const;

    // The 8 x 8 samples of one block of the MCU sample buffer (component
    // 0..3, block column and row 0..1); null when out of range.
    uint8_t* SampleBlock(int component, int blockColumn, int blockRow);

    // Inverse DCT of one block into an 8 x 8 tile of consecutive rows.
    static void InverseDctBlock(const short* block, uint8_t* tile);
    // Forward DCT of an 8 x 8 tile of consecutive rows.
    static void ForwardDctBlock(const uint8_t* tile, short* out);

    // One reconstruct pass over every component, in place (Reconstruct.cpp).
    // Calls progress, when given, after every block row with the percentage
    // of block rows done. Returns 1 when every row was done; 0 when progress
    // answered 0 (finished rows keep their new values) or when the pass could
    // not start (`count` short of the layout, a missing table, no memory:
    // nothing changed).
    int ReconstructPass(short* coefficients, size_t count, int (*progress)(int percent));

private:
    CColorSpaceConverter* m_converter = nullptr;
    CConverterDummy m_dummy;
    CConverterGrayscale m_gray;
    CConverterRGB m_rgb;
    CConverterYCC m_ycc;
    CConverterCMYK m_cmyk;
    CConverterYCCK m_ycck;
    const jpeg_decompress_struct* m_header = nullptr;
    int m_samplingCode = -1;
    bool m_convertible = false;
    int m_components = 0;
    int m_hmax = 1, m_vmax = 1;
    alignas(32) uint8_t m_samples[kMaxMcuComponents * kMcuAreaBytes] = {};
};
