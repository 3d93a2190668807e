// The library undo list and the byte stream each geometric edit writes to the
// caller's undo store.
#include "GeometryTest.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <numeric>

using namespace testjpeg;
using namespace gtest_geom;
using ktest::ImageRef;
using ktest::MemoryUndoStore;

namespace {

const std::vector<std::pair<int, int>> k420 = {{2, 2}, {1, 1}, {1, 1}};
const std::vector<std::pair<int, int>> k422 = {{2, 1}, {1, 1}, {1, 1}};

// Gives tests the region transfers of an action without an edit.
class RegionAction : public CDllAction {
public:
    RegionAction(CDllImage* image, IUndoStore* store)
    {
        m_image = image;
        m_store = store;
    }
    int Execute() override { return 1; }
    void Revert() override {}
};

// Counts executions and reverts, to check the list's bookkeeping.
class CountingAction : public CDllAction {
public:
    explicit CountingAction(int result, int* reverts) : m_result(result), m_reverts(reverts) {}
    int Execute() override { return m_result; }
    void Revert() override { ++*m_reverts; }
    int m_result;
    int* m_reverts;
};

std::vector<int> Repeat(int count, int value) { return std::vector<int>(static_cast<size_t>(count), value); }

std::vector<int> Concat(std::initializer_list<std::vector<int>> parts)
{
    std::vector<int> all;
    for (const auto& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

} // namespace

TEST(UndoRegion, SpansFollowTheMcuGrid)
{
    ImageRef k;
    ASSERT_EQ(ktest::LoadBytes(k.p, MakeJpeg(64, 48, k420)), 1); // 4 x 3 MCUs
    MemoryUndoStore store;
    RegionAction a(k.impl(), &store);
    ASSERT_EQ(a.SaveRegion({1, 0, 3, 2}), 1);
    // Luma: 4 block rows of 2 MCUs x 2 blocks; each chroma: 2 rows of 2 blocks.
    EXPECT_EQ(store.writes, Concat({Repeat(4, 512), Repeat(4, 256)}));

    // The first span is luma block row 0 from block column 2 on.
    short* data;
    int count;
    k->GetCoefficients(&data, &count);
    EXPECT_EQ(std::memcmp(store.bytes.data(), data + 2 * 64, 512), 0);

    // A restore reads exactly those places back.
    const ImageState before = Capture(k.p);
    std::fill(data, data + count, short(0));
    ASSERT_EQ(a.RestoreRegion({1, 0, 3, 2}), 1);
    std::vector<short> expect(before.coef.size(), 0);
    ComponentGrid g;
    for (int c = 0; c < 3; ++c) {
        ASSERT_TRUE(k.impl()->GetComponentGrid(c, &g));
        for (int r = 0; r < 2 * g.v; ++r)
            for (int b = g.h; b < 3 * g.h; ++b)
                for (int i = 0; i < 64; ++i) {
                    const size_t at = g.offset + (static_cast<size_t>(r) * g.blocksPerRow + b) * 64 + i;
                    expect[at] = before.coef[at];
                }
    }
    EXPECT_EQ(std::vector<short>(data, data + count), expect);

    // Rectangles outside the grid are refused without a store call; the whole
    // image is one span per block row.
    MemoryUndoStore other;
    RegionAction b(k.impl(), &other);
    EXPECT_EQ(b.SaveRegion({3, 0, 5, 1}), 0);
    EXPECT_EQ(b.SaveRegion({-1, 0, 1, 1}), 0);
    EXPECT_TRUE(other.writes.empty());
    ASSERT_EQ(b.SaveWholeImage(), 1);
    EXPECT_EQ(other.writes, Concat({Repeat(6, 1024), Repeat(6, 512)}));
    RegionAction none(k.impl(), nullptr);
    EXPECT_EQ(none.SaveWholeImage(), 1);
    EXPECT_EQ(none.RestoreWholeImage(), 0);
}

TEST(UndoRegion, StopsAtFirstFailingCall)
{
    ImageRef k;
    ASSERT_EQ(ktest::LoadBytes(k.p, MakeJpeg(64, 48, k420)), 1);
    struct FailAfter : IUndoStore {
        int left;
        int calls = 0;
        int Write(const void*, int) override { return ++calls <= left; }
        int Read(void*, int) override { return ++calls <= left; }
    } store;
    store.left = 3;
    RegionAction a(k.impl(), &store);
    EXPECT_EQ(a.SaveRegion({0, 0, 4, 3}), 0);
    EXPECT_EQ(store.calls, 4);
    store.calls = 0;
    EXPECT_EQ(a.RestoreRegion({0, 0, 4, 3}), 0);
    EXPECT_EQ(store.calls, 4);
}

// The exact store calls each geometric edit makes (sizes in bytes, in order).
TEST(UndoStream, GeometricEditsWriteTheCutEdgeOrTheCroppedParts)
{
    // 4:2:0, 100 x 60: 7 x 4 MCUs, the last column and row partial.
    const auto jpeg = MakeJpeg(100, 60, k420);
    const std::vector<int> column = Concat({Repeat(8, 256), Repeat(8, 128)});      // (6, 0, 7, 4)
    const std::vector<int> row = Concat({Repeat(2, 7 * 256), Repeat(2, 7 * 128)}); // (0, 3, 7, 4)
    struct Case {
        const char* name;
        std::function<int(IKestrel*)> edit;
        std::vector<int> writes;
    };
    const Case cases[] = {
        {"flipH cut", [](IKestrel* k) { return k->FlipHorizontal(0); }, column},
        {"left cut", [](IKestrel* k) { return k->RotateLeft(0); }, column},
        {"flipV cut", [](IKestrel* k) { return k->FlipVertical(0); }, row},
        {"right cut", [](IKestrel* k) { return k->RotateRight(0); }, row},
        {"flipH kept", [](IKestrel* k) { return k->FlipHorizontal(1); }, {}},
        {"right kept", [](IKestrel* k) { return k->RotateRight(1); }, {}},
        // MCUs kept: columns 1..3, rows 1..2 (right 64 reaches column 3,
        // bottom 48 row 2). Above: row 0; left: column 0 of rows 1..2;
        // right: columns 4..6; below: row 3.
        {"crop inside", [](IKestrel* k) { return k->Crop(16, 16, 64, 48); },
         Concat({Repeat(2, 7 * 256), Repeat(2, 7 * 128),                      // above
                 Repeat(4, 256), Repeat(2, 128), Repeat(2, 128),              // left
                 Repeat(4, 3 * 256), Repeat(2, 3 * 128), Repeat(2, 3 * 128),  // right
                 Repeat(2, 7 * 256), Repeat(2, 7 * 128)})},                   // below
        {"crop whole", [](IKestrel* k) { return k->Crop(0, 0, 100, 60); }, {}},
        // Outward on the left and top: everything of the old grid is kept but
        // the columns right of MCU 2 and the rows below MCU row 1.
        {"crop outward", [](IKestrel* k) { return k->Crop(-32, -16, 48, 32); },
         Concat({Repeat(4, 4 * 256), Repeat(2, 4 * 128), Repeat(2, 4 * 128),  // right of it
                 Repeat(4, 7 * 256), Repeat(2, 7 * 128), Repeat(2, 7 * 128)})}, // below
    };
    for (const Case& c : cases) {
        ImageRef k;
        ASSERT_EQ(ktest::LoadBytes(k.p, jpeg), 1);
        MemoryUndoStore store;
        k->SetUndoStore(&store);
        ASSERT_EQ(c.edit(k.p), 1) << c.name;
        EXPECT_EQ(store.writes, c.writes) << c.name;
    }
}

namespace {

struct Edit {
    const char* name;
    std::function<int(IKestrel*)> run;
};

const Edit kEdits[] = {
    {"flipH0", [](IKestrel* k) { return k->FlipHorizontal(0); }},
    {"flipH1", [](IKestrel* k) { return k->FlipHorizontal(1); }},
    {"flipV0", [](IKestrel* k) { return k->FlipVertical(0); }},
    {"flipV1", [](IKestrel* k) { return k->FlipVertical(1); }},
    {"left0", [](IKestrel* k) { return k->RotateLeft(0); }},
    {"left1", [](IKestrel* k) { return k->RotateLeft(1); }},
    {"right0", [](IKestrel* k) { return k->RotateRight(0); }},
    {"right1", [](IKestrel* k) { return k->RotateRight(1); }},
    {"crop", [](IKestrel* k) { return k->Crop(20, 10, 70, 50); }},
    {"cropOut", [](IKestrel* k) { return k->Crop(-40, -20, 130, 90); }},
    {"cropCorner", [](IKestrel* k) { return k->Crop(90, 50, 200, 200); }},
};

} // namespace

// Every edit, undone through the store, gives back exactly the state it began from.
TEST(Undo, EachEditUndoesExactly)
{
    for (const auto& sampling : {k420, k422, std::vector<std::pair<int, int>>{}}) {
        const auto jpeg = MakeJpeg(100, 60, sampling, 5);
        for (const Edit& e : kEdits) {
            ImageRef k;
            ASSERT_EQ(ktest::LoadBytes(k.p, jpeg), 1);
            MemoryUndoStore store;
            k->SetUndoStore(&store);
            const ImageState before = Capture(k.p);
            ASSERT_EQ(e.run(k.p), 1) << e.name;
            ASSERT_EQ(k->Undo(), 1);
            EXPECT_TRUE(Same(Capture(k.p), before)) << e.name << " on " << sampling.size() << " components";
            EXPECT_EQ(store.readPos, store.bytes.size()) << e.name;
            EXPECT_EQ(k->Undo(), 0);
        }
    }
}

namespace {

// A quality-100 checkerboard whose quantisation steps are all patched to 255:
// every strong coefficient saturates when loaded. Alternate blocks have the
// checkerboard's phase inverted, so both signs occur.
std::vector<uint8_t> SaturatingJpeg(int width, int height, const std::vector<std::pair<int, int>>& sampling)
{
    Pixels px;
    px.width = width;
    px.height = height;
    px.data.resize(static_cast<size_t>(width) * height * 3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const bool on = ((x + y) & 1) ^ ((x / 8 + y / 8) & 1);
            uint8_t* p = px.row(y) + x * 3;
            p[0] = on ? 255 : 0;
            p[1] = on ? 0 : 255;
            p[2] = on ? 255 : 40;
        }
    auto jpeg = Encode(px, Sampled(100, sampling));
    for (size_t pos = 2; pos + 4 <= jpeg.size() && jpeg[pos] == 0xFF && jpeg[pos + 1] != 0xDA;) {
        const size_t len = size_t(jpeg[pos + 2]) << 8 | jpeg[pos + 3];
        if (jpeg[pos + 1] == 0xDB)
            for (size_t t = pos + 4; t + 65 <= pos + 2 + len; t += 65)
                std::fill(jpeg.begin() + long(t + 1), jpeg.begin() + long(t + 65), 255); // 8-bit tables
        pos += 2 + len;
    }
    return jpeg;
}

} // namespace

// Saturated values keep their magnitude under negation, so each flip and turn
// and the levels edit take back exactly what they changed.
TEST(Undo, SaturatedCoefficientsUndoExactly)
{
    const std::function<int(IKestrel*)> levels[] = {
        [](IKestrel* k) { return k->AdjustLevels(100, -100, 100); },
        [](IKestrel* k) { return k->AdjustLevels(-100, 100, -100); },
    };
    struct Shape {
        int width, height;
        std::vector<std::pair<int, int>> sampling;
    };
    for (const Shape& shape : {Shape{64, 48, k420}, Shape{100, 60, k420}, Shape{52, 40, k422}}) {
        const auto jpeg = SaturatingJpeg(shape.width, shape.height, shape.sampling);
        ImageRef probe;
        ASSERT_EQ(ktest::LoadBytes(probe.p, jpeg), 1);
        const auto values = ktest::CoefValues(probe.p);
        EXPECT_EQ(std::count(values.begin(), values.end(), short(-32768)), 0);
        ASSERT_GT(std::count(values.begin(), values.end(), short(-32767)), 0);
        ASSERT_GT(std::count(values.begin(), values.end(), short(32767)), 0);

        std::vector<std::pair<std::string, std::function<int(IKestrel*)>>> edits;
        for (size_t i = 0; i < 8; ++i) // the flips and turns, with and without the partial edge
            edits.emplace_back(kEdits[i].name, kEdits[i].run);
        edits.emplace_back("levels+", levels[0]);
        edits.emplace_back("levels-", levels[1]);
        for (const auto& [name, run] : edits) {
            ImageRef k;
            ASSERT_EQ(ktest::LoadBytes(k.p, jpeg), 1);
            MemoryUndoStore store;
            k->SetUndoStore(&store);
            const ImageState before = Capture(k.p);
            ASSERT_EQ(run(k.p), 1) << name;
            ASSERT_EQ(k->Undo(), 1);
            EXPECT_TRUE(Same(Capture(k.p), before)) << name << " on " << shape.width << "x" << shape.height;
        }
    }
}

// A chain of mixed edits, each with its own store as the program keeps one
// per edit, undone newest first, passes back through every earlier state.
TEST(Undo, ChainsUndoInReverse)
{
    const int chains[][6] = {{0, 4, 8, 7, 2, 10}, {5, 9, 3, 6, 1, 8}, {10, 7, 0, 5, 9, 2}};
    for (const auto& chain : chains) {
        ImageRef k;
        ASSERT_EQ(ktest::LoadBytes(k.p, MakeJpeg(100, 60, k420, 9)), 1);
        std::vector<std::unique_ptr<MemoryUndoStore>> stores;
        std::vector<ImageState> states{Capture(k.p)};
        for (int i : chain) {
            stores.push_back(std::make_unique<MemoryUndoStore>());
            k->SetUndoStore(stores.back().get());
            ASSERT_EQ(kEdits[i].run(k.p), 1) << kEdits[i].name;
            k->SetUndoStore(nullptr);
            states.push_back(Capture(k.p));
        }
        for (size_t n = std::size(chain); n-- > 0;) {
            k->SetUndoStore(stores[n].get());
            ASSERT_EQ(k->Undo(), 1);
            ASSERT_TRUE(Same(Capture(k.p), states[n])) << "after undoing " << kEdits[chain[n]].name;
        }
        EXPECT_EQ(k->Undo(), 0);
    }
}

TEST(Undo, ListBookkeeping)
{
    ImageRef k;
    int reverts = 0;
    // Nothing loaded: the action is refused and destroyed.
    EXPECT_EQ(k.impl()->m_undo.Do(new CountingAction(1, &reverts)), 0);
    ASSERT_EQ(ktest::LoadBytes(k.p, MakeJpeg(64, 48, k420)), 1);

    MemoryUndoStore store;
    k->SetUndoStore(&store);
    EXPECT_EQ(k.impl()->m_undo.Do(new CountingAction(0, &reverts)), 0); // failed: not kept
    EXPECT_EQ(k.impl()->m_undo.Do(new CountingAction(7, &reverts)), 7);
    EXPECT_EQ(k.impl()->m_undo.Do(new CountingAction(1, &reverts)), 1);
    EXPECT_EQ(k.impl()->m_undo.Count(), 2u);
    EXPECT_EQ(k->Undo(), 1);
    EXPECT_EQ(k->Undo(), 1);
    EXPECT_EQ(k->Undo(), 0);
    EXPECT_EQ(reverts, 2);

    // Done without a store: kept, and undo only drops it.
    k->SetUndoStore(nullptr);
    ASSERT_EQ(k->RotateRight(1), 1);
    const ImageState turned = Capture(k.p);
    EXPECT_EQ(k.impl()->m_undo.Count(), 1u);
    k->SetUndoStore(&store);
    EXPECT_EQ(k->Undo(), 1);
    EXPECT_TRUE(Same(Capture(k.p), turned));
    EXPECT_EQ(k.impl()->m_undo.Count(), 0u);

    // An action does itself only once; a reload drops the list unreverted.
    CountingAction once(1, &reverts);
    EXPECT_EQ(once.Do(k.impl(), &store), 1);
    EXPECT_EQ(once.Do(k.impl(), &store), 0);
    EXPECT_EQ(once.Undo(), 1);
    EXPECT_EQ(once.Undo(), 0);
    ASSERT_EQ(k->FlipVertical(1), 1);
    ASSERT_EQ(ktest::LoadBytes(k.p, MakeJpeg(64, 48, k420)), 1);
    EXPECT_EQ(k->Undo(), 0);
}

// A failing write lets the edit go on; a failing read ends the region restore
// but the revert still rebuilds the old geometry from what it holds.
TEST(Undo, StoreFailuresNeverStopTheEdit)
{
    const auto jpeg = MakeJpeg(100, 60, k420);
    ImageRef ref;
    ASSERT_EQ(ktest::LoadBytes(ref.p, jpeg), 1);
    const ImageState original = Capture(ref.p);

    for (const Edit& e : kEdits) {
        ImageRef k;
        ASSERT_EQ(ktest::LoadBytes(k.p, jpeg), 1);
        MemoryUndoStore store;
        store.failWrites = true;
        k->SetUndoStore(&store);
        ASSERT_EQ(e.run(k.p), 1) << e.name;
        ASSERT_EQ(k->Undo(), 1) << e.name; // every read fails: nothing to read
        const ImageState back = Capture(k.p);
        EXPECT_EQ(back.width, original.width) << e.name;
        EXPECT_EQ(back.height, original.height) << e.name;
        EXPECT_EQ(back.comps, original.comps) << e.name;
        EXPECT_EQ(back.tables, original.tables) << e.name;
        ASSERT_EQ(back.coef.size(), original.coef.size()) << e.name;
        // Kept blocks are back in place; what the store should have held is zero.
        for (size_t i = 0; i < back.coef.size(); ++i)
            if (back.coef[i] != 0 && back.coef[i] != original.coef[i]) {
                ADD_FAILURE() << e.name << " value " << i;
                break;
            }
    }

    // A read failing part way: the spans before it are restored.
    ImageRef k;
    ASSERT_EQ(ktest::LoadBytes(k.p, jpeg), 1);
    MemoryUndoStore store;
    k->SetUndoStore(&store);
    ASSERT_EQ(k->Crop(16, 16, 64, 48), 1);
    const size_t firstSpan = static_cast<size_t>(store.writes[0]);
    store.bytes.resize(firstSpan + 10);
    ASSERT_EQ(k->Undo(), 1);
    const ImageState back = Capture(k.p);
    EXPECT_EQ(back.width, 100);
    EXPECT_TRUE(std::equal(back.coef.begin(), back.coef.begin() + static_cast<long>(firstSpan / 2),
                           original.coef.begin()));
    EXPECT_TRUE(std::all_of(back.coef.begin() + static_cast<long>(firstSpan / 2),
                            back.coef.begin() + static_cast<long>(firstSpan), [](short v) { return v == 0; }));
}
