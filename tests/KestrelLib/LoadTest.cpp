// The library object and loading into the coefficient image.
#include "ExifTestBlock.h"
#include "KestrelTest.h"

#include <dlfcn.h>
#include <fstream>
#include <functional>

using namespace testjpeg;
using ktest::ImageRef;

TEST(KestrelObject, ExportAndQueries)
{
    EXPECT_EQ(CreateKestrelObject(nullptr), E_POINTER);

    ImageRef k;
    ASSERT_NE(k.p, nullptr);
    EXPECT_EQ(k->IsLoaded(), 0);
    EXPECT_EQ(k->Undo(), 0);
    std::vector<BYTE> row(48);
    EXPECT_EQ(k->RenderToBitmap(row.data(), 48, 0), 0);
    EXPECT_EQ(k->CanConvertToGrayscale(), 0);
    EXPECT_EQ(k->CanAdjustLevels(), 0);
    EXPECT_EQ(k->IsGrayscale(), 0);

    void* a = nullptr;
    void* b = nullptr;
    EXPECT_EQ(k->QueryInterface(IID_IKestrel, &a), S_OK);
    EXPECT_EQ(k->QueryInterface(IID_IUnknown, &b), S_OK);
    EXPECT_EQ(a, static_cast<void*>(k.p));
    EXPECT_EQ(a, b);
    EXPECT_EQ(k->Release(), 2u);
    EXPECT_EQ(k->Release(), 1u);

    GUID other = IID_IKestrel;
    other.Data4[7] ^= 1;
    void* c = &a;
    EXPECT_EQ(k->QueryInterface(other, &c), E_NOINTERFACE);
    EXPECT_EQ(c, nullptr);
    EXPECT_EQ(k->QueryInterface(IID_IKestrel, nullptr), E_POINTER);

    short* data = reinterpret_cast<short*>(1);
    int count = 7;
    k->GetCoefficients(&data, &count);
    EXPECT_EQ(data, nullptr);
    EXPECT_EQ(count, 0);
    short dummy = 0;
    EXPECT_EQ(k->SetCoefficients(&dummy, 0), 0);
}

TEST(KestrelObject, BadArgumentsFail)
{
    ImageRef k;
    EXPECT_EQ(k->LoadFile(nullptr, 0), 0);
    CBstr empty(u"");
    EXPECT_EQ(k->LoadFile(empty, 0), 0);
    EXPECT_EQ(k->LoadMemory(nullptr, 100, 0), 0);
    const BYTE b[4] = {0xFF, 0xD8, 0xFF, 0xD9};
    EXPECT_EQ(k->LoadMemory(b, 0, 0), 0);
    EXPECT_EQ(k->LoadMemory(b, -5, 0), 0);
    CBstr missing(u"/nonexistent/folder/x.jpg");
    EXPECT_EQ(k->LoadFile(missing, 0), 0);
    EXPECT_EQ(k->IsLoaded(), 0);
}

struct Layout {
    int width, height;
    std::vector<std::pair<int, int>> sampling; // empty: grayscale
    int mcuW, mcuH;
    long long count;
};

class LoadLayout : public ::testing::TestWithParam<Layout> {};

TEST_P(LoadLayout, MatchesLibjpeg)
{
    const Layout& l = GetParam();
    const bool gray = l.sampling.empty();
    Pixels px = MakePattern(l.width, l.height, gray ? 1 : 3);
    EncodeParams ep;
    ep.inColorSpace = gray ? JCS_GRAYSCALE : JCS_RGB;
    ep.sampling = l.sampling;
    auto jpeg = Encode(px, ep);
    auto ref = ReadCoefficients(jpeg);
    ASSERT_TRUE(ref.ok);

    ImageRef k;
    ASSERT_EQ(ktest::LoadBytes(k.p, jpeg), 1);
    EXPECT_EQ(k->IsLoaded(), 1);
    EXPECT_EQ(k->GetWidth(), l.width);
    EXPECT_EQ(k->GetHeight(), l.height);
    EXPECT_EQ(k->GetMcuWidth(), l.mcuW);
    EXPECT_EQ(k->GetMcuHeight(), l.mcuH);
    EXPECT_EQ(k.impl()->m_paddedWidth, (l.width + l.mcuW - 1) / l.mcuW * l.mcuW);
    EXPECT_EQ(k.impl()->m_paddedHeight, (l.height + l.mcuH - 1) / l.mcuH * l.mcuH);
    short* data = nullptr;
    int count = 0;
    k->GetCoefficients(&data, &count);
    EXPECT_EQ(count, l.count);
    EXPECT_TRUE(ktest::MatchesLibjpeg(k.p, ref));
    EXPECT_EQ(k->IsGrayscale(), gray ? 1 : 0);
    EXPECT_EQ(k->CanAdjustLevels(), 1);
    EXPECT_EQ(k->CanConvertToGrayscale(), gray ? 0 : 1);

    // Writing the lent array back changes nothing; a wrong count is refused.
    std::vector<short> copy(data, data + count);
    EXPECT_EQ(k->SetCoefficients(copy.data(), count), 1);
    EXPECT_EQ(k->SetCoefficients(copy.data(), count - 1), 0);
    EXPECT_TRUE(ktest::MatchesLibjpeg(k.p, ref));
    copy[0] += 8;
    EXPECT_EQ(k->SetCoefficients(copy.data(), count), 1);
    EXPECT_EQ(data[0], copy[0]);
}

INSTANTIATE_TEST_SUITE_P(Sizes, LoadLayout,
    ::testing::Values(
        Layout{640, 480, {}, 8, 8, 307200},
        Layout{1001, 667, {{2, 2}, {1, 1}, {1, 1}}, 16, 16, 1016064},
        Layout{3000, 2000, {{2, 1}, {1, 1}, {1, 1}}, 16, 8, 12032000}, // large enough to prefault
        Layout{17, 17, {{2, 2}, {1, 1}, {1, 1}}, 16, 16, 1536},
        Layout{100, 60, {{2, 1}, {1, 1}, {1, 1}}, 16, 8, 7 * 8 * 4 * 64},
        Layout{33, 50, {{1, 2}, {1, 1}, {1, 1}}, 8, 16, 5 * 4 * 4 * 64},
        Layout{9, 9, {{1, 1}, {1, 1}, {1, 1}}, 8, 8, 4 * 3 * 64},
        Layout{1, 1, {}, 8, 8, 64}));

TEST(Load, SeventeenSquarePaddingIsZero)
{
    auto jpeg = Encode(MakePattern(17, 17), Sampled(85, {{2, 2}, {1, 1}, {1, 1}}));
    ImageRef k;
    ASSERT_EQ(ktest::LoadBytes(k.p, jpeg), 1);
    ComponentGrid y;
    ASSERT_TRUE(k.impl()->GetComponentGrid(0, &y));
    EXPECT_EQ(y.blocksPerRow, 4);
    EXPECT_EQ(y.blockRows, 4);
    EXPECT_EQ(y.codedBlocksPerRow, 3);
    EXPECT_EQ(y.codedBlockRows, 3);
    short* data;
    int count;
    k->GetCoefficients(&data, &count);
    for (int r = 0; r < 4; ++r)
        for (int b = 0; b < 4; ++b) {
            const short* blk = data + (r * 4 + b) * 64;
            bool zero = std::all_of(blk, blk + 64, [](short v) { return v == 0; });
            if (r == 3 || b == 3)
                EXPECT_TRUE(zero) << r << "," << b;
            else
                EXPECT_NE(blk[0], 0) << r << "," << b;
        }
}

TEST(Load, ProgressiveArithmeticAndRestartFiles)
{
    Pixels px = MakePattern(203, 117);
    for (int mode = 0; mode < 4; ++mode) {
        EncodeParams ep;
        ep.sampling = {{2, 2}, {1, 1}, {1, 1}};
        ep.progressive = mode & 1;
        ep.arithmetic = mode & 2;
        ep.restartInterval = mode == 0 ? 3 : 0;
        auto jpeg = Encode(px, ep);
        ImageRef k;
        ASSERT_EQ(ktest::LoadBytes(k.p, jpeg), 1) << mode;
        EXPECT_TRUE(ktest::MatchesLibjpeg(k.p, ReadCoefficients(jpeg))) << mode;
    }
}

TEST(Load, FileAndMemoryAgree)
{
    TempDir dir;
    auto jpeg = Encode(MakePattern(120, 90), Sampled(80, {{2, 1}, {1, 1}, {1, 1}}));
    ASSERT_TRUE(WriteFile(dir / "a.jpg", jpeg));
    ImageRef a, b;
    ASSERT_EQ(ktest::LoadPath(a.p, dir / "a.jpg"), 1);
    ASSERT_EQ(ktest::LoadBytes(b.p, jpeg), 1);
    short *da, *db;
    int ca, cb;
    a->GetCoefficients(&da, &ca);
    b->GetCoefficients(&db, &cb);
    ASSERT_EQ(ca, cb);
    EXPECT_TRUE(std::equal(da, da + ca, db));
    EXPECT_TRUE(a.impl()->m_timesValid);
    EXPECT_FALSE(b.impl()->m_timesValid);
    EXPECT_FALSE(IsZeroFileTime(a.impl()->m_times.lastWrite));
    EXPECT_EQ(a.impl()->m_exif.m_sourcePath, ToU16((dir / "a.jpg").string()));
    EXPECT_TRUE(b.impl()->m_exif.m_sourcePath.empty());
}

TEST(Load, UnicodePath)
{
    TempDir dir;
    auto jpeg = Encode(MakePattern(16, 16), EncodeParams{});
    const auto path = dir / "Bild \xC3\xA4\xE2\x82\xAC \xF0\x9F\x93\xB7.jpg";
    ASSERT_TRUE(WriteFile(path, jpeg));
    ImageRef k;
    EXPECT_EQ(ktest::LoadPath(k.p, path), 1);
}

TEST(Load, HeaderOnly)
{
    auto jpeg = Encode(MakePattern(100, 60), Sampled(85, {{2, 2}, {1, 1}, {1, 1}}));
    ImageRef k;
    ASSERT_EQ(ktest::LoadBytes(k.p, jpeg, 1), 1);
    EXPECT_EQ(k->IsLoaded(), 0);
    EXPECT_EQ(k->GetWidth(), 100);
    EXPECT_EQ(k->GetHeight(), 60);
    EXPECT_EQ(k->GetMcuWidth(), 16);
    EXPECT_EQ(k->GetOrientation(), 1);
    EXPECT_FALSE(k.impl()->m_decoderOpen);
    EXPECT_EQ(k->FlipHorizontal(1), 0);
}

TEST(Load, TruncatedFileLoadsButTruncatedMemoryFails)
{
    auto jpeg = Encode(MakePattern(256, 256), Sampled(90, {{2, 2}, {1, 1}, {1, 1}}));
    std::vector<uint8_t> cut(jpeg.begin(), jpeg.begin() + static_cast<long>(jpeg.size() / 2));
    ImageRef k;
    EXPECT_EQ(ktest::LoadBytes(k.p, cut), 0);
    EXPECT_EQ(k->IsLoaded(), 0);

    TempDir dir;
    ASSERT_TRUE(WriteFile(dir / "cut.jpg", cut));
    ASSERT_EQ(ktest::LoadPath(k.p, dir / "cut.jpg"), 1);
    short* data;
    int count;
    k->GetCoefficients(&data, &count);
    // The last block row of luma was never coded: it reads as zero.
    ComponentGrid y;
    ASSERT_TRUE(k.impl()->GetComponentGrid(0, &y));
    const short* last = data + y.offset + static_cast<size_t>(y.blockRows - 1) * y.blocksPerRow * 64;
    EXPECT_TRUE(std::all_of(last, last + y.blocksPerRow * 64, [](short v) { return v == 0; }));
}

TEST(Load, GarbageAndEmptyFilesFail)
{
    TempDir dir;
    ASSERT_TRUE(WriteFile(dir / "empty.jpg", {}));
    ImageRef k;
    EXPECT_EQ(ktest::LoadPath(k.p, dir / "empty.jpg"), 0);
    std::vector<uint8_t> junk(1000, 0x5A);
    EXPECT_EQ(ktest::LoadBytes(k.p, junk), 0);
    EXPECT_EQ(k->IsLoaded(), 0);
}

TEST(Load, FailedLoadEmptiesTheObject)
{
    const auto good = Encode(MakePattern(40, 40), EncodeParams{});
    const std::vector<uint8_t> junk(100, 1);
    CBstr empty(u"");
    const std::vector<std::pair<const char*, std::function<int(IKestrel*)>>> failures = {
        {"garbage", [&](IKestrel* k) { return ktest::LoadBytes(k, junk); }},
        {"null data", [](IKestrel* k) { return k->LoadMemory(nullptr, 100, 0); }},
        {"zero size", [&](IKestrel* k) { return k->LoadMemory(good.data(), 0, 0); }},
        {"null path", [](IKestrel* k) { return k->LoadFile(nullptr, 0); }},
        {"empty path", [&](IKestrel* k) { return k->LoadFile(empty, 0); }},
    };
    for (const auto& [name, fail] : failures) {
        SCOPED_TRACE(name);
        ImageRef k;
        ASSERT_EQ(ktest::LoadBytes(k.p, good), 1);
        EXPECT_EQ(fail(k.p), 0);
        EXPECT_EQ(k->IsLoaded(), 0);
        EXPECT_EQ(k->GetWidth(), 0);
        EXPECT_FALSE(k.impl()->m_decoderOpen);
        EXPECT_TRUE(k.impl()->m_markers.empty());
    }
}

// Rewrites the first DQT segment so it comes after the first SOS.
static std::vector<uint8_t> MoveDqtAfterSos(const std::vector<uint8_t>& jpeg)
{
    size_t pos = 2, dqtAt = 0, dqtLen = 0, sosAt = 0;
    while (pos + 4 <= jpeg.size()) {
        const int m = jpeg[pos + 1];
        const size_t len = (jpeg[pos + 2] << 8) | jpeg[pos + 3];
        if (m == 0xDB && !dqtAt) {
            dqtAt = pos;
            dqtLen = len + 2;
        }
        if (m == 0xDA) {
            sosAt = pos;
            break;
        }
        pos += len + 2;
    }
    if (!dqtAt || !sosAt)
        return {};
    std::vector<uint8_t> out(jpeg.begin(), jpeg.begin() + static_cast<long>(dqtAt));
    out.insert(out.end(), jpeg.begin() + static_cast<long>(dqtAt + dqtLen), jpeg.begin() + static_cast<long>(sosAt));
    // Progressive: place the table between the first and the second scan.
    size_t scanEnd = sosAt + 2;
    while (scanEnd + 1 < jpeg.size() && !(jpeg[scanEnd] == 0xFF && jpeg[scanEnd + 1] != 0 && jpeg[scanEnd + 1] != 0xDA
                                          && !(jpeg[scanEnd + 1] >= 0xD0 && jpeg[scanEnd + 1] <= 0xD7) && scanEnd > sosAt + 2))
        ++scanEnd;
    out.insert(out.end(), jpeg.begin() + static_cast<long>(sosAt), jpeg.begin() + static_cast<long>(scanEnd));
    out.insert(out.end(), jpeg.begin() + static_cast<long>(dqtAt), jpeg.begin() + static_cast<long>(dqtAt + dqtLen));
    out.insert(out.end(), jpeg.begin() + static_cast<long>(scanEnd), jpeg.end());
    return out;
}

TEST(Load, MissingOrZeroQuantTableFails)
{
    EncodeParams ep;
    ep.progressive = true;
    auto jpeg = Encode(MakePattern(64, 64), ep);
    auto moved = MoveDqtAfterSos(jpeg);
    ASSERT_FALSE(moved.empty());
    ImageRef k;
    EXPECT_EQ(ktest::LoadBytes(k.p, moved), 0);
    EXPECT_EQ(k->IsLoaded(), 0);

    // A zero step in the table.
    auto zero = jpeg;
    for (size_t i = 2; i + 4 < zero.size(); ++i)
        if (zero[i] == 0xFF && zero[i + 1] == 0xDB) {
            zero[i + 5 + 10] = 0;
            break;
        }
    EXPECT_EQ(ktest::LoadBytes(k.p, zero), 0);
    EXPECT_EQ(k->IsLoaded(), 0);
}

// Where the first scan (SOS segment and entropy-coded data) starts and ends;
// {0, 0} when there is none.
static std::pair<size_t, size_t> FirstScan(const std::vector<uint8_t>& jpeg)
{
    size_t pos = 2;
    while (pos + 4 <= jpeg.size() && jpeg[pos + 1] != 0xDA)
        pos += 2 + (size_t(jpeg[pos + 2]) << 8 | jpeg[pos + 3]);
    if (pos + 4 > jpeg.size())
        return {0, 0};
    size_t end = pos + 2 + (size_t(jpeg[pos + 2]) << 8 | jpeg[pos + 3]);
    while (end + 1 < jpeg.size() && !(jpeg[end] == 0xFF && jpeg[end + 1] != 0 && (jpeg[end + 1] < 0xD0 || jpeg[end + 1] > 0xD7)))
        ++end;
    return {pos, end};
}

// Inserts a DQT segment giving table `slot` new steps right after the first
// scan's entropy-coded data.
static std::vector<uint8_t> RedefineTableAfterFirstScan(const std::vector<uint8_t>& jpeg, int slot)
{
    const size_t end = FirstScan(jpeg).second;
    if (end == 0)
        return {};
    std::vector<uint8_t> dqt = {0xFF, 0xDB, 0x00, 0x43, uint8_t(slot)};
    for (int i = 0; i < 64; ++i)
        dqt.push_back(uint8_t(3 + i % 7));
    std::vector<uint8_t> out(jpeg.begin(), jpeg.begin() + long(end));
    out.insert(out.end(), dqt.begin(), dqt.end());
    out.insert(out.end(), jpeg.begin() + long(end), jpeg.end());
    return out;
}

// A table redefined between scans: libjpeg decodes each component with the
// table it latched at the component's first scan. The load either refuses the
// file or keeps those steps, so the lossless save decodes as the file does.
TEST(Load, QuantTableRedefinedBetweenScans)
{
    if (!HaveTool("jpegtran"))
        GTEST_SKIP() << "jpegtran missing";
    EncodeParams progressive = Sampled(80, {{2, 2}, {1, 1}, {1, 1}});
    progressive.progressive = true;
    std::vector<std::pair<std::string, std::vector<uint8_t>>> files;
    const auto prog = Encode(MakePattern(64, 48), progressive);
    files.emplace_back("progressive, luma table", RedefineTableAfterFirstScan(prog, 0));
    files.emplace_back("progressive, chroma table", RedefineTableAfterFirstScan(prog, 1));
    // One sequential scan per component: the chroma table is redefined
    // before the chroma scans.
    TempDir dir;
    WriteFile(dir / "in.jpg", Encode(MakePattern(64, 48), Sampled(80, {{2, 2}, {1, 1}, {1, 1}})));
    std::ofstream(dir / "scans.txt") << "0;\n1;\n2;\n";
    ASSERT_EQ(testjpeg::Run("jpegtran -scans '" + (dir / "scans.txt").string() + "' -outfile '" + (dir / "out.jpg").string()
                  + "' '" + (dir / "in.jpg").string() + "'"),
              0);
    const auto multi = ReadFile(dir / "out.jpg");
    files.emplace_back("multi-scan, luma table", RedefineTableAfterFirstScan(multi, 0));
    files.emplace_back("multi-scan, chroma table", RedefineTableAfterFirstScan(multi, 1));
    for (const auto& [name, jpeg] : files) {
        SCOPED_TRACE(name);
        ASSERT_FALSE(jpeg.empty());
        const Pixels want = Decode(jpeg);
        ASSERT_GT(want.data.size(), 0u);
        ImageRef k;
        if (ktest::LoadBytes(k.p, jpeg) != 1) {
            EXPECT_EQ(k->IsLoaded(), 0);
            continue;
        }
        const int size = k->GetEncodedSize();
        ASSERT_GT(size, 0);
        std::vector<uint8_t> saved(static_cast<size_t>(size));
        ASSERT_EQ(k->SaveMemory(saved.data(), size), 1);
        EXPECT_EQ(Decode(saved).data, want.data);
    }
}

// A sequential file of several scans whose first scan comes again before the
// end: luma is decoded twice into the same blocks, the second time from the
// same scan or from the first scan of another picture of the same size (its
// zero values leave the first scan's ones in place, as libjpeg does). Rows
// dequantised while the first pass ran must neither stay half-done nor be
// dequantised twice.
TEST(Load, RepeatedScanMatchesLibjpeg)
{
    if (!HaveTool("jpegtran"))
        GTEST_SKIP() << "jpegtran missing";
    TempDir dir;
    std::ofstream(dir / "scans.txt") << "0;\n1 2;\n";
    const auto multiScan = [&](unsigned seed) {
        WriteFile(dir / "in.jpg", Encode(MakePattern(203, 117, 3, seed), Sampled(85, {{2, 1}, {1, 1}, {1, 1}})));
        EXPECT_EQ(testjpeg::Run("jpegtran -scans '" + (dir / "scans.txt").string() + "' -outfile '"
                                + (dir / "out.jpg").string() + "' '" + (dir / "in.jpg").string() + "'"),
                  0);
        return ReadFile(dir / "out.jpg");
    };
    const auto jpeg = multiScan(1);
    ASSERT_GE(jpeg.size(), 2u);
    const auto plain = ReadCoefficients(jpeg);
    for (const unsigned seed : {1u, 2u}) {
        SCOPED_TRACE(seed);
        const auto other = seed == 1 ? jpeg : multiScan(seed);
        const auto [from, to] = FirstScan(other);
        ASSERT_LT(from, to);
        std::vector<uint8_t> twice(jpeg.begin(), jpeg.end() - 2); // up to EOI
        twice.insert(twice.end(), other.begin() + long(from), other.begin() + long(to));
        twice.insert(twice.end(), jpeg.end() - 2, jpeg.end());
        const auto ref = ReadCoefficients(twice);
        ASSERT_TRUE(ref.ok);
        EXPECT_EQ(ref.components[0].blocks == plain.components[0].blocks, seed == 1);
        ImageRef k;
        ASSERT_EQ(ktest::LoadBytes(k.p, twice), 1);
        EXPECT_TRUE(ktest::MatchesLibjpeg(k.p, ref));
    }
}

// 16-bit quantisation tables: products beyond a short saturate to
// -32767..32767, with steps above 32767 and with smaller ones.
TEST(Load, LargeStepsSaturate)
{
    const auto jpeg = Encode(MakePattern(64, 48), Sampled(95, {{2, 2}, {1, 1}, {1, 1}}));
    for (const int step : {1000, 40000}) {
        SCOPED_TRACE(step);
        // Table 0 (libjpeg writes it in a DQT of its own) becomes a 16-bit
        // table of `step`, `step` + 1, ...
        const uint8_t dqt8[] = {0xFF, 0xDB, 0x00, 0x43, 0x00};
        const auto at = std::search(jpeg.begin(), jpeg.end(), std::begin(dqt8), std::end(dqt8));
        ASSERT_NE(at, jpeg.end());
        std::vector<uint8_t> patched(jpeg.begin(), at);
        patched.insert(patched.end(), {0xFF, 0xDB, 0x00, 0x83, 0x10});
        for (int i = 0; i < 64; ++i)
            patched.insert(patched.end(), {uint8_t((step + i) >> 8), uint8_t(step + i)});
        patched.insert(patched.end(), at + 69, jpeg.end());
        const auto ref = ReadCoefficients(patched);
        ASSERT_TRUE(ref.ok);
        ImageRef k;
        ASSERT_EQ(ktest::LoadBytes(k.p, patched), 1);
        short* data = nullptr;
        int count = 0;
        k->GetCoefficients(&data, &count);
        ComponentGrid g;
        ASSERT_TRUE(k.impl()->GetComponentGrid(0, &g));
        const auto& y = ref.components[0];
        int saturated = 0;
        for (int r = 0; r < y.heightInBlocks; ++r)
            for (int b = 0; b < y.widthInBlocks; ++b)
                for (int i = 0; i < 64; ++i) {
                    const long long v = static_cast<long long>(y.block(r, b)[i]) * y.quant[i];
                    const long long want = std::clamp(v, -32767LL, 32767LL);
                    saturated += want != v;
                    ASSERT_EQ(data[g.offset + (static_cast<size_t>(r) * g.blocksPerRow + b) * 64 + i], want)
                        << r << "," << b << "," << i;
                }
        EXPECT_GT(saturated, 0);
    }
}

TEST(Load, UnsupportedFramesFail)
{
    const auto jpeg = Encode(MakePattern(32, 32), EncodeParams{});
    // Lossless (SOF3) and hierarchical (SOF5) frames are not for an 8-bit DCT decoder.
    for (const uint8_t sof : {0xC3, 0xC5, 0xC7}) {
        auto patched = jpeg;
        for (size_t i = 2; i + 1 < patched.size(); ++i)
            if (patched[i] == 0xFF && patched[i + 1] == 0xC0) {
                patched[i + 1] = sof;
                break;
            }
        ImageRef k;
        EXPECT_EQ(ktest::LoadBytes(k.p, patched), 0) << int(sof);
        EXPECT_EQ(k->IsLoaded(), 0);
        EXPECT_EQ(ktest::LoadBytes(k.p, patched, 1), 0) << int(sof);
    }
}

// Images whose coefficient count does not fit an int fail a full load
// cleanly; a header-only load allocates nothing and still answers.
TEST(Load, AbsurdHeaderSizeFailsCleanly)
{
    exiftest::Block exif;
    exif.le = false;
    exif.ifd0 = {exif.Short(0x0112, 6)};
    EncodeParams ep = Sampled(85, {{2, 2}, {1, 1}, {1, 1}});
    ep.markers = {{JPEG_APP0 + 1, exif.Build()}};
    const auto small = Encode(MakePattern(16, 16), ep);
    for (const int side : {65500, 40000}) {
        SCOPED_TRACE(side);
        auto jpeg = small;
        for (size_t i = 2; i + 8 < jpeg.size(); ++i)
            if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0) {
                jpeg[i + 5] = jpeg[i + 7] = uint8_t(side >> 8);
                jpeg[i + 6] = jpeg[i + 8] = uint8_t(side);
                break;
            }
        ImageRef k;
        EXPECT_EQ(ktest::LoadBytes(k.p, jpeg), 0);
        EXPECT_EQ(k->IsLoaded(), 0);
        ASSERT_EQ(ktest::LoadBytes(k.p, jpeg, 1), 1);
        EXPECT_EQ(k->IsLoaded(), 0);
        EXPECT_EQ(k->GetWidth(), side);
        EXPECT_EQ(k->GetHeight(), side);
        EXPECT_EQ(k->GetMcuWidth(), 16);
        EXPECT_EQ(k->GetOrientation(), 6);
    }
}

TEST(Load, CloseKeepsSizeDropsData)
{
    ImageRef k;
    ASSERT_EQ(ktest::LoadBytes(k.p, Encode(MakePattern(48, 32), EncodeParams{})), 1);
    k->Close();
    EXPECT_EQ(k->IsLoaded(), 0);
    EXPECT_EQ(k->GetWidth(), 48);
    EXPECT_TRUE(k.impl()->m_markers.empty());
    k->Close();
}

TEST(Load, ReusedArraysStartZeroAndCloseLetsThemGo)
{
    // A photo's array freed by an edit comes back for the next of its size,
    // cleared; one of another size is new memory.
    const size_t count = size_t{5} << 20;
    short* a = CDllImage::AllocCoefficients(count);
    ASSERT_NE(a, nullptr);
    std::fill(a, a + count, short{7});
    CDllImage::FreeCoefficients(a);
    short* b = CDllImage::AllocCoefficients(count);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b, a);
    EXPECT_EQ(std::count(b, b + count, short{0}), static_cast<long>(count));
    b[count - 1] = 9;
    CDllImage::FreeCoefficients(b);
    short* c = CDllImage::AllocCoefficients(count + 64);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(std::count(c, c + count + 64, short{0}), static_cast<long>(count + 64));
    CDllImage::FreeCoefficients(c);
    // Closing an image drops the kept array: the next one is new memory.
    ImageRef k;
    ASSERT_EQ(ktest::LoadBytes(k.p, Encode(MakePattern(48, 32), EncodeParams{})), 1);
    k->Close();
    short* d = CDllImage::AllocCoefficients(count + 64);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(std::count(d, d + count + 64, short{0}), static_cast<long>(count + 64));
    CDllImage::FreeCoefficients(d);
    CDllImage::ReleaseSpareCoefficients();
}

TEST(Corpus, EveryFileLoadsLikeLibjpeg)
{
    TempDir made;
    const auto files = CorpusAndMadeKinds(made.path());
    for (const auto& f : files) {
        SCOPED_TRACE(f.filename().string());
        auto bytes = ReadFile(f);
        auto ref = ReadCoefficients(bytes);
        ImageRef k;
        const int ok = ktest::LoadPath(k.p, f);
        if (!ref.ok) {
            EXPECT_EQ(ok, 0);
            EXPECT_EQ(k->IsLoaded(), 0);
            continue;
        }
        ASSERT_EQ(ok, 1);
        EXPECT_EQ(k->GetWidth(), ref.width);
        EXPECT_EQ(k->GetHeight(), ref.height);
        EXPECT_EQ(k->GetMcuWidth(), 8 * ref.maxH);
        EXPECT_EQ(k->GetMcuHeight(), 8 * ref.maxV);
        EXPECT_TRUE(ktest::MatchesLibjpeg(k.p, ref));
        ImageRef m;
        EXPECT_EQ(ktest::LoadBytes(m.p, bytes), 1);
    }
}

// A caller that knows only the shared object and the binary contract.
namespace blackbox {
struct Guid { uint32_t d1; uint16_t d2, d3; uint8_t d4[8]; };
struct Unknown {
    virtual int32_t QueryInterface(const Guid&, void**) = 0;
    virtual uint32_t AddRef() = 0;
    virtual uint32_t Release() = 0;
};
struct Kestrel : Unknown {
    virtual int LoadFile(char16_t*, int) = 0;
    virtual int LoadMemory(const uint8_t*, int, int) = 0;
    virtual void Close() = 0;
    virtual int IsLoaded() = 0;
    virtual int GetWidth() = 0;
    virtual int GetHeight() = 0;
    virtual int GetMcuWidth() = 0;
    virtual int GetMcuHeight() = 0;
};
using Create = int32_t (*)(Kestrel**);
} // namespace blackbox

TEST(SharedLibrary, ExportsOnlyTheFactoryAndWorksByDlopen)
{
    if (!HaveTool("nm"))
        GTEST_SKIP() << "nm missing";
    void* lib = dlopen(KESTREL_SO_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(lib, nullptr) << dlerror();
    auto create = reinterpret_cast<blackbox::Create>(dlsym(lib, "CreateKestrelObject"));
    ASSERT_NE(create, nullptr);
    EXPECT_EQ(dlsym(lib, "_ZN9CDllImage4LoadEPKDsPKhii"), nullptr);
    blackbox::Kestrel* k = nullptr;
    ASSERT_EQ(create(&k), 0);
    auto jpeg = Encode(MakePattern(1001, 667), Sampled(85, {{2, 2}, {1, 1}, {1, 1}}));
    EXPECT_EQ(k->LoadMemory(jpeg.data(), static_cast<int>(jpeg.size()), 0), 1);
    EXPECT_EQ(k->IsLoaded(), 1);
    EXPECT_EQ(k->GetWidth(), 1001);
    EXPECT_EQ(k->GetHeight(), 667);
    EXPECT_EQ(k->GetMcuWidth(), 16);
    EXPECT_EQ(k->GetMcuHeight(), 16);
    const blackbox::Guid iid = {0x163753F0, 0xD70F, 0x4EDA, {0xB3, 0xDC, 0xA6, 0x8E, 0x7E, 0x75, 0xB3, 0x1D}};
    void* same = nullptr;
    EXPECT_EQ(k->QueryInterface(iid, &same), 0);
    EXPECT_EQ(same, k);
    EXPECT_EQ(k->Release(), 1u);
    EXPECT_EQ(k->Release(), 0u);

    std::string syms;
    testjpeg::Run(std::string("nm -D --defined-only ") + KESTREL_SO_PATH + " | awk '{print $3}'", &syms);
    EXPECT_EQ(syms, "CreateKestrelObject\n");
    dlclose(lib);
}
