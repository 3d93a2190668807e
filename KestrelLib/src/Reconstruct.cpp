// The reconstruct pass: smooths blocking and ringing while keeping every
// coefficient inside the quantisation interval of its stored value.
//
// For each block, 32 shifted 8 x 8 windows (even shifts (i, j), i + j even,
// 0..7 each) of the decoded neighbourhood are compressed again with the
// component's own table and decoded; the decoded windows are averaged per
// sample, the average is transformed back, and each new coefficient is
// clamped into the interval that the file's quantiser maps to the stored
// value. Quantising the result with the file's tables (half away from zero)
// therefore always gives back the stored quantised values, and the pass can
// be repeated.
//
// Invariants: the layout of DCT.h (component grids from the header's block
// counts, rounded up to whole MCUs). Block row y's result depends only on
// the input rows y - 1, y and y + 1 (windows of row y - 1 reach into row y),
// so the whole pass works from its input.
//
// Threads: this is the one place where the library starts threads, and only
// for the length of one call. Block rows are worked out in batches of a few
// rows per thread into a scratch buffer; each thread first adds the windows
// of the row above its first row (the thread with the batch's first row
// takes them over from the batch before). The sums are integers, so the
// result is the single-threaded one byte for byte. After every thread has
// finished, the calling thread alone writes the rows into the image one by
// one and reports each: the callback runs on the calling thread, once per
// row, in order, while no thread runs, and after a cancel only reported rows
// are new. Working memory, allocated before any block changes: per thread
// two accumulators of 8 sample rows over the widest component and a few
// rows of results. KESTREL_RECONSTRUCT_THREADS in the environment caps the
// number of threads (1: none besides the caller).
#include "ColorConvert.h"
#include "DCT.h"
#include "RowThreads.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace {

struct PassGrid {
    short* data;
    int cols, rows;       // blocks per row and block rows in storage
    const UINT16* steps;  // the component's quantisation table
};

// Rounds half away from zero to a multiple of `step`: n = (c +- step / 2) / step.
inline int QuantLevel(int c, int step)
{
    const int half = step / 2;
    return c >= 0 ? (c + half) / step : (c - half) / step;
}

// The steps of one table, ready for dividing by multiplication. The plain
// path: for dividends below 2^16 and steps below 2^16,
// (x * (2^32 / step + 1)) >> 32 is exactly x / step. The AVX2 path divides
// eight at a time in single precision (off by at most one for dividends
// below 2^17) and corrects the quotient with the exact remainder.
// Quantising 32 windows per block is a large part of a pass.
struct StepTable {
    alignas(32) int32_t step[64];
    alignas(32) int32_t half[64];
    alignas(32) float inverse[64];
    uint64_t reciprocal[64];
    bool simd = false;
    void Set(const UINT16* steps)
    {
        for (int i = 0; i < 64; ++i) {
            step[i] = steps[i] ? steps[i] : 1;
            half[i] = step[i] / 2;
            inverse[i] = 1.0f / static_cast<float>(step[i]);
            reciprocal[i] = (uint64_t(1) << 32) / static_cast<uint64_t>(step[i]) + 1;
        }
        simd = UsingSimd();
    }
};

#if defined(__x86_64__)
__attribute__((target("avx2"))) void RoundToStepsAvx2(short* coef, const StepTable& t)
{
    for (int i = 0; i < 64; i += 8) {
        const __m256i c = _mm256_cvtepi16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(coef + i)));
        const __m256i step = _mm256_load_si256(reinterpret_cast<const __m256i*>(t.step + i));
        const __m256i x = _mm256_add_epi32(_mm256_abs_epi32(c), _mm256_load_si256(reinterpret_cast<const __m256i*>(t.half + i)));
        const __m256i q = _mm256_cvttps_epi32(_mm256_mul_ps(_mm256_cvtepi32_ps(x), _mm256_load_ps(t.inverse + i)));
        __m256i n = _mm256_mullo_epi32(q, step);
        const __m256i r = _mm256_sub_epi32(x, n);
        n = _mm256_sub_epi32(n, _mm256_and_si256(step, _mm256_srai_epi32(r, 31))); // remainder < 0: one step less
        n = _mm256_add_epi32(n, _mm256_and_si256(step, _mm256_cmpgt_epi32(r, _mm256_sub_epi32(step, _mm256_set1_epi32(1))))); // >= step
        n = _mm256_sign_epi32(n, c);
        const __m128i packed = _mm_packs_epi32(_mm256_castsi256_si128(n), _mm256_extracti128_si256(n, 1));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(coef + i), packed);
    }
}
#endif

// Rounds each coefficient half away from zero to a multiple of its step
// (16-bit saturated).
inline void RoundToSteps(short* coef, const StepTable& t)
{
#if defined(__x86_64__)
    if (t.simd) {
        RoundToStepsAvx2(coef, t);
        return;
    }
#endif
    for (int i = 0; i < 64; ++i) {
        const int c = coef[i];
        const uint64_t x = static_cast<uint32_t>((c >= 0 ? c : -c) + t.half[i]);
        const int n = static_cast<int>((x * t.reciprocal[i]) >> 32) * t.step[i];
        const int v = c >= 0 ? n : -n;
        coef[i] = static_cast<short>(v > 32767 ? 32767 : v < -32768 ? -32768 : v);
    }
}

inline short Saturate16(int v)
{
    return static_cast<short>(std::clamp(v, -32768, 32767));
}

// Keeps c' inside the values that quantise to the same level as the stored
// value c.
inline short Project(int stored, int fresh, int step)
{
    const int half = step / 2;
    const int d = QuantLevel(stored, step) * step;
    int lo, hi;
    if (d > 0) {
        lo = d - half;
        hi = d + step - 1 - half;
    } else if (d < 0) {
        lo = d + half - step + 1;
        hi = d + half;
    } else {
        hi = (step - 1) / 2;
        lo = -hi;
    }
    return Saturate16(std::clamp(fresh, lo, hi));
}

// Decodes a block into an 8 x 8 area of the 16-sample-wide neighbourhood; a
// missing block is flat 128, which is what an all-zero block decodes to.
inline void DecodeInto(const short* block, uint8_t* nb)
{
    alignas(32) uint8_t tile[64];
    if (block)
        CDCT::InverseDctBlock(block, tile);
    else
        std::memset(tile, 128, sizeof tile);
    for (int r = 0; r < 8; ++r)
        std::memcpy(nb + r * 16, tile + r * 8, 8);
}


// Adds the 32 shifted windows of every block of block row y: samples in the
// row's own 8 pixel rows go to `cur` (dropped when null), those below it to
// `next`. Compiled twice, plain and for AVX2 (where each window row adds as
// one vector).
inline __attribute__((always_inline)) void AccumulateRowBody(const PassGrid& g, const StepTable& table, int y,
                                                             int32_t* cur, int32_t* next, size_t accRow)
{
    const int width = g.cols * 8;
    const bool haveBelow = y + 1 < g.rows;
    const short* rowBlocks = g.data + static_cast<size_t>(y) * g.cols * 64;
    const short* belowBlocks = haveBelow ? rowBlocks + static_cast<size_t>(g.cols) * 64 : nullptr;

    // The 16 x 16 neighbourhood of blocks (y, x) .. (y + 1, x + 1). Its right
    // half becomes the left half of the next block's.
    alignas(32) uint8_t nb[16 * 16];
    DecodeInto(rowBlocks, nb);
    DecodeInto(belowBlocks, nb + 8 * 16);
    for (int x = 0; x < g.cols; ++x) {
        if (x > 0)
            for (int r = 0; r < 16; ++r)
                std::memcpy(nb + r * 16, nb + r * 16 + 8, 8);
        const bool haveRight = x + 1 < g.cols;
        DecodeInto(haveRight ? rowBlocks + static_cast<size_t>(x + 1) * 64 : nullptr, nb + 8);
        DecodeInto(haveRight && haveBelow ? belowBlocks + static_cast<size_t>(x + 1) * 64 : nullptr, nb + 8 * 16 + 8);

        for (int i = cur ? 0 : 1; i < 8; ++i) { // the unshifted window stays in its own row
            for (int j = i & 1; j < 8; j += 2) {
                alignas(32) uint8_t window[64];
                for (int r = 0; r < 8; ++r)
                    std::memcpy(window + r * 8, nb + (i + r) * 16 + j, 8);
                alignas(32) short coef[64];
                CDCT::ForwardDctBlock(window, coef);
                RoundToSteps(coef, table);
                CDCT::InverseDctBlock(coef, window);

                const int x0 = x * 8 + j;
                const int span = std::min(8, width - x0); // samples past the grid are dropped
                for (int r = cur ? 0 : 8 - i; r < 8; ++r) {
                    const int row = i + r;
                    int32_t* acc = (row < 8 ? cur + static_cast<size_t>(row) * accRow
                                            : next + static_cast<size_t>(row - 8) * accRow) + x0;
                    const uint8_t* src = window + r * 8;
                    if (span == 8) {
                        for (int t = 0; t < 8; ++t)
                            acc[t] += src[t];
                    } else {
                        for (int t = 0; t < span; ++t)
                            acc[t] += src[t];
                    }
                }
            }
        }
    }
}

void AccumulateRowPlain(const PassGrid& g, const StepTable& table, int y, int32_t* cur, int32_t* next, size_t accRow)
{
    AccumulateRowBody(g, table, y, cur, next, accRow);
}

#if defined(__x86_64__)
__attribute__((target("avx2"))) void AccumulateRowAvx2(const PassGrid& g, const StepTable& table, int y, int32_t* cur,
                                                       int32_t* next, size_t accRow)
{
    AccumulateRowBody(g, table, y, cur, next, accRow);
}
#endif

void AccumulateRow(const PassGrid& g, const StepTable& table, int y, int32_t* cur, int32_t* next, size_t accRow)
{
#if defined(__x86_64__)
    if (table.simd) {
        AccumulateRowAvx2(g, table, y, cur, next, accRow);
        return;
    }
#endif
    AccumulateRowPlain(g, table, y, cur, next, accRow);
}

// Averages the windows summed in `cur` over block row y, transforms the
// averages and projects them against the stored blocks into `out`.
void FinishRow(const PassGrid& g, const StepTable& table, int y, const int32_t* cur, size_t accRow, short* out)
{
    const short* stored = g.data + static_cast<size_t>(y) * g.cols * 64;
    for (int x = 0; x < g.cols; ++x) {
        // n(r, t) even shifts cover a sample; fewer reach the top rows and
        // left columns of the component.
        alignas(32) uint8_t avg[64];
        if (y > 0 && x > 0) {
            // All 32 windows cover every sample; the sums are not negative.
            for (int r = 0; r < 8; ++r) {
                const int32_t* acc = cur + static_cast<size_t>(r) * accRow + x * 8;
                for (int t = 0; t < 8; ++t)
                    avg[r * 8 + t] = static_cast<uint8_t>(acc[t] >> 5);
            }
        } else {
            for (int r = 0; r < 8; ++r) {
                const int a = y == 0 ? r + 1 : 8;
                const int32_t* acc = cur + static_cast<size_t>(r) * accRow + x * 8;
                for (int t = 0; t < 8; ++t) {
                    const int b = x == 0 ? t + 1 : 8;
                    avg[r * 8 + t] = static_cast<uint8_t>(acc[t] / ((a * b + 1) / 2));
                }
            }
        }
        alignas(32) short fresh[64];
        CDCT::ForwardDctBlock(avg, fresh);
        const short* block = stored + static_cast<size_t>(x) * 64;
        short* result = out + static_cast<size_t>(x) * 64;
        for (int n = 0; n < 64; ++n)
            result[n] = Project(block[n], fresh[n], table.step[n]);
    }
}

// One thread's share of a batch: rows [first, last) into `out`. `acc` holds
// two accumulators; the first starts with the windows of the row above
// `first` (carried in, or added here when `addAbove`). On return
// `*spill` points at the accumulator holding the windows reaching into row
// `last`.
struct Chunk {
    int first = 0, last = 0;
    bool addAbove = false;
    int32_t* acc = nullptr;
    short* out = nullptr;
    int32_t* spill = nullptr;
};

void RunChunk(const PassGrid& g, const StepTable& table, size_t accRow, Chunk& c)
{
    int32_t* cur = c.acc;
    int32_t* next = c.acc + accRow * 8;
    if (c.addAbove) {
        std::fill(cur, cur + accRow * 8, 0);
        AccumulateRow(g, table, c.first - 1, nullptr, cur, accRow);
    }
    for (int y = c.first; y < c.last; ++y) {
        std::fill(next, next + accRow * 8, 0);
        AccumulateRow(g, table, y, cur, next, accRow);
        FinishRow(g, table, y, cur, accRow, c.out + static_cast<size_t>(y - c.first) * g.cols * 64);
        std::swap(cur, next);
    }
    c.spill = cur;
}

// Threads for one pass: the environment's cap, else the machine's count.
int PassThreads()
{
    return std::clamp(ThreadsWanted("KESTREL_RECONSTRUCT_THREADS"), 1, 16);
}

// Rows each thread works out per batch; the first row of every thread but
// one costs an extra row of windows, and the caller waits a batch between
// reports.
constexpr int kRowsPerThread = 4;

} // namespace

int CDCT::ReconstructPass(short* coefficients, size_t count, int (*progress)(int percent))
{
    const jpeg_decompress_struct* h = m_header;
    if (!h || !coefficients || h->num_components < 1 || h->num_components > MAX_COMPONENTS)
        return 0;
    const long long layout = LayoutCount();
    if (layout < 0 || static_cast<unsigned long long>(layout) > count)
        return 0;

    PassGrid grids[MAX_COMPONENTS];
    size_t offset = 0;
    int totalRows = 0, widest = 0, tallest = 0;
    for (int k = 0; k < h->num_components; ++k) {
        const jpeg_component_info& c = h->comp_info[k];
        const int slot = c.quant_tbl_no;
        if (slot < 0 || slot >= NUM_QUANT_TBLS || !h->quant_tbl_ptrs[slot])
            return 0;
        PassGrid& g = grids[k];
        g.cols = static_cast<int>((c.width_in_blocks + c.h_samp_factor - 1) / c.h_samp_factor * c.h_samp_factor);
        g.rows = static_cast<int>((c.height_in_blocks + c.v_samp_factor - 1) / c.v_samp_factor * c.v_samp_factor);
        g.steps = h->quant_tbl_ptrs[slot]->quantval;
        g.data = coefficients + offset;
        offset += static_cast<size_t>(g.cols) * g.rows * 64;
        totalRows += g.rows;
        widest = std::max(widest, g.cols);
        tallest = std::max(tallest, g.rows);
    }
    if (totalRows == 0 || widest == 0)
        return 1;

    // A thread gets at least a few rows; one thread works row by row.
    const int threadCount = std::min(PassThreads(), (tallest + kRowsPerThread - 1) / kRowsPerThread);
    const int rowsPerThread = threadCount > 1 ? kRowsPerThread : 1;
    const int batchRows = threadCount * rowsPerThread;

    const size_t accRow = static_cast<size_t>(widest) * 8;
    const size_t outRows = static_cast<size_t>(widest) * 64 * rowsPerThread;
    std::vector<int32_t> accMemory, carry;
    std::vector<short> outMemory;
    std::vector<Chunk> chunks;
    std::vector<std::thread> workers;
    try {
        accMemory.resize(accRow * 16 * threadCount);
        carry.resize(accRow * 8);
        outMemory.resize(outRows * threadCount);
        chunks.resize(static_cast<size_t>(threadCount));
        workers.reserve(static_cast<size_t>(threadCount));
    } catch (const std::bad_alloc&) {
        return 0;
    }

    int rowsDone = 0;
    for (int k = 0; k < h->num_components; ++k) {
        const PassGrid& g = grids[k];
        StepTable table;
        table.Set(g.steps);
        std::fill(carry.begin(), carry.end(), 0);

        for (int batch = 0; batch < g.rows; batch += batchRows) {
            // Split the batch's rows into runs of rowsPerThread, one per thread.
            const int end = std::min(batch + batchRows, g.rows);
            int used = 0;
            for (int first = batch; first < end; first += rowsPerThread, ++used) {
                Chunk& c = chunks[static_cast<size_t>(used)];
                c.first = first;
                c.last = std::min(first + rowsPerThread, end);
                c.addAbove = first > batch;
                c.acc = accMemory.data() + accRow * 16 * used;
                c.out = outMemory.data() + outRows * used;
            }
            std::copy(carry.begin(), carry.end(), chunks[0].acc);

            workers.clear();
            for (int t = 1; t < used; ++t) {
                try {
                    workers.emplace_back([&, t] { RunChunk(g, table, accRow, chunks[static_cast<size_t>(t)]); });
                } catch (const std::system_error&) {
                    // No thread to be had: the caller does the rest itself.
                    for (int rest = t; rest < used; ++rest)
                        RunChunk(g, table, accRow, chunks[static_cast<size_t>(rest)]);
                    break;
                }
            }
            RunChunk(g, table, accRow, chunks[0]);
            for (std::thread& w : workers)
                w.join();
            const Chunk& lastChunk = chunks[static_cast<size_t>(used - 1)];
            std::copy(lastChunk.spill, lastChunk.spill + accRow * 8, carry.begin());

            // Only the calling thread writes the image, one reported row at a time.
            for (int t = 0; t < used; ++t) {
                const Chunk& c = chunks[static_cast<size_t>(t)];
                for (int y = c.first; y < c.last; ++y) {
                    std::memcpy(g.data + static_cast<size_t>(y) * g.cols * 64,
                                c.out + static_cast<size_t>(y - c.first) * g.cols * 64,
                                static_cast<size_t>(g.cols) * 64 * sizeof(short));
                    ++rowsDone;
                    if (progress && progress(static_cast<int>(static_cast<long long>(rowsDone) * 100 / totalRows)) == 0)
                        return 0;
                }
            }
        }
    }
    return 1;
}
