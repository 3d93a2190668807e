// Lossless geometric edits on the block grid: crop, flips and quarter turns.
//
// Invariants every edit here relies on:
// - The coefficient array is padded to whole MCUs (layout in Load.cpp); blocks
//   move whole, and inside a block coefficients are permuted and sign-changed
//   so the block shows the mirrored or turned picture. Only the right and
//   bottom MCUs of a JPEG may be partial, so an edit that would bring a
//   partial column or row to the left or top edge either cuts it off or keeps
//   it as a whole MCU (include partial).
// - The new array is allocated before anything is written to the undo store:
//   an edit that cannot be done writes nothing and leaves the image as it was.
// - After an edit the decoder's image size, each component's size in blocks
//   and downsampled size are what loading the edited image would give, since
//   rendering and saving read them; a revert puts back the exact values it
//   found (kept in a DecoderGeometry snapshot).
#include "DllImage.h"

#include <utility>

namespace {

// Largest side a crop may produce.
constexpr long long kMaxSide = 65500;

// Block grid of one coefficient array: whole MCUs, components one after
// another, each component in raster order.
struct GridLayout {
    int components = 0;
    int h[MAX_COMPONENTS] = {};
    int v[MAX_COMPONENTS] = {};
    long long mcusPerRow = 0;
    long long mcuRows = 0;
    size_t offset[MAX_COMPONENTS] = {};
    size_t total = 0; // values

    long long BlocksPerRow(int c) const { return h[c] * mcusPerRow; }
    long long BlockRows(int c) const { return v[c] * mcuRows; }
    bool Contains(int c, long long row, long long col) const
    {
        return row >= 0 && col >= 0 && row < BlockRows(c) && col < BlocksPerRow(c);
    }
    size_t Index(int c, long long row, long long col) const
    {
        return offset[c] + static_cast<size_t>(row * BlocksPerRow(c) + col) * 64;
    }
};

// Layout of a grid of the given MCU counts with the decoder's sampling factors
// (exchanged when `turned`). False when the count does not fit an int.
bool MakeLayout(const jpeg_decompress_struct& d, long long mcusPerRow, long long mcuRows, bool turned,
                GridLayout* out)
{
    if (mcusPerRow <= 0 || mcuRows <= 0 || d.num_components <= 0 || d.num_components > MAX_COMPONENTS)
        return false;
    GridLayout g;
    g.components = d.num_components;
    g.mcusPerRow = mcusPerRow;
    g.mcuRows = mcuRows;
    long long total = 0;
    for (int c = 0; c < g.components; ++c) {
        g.h[c] = turned ? d.comp_info[c].v_samp_factor : d.comp_info[c].h_samp_factor;
        g.v[c] = turned ? d.comp_info[c].h_samp_factor : d.comp_info[c].v_samp_factor;
        if (g.h[c] <= 0 || g.v[c] <= 0)
            return false;
        g.offset[c] = static_cast<size_t>(total);
        total += g.BlocksPerRow(c) * g.BlockRows(c) * 64;
        if (total > 0x7FFFFFFFll)
            return false;
    }
    g.total = static_cast<size_t>(total);
    *out = g;
    return true;
}

// -(-32768) does not fit; a saturated value stays saturated.
inline short Negate(short x)
{
    return x == -32768 ? short(32767) : static_cast<short>(-x);
}

// Coefficient permutation and sign changes inside one block, fixed at compile
// time so the loops unroll: with Transpose, destination (v, u) takes source
// (u, v); the sign rules are in terms of the destination's vertical (v) and
// horizontal (u) frequency.
template <bool Transpose, bool NegateOddU, bool NegateOddV>
struct BlockMap {
    static void Apply(const short* in, short* out)
    {
        for (int v = 0; v < 8; ++v)
            for (int u = 0; u < 8; ++u) {
                const short x = Transpose ? in[u * 8 + v] : in[v * 8 + u];
                const bool negate = (NegateOddU && (u & 1)) || (NegateOddV && (v & 1));
                out[v * 8 + u] = negate ? Negate(x) : x;
            }
    }
};

using PlainCopy = BlockMap<false, false, false>;
using MapFlipH = BlockMap<false, true, false>;
using MapFlipV = BlockMap<false, false, true>;
using MapTurnLeft = BlockMap<true, false, true>;
using MapTurnRight = BlockMap<true, true, false>;

// Fills every block of `dst` (layout `to`) from `src` (layout `from`): block
// (row, col) of component c takes source block sourceOf(c, row, col) through
// Map. Blocks whose source lies outside `from` are left as they are (zero in
// a fresh array).
template <class Map, class SourceOf>
void MoveBlocks(const short* src, const GridLayout& from, short* dst, const GridLayout& to, SourceOf sourceOf)
{
    for (int c = 0; c < to.components; ++c)
        for (long long row = 0; row < to.BlockRows(c); ++row)
            for (long long col = 0; col < to.BlocksPerRow(c); ++col) {
                const std::pair<long long, long long> s = sourceOf(c, row, col);
                if (from.Contains(c, s.first, s.second))
                    Map::Apply(src + from.Index(c, s.first, s.second), dst + to.Index(c, row, col));
            }
}

// The decoder's geometry fields an edit changes, so a revert can put back
// exactly what it found.
struct DecoderGeometry {
    int32_t width = 0, height = 0;
    JDIMENSION imageWidth = 0, imageHeight = 0;
    int maxH = 1, maxV = 1;
    int components = 0;
    struct Comp {
        int h, v;
        JDIMENSION widthInBlocks, heightInBlocks, downsampledWidth, downsampledHeight;
    } comp[MAX_COMPONENTS] = {};

    void Take(const CDllImage& img)
    {
        const jpeg_decompress_struct& d = img.m_decoder;
        width = img.m_width;
        height = img.m_height;
        imageWidth = d.image_width;
        imageHeight = d.image_height;
        maxH = d.max_h_samp_factor;
        maxV = d.max_v_samp_factor;
        components = d.num_components < MAX_COMPONENTS ? d.num_components : MAX_COMPONENTS;
        for (int c = 0; c < components; ++c) {
            const jpeg_component_info& ci = d.comp_info[c];
            comp[c] = {ci.h_samp_factor, ci.v_samp_factor, ci.width_in_blocks, ci.height_in_blocks,
                       ci.downsampled_width, ci.downsampled_height};
        }
    }

    void Apply(CDllImage& img) const
    {
        jpeg_decompress_struct& d = img.m_decoder;
        img.m_width = width;
        img.m_height = height;
        d.image_width = imageWidth;
        d.image_height = imageHeight;
        d.max_h_samp_factor = maxH;
        d.max_v_samp_factor = maxV;
        for (int c = 0; c < components && c < d.num_components; ++c) {
            jpeg_component_info& ci = d.comp_info[c];
            ci.h_samp_factor = comp[c].h;
            ci.v_samp_factor = comp[c].v;
            ci.width_in_blocks = comp[c].widthInBlocks;
            ci.height_in_blocks = comp[c].heightInBlocks;
            ci.downsampled_width = comp[c].downsampledWidth;
            ci.downsampled_height = comp[c].downsampledHeight;
        }
        img.RefreshGeometry();
    }
};

// Brings the decoder's sizes in line with the image's new pixel size, as
// libjpeg computes them for a header of that size, and refreshes the cached
// geometry.
void SyncDecoderSize(CDllImage& img)
{
    jpeg_decompress_struct& d = img.m_decoder;
    int maxH, maxV;
    MaxSamplingFactors(&d, &maxH, &maxV);
    const long long w = img.m_width, hgt = img.m_height;
    d.image_width = static_cast<JDIMENSION>(w);
    d.image_height = static_cast<JDIMENSION>(hgt);
    for (int c = 0; c < d.num_components; ++c) {
        jpeg_component_info& ci = d.comp_info[c];
        ci.width_in_blocks = static_cast<JDIMENSION>((w * ci.h_samp_factor + maxH * 8 - 1) / (maxH * 8));
        ci.height_in_blocks = static_cast<JDIMENSION>((hgt * ci.v_samp_factor + maxV * 8 - 1) / (maxV * 8));
        ci.downsampled_width = static_cast<JDIMENSION>((w * ci.h_samp_factor + maxH - 1) / maxH);
        ci.downsampled_height = static_cast<JDIMENSION>((hgt * ci.v_samp_factor + maxV - 1) / maxV);
    }
    img.RefreshGeometry();
}

// Layout of the current array; false when it does not describe the array.
bool CurrentLayout(const CDllImage& img, GridLayout* out)
{
    return MakeLayout(img.m_decoder, img.McusPerRow(), img.McuRows(), false, out)
        && out->total == static_cast<size_t>(img.m_coefCount);
}

} // namespace

// ---------------------------------------------------------------------------
// Crop on the MCU grid; the rectangle may reach outside the image (the part
// outside is zero blocks, mid grey). Writes the parts of the old grid outside
// the kept rectangle as up to four regions: band above, left part, right part,
// band below.
class CDllActionCrop : public CDllAction {
public:
    CDllActionCrop(int left, int top, int right, int bottom) : m_left(left), m_top(top), m_right(right), m_bottom(bottom) {}
    int Execute() override;
    void Revert() override;

    int32_t m_left, m_top, m_right, m_bottom;
    int32_t m_oldWidth = 0;
    int32_t m_oldHeight = 0;

private:
    int Regions(int X, int Y, McuRect out[4]) const;
    // The kept rectangle in MCUs of the old grid.
    int m_c = 0, m_m = 0, m_nx = 0, m_ny = 0;
    DecoderGeometry m_before;
};

int CDllActionCrop::Regions(int X, int Y, McuRect out[4]) const
{
    int n = 0;
    const int c = m_c, m = m_m, right = m_c + m_nx, bottom = m_m + m_ny;
    if (m > 0)
        out[n++] = {0, 0, X, m < Y ? m : Y};
    if (m < Y && bottom >= 0) {
        const int top = m > 0 ? m : 0;
        const int bot = bottom < Y ? bottom : Y;
        if (c > 0)
            out[n++] = {0, top, c < X ? c : X, bot};
        if (right < X)
            out[n++] = {right > 0 ? right : 0, top, X, bot};
    }
    if (bottom < Y)
        out[n++] = {0, bottom > 0 ? bottom : 0, X, Y};
    return n;
}

int CDllActionCrop::Execute()
{
    CDllImage& img = *m_image;
    const int mw = img.m_mcuWidth, mh = img.m_mcuHeight;
    GridLayout from, to;
    if (mw <= 0 || mh <= 0 || !CurrentLayout(img, &from))
        return 0;

    // 64-bit throughout: the caller's rectangle may be anywhere in int range.
    const long long c = m_left / mw, m = m_top / mh;
    const long long left = c * mw, top = m * mh;
    long long right = m_right, bottom = m_bottom;
    if (right <= left)
        right = left + 1;
    if (bottom <= top)
        bottom = top + 1;
    const long long width = right - left, height = bottom - top;
    if (width > kMaxSide || height > kMaxSide)
        return 0;
    const long long nx = (width + mw - 1) / mw, ny = (height + mh - 1) / mh;
    if (!MakeLayout(img.m_decoder, nx, ny, false, &to))
        return 0;
    short* data = CDllImage::AllocCoefficients(to.total);
    if (!data)
        return 0;

    // Every value below fits an int now: |left| <= |m_left|, right <= max(m_right, left + 1).
    m_oldWidth = img.m_width;
    m_oldHeight = img.m_height;
    m_left = static_cast<int32_t>(left);
    m_top = static_cast<int32_t>(top);
    m_right = static_cast<int32_t>(right);
    m_bottom = static_cast<int32_t>(bottom);
    m_c = static_cast<int>(c);
    m_m = static_cast<int>(m);
    m_nx = static_cast<int>(nx);
    m_ny = static_cast<int>(ny);
    m_before.Take(img);

    if (m_store) {
        McuRect regions[4];
        const int n = Regions(static_cast<int>(from.mcusPerRow), static_cast<int>(from.mcuRows), regions);
        for (int i = 0; i < n && SaveRegion(regions[i]); ++i) {
        }
    }

    MoveBlocks<PlainCopy>(img.m_coef, from, data, to, [&](int k, long long row, long long col) {
        return std::make_pair(m * from.v[k] + row, c * from.h[k] + col);
    });
    img.ReplaceCoefficients(data, static_cast<int>(to.total));
    img.m_width = static_cast<int32_t>(width);
    img.m_height = static_cast<int32_t>(height);
    SyncDecoderSize(img);
    return 1;
}

void CDllActionCrop::Revert()
{
    CDllImage& img = *m_image;
    const int mw = img.m_mcuWidth, mh = img.m_mcuHeight;
    GridLayout from, to;
    if (mw <= 0 || mh <= 0 || !CurrentLayout(img, &from))
        return;
    const long long X = (m_oldWidth + mw - 1) / mw, Y = (m_oldHeight + mh - 1) / mh;
    if (!MakeLayout(img.m_decoder, X, Y, false, &to))
        return;
    short* data = CDllImage::AllocCoefficients(to.total);
    if (!data)
        return;
    const long long c = m_c, m = m_m;
    MoveBlocks<PlainCopy>(img.m_coef, from, data, to, [&](int k, long long row, long long col) {
        return std::make_pair(row - m * to.v[k], col - c * to.h[k]);
    });
    img.ReplaceCoefficients(data, static_cast<int>(to.total));
    m_before.Apply(img);

    McuRect regions[4];
    const int n = Regions(static_cast<int>(X), static_cast<int>(Y), regions);
    for (int i = 0; i < n && RestoreRegion(regions[i]); ++i) {
    }
}

// ---------------------------------------------------------------------------
// Flips and quarter turns share their bookkeeping: the size and orientation
// before the edit, and a snapshot of the decoder's geometry for the revert.
// Only the edge that would move to the left or top can be cut off; its MCU
// column (or row) is what the undo stream holds.
class CDllActionMirror : public CDllAction {
public:
    explicit CDllActionMirror(int includePartial) : m_includePartial(includePartial) {}

    int32_t m_includePartial;
    int32_t m_oldSize = 0;           // width or height before the edit, by kind
    uint16_t m_oldOrientation = 1;

protected:
    // The edge that would move to the left or top: the partial MCU column at
    // the right, or the partial MCU row at the bottom.
    enum Cut { kRightColumn, kBottomRow };

    // The edit and its revert for every kind. Map permutes inside a block;
    // sourceOf(g, c, row, col) is the source of block (row, col) of the new
    // grid, measured against g, the grid with the kept edge: the new grid on
    // Execute, the current one on Revert.
    template <class Map, class SourceOf>
    int ExecuteEdit(Cut cut, bool turned, SourceOf sourceOf);
    template <class Map, class SourceOf>
    void RevertEdit(Cut cut, bool turned, SourceOf sourceOf);

    // Kept MCU count along the edge that may be cut: all of `total` with
    // include partial, else only the whole MCUs of `pixels`. 0 (the edit
    // fails) when growing to whole MCUs would pass the largest side a JPEG
    // can have, which would leave an image that no save can write.
    int Kept(int total, int pixels, int mcu) const
    {
        const int k = m_includePartial ? total : pixels / mcu;
        return static_cast<long long>(k) * mcu > kMaxSide ? 0 : k;
    }
    void Begin(int oldSize)
    {
        m_oldSize = oldSize;
        m_oldOrientation = static_cast<uint16_t>(m_image->m_exif.Orientation());
        m_before.Take(*m_image);
    }
    void ResetOrientation() { m_image->m_exif.SetOrientationValue(m_image->m_markers, 1); }
    void RestoreOrientation()
    {
        if (m_image->m_exif.HasOrientationEntry())
            m_image->m_exif.SetOrientationValue(m_image->m_markers, m_oldOrientation);
    }
    DecoderGeometry m_before;
};

template <class Map, class SourceOf>
int CDllActionMirror::ExecuteEdit(Cut cut, bool turned, SourceOf sourceOf)
{
    CDllImage& img = *m_image;
    const bool columns = cut == kRightColumn;
    GridLayout from, to;
    if (!CurrentLayout(img, &from))
        return 0;
    const int X = static_cast<int>(from.mcusPerRow), Y = static_cast<int>(from.mcuRows);
    const int mcu = columns ? img.m_mcuWidth : img.m_mcuHeight;
    const int k = columns ? Kept(X, img.m_width, mcu) : Kept(Y, img.m_height, mcu);
    // The kept grid, exchanged when turned.
    const long long across = columns ? k : X, down = columns ? Y : k;
    if (k <= 0 || !MakeLayout(img.m_decoder, turned ? down : across, turned ? across : down, turned, &to))
        return 0;
    short* data = CDllImage::AllocCoefficients(to.total);
    if (!data)
        return 0;
    Begin(columns ? img.m_width : img.m_height);
    if (m_store && k < (columns ? X : Y))
        SaveRegion(columns ? McuRect{k, 0, X, Y} : McuRect{0, k, X, Y});
    MoveBlocks<Map>(img.m_coef, from, data, to,
                    [&](int c, long long row, long long col) { return sourceOf(to, c, row, col); });
    img.ReplaceCoefficients(data, static_cast<int>(to.total));
    (columns ? img.m_width : img.m_height) = k * mcu;
    if (turned) {
        // ExchangeForQuarterTurn leaves the pixel size alone.
        img.ExchangeForQuarterTurn();
        std::swap(img.m_width, img.m_height);
    }
    SyncDecoderSize(img);
    ResetOrientation();
    return 1;
}

template <class Map, class SourceOf>
void CDllActionMirror::RevertEdit(Cut cut, bool turned, SourceOf sourceOf)
{
    CDllImage& img = *m_image;
    const bool columns = cut == kRightColumn;
    GridLayout from, to;
    if (!CurrentLayout(img, &from))
        return;
    // A turn made the cut MCU columns rows of the current grid, and rows columns.
    const bool nowColumns = columns != turned;
    const int mcu = nowColumns ? img.m_mcuWidth : img.m_mcuHeight;
    const long long n = (m_oldSize + mcu - 1) / mcu;
    const long long kept = nowColumns ? from.mcusPerRow : from.mcuRows;
    const long long other = nowColumns ? from.mcuRows : from.mcusPerRow;
    if (!MakeLayout(img.m_decoder, columns ? n : other, columns ? other : n, turned, &to))
        return;
    short* data = CDllImage::AllocCoefficients(to.total);
    if (!data)
        return;
    MoveBlocks<Map>(img.m_coef, from, data, to,
                    [&](int c, long long row, long long col) { return sourceOf(from, c, row, col); });
    img.ReplaceCoefficients(data, static_cast<int>(to.total));
    if (turned)
        img.ExchangeForQuarterTurn();
    m_before.Apply(img);
    const auto k = static_cast<int32_t>(kept), end = static_cast<int32_t>(n);
    if (kept < n)
        RestoreRegion(columns ? McuRect{k, 0, end, static_cast<int32_t>(to.mcuRows)}
                              : McuRect{0, k, static_cast<int32_t>(to.mcusPerRow), end});
    RestoreOrientation();
}

// Left-right mirror. The partial MCU column at the right edge would come to
// the left: with include partial 0 it is cut and written to the store.
class CDllActionFlipH : public CDllActionMirror {
public:
    using CDllActionMirror::CDllActionMirror;
    int Execute() override { return ExecuteEdit<MapFlipH>(kRightColumn, false, Source); }
    void Revert() override { RevertEdit<MapFlipH>(kRightColumn, false, Source); }

private:
    // A mirror is its own inverse.
    static constexpr auto Source = [](const GridLayout& g, int c, long long row, long long col) {
        return std::make_pair(row, g.BlocksPerRow(c) - 1 - col);
    };
};

// Top-bottom mirror; the partial MCU row at the bottom would come to the top.
class CDllActionFlipV : public CDllActionMirror {
public:
    using CDllActionMirror::CDllActionMirror;
    int Execute() override { return ExecuteEdit<MapFlipV>(kBottomRow, false, Source); }
    void Revert() override { RevertEdit<MapFlipV>(kBottomRow, false, Source); }

private:
    static constexpr auto Source = [](const GridLayout& g, int c, long long row, long long col) {
        return std::make_pair(g.BlockRows(c) - 1 - row, col);
    };
};

// Quarter turn counter-clockwise: the right MCU column becomes the top row,
// so a partial one is cut with include partial 0.
class CDllActionRotateLeft : public CDllActionMirror {
public:
    using CDllActionMirror::CDllActionMirror;
    int Execute() override { return ExecuteEdit<MapTurnLeft>(kRightColumn, true, Turn); }
    void Revert() override { RevertEdit<MapTurnRight>(kRightColumn, true, Unturn); }

private:
    // New block (Ck - 1 - x, y) = old block (y, x).
    static constexpr auto Turn = [](const GridLayout& g, int c, long long row, long long col) {
        return std::make_pair(col, g.BlockRows(c) - 1 - row);
    };
    // Old block (y, x) = current block (Ck - 1 - x, y).
    static constexpr auto Unturn = [](const GridLayout& g, int c, long long row, long long col) {
        return std::make_pair(g.BlockRows(c) - 1 - col, row);
    };
};

// Quarter turn clockwise: the bottom MCU row becomes the left column, so a
// partial one is cut with include partial 0.
class CDllActionRotateRight : public CDllActionMirror {
public:
    using CDllActionMirror::CDllActionMirror;
    int Execute() override { return ExecuteEdit<MapTurnRight>(kBottomRow, true, Turn); }
    void Revert() override { RevertEdit<MapTurnLeft>(kBottomRow, true, Unturn); }

private:
    // New block (x, Rk' - 1 - y) = old block (y, x).
    static constexpr auto Turn = [](const GridLayout& g, int c, long long row, long long col) {
        return std::make_pair(g.BlocksPerRow(c) - 1 - col, row);
    };
    // Old block (y, x) = current block (x, Rk' - 1 - y).
    static constexpr auto Unturn = [](const GridLayout& g, int c, long long row, long long col) {
        return std::make_pair(col, g.BlocksPerRow(c) - 1 - row);
    };
};

// ---------------------------------------------------------------------------

namespace {

template <class Action, class... Args>
int RunEdit(CDllUndoMan& undo, Args... args)
{
    try {
        return undo.Do(new Action(args...));
    } catch (...) {
        return 0;
    }
}

} // namespace

int CDllImage::Crop(int left, int top, int right, int bottom)
{
    return RunEdit<CDllActionCrop>(m_undo, left, top, right, bottom);
}

int CDllImage::FlipHorizontal(int includePartial) { return RunEdit<CDllActionFlipH>(m_undo, includePartial); }
int CDllImage::FlipVertical(int includePartial) { return RunEdit<CDllActionFlipV>(m_undo, includePartial); }
int CDllImage::RotateLeft(int includePartial) { return RunEdit<CDllActionRotateLeft>(m_undo, includePartial); }
int CDllImage::RotateRight(int includePartial) { return RunEdit<CDllActionRotateRight>(m_undo, includePartial); }
