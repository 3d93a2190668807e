// Block transforms: the IJG accurate integer inverse and forward DCTs on the
// stored coefficient scale, rendering of the coefficient image and encoding
// of one MCU's pixels. See DCT.h for the layout this relies on.
//
// Each 1-D transform is written once as a template over its arithmetic: the
// plain path runs it per column or row with 64-bit integers (so no input can
// overflow), the AVX2 path runs it on all eight columns or rows at once in
// wrapping 32-bit lanes. The two agree for every block a real JPEG can hold;
// only coefficients far outside the 8-bit sample range could wrap.
#include "DCT.h"

#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define KS_HAVE_X86_SIMD 1
#endif

#define KS_ALWAYS_INLINE inline __attribute__((always_inline))

// The lane helpers are always inlined into the AVX2 functions; no vector ever
// crosses a real call, so the ABI note about 32-byte vectors does not apply.
#pragma GCC diagnostic ignored "-Wpsabi"

namespace {

// Fixed-point constants, 13 fractional bits.
constexpr int kF0_298631336 = 2446;
constexpr int kF0_390180644 = 3196;
constexpr int kF0_541196100 = 4433;
constexpr int kF0_765366865 = 6270;
constexpr int kF0_899976223 = 7373;
constexpr int kF1_175875602 = 9633;
constexpr int kF1_501321110 = 12299;
constexpr int kF1_847759065 = 15137;
constexpr int kF1_961570560 = 16069;
constexpr int kF2_053119869 = 16819;
constexpr int kF2_562915447 = 20995;
constexpr int kF3_072711026 = 25172;

// Descaling of each pass: (x + round) >> shift.
constexpr int kIdctPass1Shift = 11;  // 13 - 2 extra bits kept
constexpr int kIdctPass2Shift = 18;  // 13 + 2 + 3
constexpr int kFdctPass1Shift = 11;  // 13 - 2
constexpr int kFdctPass2Shift = 18;  // 13 + 2 + 3: folds in the division by 8
constexpr int kFdctPass2EvenShift = 5; // 2 + 3

struct ScalarOps {
    using T = long long;
    static KS_ALWAYS_INLINE T Mul(T x, int c) { return x * c; }
    static KS_ALWAYS_INLINE T Sra(T x, int n) { return x >> n; }
    static KS_ALWAYS_INLINE T Lit(int c) { return c; }
};

template <class Ops>
KS_ALWAYS_INLINE typename Ops::T Descale(typename Ops::T x, int shift)
{
    return Ops::Sra(x + Ops::Lit(1 << (shift - 1)), shift);
}

// The odd-part rotation both transforms share: a, b, c, d (the inverse's
// inputs 7, 5, 3, 1; the forward's differences 3-4, 2-5, 1-6, 0-7) are
// replaced by their four odd sums, still undescaled.
template <class Ops>
KS_ALWAYS_INLINE void OddPart(typename Ops::T& a, typename Ops::T& b, typename Ops::T& c, typename Ops::T& d)
{
    using T = typename Ops::T;
    T z1 = a + d, z2 = b + c, z3 = a + c, z4 = b + d;
    const T z5 = Ops::Mul(z3 + z4, kF1_175875602);
    z1 = Ops::Mul(z1, -kF0_899976223);
    z2 = Ops::Mul(z2, -kF2_562915447);
    z3 = Ops::Mul(z3, -kF1_961570560) + z5;
    z4 = Ops::Mul(z4, -kF0_390180644) + z5;
    a = Ops::Mul(a, kF0_298631336) + z1 + z3;
    b = Ops::Mul(b, kF2_053119869) + z2 + z4;
    c = Ops::Mul(c, kF3_072711026) + z2 + z3;
    d = Ops::Mul(d, kF1_501321110) + z1 + z4;
}

// One 1-D inverse transform; outputs are descaled by `shift`.
template <class Ops>
KS_ALWAYS_INLINE void Idct1D(const typename Ops::T* in, typename Ops::T* out, int shift)
{
    using T = typename Ops::T;
    // Even part.
    T z2 = in[2], z3 = in[6];
    T z1 = Ops::Mul(z2 + z3, kF0_541196100);
    const T tmp2 = z1 + Ops::Mul(z3, -kF1_847759065);
    const T tmp3 = z1 + Ops::Mul(z2, kF0_765366865);
    const T tmp0 = Ops::Mul(in[0] + in[4], 8192);
    const T tmp1 = Ops::Mul(in[0] - in[4], 8192);
    const T tmp10 = tmp0 + tmp3, tmp13 = tmp0 - tmp3, tmp11 = tmp1 + tmp2, tmp12 = tmp1 - tmp2;
    // Odd part.
    T t0 = in[7], t1 = in[5], t2 = in[3], t3 = in[1];
    OddPart<Ops>(t0, t1, t2, t3);
    out[0] = Descale<Ops>(tmp10 + t3, shift);
    out[7] = Descale<Ops>(tmp10 - t3, shift);
    out[1] = Descale<Ops>(tmp11 + t2, shift);
    out[6] = Descale<Ops>(tmp11 - t2, shift);
    out[2] = Descale<Ops>(tmp12 + t1, shift);
    out[5] = Descale<Ops>(tmp12 - t1, shift);
    out[3] = Descale<Ops>(tmp13 + t0, shift);
    out[4] = Descale<Ops>(tmp13 - t0, shift);
}

// One 1-D forward transform. Pass 1 keeps 2 extra bits (outputs 0 and 4 are
// shifted up, the rest descaled by 11); pass 2 descales 0 and 4 by 5 and the
// rest by 18.
template <class Ops, int Pass>
KS_ALWAYS_INLINE void Fdct1D(const typename Ops::T* d, typename Ops::T* out)
{
    using T = typename Ops::T;
    const int shift = Pass == 1 ? kFdctPass1Shift : kFdctPass2Shift;
    T tmp0 = d[0] + d[7], tmp7 = d[0] - d[7];
    T tmp1 = d[1] + d[6], tmp6 = d[1] - d[6];
    T tmp2 = d[2] + d[5], tmp5 = d[2] - d[5];
    T tmp3 = d[3] + d[4], tmp4 = d[3] - d[4];
    const T tmp10 = tmp0 + tmp3, tmp13 = tmp0 - tmp3, tmp11 = tmp1 + tmp2, tmp12 = tmp1 - tmp2;
    if (Pass == 1) {
        out[0] = Ops::Mul(tmp10 + tmp11, 4);
        out[4] = Ops::Mul(tmp10 - tmp11, 4);
    } else {
        out[0] = Descale<Ops>(tmp10 + tmp11, kFdctPass2EvenShift);
        out[4] = Descale<Ops>(tmp10 - tmp11, kFdctPass2EvenShift);
    }
    T z1 = Ops::Mul(tmp12 + tmp13, kF0_541196100);
    out[2] = Descale<Ops>(z1 + Ops::Mul(tmp13, kF0_765366865), shift);
    out[6] = Descale<Ops>(z1 + Ops::Mul(tmp12, -kF1_847759065), shift);
    OddPart<Ops>(tmp4, tmp5, tmp6, tmp7);
    out[7] = Descale<Ops>(tmp4, shift);
    out[5] = Descale<Ops>(tmp5, shift);
    out[3] = Descale<Ops>(tmp6, shift);
    out[1] = Descale<Ops>(tmp7, shift);
}

// Final sample of the inverse transform: 128 + x, reduced modulo 1024 and
// clamped through the table (as libjpeg's range limit does).
KS_ALWAYS_INLINE uint8_t RangeLimit(const uint8_t* clamp, long long x)
{
    return clamp[256 + 128 + static_cast<int>(x & 1023)];
}

bool AcAllZero(const short* block)
{
    for (int i = 1; i < 64; ++i)
        if (block[i])
            return false;
    return true;
}

void InverseDctScalar(const short* block, uint8_t* tile)
{
    const uint8_t* clamp = ClampTable();
    if (AcAllZero(block)) {
        // Same integers as the full transform: pass 1 gives DC * 4 everywhere.
        std::memset(tile, RangeLimit(clamp, (block[0] * 4LL + 16) >> 5), 64);
        return;
    }
    long long ws[64];
    long long in[8], out[8];
    for (int c = 0; c < 8; ++c) {
        for (int k = 0; k < 8; ++k)
            in[k] = block[k * 8 + c];
        Idct1D<ScalarOps>(in, out, kIdctPass1Shift);
        for (int k = 0; k < 8; ++k)
            ws[k * 8 + c] = out[k];
    }
    for (int r = 0; r < 8; ++r) {
        Idct1D<ScalarOps>(ws + r * 8, out, kIdctPass2Shift);
        for (int k = 0; k < 8; ++k)
            tile[r * 8 + k] = RangeLimit(clamp, out[k]);
    }
}

void ForwardDctScalar(const uint8_t* tile, short* coef)
{
    long long ws[64];
    long long in[8], out[8];
    for (int r = 0; r < 8; ++r) {
        for (int k = 0; k < 8; ++k)
            in[k] = tile[r * 8 + k] - 128;
        Fdct1D<ScalarOps, 1>(in, out);
        for (int k = 0; k < 8; ++k)
            ws[r * 8 + k] = out[k];
    }
    for (int c = 0; c < 8; ++c) {
        for (int k = 0; k < 8; ++k)
            in[k] = ws[k * 8 + c];
        Fdct1D<ScalarOps, 2>(in, out);
        for (int k = 0; k < 8; ++k)
            coef[k * 8 + c] = static_cast<short>(out[k]);
    }
}

#ifdef KS_HAVE_X86_SIMD

typedef uint32_t v8u __attribute__((vector_size(32)));
typedef int32_t v8i __attribute__((vector_size(32)));

// Wrapping 32-bit lanes: + - * wrap as the hardware does; >> is arithmetic.
struct VecOps {
    using T = v8u;
    static KS_ALWAYS_INLINE T Mul(T x, int c) { return x * static_cast<uint32_t>(c); }
    static KS_ALWAYS_INLINE T Sra(T x, int n) { return reinterpret_cast<T>(reinterpret_cast<v8i>(x) >> n); }
    static KS_ALWAYS_INLINE T Lit(int c) { return T{} + static_cast<uint32_t>(c); }
};

#pragma GCC push_options
#pragma GCC target("avx2")

KS_ALWAYS_INLINE __m256i M(v8u x) { return reinterpret_cast<__m256i>(x); }
KS_ALWAYS_INLINE v8u V(__m256i x) { return reinterpret_cast<v8u>(x); }

// 8 x 8 transpose of 32-bit lanes, in place.
KS_ALWAYS_INLINE void Transpose(v8u* r)
{
    const __m256i t0 = _mm256_unpacklo_epi32(M(r[0]), M(r[1])), t1 = _mm256_unpackhi_epi32(M(r[0]), M(r[1]));
    const __m256i t2 = _mm256_unpacklo_epi32(M(r[2]), M(r[3])), t3 = _mm256_unpackhi_epi32(M(r[2]), M(r[3]));
    const __m256i t4 = _mm256_unpacklo_epi32(M(r[4]), M(r[5])), t5 = _mm256_unpackhi_epi32(M(r[4]), M(r[5]));
    const __m256i t6 = _mm256_unpacklo_epi32(M(r[6]), M(r[7])), t7 = _mm256_unpackhi_epi32(M(r[6]), M(r[7]));
    const __m256i u0 = _mm256_unpacklo_epi64(t0, t2), u1 = _mm256_unpackhi_epi64(t0, t2);
    const __m256i u2 = _mm256_unpacklo_epi64(t1, t3), u3 = _mm256_unpackhi_epi64(t1, t3);
    const __m256i u4 = _mm256_unpacklo_epi64(t4, t6), u5 = _mm256_unpackhi_epi64(t4, t6);
    const __m256i u6 = _mm256_unpacklo_epi64(t5, t7), u7 = _mm256_unpackhi_epi64(t5, t7);
    r[0] = V(_mm256_permute2x128_si256(u0, u4, 0x20));
    r[1] = V(_mm256_permute2x128_si256(u1, u5, 0x20));
    r[2] = V(_mm256_permute2x128_si256(u2, u6, 0x20));
    r[3] = V(_mm256_permute2x128_si256(u3, u7, 0x20));
    r[4] = V(_mm256_permute2x128_si256(u0, u4, 0x31));
    r[5] = V(_mm256_permute2x128_si256(u1, u5, 0x31));
    r[6] = V(_mm256_permute2x128_si256(u2, u6, 0x31));
    r[7] = V(_mm256_permute2x128_si256(u3, u7, 0x31));
}

// Four rows of 8 values (0..255 in 32-bit lanes) to 32 consecutive bytes.
KS_ALWAYS_INLINE void StoreRows4(const v8u* r, uint8_t* out)
{
    const __m256i a = _mm256_packs_epi32(M(r[0]), M(r[1]));
    const __m256i b = _mm256_packs_epi32(M(r[2]), M(r[3]));
    const __m256i bytes = _mm256_packus_epi16(a, b);
    const __m256i order = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), _mm256_permutevar8x32_epi32(bytes, order));
}

void InverseDctAvx2(const short* block, uint8_t* tile)
{
    v8u row[8], out[8];
    __m128i acOr = _mm_andnot_si128(_mm_cvtsi32_si128(0xFFFF), _mm_loadu_si128(reinterpret_cast<const __m128i*>(block)));
    for (int k = 0; k < 8; ++k) {
        const __m128i in = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + k * 8));
        if (k)
            acOr = _mm_or_si128(acOr, in);
        row[k] = V(_mm256_cvtepi16_epi32(in));
    }
    if (_mm_testz_si128(acOr, acOr)) {
        std::memset(tile, RangeLimit(ClampTable(), (block[0] * 4LL + 16) >> 5), 64);
        return;
    }
    // Pass 1 on all columns at once: lane c of row[k] is coefficient (k, c).
    Idct1D<VecOps>(row, out, kIdctPass1Shift);
    // Pass 2 on all rows at once: lane r of out[k] becomes workspace (r, k).
    Transpose(out);
    Idct1D<VecOps>(out, row, kIdctPass2Shift);
    // Range limit without the table: ((x + 512) mod 1024) - 384, saturated to
    // 0..255, is the table's value at 384 + (x mod 1024).
    const v8u mask = VecOps::Lit(1023);
    for (int k = 0; k < 8; ++k)
        row[k] = ((row[k] + 512u) & mask) - 384u;
    Transpose(row);
    StoreRows4(row, tile);
    StoreRows4(row + 4, tile + 32);
}

void ForwardDctAvx2(const uint8_t* tile, short* coef)
{
    v8u col[8], out[8];
    for (int r = 0; r < 8; ++r)
        col[r] = V(_mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(tile + r * 8)))) - 128u;
    // Pass 1 over rows: after the transpose lane r of col[k] is sample (r, k).
    Transpose(col);
    Fdct1D<VecOps, 1>(col, out);
    // Pass 2 over columns: lane c of out[r] is workspace (r, c).
    Transpose(out);
    Fdct1D<VecOps, 2>(out, col);
    for (int r = 0; r < 8; r += 2) {
        const __m256i p = _mm256_permute4x64_epi64(_mm256_packs_epi32(M(col[r]), M(col[r + 1])), 0xD8);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(coef + r * 8), p);
    }
}

#pragma GCC pop_options

#endif // KS_HAVE_X86_SIMD

} // namespace

CDCT::CDCT(const jpeg_decompress_struct* header) : m_header(header)
{
    const int space = header ? static_cast<int>(header->jpeg_color_space) : 0;
    switch (space) {
    case JCS_GRAYSCALE:
        m_converter = &m_gray;
        break;
    case JCS_RGB:
        m_converter = &m_rgb;
        break;
    case JCS_YCbCr:
        m_converter = &m_ycc;
        break;
    case JCS_CMYK:
        m_converter = &m_cmyk;
        break;
    case JCS_YCCK:
        m_converter = &m_ycck;
        break;
    default:
        m_converter = &m_dummy;
        break;
    }
    m_converter->InitTables(ClampTable());
    m_samplingCode = ::SamplingCode(header);
    m_convertible = ConvertibleGeometry(header);
    if (m_convertible) {
        m_components = header->num_components;
        for (int k = 0; k < m_components; ++k) {
            if (header->comp_info[k].h_samp_factor > m_hmax)
                m_hmax = header->comp_info[k].h_samp_factor;
            if (header->comp_info[k].v_samp_factor > m_vmax)
                m_vmax = header->comp_info[k].v_samp_factor;
        }
    }
}

CDCT::~CDCT() = default;

long long CDCT::LayoutCount() const
{
    if (!m_header || !m_header->comp_info)
        return -1;
    long long total = 0;
    for (int k = 0; k < m_header->num_components; ++k) {
        const jpeg_component_info& c = m_header->comp_info[k];
        if (c.h_samp_factor < 1 || c.v_samp_factor < 1)
            return -1;
        const long long bk = (static_cast<long long>(c.width_in_blocks) + c.h_samp_factor - 1) / c.h_samp_factor *
                             c.h_samp_factor;
        const long long rk = (static_cast<long long>(c.height_in_blocks) + c.v_samp_factor - 1) / c.v_samp_factor *
                             c.v_samp_factor;
        total += bk * rk * 64;
        if (total > (1LL << 40))
            return -1;
    }
    return total;
}

bool CDCT::DecodeToBitmap(const short* coefficients, size_t count, uint8_t* firstPixel, ptrdiff_t rowStride,
                          int startRow, int width, int height)
{
    if (!m_convertible || !coefficients || !firstPixel || width <= 0 || height <= 0)
        return false;
    const long long layout = LayoutCount();
    if (layout < 0 || static_cast<unsigned long long>(layout) > count)
        return false;

    struct Grid {
        const short* data;
        int h, v;
        long long blocksPerRow, blockRows;
    } grids[kMaxMcuComponents];
    size_t offset = 0;
    for (int k = 0; k < m_components; ++k) {
        const jpeg_component_info& c = m_header->comp_info[k];
        Grid& g = grids[k];
        g.h = c.h_samp_factor;
        g.v = c.v_samp_factor;
        g.blocksPerRow = (static_cast<long long>(c.width_in_blocks) + g.h - 1) / g.h * g.h;
        g.blockRows = (static_cast<long long>(c.height_in_blocks) + g.v - 1) / g.v * g.v;
        g.data = coefficients + offset;
        offset += static_cast<size_t>(g.blocksPerRow * g.blockRows * 64);
    }

    static const short kZeroBlock[64] = {};
    const int mcuW = McuWidth(), mcuH = McuHeight();
    const int mcuCols = (width + mcuW - 1) / mcuW;
    const int mcuRows = (height + mcuH - 1) / mcuH;
    const long long firstMcuRow = startRow > 0 ? startRow / mcuH : 0;
    const bool simd = UsingSimd();

    for (int i = 0; i < mcuRows; ++i) {
        uint8_t* rowOut = firstPixel + static_cast<ptrdiff_t>(i) * mcuH * rowStride;
        const int rows = height - i * mcuH < mcuH ? height - i * mcuH : mcuH;
        for (int j = 0; j < mcuCols; ++j) {
            for (int k = 0; k < m_components; ++k) {
                const Grid& g = grids[k];
                for (int a = 0; a < g.v; ++a) {
                    const long long r = (firstMcuRow + i) * g.v + a;
                    for (int b = 0; b < g.h; ++b) {
                        const long long c = static_cast<long long>(j) * g.h + b;
                        const short* block = r < g.blockRows && c < g.blocksPerRow
                                                 ? g.data + static_cast<size_t>(r * g.blocksPerRow + c) * 64
                                                 : kZeroBlock;
                        uint8_t* tile = m_samples + k * kMcuAreaBytes + McuBlockOffset(a, b);
#ifdef KS_HAVE_X86_SIMD
                        if (simd)
                            InverseDctAvx2(block, tile);
                        else
#endif
                            InverseDctScalar(block, tile);
                    }
                }
            }
            const int cols = width - j * mcuW < mcuW ? width - j * mcuW : mcuW;
            m_converter->ToBgr(m_header, m_samples, rowOut + static_cast<ptrdiff_t>(j) * mcuW * 3, cols, rows,
                               rowStride, m_samplingCode);
        }
    }
    (void)simd;
    return true;
}

void CDCT::LoadMcuFromBitmap(const uint8_t* firstPixel, ptrdiff_t rowStride)
{
    if (m_convertible && firstPixel)
        m_converter->FromBgr(m_header, firstPixel, m_samples, rowStride);
}

uint8_t* CDCT::SampleBlock(int component, int blockColumn, int blockRow)
{
    if (component < 0 || component >= kMaxMcuComponents || blockColumn < 0 || blockColumn > 1 || blockRow < 0 ||
        blockRow > 1)
        return nullptr;
    return m_samples + component * kMcuAreaBytes + McuBlockOffset(blockRow, blockColumn);
}

void CDCT::ForwardDct(int component, int blockColumn, int blockRow, short* out) const
{
    if (!out || component < 0 || component >= kMaxMcuComponents || blockColumn < 0 || blockColumn > 1 ||
        blockRow < 0 || blockRow > 1)
        return;
    ForwardDctBlock(m_samples + component * kMcuAreaBytes + McuBlockOffset(blockRow, blockColumn), out);
}

void CDCT::InverseDctBlock(const short* block, uint8_t* tile)
{
#ifdef KS_HAVE_X86_SIMD
    if (UsingSimd()) {
        InverseDctAvx2(block, tile);
        return;
    }
#endif
    InverseDctScalar(block, tile);
}

void CDCT::ForwardDctBlock(const uint8_t* tile, short* out)
{
#ifdef KS_HAVE_X86_SIMD
    if (UsingSimd()) {
        ForwardDctAvx2(tile, out);
        return;
    }
#endif
    ForwardDctScalar(tile, out);
}
