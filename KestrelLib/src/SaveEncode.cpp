// The two ways of writing a JPEG: the lossless transcode of the coefficient
// image and the re-encode of a caller's bitmap.
//
// Invariants the transcode relies on:
// - The coefficient image is laid out as Load.cpp describes, for the current
//   geometry (width, height, the decoder's sampling factors after any quarter
//   turn); its count is checked against that layout before anything is written.
// - Stored values are dequantised and, after pixel edits, need not be
//   multiples of their steps: each is rounded to the compressor's table here.
// - libjpeg 6.2 sizes a compressor from image_width/height and only sets its
//   max sampling factors inside jpeg_write_coefficients, so every block count
//   comes from our own ComponentGrid, never from the compressor.
// - The requantised blocks go into one buffer of the coefficient image's
//   layout that the compressor reads in place through our own block arrays
//   (JpegCodec.h), not into whole-image arrays of libjpeg's.
// - Only coded blocks are stored; libjpeg's transcoder makes its own dummy
//   blocks for partial MCUs and never reads the rest of the arrays.
// - Optimised Huffman tables: libjpeg's own statistics pass reads every
//   block once more, so the symbol counts are gathered here while requantising
//   instead, in the order libjpeg's transcoder codes the blocks (its single
//   interleaved scan, with its dummy blocks at partial MCUs), and turned into
//   tables by libjpeg's own jpeg_gen_optimal_table. The file is byte for byte
//   the one libjpeg's optimize_coding would write.
// - Functions that arm a jump context hold only trivially destructible locals.
#include "Save.h"

#include <cstring>

extern "C" {
#include <jerror.h>
// Exported by libjpeg (version node LIBJPEG_6.2) but declared only in its
// private headers.
void jpeg_gen_optimal_table(j_compress_ptr cinfo, JHUFF_TBL* htbl, long freq[]);
}

namespace {

// Exact division by a quantisation step through a multiply: for numerators
// below 2^17 and steps below 2^16, (n * ceil(2^40 / step)) >> 40 == n / step.
struct StepDivider {
    uint64_t mul[DCTSIZE2];
    int32_t half[DCTSIZE2];
};

bool InitDivider(const JQUANT_TBL* table, StepDivider* d)
{
    if (!table)
        return false;
    for (int i = 0; i < DCTSIZE2; ++i) {
        const uint64_t q = table->quantval[i];
        if (q == 0)
            return false;
        d->mul[i] = ((uint64_t{1} << 40) + q - 1) / q;
        d->half[i] = static_cast<int32_t>(q / 2);
    }
    return true;
}

// Rounds a stored (dequantised) value to its step, half away from zero:
// (|x| + q/2) / q with x's sign. Wider than 16 bits, so values near the 16-bit
// limits keep their sign; exact for every 16-bit value.
inline JCOEF RequantizeFast(int value, uint64_t mul, int32_t half)
{
    const int32_t sign = value >> 31; // 0 or -1
    const uint32_t magnitude = static_cast<uint32_t>((value ^ sign) - sign);
    const int32_t q = static_cast<int32_t>(((magnitude + static_cast<uint32_t>(half)) * mul) >> 40);
    return static_cast<JCOEF>((q ^ sign) - sign);
}

// Zig-zag position of each natural-order coefficient, and the reverse.
constexpr uint8_t kZigzagOfNatural[DCTSIZE2] = {
    0,  1,  5,  6,  14, 15, 27, 28, 2,  4,  7,  13, 16, 26, 29, 42, 3,  8,  12, 17, 25, 30,
    41, 43, 9,  11, 18, 24, 31, 40, 44, 53, 10, 19, 23, 32, 39, 45, 52, 54, 20, 22, 33, 38,
    46, 51, 55, 60, 21, 34, 37, 47, 50, 56, 59, 61, 35, 36, 48, 49, 57, 58, 62, 63};
constexpr uint8_t kNaturalOfZigzag[DCTSIZE2] = {
    0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,  12, 19, 26, 33, 40, 48,
    41, 34, 27, 20, 13, 6,  7,  14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23,
    30, 37, 44, 51, 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};

inline int BitCount(int value)
{
    const unsigned magnitude = static_cast<unsigned>(value < 0 ? -value : value);
    return magnitude ? 32 - __builtin_clz(magnitude) : 0;
}

// Huffman symbol counts of one compressor, per table slot (257 entries each,
// as jpeg_gen_optimal_table wants them).
struct HuffmanCounts {
    long dc[NUM_HUFF_TBLS][257];
    long ac[NUM_HUFF_TBLS][257];
};

// Requantises `blocks` blocks into `out`. With `ac` set, also counts the AC
// symbols each block will be coded with; false when a value is too large
// for baseline coding.
bool RequantizeBlocks(const short* in, JBLOCKROW out, int blocks, const StepDivider& d, long* ac)
{
    for (int b = 0; b < blocks; ++b) {
        JCOEF* o = out[b];
        uint64_t nonzero = 0;
        // Most rows of 8 values are all zero, and stay so.
        for (int r = 0; r < DCTSIZE; ++r) {
            const short* src = in + r * DCTSIZE;
            JCOEF* dst = o + r * DCTSIZE;
            uint64_t lo, hi;
            std::memcpy(&lo, src, sizeof lo);
            std::memcpy(&hi, src + 4, sizeof hi);
            if ((lo | hi) == 0) {
                std::memset(dst, 0, DCTSIZE * sizeof(JCOEF));
                continue;
            }
            for (int u = 0; u < DCTSIZE; ++u) {
                const int i = r * DCTSIZE + u;
                const JCOEF v = src[u] ? RequantizeFast(src[u], d.mul[i], d.half[i]) : 0;
                dst[u] = v;
                nonzero |= static_cast<uint64_t>(v != 0) << kZigzagOfNatural[i];
            }
        }
        in += DCTSIZE2;
        if (!ac)
            continue;
        nonzero &= ~uint64_t{1};
        int previous = 0;
        while (nonzero) {
            const int k = __builtin_ctzll(nonzero);
            nonzero &= nonzero - 1;
            int run = k - previous - 1;
            const int bits = BitCount(o[kNaturalOfZigzag[k]]);
            if (bits > 10)
                return false;
            for (; run > 15; run -= 16)
                ++ac[0xF0];
            ++ac[(run << 4) + bits];
            previous = k;
        }
        if (previous != DCTSIZE2 - 1)
            ++ac[0]; // end of block
    }
    return true;
}

// Counts the DC symbols of one group of v block rows (`rows`, starting at
// block row r0) in the order the scan codes them: MCU by MCU, h x v blocks
// each, or plain raster order when the component is alone in the scan.
// Dummy blocks code a zero difference and are counted by the caller.
bool CountDcGroup(JBLOCKARRAY rows, int r0, const ComponentGrid& g, bool alone, int* lastDc, long* dc)
{
    const int rowsInGroup = g.codedBlockRows - r0 < g.v ? g.codedBlockRows - r0 : g.v;
    auto count = [&](const JCOEF* block) {
        const int bits = BitCount(block[0] - *lastDc);
        ++dc[bits];
        *lastDc = block[0];
        return bits <= 11;
    };
    bool ok = true;
    if (alone) {
        for (int y = 0; y < rowsInGroup; ++y)
            for (int col = 0; col < g.codedBlocksPerRow; ++col)
                ok &= count(rows[y][col]);
        return ok;
    }
    for (int first = 0; first < g.codedBlocksPerRow; first += g.h) {
        const int end = first + g.h < g.codedBlocksPerRow ? first + g.h : g.codedBlocksPerRow;
        for (int y = 0; y < rowsInGroup; ++y)
            for (int col = first; col < end; ++col)
                ok &= count(rows[y][col]);
    }
    return ok;
}

} // namespace

bool WantJfifHeader(const CDllImage& image, const SaveOptions& options, J_COLOR_SPACE jpegColorSpace)
{
    if (jpegColorSpace != JCS_GRAYSCALE && jpegColorSpace != JCS_YCbCr)
        return false;
    if (image.m_exif.m_hasJfif)
        return false;
    return !(options.SaveEXIF && image.m_exif.m_hasExif);
}

// Writes the saved markers; false when the marker writer could not run.
static bool WriteSavedMarkers(CDllImage& image, const SaveOptions& options, j_compress_ptr cinfo,
                              const uint8_t* thumb, int thumbLength)
{
    try {
        image.m_exif.WriteMarkers(image.m_markers, cinfo, options.SaveComments, options.SaveEXIF,
                                  options.GenerateEXIFThumb, thumb, thumb ? thumbLength : 0);
        return true;
    } catch (...) {
        return false;
    }
}

bool TranscodeImage(CDllImage& image, const SaveOptions& options, FILE* file, jpeg_destination_mgr* dest,
                    const uint8_t* thumb, int thumbLength, bool libjpegStatistics)
{
    if (!image.m_coef || !image.m_decoderOpen || (!file && !dest) || image.m_width <= 0 || image.m_height <= 0)
        return false;
    const int components = image.m_decoder.num_components;
    if (components < 1 || components > MAX_COMPONENTS)
        return false;

    ComponentGrid grids[MAX_COMPONENTS];
    StepDivider dividers[MAX_COMPONENTS];
    size_t total = 0;
    for (int c = 0; c < components; ++c) {
        if (!image.GetComponentGrid(c, &grids[c]))
            return false;
        const int slot = image.m_decoder.comp_info[c].quant_tbl_no;
        if (slot < 0 || slot >= NUM_QUANT_TBLS || !InitDivider(image.m_decoder.quant_tbl_ptrs[slot], &dividers[c]))
            return false;
        total += grids[c].count();
    }
    if (total != static_cast<size_t>(image.m_coefCount))
        return false;

    const bool optimize = (options.OptHuffmanTable & 0xFF) != 0;
    const bool ownCounts = optimize && !libjpegStatistics;
    HuffmanCounts counts;
    std::memset(&counts, 0, sizeof counts);

    // The requantised blocks go into one buffer of the coefficient image's
    // layout (not libjpeg's own arrays), which the compressor reads in place.
    JCOEF* const blocks = CDllImage::AllocCoefficients(total);
    if (!blocks)
        return false;

    jpeg_compress_struct cinfo;
    jvirt_barray_ptr arrays[MAX_COMPONENTS] = {};
    std::memset(static_cast<void*>(&cinfo), 0, sizeof cinfo);
    cinfo.err = InitErrorMgr(&image.m_err);
    if (setjmp(image.m_err.jump)) {
        jpeg_destroy_compress(&cinfo);
        CDllImage::FreeCoefficients(blocks);
        return false;
    }
    jpeg_create_compress(&cinfo);
    jpeg_copy_critical_parameters(&image.m_decoder, &cinfo);
    cinfo.image_width = static_cast<JDIMENSION>(image.m_width);
    cinfo.image_height = static_cast<JDIMENSION>(image.m_height);
    cinfo.optimize_coding = optimize && !ownCounts ? TRUE : FALSE;
    cinfo.write_JFIF_header = WantJfifHeader(image, options, cinfo.jpeg_color_space) ? TRUE : FALSE;
    for (int c = 0; c < components; ++c)
        if (cinfo.comp_info[c].dc_tbl_no < 0 || cinfo.comp_info[c].dc_tbl_no >= NUM_HUFF_TBLS
            || cinfo.comp_info[c].ac_tbl_no < 0 || cinfo.comp_info[c].ac_tbl_no >= NUM_HUFF_TBLS)
            RaiseCompressError(&cinfo, JERR_BAD_DCT_COEF);
    if (dest)
        cinfo.dest = dest;
    else
        jpeg_stdio_dest(&cinfo, file);

    cinfo.mem->access_virt_barray = AccessBlockArray;
    for (int c = 0; c < components; ++c)
        arrays[c] = MakeBlockArray(reinterpret_cast<j_common_ptr>(&cinfo), blocks + grids[c].offset,
                                   static_cast<size_t>(grids[c].blocksPerRow),
                                   static_cast<JDIMENSION>(grids[c].blockRows));

    jpeg_write_coefficients(&cinfo, arrays);
    if (!WriteSavedMarkers(image, options, &cinfo, thumb, thumbLength)) {
        jpeg_destroy_compress(&cinfo);
        CDllImage::FreeCoefficients(blocks);
        return false;
    }

    // Arrays are filled in order of block rows, which libjpeg's access
    // bookkeeping requires of a writer.
    for (int c = 0; c < components; ++c) {
        const ComponentGrid& g = grids[c];
        const int coded = g.codedBlocksPerRow < g.blocksPerRow ? g.codedBlocksPerRow : g.blocksPerRow;
        long* ac = ownCounts ? counts.ac[cinfo.comp_info[c].ac_tbl_no] : nullptr;
        long* dc = counts.dc[cinfo.comp_info[c].dc_tbl_no];
        int lastDc = 0;
        for (int r0 = 0; r0 < g.blockRows; r0 += g.v) {
            JBLOCKARRAY rows = (*cinfo.mem->access_virt_barray)(reinterpret_cast<j_common_ptr>(&cinfo), arrays[c],
                                                                 static_cast<JDIMENSION>(r0),
                                                                 static_cast<JDIMENSION>(g.v), TRUE);
            for (int dr = 0; dr < g.v; ++dr) {
                const short* in = image.m_coef + g.offset + static_cast<size_t>(r0 + dr) * g.blocksPerRow * DCTSIZE2;
                // Rows past the coded height are never coded: no counts.
                if (!RequantizeBlocks(in, rows[dr], coded, dividers[c], r0 + dr < g.codedBlockRows ? ac : nullptr))
                    RaiseCompressError(&cinfo, JERR_BAD_DCT_COEF);
            }
            if (ownCounts && !CountDcGroup(rows, r0, g, components == 1, &lastDc, dc))
                RaiseCompressError(&cinfo, JERR_BAD_DCT_COEF);
        }
        if (ownCounts && components > 1) {
            // Dummy blocks of partial MCUs: a zero DC difference and an end of block.
            const long dummies = static_cast<long>(g.blocksPerRow) * g.blockRows
                - static_cast<long>(coded) * g.codedBlockRows;
            dc[0] += dummies;
            ac[0] += dummies;
        }
    }

    if (ownCounts) {
        bool doneDc[NUM_HUFF_TBLS] = {};
        bool doneAc[NUM_HUFF_TBLS] = {};
        for (int c = 0; c < components; ++c) {
            const int dcSlot = cinfo.comp_info[c].dc_tbl_no;
            const int acSlot = cinfo.comp_info[c].ac_tbl_no;
            if (!doneDc[dcSlot]) {
                if (!cinfo.dc_huff_tbl_ptrs[dcSlot])
                    cinfo.dc_huff_tbl_ptrs[dcSlot] = jpeg_alloc_huff_table(reinterpret_cast<j_common_ptr>(&cinfo));
                jpeg_gen_optimal_table(&cinfo, cinfo.dc_huff_tbl_ptrs[dcSlot], counts.dc[dcSlot]);
                doneDc[dcSlot] = true;
            }
            if (!doneAc[acSlot]) {
                if (!cinfo.ac_huff_tbl_ptrs[acSlot])
                    cinfo.ac_huff_tbl_ptrs[acSlot] = jpeg_alloc_huff_table(reinterpret_cast<j_common_ptr>(&cinfo));
                jpeg_gen_optimal_table(&cinfo, cinfo.ac_huff_tbl_ptrs[acSlot], counts.ac[acSlot]);
                doneAc[acSlot] = true;
            }
        }
    }

    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    CDllImage::FreeCoefficients(blocks);
    return true;
}

bool ReencodeImage(CDllImage& image, const SaveOptions& options, FILE* file, const uint8_t* thumb,
                   int thumbLength)
{
    if (!options.Bitmap || !file || !image.m_decoderOpen || image.m_width <= 0 || image.m_height <= 0)
        return false;
    const int width = image.m_width;
    const int height = image.m_height;
    const int quality = options.Quality < 1 ? 1 : (options.Quality > 100 ? 100 : options.Quality);
    const J_COLOR_SPACE colorSpace = image.m_decoder.jpeg_color_space;
    const bool subsample = options.ColorSampling != 0 && image.m_decoder.num_components > 1;

    jpeg_compress_struct cinfo;
    KsErrorMgr err;
    std::memset(static_cast<void*>(&cinfo), 0, sizeof cinfo);
    cinfo.err = InitErrorMgr(&err);
    if (setjmp(err.jump)) {
        jpeg_destroy_compress(&cinfo);
        return false;
    }
    jpeg_create_compress(&cinfo);
    cinfo.image_width = static_cast<JDIMENSION>(width);
    cinfo.image_height = static_cast<JDIMENSION>(height);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_colorspace(&cinfo, colorSpace);
    cinfo.optimize_coding = (options.OptHuffmanTable & 0xFF) ? TRUE : FALSE;
    cinfo.write_JFIF_header = WantJfifHeader(image, options, colorSpace) ? TRUE : FALSE;
    // The scaling of jpeg_set_quality is the standard one: 5000 / q below 50,
    // else 200 - 2q, baseline-limited.
    jpeg_set_quality(&cinfo, quality, TRUE);
    if (image.m_decoder.num_components > 1) {
        for (int c = 0; c < cinfo.num_components; ++c) {
            const int f = c == 0 && subsample ? 2 : 1;
            cinfo.comp_info[c].h_samp_factor = f;
            cinfo.comp_info[c].v_samp_factor = f;
        }
    }
    jpeg_stdio_dest(&cinfo, file);
    JSAMPARRAY row = (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE,
                                                static_cast<JDIMENSION>(width) * 3, 1);
    jpeg_start_compress(&cinfo, TRUE);
    if (!WriteSavedMarkers(image, options, &cinfo, thumb, thumbLength)) {
        jpeg_destroy_compress(&cinfo);
        return false;
    }

    const ptrdiff_t stride = options.BitmapStride;
    for (int y = 0; y < height; ++y) {
        const BYTE* in = options.Bitmap + static_cast<ptrdiff_t>(y) * stride;
        JSAMPLE* out = row[0];
        for (int x = 0; x < width; ++x) {
            out[0] = in[2];
            out[1] = in[1];
            out[2] = in[0];
            in += 3;
            out += 3;
        }
        jpeg_write_scanlines(&cinfo, row, 1);
    }

    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return true;
}
