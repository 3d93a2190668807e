// Levels and grayscale: values, store streams, undo and refusals.
#include "KestrelTest.h"

#include <algorithm>

using namespace testjpeg;
using ktest::CoefValues;
using ktest::ImageRef;
using ktest::MemoryUndoStore;

namespace {

std::vector<uint8_t> Ycc420(int width, int height, unsigned seed = 3)
{
    return Encode(MakePattern(width, height, 3, seed), Sampled(80, {{2, 2}, {1, 1}, {1, 1}}));
}

size_t BlocksOf(IKestrel* k, int component)
{
    ComponentGrid g;
    EXPECT_TRUE(static_cast<CDllImage*>(k)->GetComponentGrid(component, &g));
    return g.count() / 64;
}

} // namespace

struct LevelsCase {
    int s0, s1, s2;
    int e0, e1, e2; // expected DC offsets per component (before clamping)
};

class Levels : public ::testing::TestWithParam<LevelsCase> {};

TEST_P(Levels, ShiftsDcOnlyAndUndoes)
{
    const LevelsCase& c = GetParam();
    ImageRef k;
    ASSERT_EQ(ktest::LoadBytes(k.p, Ycc420(100, 60)), 1);
    const std::vector<short> before = CoefValues(k.p);
    MemoryUndoStore store;
    k->SetUndoStore(&store);
    ASSERT_EQ(k->AdjustLevels(c.s0, c.s1, c.s2), 1);

    const std::vector<short> after = CoefValues(k.p);
    const int offsets[3] = {c.e0, c.e1, c.e2};
    std::vector<int> expectedWrites;
    for (int comp = 0; comp < 3; ++comp) {
        ComponentGrid g;
        ASSERT_TRUE(k.impl()->GetComponentGrid(comp, &g));
        if (offsets[comp] != 0)
            expectedWrites.push_back(static_cast<int>(g.count() / 64 * 2));
        for (size_t i = 0; i < g.count(); ++i) {
            const size_t at = g.offset + i;
            const int want = i % 64 == 0 ? std::clamp(before[at] + offsets[comp], -2304, 2286) : before[at];
            ASSERT_EQ(after[at], want) << "component " << comp << " value " << i;
        }
    }
    EXPECT_EQ(store.writes, expectedWrites);

    EXPECT_EQ(k->Undo(), 1);
    EXPECT_EQ(CoefValues(k.p), before);
    EXPECT_EQ(store.readPos, store.bytes.size());
    k->SetUndoStore(nullptr);
}

INSTANTIATE_TEST_SUITE_P(Shifts, Levels,
    ::testing::Values(LevelsCase{10, 0, 0, 102, 0, 0},      // brightness only
                      LevelsCase{0, 0, 0, 0, 0, 0},         // nothing written
                      LevelsCase{1, -37, 100, 10, -377, 1020},
                      LevelsCase{250, -250, 0, 1020, -1020, 0})); // clamped to +-100

TEST(Levels, DcClampsToItsAsymmetricRange)
{
    ImageRef k;
    ASSERT_EQ(ktest::LoadBytes(k.p, Ycc420(32, 32)), 1);
    short* data;
    int count;
    k->GetCoefficients(&data, &count);
    data[0] = 2200;
    data[64] = -2200;
    ASSERT_EQ(k->AdjustLevels(100, 0, 0), 1);
    EXPECT_EQ(data[0], 2286);
    EXPECT_EQ(data[64], -1180);
    ASSERT_EQ(k->AdjustLevels(-100, 0, 0), 1);
    ASSERT_EQ(k->AdjustLevels(-100, 0, 0), 1);
    EXPECT_EQ(data[64], -2304);
}

TEST(Levels, GrayscaleUsesOnlyTheFirstShift)
{
    Pixels px = MakePattern(40, 24, 1);
    EncodeParams ep;
    ep.inColorSpace = JCS_GRAYSCALE;
    ImageRef k;
    ASSERT_EQ(ktest::LoadBytes(k.p, Encode(px, ep)), 1);
    const std::vector<short> before = CoefValues(k.p);
    ASSERT_EQ(k->AdjustLevels(0, 50, 50), 1);
    EXPECT_EQ(CoefValues(k.p), before);
    ASSERT_EQ(k->AdjustLevels(-20, 0, 0), 1);
    EXPECT_EQ(CoefValues(k.p)[0], std::clamp(before[0] - 204, -2304, 2286));
}

TEST(Levels, NoStoreUndoKeepsTheEdit)
{
    ImageRef k;
    ASSERT_EQ(ktest::LoadBytes(k.p, Ycc420(32, 32)), 1);
    ASSERT_EQ(k->AdjustLevels(10, 0, 0), 1);
    const std::vector<short> edited = CoefValues(k.p);
    EXPECT_EQ(k->Undo(), 1);
    EXPECT_EQ(CoefValues(k.p), edited);
    EXPECT_EQ(k->Undo(), 0);
}

// Colour spaces the value edits refuse: nothing changes, nothing is written.
TEST(ValueEdits, RefusalsLeaveImageAndStoreAlone)
{
    struct Case {
        J_COLOR_SPACE in, jpeg;
        int canLevels, canGray;
    };
    for (const Case c : {Case{JCS_RGB, JCS_RGB, 0, 0}, Case{JCS_CMYK, JCS_CMYK, 0, 0}, Case{JCS_CMYK, JCS_YCCK, 0, 0},
                         Case{JCS_GRAYSCALE, JCS_GRAYSCALE, 1, 0}}) {
        EncodeParams ep;
        ep.inColorSpace = c.in;
        ep.jpegColorSpace = c.jpeg;
        const int channels = c.in == JCS_GRAYSCALE ? 1 : c.in == JCS_CMYK ? 4 : 3;
        ImageRef k;
        ASSERT_EQ(ktest::LoadBytes(k.p, Encode(MakePattern(24, 16, channels), ep)), 1);
        const std::vector<short> before = CoefValues(k.p);
        MemoryUndoStore store;
        k->SetUndoStore(&store);
        EXPECT_EQ(k->CanAdjustLevels(), c.canLevels) << c.jpeg;
        EXPECT_EQ(k->CanConvertToGrayscale(), c.canGray) << c.jpeg;
        EXPECT_EQ(k->AdjustLevels(5, 5, 5), c.canLevels) << c.jpeg;
        if (!c.canLevels) {
            EXPECT_EQ(CoefValues(k.p), before) << c.jpeg;
        }
        const std::vector<short> mid = CoefValues(k.p);
        const size_t written = store.bytes.size();
        EXPECT_EQ(k->ConvertToGrayscale(), 0) << c.jpeg;
        EXPECT_EQ(CoefValues(k.p), mid) << c.jpeg;
        EXPECT_EQ(store.bytes.size(), written) << c.jpeg;
        k->SetUndoStore(nullptr);
    }

    ImageRef empty;
    EXPECT_EQ(empty->AdjustLevels(1, 1, 1), 0);
    EXPECT_EQ(empty->ConvertToGrayscale(), 0);
}

TEST(Grayscale, KeepsLumaGridAndUndoesExactly)
{
    ImageRef k;
    ASSERT_EQ(ktest::LoadBytes(k.p, Ycc420(100, 60)), 1);
    const std::vector<short> before = CoefValues(k.p);
    const size_t yBlocks = BlocksOf(k.p, 0), cBlocks = BlocksOf(k.p, 1);
    ASSERT_EQ(yBlocks, 14u * 8u);
    MemoryUndoStore store;
    k->SetUndoStore(&store);
    ASSERT_EQ(k->ConvertToGrayscale(), 1);

    // 13 x 8 luma blocks cut out of the 14 x 8 padded grid.
    EXPECT_EQ(k->IsGrayscale(), 1);
    EXPECT_EQ(k->GetMcuWidth(), 8);
    EXPECT_EQ(k->GetMcuHeight(), 8);
    EXPECT_EQ(k->GetWidth(), 100);
    EXPECT_EQ(k.impl()->m_paddedWidth, 104);
    EXPECT_EQ(k.impl()->m_paddedHeight, 64);
    const std::vector<short> gray = CoefValues(k.p);
    ASSERT_EQ(gray.size(), 13u * 8u * 64u);
    for (int r = 0; r < 8; ++r)
        EXPECT_TRUE(std::equal(gray.begin() + r * 13 * 64, gray.begin() + (r + 1) * 13 * 64,
                               before.begin() + r * 14 * 64))
            << "row " << r;
    const jpeg_component_info& y = k.impl()->m_decoder.comp_info[0];
    EXPECT_EQ(y.width_in_blocks, 13u);
    EXPECT_EQ(y.height_in_blocks, 8u);
    EXPECT_EQ(k.impl()->LayoutCount(), static_cast<long long>(gray.size()));
    EXPECT_EQ(k->CanConvertToGrayscale(), 0);
    EXPECT_EQ(k->CanAdjustLevels(), 1);

    // Descriptions, Cb and Cr whole, then the dropped luma column.
    ASSERT_EQ(store.writes.size(), 4u);
    EXPECT_EQ(store.writes[1], static_cast<int>(cBlocks * 128));
    EXPECT_EQ(store.writes[2], static_cast<int>(cBlocks * 128));
    EXPECT_EQ(store.writes[3], 8 * 128);

    EXPECT_EQ(k->Undo(), 1);
    EXPECT_EQ(CoefValues(k.p), before);
    EXPECT_EQ(k->IsGrayscale(), 0);
    EXPECT_EQ(k->GetMcuWidth(), 16);
    EXPECT_EQ(k.impl()->m_paddedWidth, 112);
    EXPECT_EQ(k.impl()->m_decoder.comp_info[0].h_samp_factor, 2);
    EXPECT_EQ(k.impl()->m_decoder.comp_info[1].component_id, 2);
    EXPECT_EQ(k.impl()->m_decoder.comp_info[0].width_in_blocks, 13u);
    EXPECT_TRUE(ktest::MatchesLibjpeg(k.p, ReadCoefficients(Ycc420(100, 60))));
    k->SetUndoStore(nullptr);
}

TEST(Grayscale, LumaKeepsItsQuantisationTable)
{
    ImageRef k;
    ASSERT_EQ(ktest::LoadBytes(k.p, Ycc420(32, 32)), 1);
    // A file whose luma uses table slot 1.
    k.impl()->m_decoder.comp_info[0].quant_tbl_no = 1;
    ASSERT_EQ(k->ConvertToGrayscale(), 1);
    EXPECT_EQ(k.impl()->m_decoder.comp_info[0].quant_tbl_no, 1);
}

TEST(Grayscale, RefusesWhenLumaIsNotTheFinestComponent)
{
    ImageRef k;
    ASSERT_EQ(ktest::LoadBytes(k.p, Encode(MakePattern(40, 40), Sampled(80, {{1, 1}, {2, 2}, {1, 1}}))), 1);
    const std::vector<short> before = CoefValues(k.p);
    MemoryUndoStore store;
    k->SetUndoStore(&store);
    EXPECT_EQ(k->CanConvertToGrayscale(), 0);
    EXPECT_EQ(k->ConvertToGrayscale(), 0);
    EXPECT_EQ(CoefValues(k.p), before);
    EXPECT_TRUE(store.bytes.empty());
    k->SetUndoStore(nullptr);
}

// A store that refuses the undo data, all of it or only its last write,
// refuses the edit (grayscale and levels) with the image untouched; one that
// loses it on the way back leaves a consistent grayscale image behind.
TEST(Grayscale, FailingStoreStillGivesAConsistentImage)
{
    struct Case {
        const char* name;
        std::vector<uint8_t> jpeg;
        bool failWrites, failLastWrite, failReads;
    };
    const Case cases[] = {
        {"writes fail", Ycc420(40, 24), true, false, false},
        {"the dropped luma padding is not written", Ycc420(100, 60), false, true, false},
        {"the last chroma plane is not written", ReadFile(CorpusFile("syn_420_1001x667.jpg")), false, true, false},
        {"reads fail", Ycc420(40, 24), false, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ImageRef k;
        ASSERT_EQ(ktest::LoadBytes(k.p, c.jpeg), 1);
        const std::vector<short> before = CoefValues(k.p);
        MemoryUndoStore store;
        if (c.failLastWrite) {
            ImageRef counted;
            ASSERT_EQ(ktest::LoadBytes(counted.p, c.jpeg), 1);
            counted->SetUndoStore(&store);
            ASSERT_EQ(counted->ConvertToGrayscale(), 1);
            counted->SetUndoStore(nullptr);
            store.failWriteAt = static_cast<int>(store.writes.size()) - 1;
            store.bytes.clear();
            store.writes.clear();
        }
        store.failWrites = c.failWrites;
        store.failReads = c.failReads;
        k->SetUndoStore(&store);
        if (!c.failReads) {
            EXPECT_EQ(k->ConvertToGrayscale(), 0);
            EXPECT_EQ(k->IsGrayscale(), 0);
            EXPECT_EQ(CoefValues(k.p), before);
            EXPECT_EQ(k->Undo(), 0);
            if (c.failWrites) {
                EXPECT_EQ(k->AdjustLevels(10, -10, 20), 0);
            }
            EXPECT_EQ(CoefValues(k.p), before);
            EXPECT_TRUE(ktest::MatchesLibjpeg(k.p, ReadCoefficients(c.jpeg)));
            k->SetUndoStore(nullptr);
            continue;
        }
        ASSERT_EQ(k->ConvertToGrayscale(), 1);
        const std::vector<short> gray = CoefValues(k.p);
        EXPECT_EQ(k->Undo(), 1);
        EXPECT_EQ(k->IsGrayscale(), 1);
        EXPECT_EQ(CoefValues(k.p), gray);
        EXPECT_EQ(k.impl()->LayoutCount(), static_cast<long long>(gray.size()));
        k->SetUndoStore(nullptr);
    }
}

TEST(ValueEdits, EditsUndoNewestFirst)
{
    // Levels shifts the padding blocks too; the grayscale undo must bring
    // them back as levels left them.
    ImageRef k;
    ASSERT_EQ(ktest::LoadBytes(k.p, Ycc420(48, 40)), 1);
    const std::vector<short> original = CoefValues(k.p);
    // One store per edit, as the program's undo file gives each step its own span.
    MemoryUndoStore s1, s2, s3;
    k->SetUndoStore(&s1);
    ASSERT_EQ(k->AdjustLevels(-30, 12, 7), 1);
    const std::vector<short> leveled = CoefValues(k.p);
    k->SetUndoStore(&s2);
    ASSERT_EQ(k->ConvertToGrayscale(), 1);
    k->SetUndoStore(&s3);
    ASSERT_EQ(k->AdjustLevels(40, 0, 0), 1);
    EXPECT_EQ(k->Undo(), 1);
    EXPECT_EQ(k->Undo(), 1);
    EXPECT_EQ(CoefValues(k.p), leveled);
    EXPECT_EQ(k->Undo(), 1);
    EXPECT_EQ(CoefValues(k.p), original);
    EXPECT_EQ(k->Undo(), 0);
    k->SetUndoStore(nullptr);
}

// Grayscale after crops and quarter turns: the luma grid of the edited image,
// cut to ceil(width / 8) x ceil(height / 8) blocks, saved and read back
// unsheared.
struct GrayAfter {
    const char* what;
    std::vector<std::pair<int, int>> sampling;
    int crop[4]; // left, top, right, bottom; right 0 = no crop
    int turn;    // 0 none, 1 left, 2 right
};

class GrayscaleAfterGeometry : public ::testing::TestWithParam<GrayAfter> {};

TEST_P(GrayscaleAfterGeometry, KeepsWidthWithoutShear)
{
    const GrayAfter& p = GetParam();
    ImageRef k;
    ASSERT_EQ(ktest::LoadBytes(k.p, Encode(MakePattern(64, 48, 3, 11), Sampled(85, p.sampling))), 1);
    const std::vector<short> original = CoefValues(k.p);
    MemoryUndoStore cropStore, turnStore;
    if (p.crop[2]) {
        k->SetUndoStore(&cropStore);
        ASSERT_EQ(k->Crop(p.crop[0], p.crop[1], p.crop[2], p.crop[3]), 1);
    }
    k->SetUndoStore(&turnStore);
    if (p.turn == 1) {
        ASSERT_EQ(k->RotateLeft(1), 1);
    } else if (p.turn == 2) {
        ASSERT_EQ(k->RotateRight(1), 1);
    }
    const int width = k->GetWidth(), height = k->GetHeight();
    const std::vector<short> colour = CoefValues(k.p);
    ComponentGrid luma;
    ASSERT_TRUE(k.impl()->GetComponentGrid(0, &luma));

    MemoryUndoStore store;
    k->SetUndoStore(&store);
    ASSERT_EQ(k->ConvertToGrayscale(), 1);
    EXPECT_EQ(k->GetWidth(), width);
    EXPECT_EQ(k->GetHeight(), height);
    const int cols = (width + 7) / 8, rows = (height + 7) / 8;
    const std::vector<short> gray = CoefValues(k.p);
    ASSERT_EQ(gray.size(), static_cast<size_t>(cols) * rows * 64);
    for (int r = 0; r < rows; ++r)
        ASSERT_TRUE(std::equal(gray.begin() + r * cols * 64, gray.begin() + (r + 1) * cols * 64,
                               colour.begin() + r * luma.blocksPerRow * 64))
            << p.what << ": block row " << r;

    // Saved and loaded again, the file holds the same blocks at the same size.
    const int size = k->GetEncodedSize();
    ASSERT_GT(size, 0) << p.what;
    std::vector<uint8_t> file(static_cast<size_t>(size));
    ASSERT_EQ(k->SaveMemory(file.data(), size), 1) << p.what;
    ImageRef back;
    ASSERT_EQ(ktest::LoadBytes(back.p, file), 1) << p.what;
    EXPECT_EQ(back->IsGrayscale(), 1);
    EXPECT_EQ(back->GetWidth(), width);
    EXPECT_EQ(back->GetHeight(), height);
    EXPECT_EQ(CoefValues(back.p), gray) << p.what;

    EXPECT_EQ(k->Undo(), 1);
    EXPECT_EQ(CoefValues(k.p), colour) << p.what;
    EXPECT_EQ(k->GetMcuWidth(), 8 * k.impl()->m_decoder.comp_info[0].h_samp_factor);
    // Blocks the crop kept beyond the new width come back too: undoing the
    // crop shows them again.
    while (k->Undo()) {
    }
    EXPECT_EQ(CoefValues(k.p), original) << p.what;
    k->SetUndoStore(nullptr);
}

INSTANTIATE_TEST_SUITE_P(Edits, GrayscaleAfterGeometry,
    ::testing::Values(GrayAfter{"crop to 17 wide", {{2, 2}, {1, 1}, {1, 1}}, {16, 0, 33, 48}, 0},
                      GrayAfter{"crop 17 wide at 0", {{2, 2}, {1, 1}, {1, 1}}, {0, 5, 17, 40}, 0},
                      GrayAfter{"turn left of 4:2:2", {{2, 1}, {1, 1}, {1, 1}}, {0, 0, 0, 0}, 1},
                      GrayAfter{"crop then turn right", {{2, 2}, {1, 1}, {1, 1}}, {0, 0, 41, 23}, 2},
                      GrayAfter{"4:4:0 crop 9 high", {{1, 2}, {1, 1}, {1, 1}}, {0, 0, 30, 9}, 0}));
