// Loading a JPEG into the coefficient image.
//
// Layout of the coefficient image: components one after another in JPEG
// order; component c (factors h x v) is a grid of (v x MCU rows) block rows of
// (h x MCUs per row) blocks, in plain raster order over the grid padded to
// whole MCUs; 64 values per block in natural order, each the quantised value
// times its quantisation step, saturated to -32767..32767 so that negating a
// value (flips and turns) is its own inverse; padding blocks are zero.
//
// The header is read by the object's own decoder, which stays open after a
// full load and supplies sampling factors, quantisation tables and colour
// space to the other operations. The blocks come from a second, complete
// decode on a decoder of its own, which decodes them straight into the
// coefficient image (see InPlaceArrays).
#include "DllImage.h"

#include "platform/FileOps.h"

#include <cstdint>
#include <cstring>
#include <new>
#include <thread>

#include <sys/mman.h>
#include <unistd.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// libjpeg's block arrays for the second decode, placed straight into the
// coefficient image: the decoder's request/realize/access methods for virtual
// block arrays are replaced, so the blocks decode in place (quantised) and are
// dequantised afterwards. libjpeg then allocates no whole-image arrays of its
// own and nothing is copied. A sequential file writes each block row once, in
// order, so its rows are dequantised while still in cache: when the decoder
// asks for a component's next rows, the ones before them are finished.
struct InPlaceArrays {
    short* coef;
    ComponentGrid grids[MAX_COMPONENTS];
    jvirt_barray_ptr arrays[MAX_COMPONENTS];
    int finished[MAX_COMPONENTS]; // block rows of the component dequantised so far
    int numComponents;
    int requested;
    bool early;  // dequantise during the decode (sequential files)
    bool redo;   // a finished row was asked for again: decode anew without `early`
};

// The decoder asks for one array per component, in component order.
jvirt_barray_ptr RequestInPlace(j_common_ptr cinfo, int, boolean, JDIMENSION blocksPerRow, JDIMENSION numRows,
                                JDIMENSION)
{
    auto* ctx = static_cast<InPlaceArrays*>(cinfo->client_data);
    const int c = ctx->requested;
    // Its arrays (rounded up to whole MCUs of the component) must fit the padded grid.
    if (c >= ctx->numComponents || blocksPerRow > static_cast<JDIMENSION>(ctx->grids[c].blocksPerRow)
        || numRows > static_cast<JDIMENSION>(ctx->grids[c].blockRows)) {
        cinfo->err->msg_code = JERR_BAD_VIRTUAL_ACCESS;
        cinfo->err->error_exit(cinfo);
    }
    ++ctx->requested;
    const ComponentGrid& g = ctx->grids[c];
    ctx->arrays[c] = MakeBlockArray(cinfo, ctx->coef + g.offset, static_cast<size_t>(g.blocksPerRow), numRows);
    return ctx->arrays[c];
}

void RealizeInPlace(j_common_ptr) {}

// Dequantises one block in place; saturates to the symmetric 16-bit range
// (only crafted files reach it: the DCT of 8-bit samples stays near +-2,100).
// Written to vectorise.
inline void DequantiseBlock(short* block, const UINT16* q)
{
    for (int i = 0; i < DCTSIZE2; ++i) {
        int v = static_cast<int>(block[i]) * static_cast<int>(q[i]);
        v = v < -32767 ? -32767 : v;
        v = v > 32767 ? 32767 : v;
        block[i] = static_cast<short>(v);
    }
}

#if defined(__SSE2__)
// The same for steps up to 32767 (every 8-bit table), in 16-bit lanes: the
// low and high halves of each product make it whole in 32 bits, the signed
// pack saturates to -32768..32767, the max lifts -32768 to -32767.
inline void DequantiseBlockSse2(short* block, const UINT16* q)
{
    const __m128i floor = _mm_set1_epi16(-32767);
    for (int i = 0; i < DCTSIZE2; i += 8) {
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + i));
        const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(q + i));
        const __m128i lo = _mm_mullo_epi16(b, s);
        const __m128i hi = _mm_mulhi_epi16(b, s);
        const __m128i v = _mm_packs_epi32(_mm_unpacklo_epi16(lo, hi), _mm_unpackhi_epi16(lo, hi));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(block + i), _mm_max_epi16(v, floor));
    }
}
#endif

// Dequantises block rows [from, to) of a component and zeroes the padding
// blocks, into which the decoder may have written dummy blocks at edge MCUs.
void FinishRows(short* coef, const ComponentGrid& grid, const UINT16* q, int from, int to)
{
    const int cols = grid.codedBlocksPerRow < grid.blocksPerRow ? grid.codedBlocksPerRow : grid.blocksPerRow;
#if defined(__SSE2__)
    bool small = true;
    for (int i = 0; i < DCTSIZE2; ++i)
        small = small && q[i] <= 32767;
#endif
    for (int r = from; r < to; ++r) {
        short* row = coef + grid.offset + static_cast<size_t>(r) * grid.blocksPerRow * DCTSIZE2;
        const int coded = r < grid.codedBlockRows ? cols : 0;
#if defined(__SSE2__)
        if (small) {
            for (int k = 0; k < coded; ++k)
                DequantiseBlockSse2(row + static_cast<size_t>(k) * DCTSIZE2, q);
        } else
#endif
            for (int k = 0; k < coded; ++k)
                DequantiseBlock(row + static_cast<size_t>(k) * DCTSIZE2, q);
        std::memset(row + static_cast<size_t>(coded) * DCTSIZE2, 0,
                    static_cast<size_t>(grid.blocksPerRow - coded) * DCTSIZE2 * sizeof(short));
    }
}

// AccessBlockArray that first finishes the rows of the component above the
// ones asked for (see InPlaceArrays).
JBLOCKARRAY AccessFinishingRows(j_common_ptr common, jvirt_barray_ptr array, JDIMENSION startRow, JDIMENSION numRows,
                                boolean writable)
{
    JBLOCKARRAY rows = AccessBlockArray(common, array, startRow, numRows, writable);
    auto* cinfo = reinterpret_cast<j_decompress_ptr>(common);
    auto* ctx = static_cast<InPlaceArrays*>(cinfo->client_data);
    if (!ctx->early)
        return rows;
    for (int c = 0; c < ctx->requested; ++c) {
        if (ctx->arrays[c] != array)
            continue;
        const JQUANT_TBL* table = cinfo->comp_info[c].quant_table;
        const int to = static_cast<int>(startRow) < ctx->grids[c].blockRows ? static_cast<int>(startRow)
                                                                              : ctx->grids[c].blockRows;
        // A finished row asked for again (a component in a second scan) may
        // get values added to it: only a decode without this is exact.
        if (!table || static_cast<int>(startRow) < ctx->finished[c]) {
            ctx->early = false;
            ctx->redo = true;
            break;
        }
        FinishRows(ctx->coef, ctx->grids[c], table->quantval, ctx->finished[c], to);
        ctx->finished[c] = to;
        break;
    }
    return rows;
}

// Faults a new coefficient array's pages in on a thread of its own while the
// decoder fills it, so the decoding thread seldom waits for the kernel. The
// prefault changes no data (a kernel without it just refuses).
class CPrefault {
public:
    CPrefault() = default;
    CPrefault(const CPrefault&) = delete;
    CPrefault& operator=(const CPrefault&) = delete;
    ~CPrefault() { Join(); }
    void Start(void* data, size_t bytes)
    {
#ifdef MADV_POPULATE_WRITE
        constexpr size_t kMinBytes = size_t{16} << 20;
        constexpr size_t kChunk = size_t{2} << 20;
        const auto page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
        const uintptr_t begin = (reinterpret_cast<uintptr_t>(data) + page - 1) / page * page;
        const uintptr_t end = (reinterpret_cast<uintptr_t>(data) + bytes) / page * page;
        if (bytes < kMinBytes || end <= begin)
            return;
        try {
            m_thread = std::thread([begin, end] {
                for (uintptr_t at = begin; at < end; at += kChunk)
                    if (madvise(reinterpret_cast<void*>(at), end - at < kChunk ? end - at : kChunk, MADV_POPULATE_WRITE) != 0)
                        return;
            });
        } catch (...) { // no thread: the decoder faults the pages itself
        }
#else
        (void)data;
        (void)bytes;
#endif
    }
    void Join()
    {
        if (m_thread.joinable())
            m_thread.join();
    }

private:
    std::thread m_thread;
};

// The header answers and file times of an empty object.
void ForgetImage(CDllImage& image)
{
    image.m_width = image.m_height = image.m_paddedWidth = image.m_paddedHeight = 0;
    image.m_mcuWidth = image.m_mcuHeight = image.m_numComponents = 0;
    image.m_colorSpace = JCS_UNKNOWN;
    image.m_times = FileTimes{};
    image.m_timesValid = false;
}

} // namespace

void CDllImage::DestroyDecoder()
{
    if (m_decoderOpen) {
        jpeg_destroy_decompress(&m_decoder);
        m_decoderOpen = false;
    }
    std::memset(static_cast<void*>(&m_decoder), 0, sizeof m_decoder);
}

void CDllImage::Close()
{
    m_undo.Clear();
    if (m_coef) {
        FreeCoefficients(m_coef);
        m_coef = nullptr;
        m_coefCount = 0;
        // An image closed, not a thumbnail's header read: its sizes are gone.
        ReleaseSpareCoefficients();
    }
    DestroyDecoder();
    m_markers.clear();
    m_path.clear();
}

int CDllImage::LoadFile(BSTR path, int headerOnly)
{
    try {
        // A missing path is a file that cannot be opened: the object ends empty.
        return Load(path ? path : u"", nullptr, 0, headerOnly);
    } catch (...) {
        Close();
        ForgetImage(*this);
        return 0;
    }
}

int CDllImage::LoadMemory(const BYTE* data, int size, int headerOnly)
{
    try {
        return Load(nullptr, data, size, headerOnly);
    } catch (...) {
        Close();
        ForgetImage(*this);
        return 0;
    }
}

int CDllImage::Load(const char16_t* path, const BYTE* data, int size, int headerOnly)
{
    Close();
    // The object is empty until the load succeeds.
    ForgetImage(*this);
    m_exif.Parse(m_markers);
    m_exif.SetPaths(u"", u"");
    m_exif.SetFileDate(SYSTEMTIME{});
    if (!path && (!data || size <= 0))
        return 0;

    FILE* file = nullptr;
    SYSTEMTIME fileDate{};
    if (path) {
        file = OpenFileW(path, "rb");
        if (!file)
            return 0;
        if (GetFileTime(fileno(file), &m_times)) {
            m_timesValid = true;
            // No birth time on this file system: leave the file date unset.
            if (IsZeroFileTime(m_times.creation) || !FileTimeToSystemTime(&m_times.creation, &fileDate))
                fileDate = SYSTEMTIME{};
        }
        std::rewind(file);
    }

    if (!ReadHeader(file, data, size)) {
        if (file)
            std::fclose(file);
        DestroyDecoder();
        m_markers.clear();
        ForgetImage(*this);
        return 0;
    }

    m_width = static_cast<int32_t>(m_decoder.image_width);
    m_height = static_cast<int32_t>(m_decoder.image_height);
    RefreshGeometry();

    // Only a full load allocates the array, so only it needs the count to
    // fit an int; a header-only load answers size and orientation of any
    // image libjpeg accepts.
    bool ok = true;
    if (!headerOnly)
        ok = LayoutCount() > 0 && ReadCoefficients(file, data, size);
    if (file)
        std::fclose(file);
    if (!ok) {
        DestroyDecoder();
        m_markers.clear();
        ForgetImage(*this);
        return 0;
    }

    m_exif.Parse(m_markers);
    const std::u16string p = path ? std::u16string(path) : std::u16string();
    m_exif.SetPaths(p, p);
    m_exif.SetFileDate(fileDate);

    if (headerOnly)
        DestroyDecoder();
    return 1;
}

// Reads the header and saved markers with the object's decoder. On failure the
// decoder may be left open; the caller destroys it.
bool CDllImage::ReadHeader(FILE* file, const BYTE* data, int size)
{
    KsMemorySource src;
    std::memset(static_cast<void*>(&m_decoder), 0, sizeof m_decoder);
    m_decoder.err = InitErrorMgr(&m_err);
    if (setjmp(m_err.jump))
        return false;
    m_decoderOpen = true;
    jpeg_create_decompress(&m_decoder);
    if (file)
        jpeg_stdio_src(&m_decoder, file);
    else
        AttachMemorySource(&m_decoder, &src, data, static_cast<size_t>(size));
    jpeg_save_markers(&m_decoder, JPEG_COM, 0xFFFF);
    for (int n = 0; n < 16; ++n)
        jpeg_save_markers(&m_decoder, JPEG_APP0 + n, 0xFFFF);
    jpeg_read_header(&m_decoder, TRUE);

    m_markers.clear();
    // Out of memory here must not unwind past the caller's open file.
    try {
        for (jpeg_saved_marker_ptr m = m_decoder.marker_list; m; m = m->next) {
            CSavedMarker saved;
            saved.code = m->marker;
            saved.data.assign(m->data, m->data + m->data_length);
            m_markers.push_back(std::move(saved));
        }
    } catch (...) {
        m_markers.clear();
        return false;
    }
    // The source lives on this stack (or reads a file about to be closed):
    // nothing may read through it after the header.
    m_decoder.src = nullptr;
    return true;
}

bool CDllImage::ReadCoefficients(FILE* file, const BYTE* data, int size, bool early)
{
    jpeg_decompress_struct cinfo;
    KsErrorMgr err;
    KsMemorySource src;
    short* volatile coef = nullptr;
    CPrefault prefault; // joined before the array is freed or handed out

    std::memset(static_cast<void*>(&cinfo), 0, sizeof cinfo);
    cinfo.err = InitErrorMgr(&err);
    if (setjmp(err.jump)) {
        prefault.Join();
        jpeg_destroy_decompress(&cinfo);
        FreeCoefficients(coef);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    if (file) {
        std::rewind(file);
        jpeg_stdio_src(&cinfo, file);
    } else {
        AttachMemorySource(&cinfo, &src, data, static_cast<size_t>(size));
    }
    jpeg_read_header(&cinfo, TRUE);

    // The same data must describe the same image as the header decoder.
    bool same = cinfo.image_width == m_decoder.image_width && cinfo.image_height == m_decoder.image_height
        && cinfo.num_components == m_decoder.num_components;
    for (int c = 0; same && c < cinfo.num_components; ++c)
        same = cinfo.comp_info[c].h_samp_factor == m_decoder.comp_info[c].h_samp_factor
            && cinfo.comp_info[c].v_samp_factor == m_decoder.comp_info[c].v_samp_factor;
    const long long count = LayoutCount();
    if (!same || count <= 0) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }

    coef = AllocCoefficients(static_cast<size_t>(count));
    if (!coef) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    prefault.Start(coef, static_cast<size_t>(count) * sizeof(short));
    InPlaceArrays ctx{};
    ctx.coef = coef;
    ctx.numComponents = cinfo.num_components;
    for (int c = 0; c < cinfo.num_components && c < MAX_COMPONENTS; ++c)
        GetComponentGrid(c, &ctx.grids[c]);
    ctx.early = early && !cinfo.progressive_mode;
    cinfo.client_data = &ctx;
    cinfo.mem->request_virt_barray = RequestInPlace;
    cinfo.mem->realize_virt_arrays = RealizeInPlace;
    cinfo.mem->access_virt_barray = AccessFinishingRows;
    jpeg_read_coefficients(&cinfo);
    prefault.Join();

    // Every component must have latched a table equal to the one the header
    // decoder holds for its slot, with no zero step; otherwise saving and the
    // value edits would work with the wrong or a missing table.
    for (int c = 0; c < cinfo.num_components; ++c) {
        const JQUANT_TBL* latched = cinfo.comp_info[c].quant_table;
        const int slot = m_decoder.comp_info[c].quant_tbl_no;
        const JQUANT_TBL* header = slot >= 0 && slot < NUM_QUANT_TBLS ? m_decoder.quant_tbl_ptrs[slot] : nullptr;
        bool good = latched && header;
        for (int i = 0; good && i < DCTSIZE2; ++i)
            good = latched->quantval[i] != 0 && latched->quantval[i] == header->quantval[i];
        if (!good) {
            jpeg_destroy_decompress(&cinfo);
            FreeCoefficients(coef);
            return false;
        }
    }

    if (ctx.redo) {
        jpeg_destroy_decompress(&cinfo);
        FreeCoefficients(coef);
        return ReadCoefficients(file, data, size, false);
    }
    // The rows not finished during the decode (all of them for a progressive file).
    for (int c = 0; c < cinfo.num_components; ++c)
        FinishRows(coef, ctx.grids[c], cinfo.comp_info[c].quant_table->quantval, ctx.finished[c],
                   ctx.grids[c].blockRows);

    jpeg_destroy_decompress(&cinfo);
    m_coef = coef;
    m_coefCount = static_cast<int>(count);
    return true;
}
