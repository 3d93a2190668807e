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
#include "RowThreads.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <new>
#include <thread>
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
// processing order (MCU rows top to bottom, MCUs left to right, components,
// blocks in raster order within the MCU), a header of three 32-bit integers
// (component, block column, block row) and the block's 64 coefficients
// before re-encoding.
//
// MCU rows are independent (each reads and writes only its own blocks), so
// bands of rows are split over threads; every thread keeps the old blocks of
// its rows, and the calling thread alone writes them to the store, row by
// row, so the stream is the same as one thread would write.
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
    // Laid out as the store stream: one row's blocks go in one write.
    struct SavedBlock {
        BlockHeader header;
        short values[64];
    };
    static_assert(sizeof(SavedBlock) == sizeof(BlockHeader) + 64 * sizeof(short));
    // The old blocks of one MCU row; `complete` false when memory ran out
    // before the row began (its blocks are then re-encoded unsaved).
    struct SavedRow {
        std::vector<SavedBlock> blocks;
        bool complete = true;
    };
    // What one thread works with.
    struct Worker {
        std::unique_ptr<CDCT> dct;
        std::vector<uint8_t> strip, changed;
        int32_t changedMcus = 0, changedBlocks = 0;
        bool failed = false;
    };

    // Re-encodes what changed in MCU row u; false when it could not render.
    bool ProcessRow(int u, Worker& w, SavedRow* saved);
    // Writes the old blocks of one row; after the first failed write
    // nothing more is saved, so the counted blocks are whole pairs.
    void SaveBlocks(const std::vector<SavedBlock>& blocks);

    BYTE** m_rowPointer;
    int32_t m_rowStride;
    BitmapChangeStats* m_stats;
    int32_t m_savedBlocks = 0;
    int32_t m_reencodeAll;
    bool m_storeFailed = false;
    // The geometry of one Execute.
    const BYTE* m_first = nullptr;
    ComponentGrid m_grids[kMaxMcuComponents];
    int m_components = 0, m_hmax = 1, m_vmax = 1, m_mcuW = 8, m_mcuH = 8;
    int m_width = 0, m_height = 0, m_mcusPerRow = 0, m_mcuRows = 0, m_blocksPerMcu = 0;
};

void CDllActionApplyBitmapChanges::SaveBlocks(const std::vector<SavedBlock>& blocks)
{
    if (!m_store || m_storeFailed || blocks.empty())
        return;
    if (m_store->Write(blocks.data(), static_cast<int>(blocks.size() * sizeof(SavedBlock))))
        m_savedBlocks += static_cast<int32_t>(blocks.size());
    else
        m_storeFailed = true;
}

bool CDllActionApplyBitmapChanges::ProcessRow(int u, Worker& w, SavedRow* saved)
{
    CDllImage* img = m_image;
    CDCT& dct = *w.dct;
    const int mcuW = m_mcuW, mcuH = m_mcuH, hmax = m_hmax, vmax = m_vmax;
    const int stripWidth = m_mcusPerRow * mcuW;
    const ptrdiff_t stripStride = static_cast<ptrdiff_t>(stripWidth) * 3;
    const int cellsPerRow = m_mcusPerRow * hmax;
    const size_t rowBytes = static_cast<size_t>(m_width) * 3;
    const auto callerRow = [&](int y) { return m_first + static_cast<ptrdiff_t>(y) * m_rowStride; };
    const int rowsInImage = std::min(mcuH, m_height - u * mcuH);
    // Re-encoding everything needs rendered pixels only for the padding of
    // partial edge MCUs; whole MCUs are taken from the caller's bitmap.
    const bool partialRow = rowsInImage < mcuH || m_width % mcuW != 0;
    if ((!m_reencodeAll || partialRow)
        && !dct.DecodeToBitmap(img->m_coef, static_cast<size_t>(img->m_coefCount), w.strip.data(), stripStride,
                               u * mcuH, stripWidth, mcuH))
        return false; // ruled out by the caller; nothing has changed yet in this row
    if (!m_reencodeAll) {
        std::fill(w.changed.begin(), w.changed.end(), 0);
        for (int r = 0; r < rowsInImage; ++r) {
            const uint8_t* ours = w.strip.data() + static_cast<ptrdiff_t>(r) * stripStride;
            const BYTE* theirs = callerRow(u * mcuH + r);
            uint8_t* cells = w.changed.data() + static_cast<size_t>(r / 8) * cellsPerRow;
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
                if (w.changed[static_cast<size_t>(r) * cellsPerRow + c])
                    return true;
        return false;
    };

    if (saved && saved->complete) {
        try {
            saved->blocks.reserve(static_cast<size_t>(m_blocksPerMcu) * m_mcusPerRow);
        } catch (const std::bad_alloc&) {
            saved->complete = false;
        }
    }
    for (int m = 0; m < m_mcusPerRow; ++m) {
        if (!anyCell(0, vmax, m * hmax, hmax))
            continue;
        ++w.changedMcus;
        const int colsInImage = std::min(mcuW, m_width - m * mcuW);
        const BYTE* theirs = callerRow(u * mcuH) + static_cast<ptrdiff_t>(m) * mcuW * 3;
        if (rowsInImage == mcuH && colsInImage == mcuW) {
            dct.LoadMcuFromBitmap(theirs, m_rowStride);
        } else {
            uint8_t* mcu = w.strip.data() + static_cast<ptrdiff_t>(m) * mcuW * 3;
            for (int r = 0; r < rowsInImage; ++r)
                std::memcpy(mcu + static_cast<ptrdiff_t>(r) * stripStride,
                            theirs + static_cast<ptrdiff_t>(r) * m_rowStride, static_cast<size_t>(colsInImage) * 3);
            dct.LoadMcuFromBitmap(mcu, stripStride);
        }

        for (int k = 0; k < m_components; ++k) {
            const ComponentGrid& g = m_grids[k];
            const int cellH = vmax / g.v, cellW = hmax / g.h; // cells one block covers
            for (int a = 0; a < g.v; ++a)
                for (int b = 0; b < g.h; ++b) {
                    if (!anyCell(a * cellH, cellH, m * hmax + b * cellW, cellW))
                        continue;
                    ++w.changedBlocks;
                    const int column = m * g.h + b, row = u * g.v + a;
                    short* block = img->m_coef + g.offset + (static_cast<size_t>(row) * g.blocksPerRow + column) * 64;
                    if (saved && saved->complete) { // room was reserved: no allocation here
                        SavedBlock& s = saved->blocks.emplace_back();
                        s.header = {k, column, row};
                        std::memcpy(s.values, block, sizeof s.values);
                    }
                    dct.ForwardDct(k, b, a, block);
                }
        }
    }
    return true;
}

int CDllActionApplyBitmapChanges::Execute()
{
    m_savedBlocks = 0;
    m_storeFailed = false;
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
    MaxSamplingFactors(const_cast<j_decompress_ptr>(&d), &m_hmax, &m_vmax);
    m_mcuW = 8 * m_hmax;
    m_mcuH = 8 * m_vmax;
    m_width = img->m_width;
    m_height = img->m_height;
    m_mcusPerRow = img->McusPerRow();
    m_mcuRows = img->McuRows();
    m_components = d.num_components;

    BitmapChangeStats stats{};
    stats.ImageMcus = m_mcusPerRow * m_mcuRows;
    m_blocksPerMcu = 0;
    for (int k = 0; k < m_components; ++k) {
        const int bw = m_mcuW / d.comp_info[k].h_samp_factor, bh = m_mcuH / d.comp_info[k].v_samp_factor;
        stats.ImageBlocks += ((m_width + bw - 1) / bw) * ((m_height + bh - 1) / bh);
        img->GetComponentGrid(k, &m_grids[k]);
        m_blocksPerMcu += m_grids[k].h * m_grids[k].v;
    }

    m_first = m_rowPointer ? *m_rowPointer : nullptr;
    if (m_first) {
        // Small images are not worth a thread.
        const int threads = RowPassThreads(m_mcuRows, m_width, m_height);
        std::vector<Worker> workers;
        try {
            workers.resize(static_cast<size_t>(threads));
            for (Worker& w : workers) {
                // Built here: the converters' shared tables are made on first use.
                w.dct.reset(new CDCT(&d));
                w.strip.resize(static_cast<size_t>(m_mcusPerRow) * m_mcuW * 3 * m_mcuH);
                w.changed.resize(static_cast<size_t>(m_mcusPerRow) * m_hmax * m_vmax);
            }
        } catch (const std::bad_alloc&) {
            return 0;
        }

        // With a store, bands bound the old blocks held at once, and the
        // calling thread writes one band's blocks while the others work on
        // the next band.
        const bool saving = m_store != nullptr;
        const int band = saving ? std::max(4 * threads, 16) : m_mcuRows;
        // Two sets of rows, reused band after band so their memory is
        // touched once.
        std::vector<SavedRow> saved, writing;
        size_t writingRows = 0;
        if (saving) {
            try {
                saved.resize(static_cast<size_t>(band));
                writing.resize(static_cast<size_t>(band));
            } catch (const std::bad_alloc&) {
                m_storeFailed = true; // the rows are re-encoded unsaved, as after a failed write
                saved.clear();
                writing.clear();
            }
        }
        const auto runBand = [&](int b0, bool callerWorks) {
            const int b1 = std::min(b0 + band, m_mcuRows);
            for (SavedRow& row : saved) {
                row.blocks.clear();
                row.complete = true;
            }
            auto next = std::make_shared<std::atomic<int>>(b0);
            std::vector<SavedRow>* rows = saved.empty() ? nullptr : &saved;
            const auto work = [this, next, b0, b1, rows](Worker& w) {
                for (int u; (u = next->fetch_add(1)) < b1;)
                    if (!ProcessRow(u, w, rows ? &(*rows)[static_cast<size_t>(u - b0)] : nullptr))
                        w.failed = true;
            };
            std::vector<std::thread> running;
            for (int t = callerWorks ? 1 : 0; t < threads; ++t) {
                try {
                    running.emplace_back(work, std::ref(workers[static_cast<size_t>(t)]));
                } catch (...) {
                    break;
                }
            }
            if (callerWorks || running.empty())
                work(workers[0]);
            return running;
        };
        const auto writeBand = [&] {
            for (size_t i = 0; i < writingRows; ++i) {
                SaveBlocks(writing[i].blocks);
                if (!writing[i].complete)
                    m_storeFailed = true;
            }
            writingRows = 0;
        };
        for (int b0 = 0; b0 < m_mcuRows; b0 += band) {
            // The threads take the band; the caller writes the previous one.
            std::vector<std::thread> running = runBand(b0, writingRows == 0);
            writeBand();
            for (std::thread& t : running)
                t.join();
            writing.swap(saved);
            writingRows = saved.empty() && writing.empty() ? 0 : static_cast<size_t>(std::min(band, m_mcuRows - b0));
            for (const Worker& w : workers)
                if (w.failed)
                    return 0;
        }
        writeBand();
        for (const Worker& w : workers) {
            stats.ChangedMcus += w.changedMcus;
            stats.ChangedBlocks += w.changedBlocks;
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
