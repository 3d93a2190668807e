// The reconstruct pass and the reconstruct edit: consistency with the stored
// quantised values, progress and cancelling, undo as a whole.
#include "KestrelTest.h"

#include "DCT.h"

#include <algorithm>

using namespace testjpeg;
using ktest::CoefValues;
using ktest::ImageRef;
using ktest::MemoryUndoStore;

namespace {

int Level(int c, int step)
{
    return c >= 0 ? (c + step / 2) / step : (c - step / 2) / step;
}

// Progress reports of the current test; the callback is a plain function.
std::vector<int> g_reports;
int g_cancelAt = -1; // answer 0 on this report (0-based)

int Record(int percent)
{
    g_reports.push_back(percent);
    return static_cast<int>(g_reports.size()) - 1 == g_cancelAt ? 0 : 1;
}

void ResetProgress(int cancelAt = -1)
{
    g_reports.clear();
    g_cancelAt = cancelAt;
}

} // namespace

// Quantising the result with the file's tables gives back the stored values,
// in every component and every block, after several passes.
TEST(Reconstruct, RequantisesToTheStoredValues)
{
    for (const auto& sampling : {std::vector<std::pair<int, int>>{{2, 2}, {1, 1}, {1, 1}},
                                 std::vector<std::pair<int, int>>{{1, 2}, {1, 1}, {1, 1}}}) {
        const auto jpeg = Encode(MakePattern(61, 45, 3, 5), Sampled(30, sampling));
        const Coefficients ref = ReadCoefficients(jpeg);
        ImageRef k;
        ASSERT_EQ(ktest::LoadBytes(k.p, jpeg), 1);
        const std::vector<short> before = CoefValues(k.p);
        ASSERT_EQ(k->Reconstruct(3, nullptr), 1);
        const std::vector<short> after = CoefValues(k.p);
        EXPECT_NE(after, before) << "the pass changed nothing";

        size_t changed = 0;
        for (size_t c = 0; c < ref.components.size(); ++c) {
            const Component& comp = ref.components[c];
            ComponentGrid g;
            ASSERT_TRUE(k.impl()->GetComponentGrid(static_cast<int>(c), &g));
            for (int r = 0; r < g.blockRows; ++r)
                for (int b = 0; b < g.blocksPerRow; ++b) {
                    const bool coded = r < comp.heightInBlocks && b < comp.widthInBlocks;
                    const size_t at = g.offset + (static_cast<size_t>(r) * g.blocksPerRow + b) * 64;
                    for (int i = 0; i < 64; ++i) {
                        const int want = coded ? comp.block(r, b)[i] : 0;
                        ASSERT_EQ(Level(after[at + i], comp.quant[i]), want)
                            << "component " << c << " block " << r << "," << b << " coefficient " << i;
                        changed += after[at + i] != before[at + i];
                    }
                }
        }
        EXPECT_GT(changed, 0u);
    }
}

// Flat grey stays flat grey; with every step 1 nothing may move.
TEST(Reconstruct, FixedPoints)
{
    ImageRef k;
    ASSERT_EQ(ktest::LoadBytes(k.p, Encode(MakePattern(40, 40), Sampled(80, {{2, 2}, {1, 1}, {1, 1}}))), 1);
    std::vector<short> zero(CoefValues(k.p).size(), 0);
    ASSERT_EQ(k->SetCoefficients(zero.data(), static_cast<int>(zero.size())), 1);
    ASSERT_EQ(k->Reconstruct(3, nullptr), 1);
    EXPECT_EQ(CoefValues(k.p), zero);

    ImageRef q100;
    ASSERT_EQ(ktest::LoadBytes(q100.p, Encode(MakePattern(40, 40), Sampled(100, {{2, 1}, {1, 1}, {1, 1}}))), 1);
    const std::vector<short> before = CoefValues(q100.p);
    ASSERT_EQ(q100->Reconstruct(2, nullptr), 1);
    EXPECT_EQ(CoefValues(q100.p), before);

    // No pass at all still succeeds.
    EXPECT_EQ(q100->Reconstruct(0, nullptr), 1);
    EXPECT_EQ(q100->Reconstruct(-4, nullptr), 1);
}

// The pass removes blocking: decoded samples get closer to the picture that
// was compressed.
TEST(Reconstruct, BringsTheDecodeCloserToTheSource)
{
    EncodeParams ep;
    ep.inColorSpace = JCS_GRAYSCALE;
    ep.quality = 20;
    Pixels src = MakePattern(64, 64, 1, 9);
    const auto jpeg = Encode(src, ep);
    ImageRef k;
    ASSERT_EQ(ktest::LoadBytes(k.p, jpeg), 1);
    const auto error = [&] {
        std::vector<uint8_t> bgr(64 * 64 * 3);
        EXPECT_EQ(k->RenderToBitmap(bgr.data(), 64 * 3, 0), 1);
        long long sum = 0;
        for (int i = 0; i < 64 * 64; ++i) {
            const int d = bgr[i * 3] - src.data[i];
            sum += d * d;
        }
        return sum;
    };
    const long long plain = error();
    ASSERT_EQ(k->Reconstruct(1, nullptr), 1);
    EXPECT_LT(error(), plain);
}

TEST(Reconstruct, ReportsEveryBlockRowOfEveryComponent)
{
    ImageRef k;
    ASSERT_EQ(ktest::LoadBytes(k.p, Encode(MakePattern(64, 64), Sampled(75, {{2, 2}, {1, 1}, {1, 1}}))), 1);
    ResetProgress();
    ASSERT_EQ(k->Reconstruct(2, Record), 1);
    // 8 + 4 + 4 block rows per pass, each pass counting from 0 towards 100.
    std::vector<int> onePass;
    for (int d = 1; d <= 16; ++d)
        onePass.push_back(d * 100 / 16);
    EXPECT_EQ(onePass[0], 6);
    EXPECT_EQ(onePass[3], 25);
    std::vector<int> expected = onePass;
    expected.insert(expected.end(), onePass.begin(), onePass.end());
    EXPECT_EQ(g_reports, expected);
}

// Cancelling at the first report leaves exactly the first luma block row new.
TEST(Reconstruct, CancelAfterFirstRowKeepsThatRow)
{
    const auto jpeg = Encode(MakePattern(64, 48), Sampled(40, {{2, 2}, {1, 1}, {1, 1}}));
    ImageRef k;
    ASSERT_EQ(ktest::LoadBytes(k.p, jpeg), 1);
    const std::vector<short> before = CoefValues(k.p);
    CDCT dct(&k.impl()->m_decoder);
    ResetProgress(0);
    EXPECT_EQ(dct.ReconstructPass(k.impl()->m_coef, static_cast<size_t>(k.impl()->m_coefCount), Record), 0);
    EXPECT_EQ(g_reports.size(), 1u);
    const std::vector<short> after = CoefValues(k.p);
    const size_t firstRow = 8 * 64; // 8 luma blocks per row
    EXPECT_FALSE(std::equal(before.begin(), before.begin() + firstRow, after.begin()));
    EXPECT_TRUE(std::equal(before.begin() + firstRow, before.end(), after.begin() + firstRow));
}

// A cancel in the second of three passes: the edit succeeds, keeps the first
// pass and the finished part of the second, and undoes as a whole.
TEST(Reconstruct, CancelInLaterPassUndoesAsAWhole)
{
    const auto jpeg = Encode(MakePattern(64, 48), Sampled(40, {{2, 2}, {1, 1}, {1, 1}}));
    ImageRef onePass;
    ASSERT_EQ(ktest::LoadBytes(onePass.p, jpeg), 1);
    ASSERT_EQ(onePass->Reconstruct(1, nullptr), 1);
    const std::vector<short> first = CoefValues(onePass.p);

    ImageRef k;
    ASSERT_EQ(ktest::LoadBytes(k.p, jpeg), 1);
    const std::vector<short> before = CoefValues(k.p);
    MemoryUndoStore store;
    k->SetUndoStore(&store);
    const int rowsPerPass = 6 + 3 + 3;
    ResetProgress(rowsPerPass + 2); // the third row of the second pass
    ASSERT_EQ(k->Reconstruct(3, Record), 1);
    EXPECT_EQ(g_reports.size(), static_cast<size_t>(rowsPerPass + 3));
    const std::vector<short> cancelled = CoefValues(k.p);
    const size_t done = 3 * 8 * 64; // three luma block rows of the second pass
    EXPECT_FALSE(std::equal(first.begin(), first.begin() + done, cancelled.begin()));
    EXPECT_TRUE(std::equal(first.begin() + done, first.end(), cancelled.begin() + done));
    EXPECT_EQ(store.bytes.size(), before.size() * sizeof(short));

    EXPECT_EQ(k->Undo(), 1);
    EXPECT_EQ(CoefValues(k.p), before);
    k->SetUndoStore(nullptr);
}

// Geometry the block transforms cannot handle is refused before anything is
// written or changed.
TEST(Reconstruct, RefusesUnsupportedImages)
{
    struct Case {
        const char* what;
        std::vector<std::pair<int, int>> sampling;
        J_COLOR_SPACE forceSpace;
    };
    for (const Case& c : {Case{"4x1 luma", {{4, 1}, {1, 1}, {1, 1}}, JCS_UNKNOWN},
                          Case{"3x1 luma", {{3, 1}, {1, 1}, {1, 1}}, JCS_UNKNOWN},
                          Case{"unknown colour space", {{2, 2}, {1, 1}, {1, 1}}, JCS_EXT_RGB}}) {
        ImageRef k;
        ASSERT_EQ(ktest::LoadBytes(k.p, Encode(MakePattern(48, 32), Sampled(80, c.sampling))), 1) << c.what;
        if (c.forceSpace != JCS_UNKNOWN)
            k.impl()->m_decoder.jpeg_color_space = c.forceSpace;
        const std::vector<short> before = CoefValues(k.p);
        std::vector<BYTE> bitmap(64 * 32 * 3, 7);
        BYTE* first = bitmap.data();
        MemoryUndoStore store;
        k->SetUndoStore(&store);
        EXPECT_EQ(k->Reconstruct(1, nullptr), 0) << c.what;
        EXPECT_EQ(k->ApplyBitmapChanges(&first, 64 * 3, 1, nullptr), 0) << c.what;
        EXPECT_EQ(CoefValues(k.p), before) << c.what;
        EXPECT_TRUE(store.bytes.empty()) << c.what;
        EXPECT_EQ(k->Undo(), 0) << c.what;
        k->SetUndoStore(nullptr);
    }
}

TEST(Reconstruct, WorksOnGrayscaleAndAfterGeometricEdits)
{
    const auto jpeg = Encode(MakePattern(70, 50), Sampled(50, {{2, 2}, {1, 1}, {1, 1}}));
    ImageRef k;
    ASSERT_EQ(ktest::LoadBytes(k.p, jpeg), 1);
    ASSERT_EQ(k->Crop(3, 5, 40, 37), 1);
    ASSERT_EQ(k->RotateLeft(1), 1);
    const std::vector<short> turned = CoefValues(k.p);
    ASSERT_EQ(k->Reconstruct(1, nullptr), 1);
    EXPECT_NE(CoefValues(k.p), turned);
    ASSERT_EQ(k->ConvertToGrayscale(), 1);
    ASSERT_EQ(k->Reconstruct(1, nullptr), 1);
}
