// Value edits on the coefficients: levels (DC shifts) and conversion to
// grayscale. The edits that go through the block transforms (applying pixel
// changes, the reconstruct run) live in ValueEditsPixels.cpp.
//
// Invariants: the coefficient array follows the layout of Load.cpp, so a
// component's grid comes from CDllImage::GetComponentGrid. Every edit checks
// that the array really has that layout and that it can do its work (memory,
// geometry) before it writes a byte to the undo store or changes a value, so
// a refused edit leaves the image untouched. Both write everything to the
// undo store before they change a value, and a failed write refuses the
// edit: an edit that could not be taken back is never done.
#include "DllImage.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

namespace {

// Store calls take an int count; large spans go in pieces, which gives the
// same byte stream as one call.
constexpr size_t kMaxStoreCall = size_t(1) << 30;

bool WriteAll(IUndoStore* store, const void* data, size_t bytes)
{
    const auto* p = static_cast<const uint8_t*>(data);
    do {
        const size_t n = std::min(bytes, kMaxStoreCall);
        if (!store->Write(p, static_cast<int>(n)))
            return false;
        p += n;
        bytes -= n;
    } while (bytes > 0);
    return true;
}

bool ReadAll(IUndoStore* store, void* data, size_t bytes)
{
    auto* p = static_cast<uint8_t*>(data);
    do {
        const size_t n = std::min(bytes, kMaxStoreCall);
        if (!store->Read(p, static_cast<int>(n)))
            return false;
        p += n;
        bytes -= n;
    } while (bytes > 0);
    return true;
}

// Resizes `values` to `count`; false when memory runs out.
bool Resize(std::vector<short>* values, size_t count)
{
    try {
        values->resize(count);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

// True when the held array has exactly the layout the header describes.
bool LayoutMatches(const CDllImage* image)
{
    return image->m_coef && image->m_decoderOpen && image->LayoutCount() == image->m_coefCount;
}

// ---------------------------------------------------------------------------
// Levels: shifts the DC coefficient of every block of a component. Store
// stream: per component with a non-zero shift, its DC values before the
// shift, one 16-bit value per block of the padded grid, in block order.
class CDllActionLevels final : public CDllAction {
public:
    CDllActionLevels(int shift0, int shift1, int shift2) : m_shift{shift0, shift1, shift2} {}

    int Execute() override;
    void Revert() override;

    // The DC offset of a shift in -100..100 (clamped); 100 moves the mean
    // sample by 127.5.
    static int DcOffset(int shift)
    {
        shift = std::clamp(shift, -100, 100);
        return shift * 1020 / 100;
    }

private:
    int ShiftOf(int component) const { return m_shift[std::min(component, 2)]; }
    // Calls f(first DC value, block count, shift) for each component with a
    // shift, in order, while f returns true; false when one returned false.
    template <class F>
    bool ForEachShifted(F f) const
    {
        for (int c = 0; c < m_image->NumComponents(); ++c) {
            ComponentGrid g;
            if (ShiftOf(c) != 0 && m_image->GetComponentGrid(c, &g)
                && !f(m_image->m_coef + g.offset, g.count() / 64, ShiftOf(c)))
                return false;
        }
        return true;
    }

    int32_t m_shift[3];
};

int CDllActionLevels::Execute()
{
    CDllImage* img = m_image;
    const J_COLOR_SPACE cs = img->m_decoder.jpeg_color_space;
    if ((cs != JCS_GRAYSCALE && cs != JCS_YCbCr) || !LayoutMatches(img))
        return 0;

    // Every old DC value goes to the store before any changes, so a failed
    // write refuses the edit with the image untouched.
    std::vector<short> saved;
    if (m_store && !ForEachShifted([&](short* dc, size_t blocks, int) {
            if (!Resize(&saved, blocks))
                return false;
            for (size_t b = 0; b < blocks; ++b)
                saved[b] = dc[b * 64];
            return WriteAll(m_store, saved.data(), blocks * sizeof(short));
        }))
        return 0;

    ForEachShifted([](short* dc, size_t blocks, int shift) {
        const int offset = DcOffset(shift);
        for (size_t b = 0; b < blocks; ++b)
            dc[b * 64] = static_cast<short>(std::clamp(dc[b * 64] + offset, -2304, 2286));
        return true;
    });
    return 1;
}

void CDllActionLevels::Revert()
{
    if (!LayoutMatches(m_image))
        return;
    std::vector<short> saved;
    ForEachShifted([&](short* dc, size_t blocks, int) {
        if (!Resize(&saved, blocks) || !ReadAll(m_store, saved.data(), blocks * sizeof(short)))
            return false;
        for (size_t b = 0; b < blocks; ++b)
            dc[b * 64] = saved[b];
        return true;
    });
}

// ---------------------------------------------------------------------------
// Grayscale: keeps the luma blocks that cover the image and drops the other
// components. Store stream: the component descriptions (one
// SavedComponent per component, in one call), then every component but the
// first, all its coefficients, one call each, then the luma blocks outside
// the new grid (see ForEachDroppedSpan) in one call when there are any.
// Those blocks are not always zero padding: after a crop or an outward turn
// they hold picture that an undo of the crop brings back into view.
//
// The new luma grid is the image's own 8 x 8 block grid (ceil(width / 8) x
// ceil(height / 8)), cut out of the padded grid; the header's block counts
// are set to match so rendering and saving agree on the layout after a crop
// or turn.
struct SavedComponent {
    int32_t componentId;
    int32_t h, v;
    int32_t quantTable, dcTable, acTable;
    uint32_t widthInBlocks, heightInBlocks;
    uint32_t downsampledWidth, downsampledHeight;
};

class CDllActionGrayscale final : public CDllAction {
public:
    int Execute() override;
    void Revert() override;

private:
    // Calls f(first value, value count) for each run of luma blocks outside
    // the cols x rows grid, in storage order: the right part of each kept
    // row, then the rows below.
    template <class F>
    static void ForEachDroppedSpan(const ComponentGrid& luma, int cols, int rows, F f)
    {
        const size_t rowValues = static_cast<size_t>(luma.blocksPerRow) * 64;
        if (cols < luma.blocksPerRow)
            for (int r = 0; r < rows; ++r)
                f(luma.offset + r * rowValues + static_cast<size_t>(cols) * 64,
                  static_cast<size_t>(luma.blocksPerRow - cols) * 64);
        if (rows < luma.blockRows)
            f(luma.offset + rows * rowValues, (luma.blockRows - rows) * rowValues);
    }
    static void Describe(const jpeg_component_info& comp, SavedComponent* out);
    static void Apply(const SavedComponent& in, jpeg_component_info* comp);

    J_COLOR_SPACE m_colorSpace = JCS_UNKNOWN;
    int32_t m_numComponents = 0;
    // The luma grid this edit left behind; the revert checks it still holds.
    int32_t m_lumaColumns = 0;
    int32_t m_lumaRows = 0;
};

void CDllActionGrayscale::Describe(const jpeg_component_info& comp, SavedComponent* out)
{
    out->componentId = comp.component_id;
    out->h = comp.h_samp_factor;
    out->v = comp.v_samp_factor;
    out->quantTable = comp.quant_tbl_no;
    out->dcTable = comp.dc_tbl_no;
    out->acTable = comp.ac_tbl_no;
    out->widthInBlocks = comp.width_in_blocks;
    out->heightInBlocks = comp.height_in_blocks;
    out->downsampledWidth = comp.downsampled_width;
    out->downsampledHeight = comp.downsampled_height;
}

void CDllActionGrayscale::Apply(const SavedComponent& in, jpeg_component_info* comp)
{
    comp->component_id = in.componentId;
    comp->h_samp_factor = in.h;
    comp->v_samp_factor = in.v;
    comp->quant_tbl_no = in.quantTable;
    comp->dc_tbl_no = in.dcTable;
    comp->ac_tbl_no = in.acTable;
    comp->width_in_blocks = in.widthInBlocks;
    comp->height_in_blocks = in.heightInBlocks;
    comp->downsampled_width = in.downsampledWidth;
    comp->downsampled_height = in.downsampledHeight;
}

int CDllActionGrayscale::Execute()
{
    CDllImage* img = m_image;
    jpeg_decompress_struct& d = img->m_decoder;
    if (d.jpeg_color_space != JCS_YCbCr || !LayoutMatches(img))
        return 0;
    const int n = d.num_components;
    if (n < 1 || n > MAX_COMPONENTS)
        return 0;
    // Only a luma grid as fine as the MCU can become an 8 x 8-block image.
    int maxH, maxV;
    MaxSamplingFactors(&d, &maxH, &maxV);
    if (d.comp_info[0].h_samp_factor != maxH || d.comp_info[0].v_samp_factor != maxV)
        return 0;
    ComponentGrid luma;
    if (!img->GetComponentGrid(0, &luma))
        return 0;
    const int cols = (img->m_width + 7) / 8;
    const int rows = (img->m_height + 7) / 8;
    if (cols < 1 || rows < 1 || cols > luma.blocksPerRow || rows > luma.blockRows)
        return 0;

    const size_t count = static_cast<size_t>(cols) * rows * 64;
    short* gray = CDllImage::AllocCoefficients(count);
    if (!gray)
        return 0;
    if (cols == luma.blocksPerRow) {
        std::memcpy(gray, img->m_coef + luma.offset, count * sizeof(short));
    } else {
        for (int r = 0; r < rows; ++r)
            std::memcpy(gray + static_cast<size_t>(r) * cols * 64,
                        img->m_coef + luma.offset + static_cast<size_t>(r) * luma.blocksPerRow * 64,
                        static_cast<size_t>(cols) * 64 * sizeof(short));
    }

    m_colorSpace = d.jpeg_color_space;
    m_numComponents = n;
    if (m_store) {
        std::vector<short> dropped;
        try {
            dropped.reserve(luma.count() - count);
        } catch (const std::bad_alloc&) {
            CDllImage::FreeCoefficients(gray);
            return 0;
        }
        ForEachDroppedSpan(luma, cols, rows, [&](size_t first, size_t values) {
            dropped.insert(dropped.end(), img->m_coef + first, img->m_coef + first + values);
        });
        SavedComponent desc[MAX_COMPONENTS] = {};
        for (int c = 0; c < n; ++c)
            Describe(d.comp_info[c], &desc[c]);
        bool ok = WriteAll(m_store, desc, sizeof(SavedComponent) * static_cast<size_t>(n));
        for (int c = 1; ok && c < n; ++c) {
            ComponentGrid g;
            ok = img->GetComponentGrid(c, &g) && WriteAll(m_store, img->m_coef + g.offset, g.count() * sizeof(short));
        }
        if (ok && !dropped.empty())
            ok = WriteAll(m_store, dropped.data(), dropped.size() * sizeof(short));
        // Without its undo bytes the conversion is refused, the image untouched.
        if (!ok) {
            CDllImage::FreeCoefficients(gray);
            return 0;
        }
    }

    img->ReplaceCoefficients(gray, static_cast<int>(count));
    d.jpeg_color_space = JCS_GRAYSCALE;
    d.num_components = 1;
    d.max_h_samp_factor = 1;
    d.max_v_samp_factor = 1;
    jpeg_component_info& y = d.comp_info[0];
    y.component_id = 1;
    y.h_samp_factor = 1;
    y.v_samp_factor = 1;
    // The luma keeps its own table: its coefficients were quantised with it.
    y.dc_tbl_no = 0;
    y.ac_tbl_no = 0;
    y.width_in_blocks = static_cast<JDIMENSION>(cols);
    y.height_in_blocks = static_cast<JDIMENSION>(rows);
    y.downsampled_width = static_cast<JDIMENSION>(img->m_width);
    y.downsampled_height = static_cast<JDIMENSION>(img->m_height);
    img->RefreshGeometry();
    m_lumaColumns = cols;
    m_lumaRows = rows;
    return 1;
}

void CDllActionGrayscale::Revert()
{
    CDllImage* img = m_image;
    jpeg_decompress_struct& d = img->m_decoder;
    const int n = m_numComponents;
    if (!img->m_coef || !img->m_decoderOpen || d.num_components != 1 || n < 1 || n > MAX_COMPONENTS
        || img->m_coefCount != m_lumaColumns * m_lumaRows * 64)
        return;

    SavedComponent desc[MAX_COMPONENTS] = {};
    if (!ReadAll(m_store, desc, sizeof(SavedComponent) * static_cast<size_t>(n)))
        return;
    for (int c = 0; c < n; ++c)
        if (desc[c].h < 1 || desc[c].h > MAX_SAMP_FACTOR || desc[c].v < 1 || desc[c].v > MAX_SAMP_FACTOR)
            return;

    // Switch the header to the old layout; go back to grayscale if the old
    // array cannot be had.
    SavedComponent grayDesc;
    Describe(d.comp_info[0], &grayDesc);
    const J_COLOR_SPACE grayCs = d.jpeg_color_space;
    const int grayMaxH = d.max_h_samp_factor, grayMaxV = d.max_v_samp_factor;
    d.jpeg_color_space = m_colorSpace;
    d.num_components = n;
    for (int c = 0; c < n; ++c)
        Apply(desc[c], &d.comp_info[c]);
    int maxH, maxV;
    MaxSamplingFactors(&d, &maxH, &maxV);
    d.max_h_samp_factor = maxH;
    d.max_v_samp_factor = maxV;
    img->RefreshGeometry();

    const long long count = img->LayoutCount();
    ComponentGrid luma;
    short* old = count > 0 ? CDllImage::AllocCoefficients(static_cast<size_t>(count)) : nullptr;
    if (!old || !img->GetComponentGrid(0, &luma) || luma.blocksPerRow < m_lumaColumns
        || luma.blockRows < m_lumaRows) {
        CDllImage::FreeCoefficients(old);
        d.jpeg_color_space = grayCs;
        d.num_components = 1;
        Apply(grayDesc, &d.comp_info[0]);
        d.max_h_samp_factor = grayMaxH;
        d.max_v_samp_factor = grayMaxV;
        img->RefreshGeometry();
        return;
    }

    for (int r = 0; r < m_lumaRows; ++r)
        std::memcpy(old + luma.offset + static_cast<size_t>(r) * luma.blocksPerRow * 64,
                    img->m_coef + static_cast<size_t>(r) * m_lumaColumns * 64,
                    static_cast<size_t>(m_lumaColumns) * 64 * sizeof(short));
    // Blocks whose bytes cannot be read back stay zero (flat grey).
    bool ok = true;
    for (int c = 1; ok && c < n; ++c) {
        ComponentGrid g;
        ok = img->GetComponentGrid(c, &g) && ReadAll(m_store, old + g.offset, g.count() * sizeof(short));
    }
    const size_t droppedValues = luma.count() - static_cast<size_t>(m_lumaColumns) * m_lumaRows * 64;
    if (ok && droppedValues > 0) {
        std::vector<short> dropped;
        try {
            dropped.resize(droppedValues);
        } catch (const std::bad_alloc&) {
            ok = false;
        }
        if (ok && ReadAll(m_store, dropped.data(), droppedValues * sizeof(short))) {
            const short* from = dropped.data();
            ForEachDroppedSpan(luma, m_lumaColumns, m_lumaRows, [&](size_t first, size_t values) {
                std::memcpy(old + first, from, values * sizeof(short));
                from += values;
            });
        }
    }
    img->ReplaceCoefficients(old, static_cast<int>(count));
}

} // namespace

int CDllImage::AdjustLevels(int shift0, int shift1, int shift2)
{
    return m_undo.Do(new (std::nothrow) CDllActionLevels(shift0, shift1, shift2));
}

int CDllImage::ConvertToGrayscale()
{
    return m_undo.Do(new (std::nothrow) CDllActionGrayscale());
}

