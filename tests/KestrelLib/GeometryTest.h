// Helpers for the geometric edit and undo tests: a full snapshot of what the
// edits change, a comparison with jpegtran's quantised output, and a runner
// for jpegtran.
#pragma once

#include "KestrelTest.h"

#include <array>
#include <sstream>

namespace gtest_geom {

// Everything a geometric edit or its revert may change.
struct ImageState {
    int width = 0, height = 0, mcuW = 0, mcuH = 0, paddedW = 0, paddedH = 0;
    unsigned imageWidth = 0, imageHeight = 0;
    int maxH = 0, maxV = 0;
    std::vector<std::array<unsigned, 6>> comps; // h, v, width/height in blocks, downsampled width/height
    std::vector<std::vector<uint16_t>> tables;  // the four slots, empty when unused
    std::vector<short> coef;
};

inline ImageState Capture(IKestrel* k)
{
    auto* img = static_cast<CDllImage*>(k);
    ImageState s;
    s.width = k->GetWidth();
    s.height = k->GetHeight();
    s.mcuW = k->GetMcuWidth();
    s.mcuH = k->GetMcuHeight();
    s.paddedW = img->m_paddedWidth;
    s.paddedH = img->m_paddedHeight;
    const jpeg_decompress_struct& d = img->m_decoder;
    s.imageWidth = d.image_width;
    s.imageHeight = d.image_height;
    s.maxH = d.max_h_samp_factor;
    s.maxV = d.max_v_samp_factor;
    for (int c = 0; c < d.num_components; ++c) {
        const jpeg_component_info& ci = d.comp_info[c];
        s.comps.push_back({unsigned(ci.h_samp_factor), unsigned(ci.v_samp_factor), ci.width_in_blocks,
                           ci.height_in_blocks, ci.downsampled_width, ci.downsampled_height});
    }
    for (int t = 0; t < NUM_QUANT_TBLS; ++t) {
        std::vector<uint16_t> q;
        if (d.quant_tbl_ptrs[t])
            q.assign(d.quant_tbl_ptrs[t]->quantval, d.quant_tbl_ptrs[t]->quantval + 64);
        s.tables.push_back(q);
    }
    short* data = nullptr;
    int count = 0;
    k->GetCoefficients(&data, &count);
    if (data)
        s.coef.assign(data, data + count);
    return s;
}

inline ::testing::AssertionResult Same(const ImageState& a, const ImageState& b)
{
    std::ostringstream why;
    if (a.width != b.width || a.height != b.height)
        why << "size " << a.width << "x" << a.height << " vs " << b.width << "x" << b.height;
    else if (a.mcuW != b.mcuW || a.mcuH != b.mcuH || a.paddedW != b.paddedW || a.paddedH != b.paddedH)
        why << "MCU or padded size";
    else if (a.imageWidth != b.imageWidth || a.imageHeight != b.imageHeight || a.maxH != b.maxH || a.maxV != b.maxV)
        why << "decoder image size or largest factors";
    else if (a.comps != b.comps)
        why << "component factors or sizes";
    else if (a.tables != b.tables)
        why << "quantisation tables";
    else if (a.coef.size() != b.coef.size())
        why << "count " << a.coef.size() << " vs " << b.coef.size();
    else
        for (size_t i = 0; i < a.coef.size(); ++i)
            if (a.coef[i] != b.coef[i]) {
                why << "value " << i << ": " << a.coef[i] << " vs " << b.coef[i];
                break;
            }
    const std::string text = why.str();
    if (text.empty())
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << text;
}

// The object's coded blocks, divided by the steps of its own (possibly
// transposed) tables, equal libjpeg's quantised blocks of `ref`; size and
// sampling agree too.
inline ::testing::AssertionResult MatchesQuantised(IKestrel* k, const testjpeg::Coefficients& ref)
{
    if (!ref.ok)
        return ::testing::AssertionFailure() << "reference not read";
    auto* img = static_cast<CDllImage*>(k);
    if (k->GetWidth() != ref.width || k->GetHeight() != ref.height)
        return ::testing::AssertionFailure() << "size " << k->GetWidth() << "x" << k->GetHeight() << " vs "
                                             << ref.width << "x" << ref.height;
    if (img->NumComponents() != static_cast<int>(ref.components.size()))
        return ::testing::AssertionFailure() << "component count";
    short* data = nullptr;
    int count = 0;
    k->GetCoefficients(&data, &count);
    for (size_t c = 0; c < ref.components.size(); ++c) {
        const auto& rc = ref.components[c];
        const jpeg_component_info& ci = img->m_decoder.comp_info[c];
        ComponentGrid g;
        if (!img->GetComponentGrid(static_cast<int>(c), &g))
            return ::testing::AssertionFailure() << "no grid";
        if (g.h != rc.h || g.v != rc.v)
            return ::testing::AssertionFailure() << "component " << c << " factors " << g.h << "x" << g.v << " vs "
                                                 << rc.h << "x" << rc.v;
        if (rc.widthInBlocks > g.blocksPerRow || rc.heightInBlocks > g.blockRows)
            return ::testing::AssertionFailure() << "component " << c << " grid too small";
        const JQUANT_TBL* q = img->m_decoder.quant_tbl_ptrs[ci.quant_tbl_no];
        for (int r = 0; r < rc.heightInBlocks; ++r)
            for (int b = 0; b < rc.widthInBlocks; ++b) {
                const short* blk = data + g.offset + (static_cast<size_t>(r) * g.blocksPerRow + b) * 64;
                for (int i = 0; i < 64; ++i) {
                    const int step = q->quantval[i];
                    if (step == 0 || blk[i] % step != 0 || blk[i] / step != rc.block(r, b)[i])
                        return ::testing::AssertionFailure() << "component " << c << " block (" << r << "," << b
                                                             << ") value " << i << ": " << blk[i] << " / " << step
                                                             << " vs " << rc.block(r, b)[i];
                }
            }
    }
    return ::testing::AssertionSuccess();
}

// jpegtran's output for `jpeg` with the given options, read back by libjpeg;
// not ok when jpegtran fails.
inline testjpeg::Coefficients Jpegtran(const std::vector<uint8_t>& jpeg, const std::string& options)
{
    testjpeg::TempDir dir;
    const auto in = dir / "in.jpg";
    const auto out = dir / "out.jpg";
    testjpeg::Coefficients none;
    if (!testjpeg::WriteFile(in, jpeg))
        return none;
    if (testjpeg::Run("jpegtran " + options + " -outfile '" + out.string() + "' '" + in.string() + "' 2>/dev/null") != 0)
        return none;
    return testjpeg::ReadCoefficients(testjpeg::ReadFile(out));
}

inline std::vector<uint8_t> MakeJpeg(int width, int height, const std::vector<std::pair<int, int>>& sampling,
                                     unsigned seed = 1)
{
    const bool gray = sampling.empty();
    testjpeg::EncodeParams ep;
    ep.quality = 85;
    ep.inColorSpace = gray ? JCS_GRAYSCALE : JCS_RGB;
    ep.sampling = sampling;
    return testjpeg::Encode(testjpeg::MakePattern(width, height, gray ? 1 : 3, seed), ep);
}

} // namespace gtest_geom
