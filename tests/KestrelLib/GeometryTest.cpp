// Lossless crop, flips and quarter turns on the coefficient image.
#include "GeometryTest.h"

#include <algorithm>
#include <climits>

using namespace testjpeg;
using namespace gtest_geom;
using ktest::ImageRef;
using ktest::MemoryUndoStore;

namespace {

using Sampling = std::vector<std::pair<int, int>>;

const Sampling k444 = {{1, 1}, {1, 1}, {1, 1}};
const Sampling k422 = {{2, 1}, {1, 1}, {1, 1}};
const Sampling k440 = {{1, 2}, {1, 1}, {1, 1}};
const Sampling k420 = {{2, 2}, {1, 1}, {1, 1}};
const Sampling kGray = {};

enum Op { FlipH, FlipV, Left, Right };

int Apply(IKestrel* k, Op op, int includePartial)
{
    switch (op) {
    case FlipH: return k->FlipHorizontal(includePartial);
    case FlipV: return k->FlipVertical(includePartial);
    case Left: return k->RotateLeft(includePartial);
    case Right: return k->RotateRight(includePartial);
    }
    return 0;
}

const char* JpegtranOption(Op op)
{
    switch (op) {
    case FlipH: return "-flip horizontal";
    case FlipV: return "-flip vertical";
    case Left: return "-rotate 270";
    case Right: return "-rotate 90";
    }
    return "";
}

struct Shape {
    const char* name;
    Sampling sampling;
    int width, height;
};

std::string ShapeName(const ::testing::TestParamInfo<Shape>& info) { return info.param.name; }
void PrintTo(const Shape& s, std::ostream* os) { *os << s.name; }

} // namespace

class TransformShape : public ::testing::TestWithParam<Shape> {};

// With the partial edge cut, every flip and turn gives jpegtran -trim's
// quantised blocks; on whole-MCU images both modes give jpegtran -perfect's.
TEST_P(TransformShape, MatchesJpegtran)
{
    if (!HaveTool("jpegtran"))
        GTEST_SKIP() << "jpegtran not installed";
    const Shape& s = GetParam();
    const auto jpeg = MakeJpeg(s.width, s.height, s.sampling);
    ImageRef probe;
    ASSERT_EQ(ktest::LoadBytes(probe.p, jpeg), 1);
    const bool whole = s.width % probe->GetMcuWidth() == 0 && s.height % probe->GetMcuHeight() == 0;

    for (Op op : {FlipH, FlipV, Left, Right}) {
        const auto ref = Jpegtran(jpeg, std::string(whole ? "-perfect " : "-trim ") + JpegtranOption(op));
        ASSERT_TRUE(ref.ok) << JpegtranOption(op);
        for (int includePartial : {0, 1}) {
            if (!whole && includePartial)
                continue;
            ImageRef k;
            ASSERT_EQ(ktest::LoadBytes(k.p, jpeg), 1);
            ASSERT_EQ(Apply(k.p, op, includePartial), 1) << JpegtranOption(op);
            EXPECT_TRUE(MatchesQuantised(k.p, ref)) << JpegtranOption(op) << " partial " << includePartial;
            const bool turned = op == Left || op == Right;
            EXPECT_EQ(k->GetMcuWidth(), turned ? probe->GetMcuHeight() : probe->GetMcuWidth());
            // The decoder describes the new image as a load of it would.
            EXPECT_EQ(k.impl()->m_decoder.image_width, static_cast<unsigned>(ref.width));
            for (size_t c = 0; c < ref.components.size(); ++c) {
                EXPECT_EQ(static_cast<int>(k.impl()->m_decoder.comp_info[c].width_in_blocks),
                          ref.components[c].widthInBlocks);
                EXPECT_EQ(static_cast<int>(k.impl()->m_decoder.comp_info[c].height_in_blocks),
                          ref.components[c].heightInBlocks);
            }
        }
    }
}

// With the partial edge kept, an edit followed by its inverse gives back the
// original blocks and tables exactly (the size stays rounded up to whole MCUs).
TEST_P(TransformShape, InversePairsRestoreCoefficients)
{
    const Shape& s = GetParam();
    const auto jpeg = MakeJpeg(s.width, s.height, s.sampling);
    const std::pair<Op, Op> pairs[] = {{FlipH, FlipH}, {FlipV, FlipV}, {Left, Right}, {Right, Left}};
    for (const auto& [first, second] : pairs) {
        ImageRef k;
        ASSERT_EQ(ktest::LoadBytes(k.p, jpeg), 1);
        const ImageState before = Capture(k.p);
        ASSERT_EQ(Apply(k.p, first, 1), 1);
        ASSERT_EQ(Apply(k.p, second, 1), 1);
        const ImageState after = Capture(k.p);
        EXPECT_EQ(after.coef, before.coef) << first << "," << second;
        EXPECT_EQ(after.tables, before.tables);
        EXPECT_EQ(after.paddedW, before.paddedW);
        EXPECT_EQ(after.paddedH, before.paddedH);
        // The kept partial edge has become whole MCUs.
        if (first == FlipH || first == Left) {
            EXPECT_EQ(after.width, before.paddedW);
            EXPECT_EQ(after.height, before.height);
        } else {
            EXPECT_EQ(after.width, before.width);
            EXPECT_EQ(after.height, before.paddedH);
        }
        for (size_t c = 0; c < before.comps.size(); ++c) {
            EXPECT_EQ(after.comps[c][0], before.comps[c][0]);
            EXPECT_EQ(after.comps[c][1], before.comps[c][1]);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Geometry, TransformShape,
    ::testing::Values(Shape{"s444_whole", k444, 64, 48}, Shape{"s444_partial", k444, 100, 60},
                      Shape{"s422_whole", k422, 64, 48}, Shape{"s422_partial", k422, 100, 60},
                      Shape{"s440_whole", k440, 64, 48}, Shape{"s440_partial", k440, 100, 60},
                      Shape{"s420_whole", k420, 64, 48}, Shape{"s420_partial", k420, 100, 60},
                      Shape{"gray_whole", kGray, 64, 48}, Shape{"gray_partial", kGray, 37, 21}),
    ShapeName);

TEST(Geometry, SizesAndSamplingAfterEdits)
{
    // 100 x 60 in 4:2:0 is 7 x 4 MCUs of 16 x 16.
    const auto jpeg420 = MakeJpeg(100, 60, k420);
    struct Case {
        Op op;
        int includePartial, width, height;
    };
    const Case cases[] = {{FlipH, 0, 96, 60}, {FlipH, 1, 112, 60}, {FlipV, 0, 100, 48}, {FlipV, 1, 100, 64},
                          {Left, 0, 60, 96},  {Left, 1, 60, 112},  {Right, 0, 48, 100}, {Right, 1, 64, 100}};
    for (const Case& c : cases) {
        ImageRef k;
        ASSERT_EQ(ktest::LoadBytes(k.p, jpeg420), 1);
        ASSERT_EQ(Apply(k.p, c.op, c.includePartial), 1);
        EXPECT_EQ(k->GetWidth(), c.width) << c.op << "/" << c.includePartial;
        EXPECT_EQ(k->GetHeight(), c.height) << c.op << "/" << c.includePartial;
        EXPECT_EQ(k.impl()->m_paddedWidth, (c.width + 15) / 16 * 16);
        EXPECT_EQ(k.impl()->m_paddedHeight, (c.height + 15) / 16 * 16);
    }

    // A 4:2:2 turn exchanges the factors and transposes the tables; turning
    // back gives back everything.
    ImageRef k;
    ASSERT_EQ(ktest::LoadBytes(k.p, MakeJpeg(64, 48, k422)), 1);
    const ImageState before = Capture(k.p);
    ASSERT_EQ(k->RotateLeft(0), 1);
    const jpeg_component_info& y = k.impl()->m_decoder.comp_info[0];
    EXPECT_EQ(y.h_samp_factor, 1);
    EXPECT_EQ(y.v_samp_factor, 2);
    EXPECT_EQ(k->GetMcuWidth(), 8);
    EXPECT_EQ(k->GetMcuHeight(), 16);
    const ImageState turned = Capture(k.p);
    for (int t = 0; t < 2; ++t)
        for (int r = 0; r < 8; ++r)
            for (int c = 0; c < 8; ++c)
                EXPECT_EQ(turned.tables[t][r * 8 + c], before.tables[t][c * 8 + r]);
    ASSERT_EQ(k->RotateRight(0), 1);
    EXPECT_TRUE(Same(Capture(k.p), before));
}

TEST(Geometry, CropMatchesJpegtran)
{
    if (!HaveTool("jpegtran"))
        GTEST_SKIP() << "jpegtran not installed";
    struct Rect {
        int left, top, right, bottom;
    };
    // Left and top on the 16-pixel grid, which every sampling here shares.
    const Rect rects[] = {{0, 0, 100, 60}, {16, 16, 100, 60}, {32, 0, 57, 33}, {48, 32, 64, 48}, {0, 48, 9, 60}};
    for (const Sampling& sampling : {k420, k422, k440, kGray}) {
        const auto jpeg = MakeJpeg(100, 60, sampling, 3);
        for (const Rect& r : rects) {
            const int w = r.right - r.left, h = r.bottom - r.top;
            const auto ref = Jpegtran(jpeg, "-crop " + std::to_string(w) + "x" + std::to_string(h) + "+"
                                              + std::to_string(r.left) + "+" + std::to_string(r.top));
            ASSERT_TRUE(ref.ok);
            ImageRef k;
            ASSERT_EQ(ktest::LoadBytes(k.p, jpeg), 1);
            ASSERT_EQ(k->Crop(r.left, r.top, r.right, r.bottom), 1);
            EXPECT_TRUE(MatchesQuantised(k.p, ref)) << sampling.size() << ": " << r.left << "," << r.top << ","
                                                    << r.right << "," << r.bottom;
        }
    }
}

TEST(Geometry, CropAlignsAndReachesOutside)
{
    ImageRef k;
    ASSERT_EQ(ktest::LoadBytes(k.p, MakeJpeg(64, 48, k420)), 1); // 4 x 3 MCUs
    const ImageState before = Capture(k.p);

    // Left -20 aligns to -16: one MCU column of zero blocks, then the old grid.
    ASSERT_EQ(k->Crop(-20, 0, 50, 40), 1);
    EXPECT_EQ(k->GetWidth(), 66);
    EXPECT_EQ(k->GetHeight(), 40);
    const ImageState after = Capture(k.p);
    ComponentGrid g;
    size_t oldOffset = 0;
    for (int c = 0; c < 3; ++c) {
        ASSERT_TRUE(k.impl()->GetComponentGrid(c, &g));
        const int oldPerRow = (g.blocksPerRow / 5) * 4;
        for (int r = 0; r < g.blockRows; ++r)
            for (int b = 0; b < g.blocksPerRow; ++b) {
                const short* got = after.coef.data() + g.offset + (static_cast<size_t>(r) * g.blocksPerRow + b) * 64;
                const int h = g.blocksPerRow / 5;
                for (int i = 0; i < 64; ++i) {
                    const short want = b < h ? 0
                        : before.coef[oldOffset + (static_cast<size_t>(r) * oldPerRow + (b - h)) * 64 + i];
                    ASSERT_EQ(got[i], want) << c << " " << r << "," << b;
                }
            }
        oldOffset += static_cast<size_t>(oldPerRow) * g.blockRows * 64;
    }

    // An empty rectangle becomes one pixel at the aligned corner.
    ImageRef one;
    ASSERT_EQ(ktest::LoadBytes(one.p, MakeJpeg(64, 48, k420)), 1);
    ASSERT_EQ(one->Crop(20, 20, 10, 10), 1);
    EXPECT_EQ(one->GetWidth(), 1);
    EXPECT_EQ(one->GetHeight(), 1);
    short* data;
    int count;
    one->GetCoefficients(&data, &count);
    EXPECT_EQ(count, 6 * 64);
    // Luma block (2, 2) of the old image is now the first.
    EXPECT_TRUE(std::equal(data, data + 64, before.coef.begin() + (2 * 8 + 2) * 64));

    // Wholly outside the image: an all-zero (mid grey) picture.
    ImageRef out;
    ASSERT_EQ(ktest::LoadBytes(out.p, MakeJpeg(64, 48, k420)), 1);
    ASSERT_EQ(out->Crop(INT_MAX - 40, 0, INT_MAX, 16), 1);
    out->GetCoefficients(&data, &count);
    EXPECT_TRUE(std::all_of(data, data + count, [](short v) { return v == 0; }));
}

// Crops that cannot be done fail before anything is written and change nothing.
TEST(Geometry, ImpossibleCropsFailCleanly)
{
    ImageRef k;
    ASSERT_EQ(ktest::LoadBytes(k.p, MakeJpeg(64, 48, k444)), 1);
    MemoryUndoStore store;
    k->SetUndoStore(&store);
    const ImageState before = Capture(k.p);
    struct Rect {
        int left, top, right, bottom;
    };
    const Rect bad[] = {
        {INT_MIN, INT_MIN, INT_MAX, INT_MAX}, // overflows int
        {INT_MIN, 0, 10, 10},
        {0, 0, 65501, 16},                    // wider than 65,500
        {0, -70000, 16, 0},                   // higher than 65,500
        {0, 0, 65500, 65500},                 // too many coefficients to allocate
    };
    for (const Rect& r : bad) {
        EXPECT_EQ(k->Crop(r.left, r.top, r.right, r.bottom), 0) << r.left << "," << r.top << "," << r.right;
        EXPECT_TRUE(store.writes.empty());
        EXPECT_TRUE(Same(Capture(k.p), before));
    }
    EXPECT_EQ(k.impl()->m_undo.Count(), 0u);
    // The limit itself is allowed.
    EXPECT_EQ(k->Crop(0, 0, 65500, 8), 1);
    EXPECT_EQ(k->GetWidth(), 65500);
}

// Without the partial column (row) an image smaller than one MCU cannot be
// flipped or turned; nothing is written and nothing changes.
TEST(Geometry, LessThanOneMcuFailsWithoutWriting)
{
    struct Case {
        Op op;
        int width, height;
    };
    const Case cases[] = {{FlipH, 12, 40}, {Left, 12, 40}, {FlipV, 40, 12}, {Right, 40, 12}};
    for (const Case& c : cases) {
        const auto jpeg = MakeJpeg(c.width, c.height, k420);
        ImageRef k;
        ASSERT_EQ(ktest::LoadBytes(k.p, jpeg), 1);
        MemoryUndoStore store;
        k->SetUndoStore(&store);
        const ImageState before = Capture(k.p);
        EXPECT_EQ(Apply(k.p, c.op, 0), 0) << c.op;
        EXPECT_TRUE(store.writes.empty()) << c.op;
        EXPECT_TRUE(Same(Capture(k.p), before)) << c.op;
        EXPECT_EQ(k.impl()->m_undo.Count(), 0u);
        EXPECT_EQ(Apply(k.p, c.op, 1), 1) << c.op;
    }
}

// Keeping the partial edge must not grow the image past 65,500 pixels, which
// no save could write: such an edit fails without writing; cutting the edge
// still works and saves.
TEST(Geometry, GrowingPastTheLargestSideFails)
{
    struct Case {
        Op op;
        int width, height;
    };
    const Case cases[] = {{FlipH, 65500, 8}, {Left, 65500, 8}, {FlipV, 8, 65500}, {Right, 8, 65500}};
    for (const Case& c : cases) {
        ImageRef k;
        ASSERT_EQ(ktest::LoadBytes(k.p, MakeJpeg(c.width, c.height, kGray)), 1);
        MemoryUndoStore store;
        k->SetUndoStore(&store);
        const ImageState before = Capture(k.p);
        EXPECT_EQ(Apply(k.p, c.op, 1), 0) << c.op;
        EXPECT_TRUE(store.writes.empty()) << c.op;
        EXPECT_TRUE(Same(Capture(k.p), before)) << c.op;
        ASSERT_EQ(Apply(k.p, c.op, 0), 1) << c.op;
        EXPECT_EQ(std::max(k->GetWidth(), k->GetHeight()), 65496) << c.op;
        EXPECT_GT(k->GetEncodedSize(), 0) << c.op;
    }
}

TEST(Geometry, NothingLoaded)
{
    ImageRef k;
    EXPECT_EQ(k->Crop(0, 0, 10, 10), 0);
    for (Op op : {FlipH, FlipV, Left, Right})
        EXPECT_EQ(Apply(k.p, op, 1), 0);
    ASSERT_EQ(ktest::LoadBytes(k.p, MakeJpeg(32, 32, k420), 1), 1); // header only
    EXPECT_EQ(k->RotateLeft(1), 0);
}

namespace {

// An EXIF block holding only an orientation entry, in either byte order,
// stored as a SHORT (type 3) or a LONG (type 4).
std::vector<uint8_t> ExifWithOrientation(bool bigEndian, uint16_t value, uint16_t type = 3)
{
    auto put16 = [&](std::vector<uint8_t>& b, uint16_t x) {
        if (bigEndian) {
            b.push_back(uint8_t(x >> 8));
            b.push_back(uint8_t(x));
        } else {
            b.push_back(uint8_t(x));
            b.push_back(uint8_t(x >> 8));
        }
    };
    auto put32 = [&](std::vector<uint8_t>& b, uint32_t x) {
        if (bigEndian) {
            put16(b, uint16_t(x >> 16));
            put16(b, uint16_t(x));
        } else {
            put16(b, uint16_t(x));
            put16(b, uint16_t(x >> 16));
        }
    };
    std::vector<uint8_t> b = {'E', 'x', 'i', 'f', 0, 0};
    b.push_back(bigEndian ? 'M' : 'I');
    b.push_back(bigEndian ? 'M' : 'I');
    put16(b, 42);
    put32(b, 8);
    put16(b, 1);      // one entry
    put16(b, 0x0112); // orientation
    put16(b, type);
    put32(b, 1);
    if (type == 4) {
        put32(b, value);
    } else {
        put16(b, value);
        put16(b, 0);
    }
    put32(b, 0); // no next IFD
    return b;
}

} // namespace

// The turned file holds orientation 1 as exiftool reads the whole entry: a
// LONG keeps nothing of the old value in its other half.
TEST(Geometry, OrientationResetAndRestored)
{
    if (!HaveTool("exiftool"))
        GTEST_SKIP() << "exiftool missing";
    TempDir dir;
    std::string saved; // the turned files, for one exiftool run
    int turned = 0;
    for (bool bigEndian : {true, false})
    for (uint16_t type : {uint16_t(3), uint16_t(4)}) {
        EncodeParams ep = Sampled(85, k420);
        ep.markers.push_back({JPEG_APP0 + 1, ExifWithOrientation(bigEndian, 6, type)});
        const auto jpeg = Encode(MakePattern(48, 32), ep);
        for (Op op : {FlipH, FlipV, Left, Right}) {
            SCOPED_TRACE(::testing::Message() << "big-endian " << bigEndian << " type " << type << " op " << op);
            ImageRef k;
            ASSERT_EQ(ktest::LoadBytes(k.p, jpeg), 1);
            ASSERT_EQ(k->GetOrientation(), 6);
            MemoryUndoStore store;
            k->SetUndoStore(&store);
            ASSERT_EQ(Apply(k.p, op, 1), 1);
            EXPECT_EQ(k->GetOrientation(), 1);
            if (op == Right) {
                const SaveOptions options = DefaultSaveOptions();
                const auto file = dir / ("turned" + std::to_string(++turned) + ".jpg");
                CBstr path(ToU16(file.string()));
                ASSERT_EQ(k->SaveFile(path, &options), 1);
                saved += " '" + file.string() + "'";
            }
            ASSERT_EQ(k->Undo(), 1);
            EXPECT_EQ(k->GetOrientation(), 6);
        }
    }
    std::string out;
    ASSERT_EQ(testjpeg::Run("exiftool -T -n -Orientation" + saved, &out), 0);
    EXPECT_EQ(out, "1\n1\n1\n1\n");
    // Without an orientation entry nothing is added.
    ImageRef plain;
    ASSERT_EQ(ktest::LoadBytes(plain.p, MakeJpeg(48, 32, k420)), 1);
    const auto markers = plain.impl()->m_markers.size();
    ASSERT_EQ(plain->RotateRight(1), 1);
    EXPECT_EQ(plain->GetOrientation(), 1);
    EXPECT_EQ(plain.impl()->m_markers.size(), markers);
}

// Shared corpus files of every sampling the corpus holds: each edit, both
// ways, taken back by undo.
TEST(Geometry, CorpusEditsUndoExactly)
{
    const auto files = CorpusFiles();
    int tried = 0;
    for (const auto& path : files) {
        if (std::filesystem::file_size(path) > 200000)
            continue; // keep the suite fast
        ImageRef k;
        if (ktest::LoadPath(k.p, path) != 1)
            continue;
        ++tried;
        const ImageState before = Capture(k.p);
        for (Op op : {FlipH, FlipV, Left, Right})
            for (int includePartial : {0, 1}) {
                MemoryUndoStore store;
                k->SetUndoStore(&store);
                if (Apply(k.p, op, includePartial) != 1)
                    continue;
                ASSERT_EQ(k->Undo(), 1);
                ASSERT_TRUE(Same(Capture(k.p), before)) << path.filename() << " " << op << "/" << includePartial;
            }
        MemoryUndoStore store;
        k->SetUndoStore(&store);
        ASSERT_EQ(k->Crop(-8, 24, k->GetWidth() / 2, k->GetHeight() + 20), 1);
        ASSERT_EQ(k->Undo(), 1);
        ASSERT_TRUE(Same(Capture(k.p), before)) << path.filename() << " crop";
    }
    EXPECT_GT(tried, 0);
}

// A saturated -32768 cannot be negated in 16 bits; it becomes 32767, not itself.
TEST(Geometry, NegatingSaturatedValueKeepsItsSign)
{
    ImageRef k;
    ASSERT_EQ(ktest::LoadBytes(k.p, MakeJpeg(16, 16, kGray)), 1);
    short* data;
    int count;
    k->GetCoefficients(&data, &count);
    data[1] = -32768; // (v 0, u 1)
    data[8] = -32768; // (v 1, u 0)
    ASSERT_EQ(k->FlipHorizontal(1), 1);
    k->GetCoefficients(&data, &count);
    const short* moved = data + 64; // 2 x 2 blocks: block (0, 0) lands at (0, 1)
    EXPECT_EQ(moved[1], 32767);
    EXPECT_EQ(moved[8], -32768);
}
