// Colour-space converters: the sample blocks of one MCU to 24-bit B, G, R
// pixels (upsampling by replication) and back (downsampling with libjpeg's
// biased averages), one class per JPEG colour space.
//
// Invariants every converter relies on:
// - The MCU sample buffer holds one 256-byte area per component (at most
//   four). Block (row a, column b) of a component's MCU lies at byte
//   (2a + b) x 64 of its area, 8 rows of 8 bytes; see McuBlockOffset.
// - Converters only work when every sampling factor is 1 or 2 and the
//   component count is what the kind needs (1 gray, 3 RGB/YCbCr, 4
//   CMYK/YCCK, never more than 4). Anything else leaves pixels and blocks
//   untouched, so no buffer is read or written outside its bounds.
// - All arithmetic is integer: the JFIF equations with 16 fractional bits,
//   identical to the published IJG tables.
#pragma once

#include "JpegCodec.h"

#include <cstddef>
#include <cstdint>

// Bytes of one component's area in the MCU sample buffer.
constexpr int kMcuAreaBytes = 256;
constexpr int kMaxMcuComponents = 4;

// Offset of block (row, column) inside a component's area.
constexpr int McuBlockOffset(int blockRow, int blockColumn) { return (blockRow * 2 + blockColumn) * 64; }

// The 16-bit fixed-point colour tables, built once per process.
struct YccTables {
    // Inverse (YCbCr to RGB).
    int32_t CrR[256], CbB[256], CrG[256], CbG[256];
    // Forward (RGB to YCbCr); the red term of Cr uses BCb.
    int32_t RY[256], GY[256], BY[256], RCb[256], GCb[256], BCb[256], GCr[256], BCr[256];
};
const YccTables& GetYccTables();

// The clamping table, 1408 bytes: 256 zeros, the identity 0..255, 384 x 255,
// 384 zeros, the identity 0..127. Byte 256 + x clamps x (-256..639) to
// 0..255; the inverse DCT reads it at 256 + 128 + (x mod 1024). Built once
// per process.
const uint8_t* ClampTable();
constexpr int kClampTableSize = 1408;

// Sampling code: the largest factors, then each component's, two bits per
// (h, v) pair coded as (2h - 2) | (v - 1), each new pair shifted in at the
// low end. 4:4:4 is 0, luma 1x2 is 80, luma 2x1 is 160, luma 2x2 is 240.
// Returns -1 when a factor is outside 1..2 or there are more than four
// components: such files are not converted at all.
int SamplingCode(const jpeg_decompress_struct* header);

// True when the converters can work on this header's geometry: 1 to 4
// components, every factor 1 or 2.
bool ConvertibleGeometry(const jpeg_decompress_struct* header);

class CColorSpaceConverter {
public:
    virtual ~CColorSpaceConverter() = default;
    // Remembers the clamping table (see ClampTable) and builds the
    // kind's shared tables on first use.
    virtual void InitTables(const uint8_t* clampTable) = 0;
    // Writes `rows` rows of `columns` pixels (each at most the MCU size) of
    // the MCU whose samples are in `blocks`; never writes outside them.
    virtual void ToBgr(const jpeg_decompress_struct* header, const uint8_t* blocks, uint8_t* out, int columns,
                       int rows, ptrdiff_t stride, int samplingCode) = 0;
    // Reads the whole MCU rectangle at `source` and fills every component's
    // blocks of the MCU in `blocks`.
    virtual void FromBgr(const jpeg_decompress_struct* header, const uint8_t* source, uint8_t* blocks,
                         ptrdiff_t stride) = 0;
};

// Colour spaces this library does not convert: nothing is read or written.
class CConverterDummy : public CColorSpaceConverter {
public:
    void InitTables(const uint8_t*) override {}
    void ToBgr(const jpeg_decompress_struct*, const uint8_t*, uint8_t*, int, int, ptrdiff_t, int) override {}
    void FromBgr(const jpeg_decompress_struct*, const uint8_t*, uint8_t*, ptrdiff_t) override {}
};

class CConverterGrayscale : public CColorSpaceConverter {
public:
    void InitTables(const uint8_t*) override {}
    void ToBgr(const jpeg_decompress_struct* header, const uint8_t* blocks, uint8_t* out, int columns, int rows,
               ptrdiff_t stride, int samplingCode) override;
    void FromBgr(const jpeg_decompress_struct* header, const uint8_t* source, uint8_t* blocks,
                 ptrdiff_t stride) override;
};

class CConverterRGB : public CColorSpaceConverter {
public:
    void InitTables(const uint8_t*) override {}
    void ToBgr(const jpeg_decompress_struct* header, const uint8_t* blocks, uint8_t* out, int columns, int rows,
               ptrdiff_t stride, int samplingCode) override;
    void FromBgr(const jpeg_decompress_struct* header, const uint8_t* source, uint8_t* blocks,
                 ptrdiff_t stride) override;
};

class CConverterYCC : public CColorSpaceConverter {
public:
    void InitTables(const uint8_t* clampTable) override;
    void ToBgr(const jpeg_decompress_struct* header, const uint8_t* blocks, uint8_t* out, int columns, int rows,
               ptrdiff_t stride, int samplingCode) override;
    void FromBgr(const jpeg_decompress_struct* header, const uint8_t* source, uint8_t* blocks,
                 ptrdiff_t stride) override;

protected:
    // Clamps x (-256..639) to 0..255 through the clamping table.
    uint8_t Clamp(int x) const { return m_clamp[256 + x]; }
    // Writes 255 - (Y, Cb, Cr to R, G, B), each scaled by k / 255 (truncating):
    // the YCCK pixel, and the last step of a CMYK one.
    void PutInvertedScaled(uint8_t* p, int y, int cb, int cr, unsigned k) const;
    const uint8_t* m_clamp = nullptr;
    const YccTables* m_tables = nullptr;
};

// Adobe CMYK, samples stored inverted (255 = no ink).
class CConverterCMYK : public CConverterYCC {
public:
    void ToBgr(const jpeg_decompress_struct* header, const uint8_t* blocks, uint8_t* out, int columns, int rows,
               ptrdiff_t stride, int samplingCode) override;
    void FromBgr(const jpeg_decompress_struct* header, const uint8_t* source, uint8_t* blocks,
                 ptrdiff_t stride) override;
};

class CConverterYCCK : public CConverterYCC {
public:
    void ToBgr(const jpeg_decompress_struct* header, const uint8_t* blocks, uint8_t* out, int columns, int rows,
               ptrdiff_t stride, int samplingCode) override;
    void FromBgr(const jpeg_decompress_struct* header, const uint8_t* source, uint8_t* blocks,
                 ptrdiff_t stride) override;
};

// Turns the vectorised pixel and block paths off (true) or back on, so tests
// can check them against the plain code. Not for concurrent use.
void SetScalarOnlyForTesting(bool scalarOnly);
// True when the vectorised paths are in use.
bool UsingSimd();
