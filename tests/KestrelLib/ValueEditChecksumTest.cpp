// Re-encoding from pixels must give the same blocks and the same undo bytes
// however the work is arranged: the checksums below were taken from the
// straightforward row-by-row implementation, for every sampling layout, with
// and without partial edge MCUs, re-encoding everything and re-encoding an
// all-changed bitmap. The large layouts have MCU rows enough to be split
// over threads, and edge blocks that cover only padding.
#include "KestrelTest.h"

#include <cstdint>

using namespace testjpeg;

namespace {

uint64_t Fnv1a(const void* data, size_t bytes, uint64_t h = 1469598103934665603ull)
{
    const auto* p = static_cast<const uint8_t*>(data);
    for (size_t i = 0; i < bytes; ++i)
        h = (h ^ p[i]) * 1099511628211ull;
    return h;
}

struct Layout {
    const char* name;
    int width, height;
    std::vector<std::pair<int, int>> sampling;
    J_COLOR_SPACE in = JCS_RGB;
    int channels = 3;
    // Coefficients and undo bytes after re-encode all, then after an
    // all-changed bitmap. The large layouts have MCU rows enough to be split
// over threads, and edge blocks that cover only padding.
    uint64_t all, allStore, changed, changedStore;
};

const Layout kLayouts[] = {
    {"444", 64, 48, {{1, 1}, {1, 1}, {1, 1}}, JCS_RGB, 3,
     0x2f59118360da1ec1ull, 0x854c4dd4609947dbull, 0xf9927dd93fa004f1ull, 0x854c4dd4609947dbull},
    {"444_edge", 61, 45, {{1, 1}, {1, 1}, {1, 1}}, JCS_RGB, 3,
     0x8798de1dad084ed0ull, 0x2a77a7d02799788eull, 0x9bbbd340e61ec2dfull, 0x2a77a7d02799788eull},
    {"422", 64, 48, {{2, 1}, {1, 1}, {1, 1}}, JCS_RGB, 3,
     0x0098a5070e686c03ull, 0x9b3117a744d5ad57ull, 0x5d1faaad6114c538ull, 0x9b3117a744d5ad57ull},
    {"422_edge", 61, 45, {{2, 1}, {1, 1}, {1, 1}}, JCS_RGB, 3,
     0x0bd5ada0880413d8ull, 0xa5a81e6739f30eb5ull, 0x453f143b35c334deull, 0xa5a81e6739f30eb5ull},
    {"440", 64, 48, {{1, 2}, {1, 1}, {1, 1}}, JCS_RGB, 3,
     0x0c8c154c7030f7c9ull, 0xd1d1a5cfc73bcc05ull, 0xdfca55c6c0ef687eull, 0xd1d1a5cfc73bcc05ull},
    {"440_edge", 61, 45, {{1, 2}, {1, 1}, {1, 1}}, JCS_RGB, 3,
     0x49289a2703c2dd9full, 0x4b67505c3a043ab8ull, 0xed28e0cf93cda717ull, 0x4b67505c3a043ab8ull},
    {"420", 64, 48, {{2, 2}, {1, 1}, {1, 1}}, JCS_RGB, 3,
     0x766f1cf49bc12217ull, 0xc7673ad402337397ull, 0xb190223af9adb2daull, 0xc7673ad402337397ull},
    {"420_edge", 61, 45, {{2, 2}, {1, 1}, {1, 1}}, JCS_RGB, 3,
     0x8f7dea2c9de21fa9ull, 0x4b998fa855dbf555ull, 0x26a4f6a9381485cdull, 0x4b998fa855dbf555ull},
    {"chroma_2x2", 61, 45, {{1, 1}, {2, 2}, {1, 2}}, JCS_RGB, 3,
     0x74309b1cc1850850ull, 0xab15307d83b3d534ull, 0x44504fddb90b2806ull, 0xab15307d83b3d534ull},
    {"gray", 64, 48, {{1, 1}}, JCS_GRAYSCALE, 1,
     0xdd4adad390914bbeull, 0xa3f5dcc8b864d25cull, 0x311f280911dc28d4ull, 0xa3f5dcc8b864d25cull},
    {"gray_edge", 61, 45, {{1, 1}}, JCS_GRAYSCALE, 1,
     0x88f22bc43a35da55ull, 0x9f1a51ff8342be72ull, 0x8cc05894ada3bc1dull, 0x9f1a51ff8342be72ull},
    {"420_large", 520, 300, {{2, 2}, {1, 1}, {1, 1}}, JCS_RGB, 3,
     0x22f318815a9b9069ull, 0xffedd1e552ddbab6ull, 0x7c148e63d4fc89bcull, 0xcda3ad635c697fc7ull},
    {"422_large", 517, 299, {{2, 1}, {1, 1}, {1, 1}}, JCS_RGB, 3,
     0xc53f275b3e7496dbull, 0xf3b21a18a01fb413ull, 0x5696413536e5272bull, 0x5f298e05eefd60e2ull},
    {"cmyk_edge", 61, 45, {{2, 2}, {1, 1}, {1, 1}, {2, 2}}, JCS_CMYK, 4,
     0x5efbf4802a4cd3adull, 0xf6dc4a165e845556ull, 0xedb8fbe6458e72beull, 0xf6dc4a165e845556ull},
};

struct Result {
    uint64_t coef = 0, store = 0;
};

// Loads the layout's picture, renders it padded to whole MCUs, optionally
// paints another picture over it, and applies the bitmap.
Result ApplyLayout(const Layout& l, bool reencodeAll)
{
    ktest::ImageRef k;
    EncodeParams ep = Sampled(85, l.sampling);
    ep.inColorSpace = l.in;
    EXPECT_EQ(ktest::LoadBytes(k.p, Encode(MakePattern(l.width, l.height, l.channels), ep)), 1);
    const int mw = k->GetMcuWidth(), mh = k->GetMcuHeight();
    const int w = (l.width + mw - 1) / mw * mw, h = (l.height + mh - 1) / mh * mh;
    std::vector<BYTE> bmp(static_cast<size_t>(w) * h * 3);
    BYTE* first = bmp.data();
    EXPECT_EQ(k->RenderToBitmap(first, w * 3, 1), 1);
    // The padding beyond the image is the caller's: it must not matter.
    for (int y = 0; y < h; ++y)
        for (int x = y < l.height ? l.width : 0; x < w; ++x)
            for (int c = 0; c < 3; ++c)
                bmp[(static_cast<size_t>(y) * w + x) * 3 + c] = static_cast<BYTE>(0xA5 + c * x);
    if (!reencodeAll) {
        const Pixels other = MakePattern(l.width, l.height, 3, 7);
        for (int y = 0; y < l.height; ++y)
            for (int x = 0; x < l.width; ++x)
                for (int c = 0; c < 3; ++c)
                    bmp[(static_cast<size_t>(y) * w + x) * 3 + c] = static_cast<BYTE>(other.row(y)[x * 3 + c] ^ 0x55);
    }
    ktest::MemoryUndoStore store;
    k->SetUndoStore(&store);
    BitmapChangeStats stats{};
    EXPECT_EQ(k->ApplyBitmapChanges(&first, w * 3, reencodeAll, &stats), 1);
    EXPECT_EQ(stats.ChangedMcus, stats.ImageMcus);
    const std::vector<short> coef = ktest::CoefValues(k.p);
    return {Fnv1a(coef.data(), coef.size() * sizeof(short)), Fnv1a(store.bytes.data(), store.bytes.size())};
}

} // namespace

class ApplyChecksums : public ::testing::TestWithParam<Layout> {};

TEST_P(ApplyChecksums, SameBlocksAndUndoBytes)
{
    const Layout& l = GetParam();
    const Result all = ApplyLayout(l, true);
    const Result changed = ApplyLayout(l, false);
    EXPECT_EQ(all.coef, l.all);
    EXPECT_EQ(all.store, l.allStore);
    EXPECT_EQ(changed.coef, l.changed);
    EXPECT_EQ(changed.store, l.changedStore);
}

INSTANTIATE_TEST_SUITE_P(Layouts, ApplyChecksums, ::testing::ValuesIn(kLayouts),
                         [](const auto& info) { return std::string(info.param.name); });
