// Colour-space converters for one MCU; see ColorConvert.h for the sample
// buffer layout and the geometry every converter accepts.
//
// ToBgr works row by row: each component's samples of the pixel row are
// gathered into a 16-byte row by replication (pixel column j takes sample
// j * h / Hmax, pixel row i takes sample row i * v / Vmax), then the kind's
// formula turns the rows into B, G, R. The YCbCr, grayscale and RGB rows have
// an AVX2 path that computes the same integer formulas as the tables.
#include "ColorConvert.h"

#include <atomic>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define KS_HAVE_X86_SIMD 1
#endif

namespace {

std::atomic<bool> g_scalarOnly{false};

bool CpuHasAvx2()
{
#ifdef KS_HAVE_X86_SIMD
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
#else
    return false;
#endif
}

// Sampling of the MCU as the converters need it.
struct McuGeometry {
    int count = 0;
    int h[kMaxMcuComponents] = {};
    int v[kMaxMcuComponents] = {};
    int hmax = 1, vmax = 1;
    int width() const { return 8 * hmax; }
    int height() const { return 8 * vmax; }
};

// False when the header has fewer than `need` or more than four components,
// or a factor outside 1..2: such MCUs are left alone.
bool ReadGeometry(const jpeg_decompress_struct* header, int need, McuGeometry* g)
{
    if (!header || !header->comp_info)
        return false;
    const int n = header->num_components;
    if (n < need || n < 1 || n > kMaxMcuComponents)
        return false;
    g->count = n;
    g->hmax = g->vmax = 1;
    for (int k = 0; k < n; ++k) {
        const int h = header->comp_info[k].h_samp_factor;
        const int v = header->comp_info[k].v_samp_factor;
        if (h < 1 || h > 2 || v < 1 || v > 2)
            return false;
        g->h[k] = h;
        g->v[k] = v;
        if (h > g->hmax)
            g->hmax = h;
        if (v > g->vmax)
            g->vmax = v;
    }
    return true;
}

// Samples of MCU pixel row r for component k, upsampled to the MCU width.
inline void GatherRow(const uint8_t* blocks, const McuGeometry& g, int k, int r, uint8_t* dst)
{
    const int sr = r * g.v[k] / g.vmax;
    const uint8_t* src = blocks + k * kMcuAreaBytes + McuBlockOffset(sr >> 3, 0) + (sr & 7) * 8;
    if (g.h[k] == g.hmax) {
        std::memcpy(dst, src, 8);
        if (g.hmax == 2)
            std::memcpy(dst + 8, src + 64, 8);
    } else {
        for (int j = 0; j < 8; ++j)
            dst[2 * j] = dst[2 * j + 1] = src[j];
    }
}

inline void Put(uint8_t* p, int b, int g, int r)
{
    p[0] = static_cast<uint8_t>(b);
    p[1] = static_cast<uint8_t>(g);
    p[2] = static_cast<uint8_t>(r);
}

#ifdef KS_HAVE_X86_SIMD

// Byte masks that interleave 16 B, 16 G and 16 R bytes into 48 bytes of
// B, G, R triples: mask[chunk][channel] picks the channel's bytes of the
// 16-byte output chunk (0x80 = zero).
struct InterleaveMasks {
    alignas(16) uint8_t m[3][3][16];
    constexpr InterleaveMasks() : m()
    {
        for (int chunk = 0; chunk < 3; ++chunk)
            for (int ch = 0; ch < 3; ++ch)
                for (int i = 0; i < 16; ++i) {
                    const int j = chunk * 16 + i;
                    m[chunk][ch][i] = static_cast<uint8_t>(j % 3 == ch ? j / 3 : 0x80);
                }
    }
};
constexpr InterleaveMasks kInterleave;

// Stores `columns` (1..16) pixels of B, G, R.
__attribute__((target("avx2"))) inline void StoreBgr(__m128i b, __m128i g, __m128i r, uint8_t* out, int columns)
{
    const auto mask = [](int chunk, int ch) {
        return _mm_load_si128(reinterpret_cast<const __m128i*>(kInterleave.m[chunk][ch]));
    };
    __m128i o[3];
    for (int c = 0; c < 3; ++c)
        o[c] = _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(b, mask(c, 0)), _mm_shuffle_epi8(g, mask(c, 1))),
                            _mm_shuffle_epi8(r, mask(c, 2)));
    if (columns == 16) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), o[0]);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16), o[1]);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 32), o[2]);
    } else if (columns == 8) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), o[0]);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 16), o[1]);
    } else {
        alignas(16) uint8_t tmp[48];
        _mm_store_si128(reinterpret_cast<__m128i*>(tmp), o[0]);
        _mm_store_si128(reinterpret_cast<__m128i*>(tmp + 16), o[1]);
        _mm_store_si128(reinterpret_cast<__m128i*>(tmp + 32), o[2]);
        std::memcpy(out, tmp, static_cast<size_t>(columns) * 3);
    }
}

// 16 signed 32-bit lanes (two vectors) to 16 bytes, saturated to 0..255.
__attribute__((target("avx2"))) inline __m128i PackBytes(__m256i lo, __m256i hi)
{
    __m256i p = _mm256_permute4x64_epi64(_mm256_packs_epi32(lo, hi), 0xD8);
    return _mm_packus_epi16(_mm256_castsi256_si128(p), _mm256_extracti128_si256(p, 1));
}

// One row of YCbCr to B, G, R: the table formulas computed in 32-bit lanes.
// The results stay inside -256..639, where saturation equals the clamping
// table.
__attribute__((target("avx2"))) void YccRowAvx2(const uint8_t* y, const uint8_t* cb, const uint8_t* cr, uint8_t* out,
                                                int columns)
{
    const __m128i yv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(y));
    const __m128i cbv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(cb));
    const __m128i crv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(cr));
    const __m256i c128 = _mm256_set1_epi32(128);
    const __m256i half = _mm256_set1_epi32(32768);
    __m256i rr[2], gg[2], bb[2];
    for (int i = 0; i < 2; ++i) {
        const __m256i yy = _mm256_cvtepu8_epi32(i ? _mm_srli_si128(yv, 8) : yv);
        const __m256i u = _mm256_sub_epi32(_mm256_cvtepu8_epi32(i ? _mm_srli_si128(cbv, 8) : cbv), c128);
        const __m256i w = _mm256_sub_epi32(_mm256_cvtepu8_epi32(i ? _mm_srli_si128(crv, 8) : crv), c128);
        rr[i] = _mm256_add_epi32(
            yy, _mm256_srai_epi32(_mm256_add_epi32(_mm256_mullo_epi32(w, _mm256_set1_epi32(91881)), half), 16));
        bb[i] = _mm256_add_epi32(
            yy, _mm256_srai_epi32(_mm256_add_epi32(_mm256_mullo_epi32(u, _mm256_set1_epi32(116130)), half), 16));
        const __m256i gsum = _mm256_add_epi32(_mm256_mullo_epi32(u, _mm256_set1_epi32(-22554)),
                                              _mm256_mullo_epi32(w, _mm256_set1_epi32(-46802)));
        gg[i] = _mm256_add_epi32(yy, _mm256_srai_epi32(_mm256_add_epi32(gsum, half), 16));
    }
    StoreBgr(PackBytes(bb[0], bb[1]), PackBytes(gg[0], gg[1]), PackBytes(rr[0], rr[1]), out, columns);
}

__attribute__((target("avx2"))) void CopyRowAvx2(const uint8_t* b, const uint8_t* g, const uint8_t* r, uint8_t* out,
                                                 int columns)
{
    StoreBgr(_mm_loadu_si128(reinterpret_cast<const __m128i*>(b)),
             _mm_loadu_si128(reinterpret_cast<const __m128i*>(g)),
             _mm_loadu_si128(reinterpret_cast<const __m128i*>(r)), out, columns);
}

#endif // KS_HAVE_X86_SIMD

bool Vectorised()
{
    return CpuHasAvx2() && !g_scalarOnly.load(std::memory_order_relaxed);
}

// Rows of channels copied into B, G, R (grayscale and RGB).
void CopyRows(const uint8_t* b, const uint8_t* g, const uint8_t* r, uint8_t* out, int columns, bool simd)
{
#ifdef KS_HAVE_X86_SIMD
    if (simd) {
        CopyRowAvx2(b, g, r, out, columns);
        return;
    }
#else
    (void)simd;
#endif
    for (int j = 0; j < columns; ++j)
        Put(out + 3 * j, b[j], g[j], r[j]);
}

// Shared frame of every ToBgr: checks the geometry, clips the rectangle and
// hands each pixel row's upsampled component rows to `convert`.
template <class RowFn>
void ForEachRow(const jpeg_decompress_struct* header, const uint8_t* blocks, uint8_t* out, int columns, int rows,
                ptrdiff_t stride, int need, RowFn convert)
{
    McuGeometry g;
    if (!blocks || !out || !ReadGeometry(header, need, &g))
        return;
    if (columns > g.width())
        columns = g.width();
    if (rows > g.height())
        rows = g.height();
    if (columns <= 0 || rows <= 0)
        return;
    alignas(16) uint8_t s[kMaxMcuComponents][16] = {};
    for (int r = 0; r < rows; ++r) {
        for (int k = 0; k < need; ++k)
            GatherRow(blocks, g, k, r, s[k]);
        convert(s, out + r * stride, columns);
    }
}

// Fills one full-resolution grid per component (16 x 16 samples, row stride
// 16) from the MCU's pixels, then downsamples every component into its blocks.
template <class PixelFn>
void FromBgrFrame(const jpeg_decompress_struct* header, const uint8_t* source, uint8_t* blocks, ptrdiff_t stride,
                  int need, PixelFn toSamples);

// Averages the full-resolution grid into component k's blocks, with
// libjpeg's alternating rounding bias.
void Downsample(const McuGeometry& g, int k, const uint8_t* grid, uint8_t* area)
{
    const int rh = g.hmax / g.h[k];
    const int rv = g.vmax / g.v[k];
    const int kind = (2 * rh - 2) | (rv - 1);
    for (int a = 0; a < g.v[k]; ++a)
        for (int b = 0; b < g.h[k]; ++b) {
            const uint8_t* p = grid + (8 * a * rv) * 16 + 8 * b * rh;
            uint8_t* o = area + McuBlockOffset(a, b);
            for (int y = 0; y < 8; ++y)
                for (int x = 0; x < 8; ++x) {
                    int s;
                    switch (kind) {
                    case 0:
                        s = p[y * 16 + x];
                        break;
                    case 1:
                        s = (p[2 * y * 16 + x] + p[(2 * y + 1) * 16 + x] + (x & 1)) >> 1;
                        break;
                    case 2:
                        s = (p[y * 16 + 2 * x] + p[y * 16 + 2 * x + 1] + (x & 1)) >> 1;
                        break;
                    default:
                        s = (p[2 * y * 16 + 2 * x] + p[2 * y * 16 + 2 * x + 1] + p[(2 * y + 1) * 16 + 2 * x] +
                             p[(2 * y + 1) * 16 + 2 * x + 1] + 1 + (x & 1)) >>
                            2;
                        break;
                    }
                    o[y * 8 + x] = static_cast<uint8_t>(s);
                }
        }
}

template <class PixelFn>
void FromBgrFrame(const jpeg_decompress_struct* header, const uint8_t* source, uint8_t* blocks, ptrdiff_t stride,
                  int need, PixelFn toSamples)
{
    McuGeometry g;
    if (!source || !blocks || !ReadGeometry(header, need, &g))
        return;
    uint8_t grid[kMaxMcuComponents][16 * 16];
    for (int r = 0; r < g.height(); ++r) {
        const uint8_t* px = source + r * stride;
        for (int c = 0; c < g.width(); ++c, px += 3) {
            uint8_t s[kMaxMcuComponents];
            toSamples(px[0], px[1], px[2], s);
            for (int k = 0; k < need; ++k)
                grid[k][r * 16 + c] = s[k];
        }
    }
    for (int k = 0; k < need; ++k)
        Downsample(g, k, grid[k], blocks + k * kMcuAreaBytes);
}

inline int YccY(const YccTables& t, int r, int g, int b) { return (t.RY[r] + t.GY[g] + t.BY[b]) >> 16; }
inline int YccCb(const YccTables& t, int r, int g, int b) { return (t.RCb[r] + t.GCb[g] + t.BCb[b]) >> 16; }
inline int YccCr(const YccTables& t, int r, int g, int b) { return (t.BCb[r] + t.GCr[g] + t.BCr[b]) >> 16; }

} // namespace

const YccTables& GetYccTables()
{
    static const YccTables tables = [] {
        YccTables t{};
        for (int i = 0; i < 256; ++i) {
            const int x = i - 128;
            t.CrR[i] = (91881 * x + 32768) >> 16;
            t.CbB[i] = (116130 * x + 32768) >> 16;
            t.CrG[i] = -46802 * x;
            t.CbG[i] = -22554 * x + 32768;
            t.RY[i] = 19595 * i;
            t.GY[i] = 38470 * i;
            t.BY[i] = 7471 * i + 32768;
            t.RCb[i] = -11059 * i;
            t.GCb[i] = -21709 * i;
            t.BCb[i] = 32768 * i + 8421375;
            t.GCr[i] = -27439 * i;
            t.BCr[i] = -5329 * i;
        }
        return t;
    }();
    return tables;
}

const uint8_t* ClampTable()
{
    struct Table {
        uint8_t b[kClampTableSize];
        Table()
        {
            std::memset(b, 0, 256);
            for (int i = 0; i < 256; ++i)
                b[256 + i] = static_cast<uint8_t>(i);
            std::memset(b + 512, 255, 384);
            std::memset(b + 896, 0, 384);
            for (int i = 0; i < 128; ++i)
                b[1280 + i] = static_cast<uint8_t>(i);
        }
    };
    static const Table table;
    return table.b;
}

int SamplingCode(const jpeg_decompress_struct* header)
{
    McuGeometry g;
    if (!ReadGeometry(header, 1, &g))
        return -1;
    const auto pair = [](int h, int v) { return (2 * h - 2) | (v - 1); };
    int code = pair(g.hmax, g.vmax);
    for (int k = 0; k < g.count; ++k)
        code = code * 4 + pair(g.h[k], g.v[k]);
    return code;
}

bool ConvertibleGeometry(const jpeg_decompress_struct* header)
{
    McuGeometry g;
    return ReadGeometry(header, 1, &g);
}

void SetScalarOnlyForTesting(bool scalarOnly)
{
    g_scalarOnly.store(scalarOnly, std::memory_order_relaxed);
}

bool UsingSimd()
{
    return Vectorised();
}

// ---- Grayscale ----

void CConverterGrayscale::ToBgr(const jpeg_decompress_struct* header, const uint8_t* blocks, uint8_t* out,
                                int columns, int rows, ptrdiff_t stride, int)
{
    const bool simd = Vectorised();
    ForEachRow(header, blocks, out, columns, rows, stride, 1, [simd](uint8_t(*s)[16], uint8_t* o, int n) {
        CopyRows(s[0], s[0], s[0], o, n, simd);
    });
}

void CConverterGrayscale::FromBgr(const jpeg_decompress_struct* header, const uint8_t* source, uint8_t* blocks,
                                  ptrdiff_t stride)
{
    FromBgrFrame(header, source, blocks, stride, 1, [](unsigned b, unsigned g, unsigned r, uint8_t* s) {
        s[0] = static_cast<uint8_t>((b + g + r) / 3);
    });
}

// ---- RGB ----

void CConverterRGB::ToBgr(const jpeg_decompress_struct* header, const uint8_t* blocks, uint8_t* out, int columns,
                          int rows, ptrdiff_t stride, int)
{
    const bool simd = Vectorised();
    ForEachRow(header, blocks, out, columns, rows, stride, 3, [simd](uint8_t(*s)[16], uint8_t* o, int n) {
        CopyRows(s[2], s[1], s[0], o, n, simd);
    });
}

void CConverterRGB::FromBgr(const jpeg_decompress_struct* header, const uint8_t* source, uint8_t* blocks,
                            ptrdiff_t stride)
{
    FromBgrFrame(header, source, blocks, stride, 3, [](uint8_t b, uint8_t g, uint8_t r, uint8_t* s) {
        s[0] = r;
        s[1] = g;
        s[2] = b;
    });
}

// ---- YCbCr ----

void CConverterYCC::InitTables(const uint8_t* clampTable)
{
    m_clamp = clampTable ? clampTable : ClampTable();
    m_tables = &GetYccTables();
}

void CConverterYCC::ToBgr(const jpeg_decompress_struct* header, const uint8_t* blocks, uint8_t* out, int columns,
                          int rows, ptrdiff_t stride, int)
{
    if (!m_tables)
        InitTables(ClampTable());
    const YccTables& t = *m_tables;
#ifdef KS_HAVE_X86_SIMD
    if (Vectorised()) {
        ForEachRow(header, blocks, out, columns, rows, stride, 3, [](uint8_t(*s)[16], uint8_t* o, int n) {
            YccRowAvx2(s[0], s[1], s[2], o, n);
        });
        return;
    }
#endif
    ForEachRow(header, blocks, out, columns, rows, stride, 3, [this, &t](uint8_t(*s)[16], uint8_t* o, int n) {
        for (int j = 0; j < n; ++j) {
            const int y = s[0][j], cb = s[1][j], cr = s[2][j];
            Put(o + 3 * j, Clamp(y + t.CbB[cb]), Clamp(y + ((t.CbG[cb] + t.CrG[cr]) >> 16)), Clamp(y + t.CrR[cr]));
        }
    });
}

void CConverterYCC::FromBgr(const jpeg_decompress_struct* header, const uint8_t* source, uint8_t* blocks,
                            ptrdiff_t stride)
{
    if (!m_tables)
        InitTables(ClampTable());
    const YccTables& t = *m_tables;
    FromBgrFrame(header, source, blocks, stride, 3, [&t](uint8_t b, uint8_t g, uint8_t r, uint8_t* s) {
        s[0] = static_cast<uint8_t>(YccY(t, r, g, b));
        s[1] = static_cast<uint8_t>(YccCb(t, r, g, b));
        s[2] = static_cast<uint8_t>(YccCr(t, r, g, b));
    });
}

// ---- CMYK and YCCK ----
// Both render as 255 - (YCbCr to RGB) scaled by K / 255 (truncating); CMYK
// first turns its inverted inks into Y', Cb', Cr' with the forward tables.

void CConverterYCC::PutInvertedScaled(uint8_t* p, int y, int cb, int cr, unsigned k) const
{
    const YccTables& t = *m_tables;
    Put(p, Clamp(255 - (y + t.CbB[cb])) * k / 255u, Clamp(255 - (y + ((t.CbG[cb] + t.CrG[cr]) >> 16))) * k / 255u,
        Clamp(255 - (y + t.CrR[cr])) * k / 255u);
}

void CConverterCMYK::ToBgr(const jpeg_decompress_struct* header, const uint8_t* blocks, uint8_t* out, int columns,
                           int rows, ptrdiff_t stride, int)
{
    if (!m_tables)
        InitTables(ClampTable());
    const YccTables& t = *m_tables;
    ForEachRow(header, blocks, out, columns, rows, stride, 4, [this, &t](uint8_t(*s)[16], uint8_t* o, int n) {
        for (int j = 0; j < n; ++j) {
            const int c = 255 - s[0][j], m = 255 - s[1][j], ye = 255 - s[2][j];
            const unsigned k = s[3][j];
            PutInvertedScaled(o + 3 * j, YccY(t, c, m, ye) & 0xFF, YccCb(t, c, m, ye) & 0xFF, YccCr(t, c, m, ye) & 0xFF,
                              k);
        }
    });
}

void CConverterCMYK::FromBgr(const jpeg_decompress_struct* header, const uint8_t* source, uint8_t* blocks,
                             ptrdiff_t stride)
{
    FromBgrFrame(header, source, blocks, stride, 4, [](uint8_t b, uint8_t g, uint8_t r, uint8_t* s) {
        s[0] = r;
        s[1] = g;
        s[2] = b;
        s[3] = 255;
    });
}

void CConverterYCCK::ToBgr(const jpeg_decompress_struct* header, const uint8_t* blocks, uint8_t* out, int columns,
                           int rows, ptrdiff_t stride, int)
{
    if (!m_tables)
        InitTables(ClampTable());
    ForEachRow(header, blocks, out, columns, rows, stride, 4, [this](uint8_t(*s)[16], uint8_t* o, int n) {
        for (int j = 0; j < n; ++j)
            PutInvertedScaled(o + 3 * j, s[0][j], s[1][j], s[2][j], s[3][j]);
    });
}

void CConverterYCCK::FromBgr(const jpeg_decompress_struct* header, const uint8_t* source, uint8_t* blocks,
                             ptrdiff_t stride)
{
    if (!m_tables)
        InitTables(ClampTable());
    const YccTables& t = *m_tables;
    FromBgrFrame(header, source, blocks, stride, 4, [&t](uint8_t b, uint8_t g, uint8_t r, uint8_t* s) {
        s[0] = static_cast<uint8_t>(YccY(t, 255 - r, 255 - g, 255 - b));
        s[1] = static_cast<uint8_t>(YccCb(t, 255 - r, 255 - g, 255 - b));
        s[2] = static_cast<uint8_t>(YccCr(t, 255 - r, 255 - g, 255 - b));
        s[3] = 255;
    });
}
