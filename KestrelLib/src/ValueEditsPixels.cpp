// Value edits that go through the block transforms: taking a caller's edited
// pixels back into exactly the blocks whose pixels changed, and the
// reconstruct run.
//
// Invariants: both edits need an image the block transforms handle (1 to 4
// components, every sampling factor 1 or 2, colour space 1 to 5, a table for
// every component) whose header block counts describe the array that is
// held (the layout of Load.cpp and DCT.h agree); anything else is refused
// before a byte goes to the undo store, so no buffer is read or written
// outside its bounds. New coefficients are the forward transform's output,
// not rounded to the quantisation steps; saving quantises them.
#include "DllImage.h"
#include "DCT.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

namespace {

// True when the block transforms can work on the image and the header's
// block counts, rounded up to whole MCUs, are the grids of the held array.
bool TransformableImage(const CDllImage* img)
{
    if (!img->m_coef || !img->m_decoderOpen || img->LayoutCount() != img->m_coefCount)
        return false;
    const jpeg_decompress_struct& d = img->m_decoder;
    if (d.jpeg_color_space < JCS_GRAYSCALE || d.jpeg_color_space > JCS_YCCK || !ConvertibleGeometry(&d))
        return false;
    for (int k = 0; k < d.num_components; ++k) {
        const jpeg_component_info& c = d.comp_info[k];
        ComponentGrid g;
        if (!img->GetComponentGrid(k, &g))
            return false;
        const long long cols = (static_cast<long long>(c.width_in_blocks) + c.h_samp_factor - 1) / c.h_samp_factor
            * c.h_samp_factor;
        const long long rows = (static_cast<long long>(c.height_in_blocks) + c.v_samp_factor - 1) / c.v_samp_factor
            * c.v_samp_factor;
        if (cols != g.blocksPerRow || rows != g.blockRows)
            return false;
        const int slot = c.quant_tbl_no;
        if (slot < 0 || slot >= NUM_QUANT_TBLS || !d.quant_tbl_ptrs[slot])
            return false;
    }
    return true;
}

// ---------------------------------------------------------------------------
// Applying bitmap changes. Store stream: for every re-encoded block, in
// processing order, a header of three 32-bit integers (component, block
// column, block row) and the block's 64 coefficients before re-encoding.
class CDllActionApplyBitmapChanges final : public CDllAction {
public:
    CDllActionApplyBitmapChanges(BYTE** rowPointer, int rowStride, int reencodeAll, BitmapChangeStats* stats)
        : m_rowPointer(rowPointer), m_rowStride(rowStride), m_stats(stats), m_reencodeAll(reencodeAll)
    {
    }
    int Execute() override;
    void Revert() override;

private:
    struct BlockHeader {
        int32_t component, column, row;
    };

    // Saves the block before it is overwritten; after the first failed
    // write nothing more is saved, so the stream stays whole pairs.
    void SaveBlock(int component, int column, int row, const short* block);

    BYTE** m_rowPointer;
    int32_t m_rowStride;
    BitmapChangeStats* m_stats;
    int32_t m_savedBlocks = 0;
    int32_t m_reencodeAll;
    bool m_storeFailed = false;
};

void CDllActionApplyBitmapChanges::SaveBlock(int component, int column, int row, const short* block)
{
    if (!m_store || m_storeFailed)
        return;
    const BlockHeader header{component, column, row};
    if (m_store->Write(&header, sizeof header) && m_store->Write(block, 64 * sizeof(short)))
        ++m_savedBlocks;
    else
        m_storeFailed = true;
}

int CDllActionApplyBitmapChanges::Execute()
{
    m_savedBlocks = 0;
    CDllImage* img = m_image;
    if (!TransformableImage(img))
        return 0;
    const jpeg_decompress_struct& d = img->m_decoder;
    // The converters read and write pixels only for the component count
    // their colour space has; any other count would re-encode stale samples.
    const int needed = d.jpeg_color_space == JCS_GRAYSCALE ? 1
        : d.jpeg_color_space == JCS_RGB || d.jpeg_color_space == JCS_YCbCr ? 3
                                                                           : 4;
    if (d.num_components != needed)
        return 0;
    int hmax, vmax;
    MaxSamplingFactors(const_cast<j_decompress_ptr>(&d), &hmax, &vmax);
    const int mcuW = 8 * hmax, mcuH = 8 * vmax;
    const int width = img->m_width, height = img->m_height;
    const int mcusPerRow = img->McusPerRow(), mcuRows = img->McuRows();
    const int n = d.num_components;

    BitmapChangeStats stats{};
    stats.ImageMcus = mcusPerRow * mcuRows;
    for (int k = 0; k < n; ++k) {
        const int bw = mcuW / d.comp_info[k].h_samp_factor, bh = mcuH / d.comp_info[k].v_samp_factor;
        stats.ImageBlocks += ((width + bw - 1) / bw) * ((height + bh - 1) / bh);
    }

    const BYTE* first = m_rowPointer ? *m_rowPointer : nullptr;
    if (first) {
        ComponentGrid grids[kMaxMcuComponents];
        for (int k = 0; k < n; ++k)
            img->GetComponentGrid(k, &grids[k]);
        const int stripWidth = mcusPerRow * mcuW;
        const ptrdiff_t stripStride = static_cast<ptrdiff_t>(stripWidth) * 3;
        const int cellsPerRow = mcusPerRow * hmax;
        std::vector<uint8_t> strip, changed;
        try {
            strip.resize(static_cast<size_t>(stripStride) * mcuH);
            changed.resize(static_cast<size_t>(cellsPerRow) * vmax);
        } catch (const std::bad_alloc&) {
            return 0;
        }
        CDCT dct(&d);
        const size_t rowBytes = static_cast<size_t>(width) * 3;
        const auto callerRow = [&](int y) { return first + static_cast<ptrdiff_t>(y) * m_rowStride; };

        for (int u = 0; u < mcuRows; ++u) {
            if (!dct.DecodeToBitmap(img->m_coef, static_cast<size_t>(img->m_coefCount), strip.data(), stripStride,
                                    u * mcuH, stripWidth, mcuH))
                return 0; // ruled out above; nothing has changed yet in this row
            const int rowsInImage = std::min(mcuH, height - u * mcuH);
            if (!m_reencodeAll) {
                std::fill(changed.begin(), changed.end(), 0);
                for (int r = 0; r < rowsInImage; ++r) {
                    const uint8_t* ours = strip.data() + static_cast<ptrdiff_t>(r) * stripStride;
                    const BYTE* theirs = callerRow(u * mcuH + r);
                    uint8_t* cells = changed.data() + static_cast<size_t>(r / 8) * cellsPerRow;
                    for (size_t at = 0; at < rowBytes; at += 24) {
                        const size_t cell = at / 24;
                        if (!cells[cell] && std::memcmp(ours + at, theirs + at, std::min<size_t>(24, rowBytes - at)))
                            cells[cell] = 1;
                    }
                }
            }
            const auto anyCell = [&](int row0, int rows, int col0, int cols) {
                if (m_reencodeAll)
                    return true;
                for (int r = row0; r < row0 + rows; ++r)
                    for (int c = col0; c < col0 + cols; ++c)
                        if (changed[static_cast<size_t>(r) * cellsPerRow + c])
                            return true;
                return false;
            };

            for (int m = 0; m < mcusPerRow; ++m) {
                if (!anyCell(0, vmax, m * hmax, hmax))
                    continue;
                ++stats.ChangedMcus;
                uint8_t* mcu = strip.data() + static_cast<ptrdiff_t>(m) * mcuW * 3;
                const int colsInImage = std::min(mcuW, width - m * mcuW);
                for (int r = 0; r < rowsInImage; ++r)
                    std::memcpy(mcu + static_cast<ptrdiff_t>(r) * stripStride,
                                callerRow(u * mcuH + r) + static_cast<ptrdiff_t>(m) * mcuW * 3,
                                static_cast<size_t>(colsInImage) * 3);
                dct.LoadMcuFromBitmap(mcu, stripStride);

                for (int k = 0; k < n; ++k) {
                    const ComponentGrid& g = grids[k];
                    const int cellH = vmax / g.v, cellW = hmax / g.h; // cells one block covers
                    for (int a = 0; a < g.v; ++a)
                        for (int b = 0; b < g.h; ++b) {
                            if (!anyCell(a * cellH, cellH, m * hmax + b * cellW, cellW))
                                continue;
                            ++stats.ChangedBlocks;
                            const int column = m * g.h + b, row = u * g.v + a;
                            short* block = img->m_coef + g.offset
                                + (static_cast<size_t>(row) * g.blocksPerRow + column) * 64;
                            SaveBlock(k, column, row, block);
                            dct.ForwardDct(k, b, a, block);
                        }
                }
            }
        }
    }
    if (m_stats)
        *m_stats = stats;
    return 1;
}

void CDllActionApplyBitmapChanges::Revert()
{
    CDllImage* img = m_image;
    if (!img->m_coef || img->LayoutCount() != img->m_coefCount)
        return;
    for (int i = 0; i < m_savedBlocks; ++i) {
        BlockHeader header;
        short block[64];
        if (!m_store->Read(&header, sizeof header) || !m_store->Read(block, sizeof block))
            return;
        ComponentGrid g;
        if (!img->GetComponentGrid(header.component, &g) || header.column < 0 || header.column >= g.blocksPerRow
            || header.row < 0 || header.row >= g.blockRows)
            return;
        std::memcpy(img->m_coef + g.offset + (static_cast<size_t>(header.row) * g.blocksPerRow + header.column) * 64,
                    block, sizeof block);
    }
}

// ---------------------------------------------------------------------------
// Reconstruct: up to `passes` reconstruct passes. Store stream: the whole
// image (CDllAction::SaveWholeImage) before the first pass. A cancel keeps
// what was done and still succeeds, so the run is undone as a whole.
class CDllActionReconstruct final : public CDllAction {
public:
    CDllActionReconstruct(int passes, ReconstructProgressCallback callback) : m_passes(passes), m_callback(callback)
    {
    }
    int Execute() override;
    void Revert() override { RestoreWholeImage(); }

private:
    int32_t m_passes;
    ReconstructProgressCallback m_callback;
};

int CDllActionReconstruct::Execute()
{
    CDllImage* img = m_image;
    if (!TransformableImage(img))
        return 0;
    SaveWholeImage();
    CDCT dct(&img->m_decoder);
    for (int pass = 0; pass < m_passes; ++pass)
        if (!dct.ReconstructPass(img->m_coef, static_cast<size_t>(img->m_coefCount), m_callback))
            break;
    return 1;
}

} // namespace

int CDllImage::ApplyBitmapChanges(BYTE** rowPointer, int rowStride, int reencodeAll, BitmapChangeStats* stats)
{
    return m_undo.Do(new (std::nothrow) CDllActionApplyBitmapChanges(rowPointer, rowStride, reencodeAll, stats));
}

int CDllImage::Reconstruct(int passes, ReconstructProgressCallback callback)
{
    return m_undo.Do(new (std::nothrow) CDllActionReconstruct(passes, callback));
}
