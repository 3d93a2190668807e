// The reconstruct pass split over threads gives the single-threaded result
// byte for byte. The checksums were taken from the single-threaded pass.
#include "KestrelTest.h"

#include "DCT.h"

#include <cstdlib>
#include <thread>

using namespace testjpeg;
using ktest::CoefValues;
using ktest::ImageRef;

namespace {

uint64_t Fnv1a(const std::vector<short>& values)
{
    uint64_t h = 1469598103934665603ull;
    for (short v : values)
        for (int b = 0; b < 2; ++b) {
            h ^= static_cast<uint8_t>(static_cast<uint16_t>(v) >> (8 * b));
            h *= 1099511628211ull;
        }
    return h;
}

struct Case {
    const char* name;
    int width, height;
    std::vector<std::pair<int, int>> sampling;
    J_COLOR_SPACE in, jpeg;
    int passes;
    uint64_t checksum;
};

std::vector<uint8_t> Make(const Case& c)
{
    EncodeParams p = Sampled(50, c.sampling);
    p.inColorSpace = c.in;
    p.jpegColorSpace = c.jpeg;
    return Encode(MakePattern(c.width, c.height, c.in == JCS_GRAYSCALE ? 1 : 3, 11), p);
}

const std::vector<Case>& Cases()
{
    static const std::vector<Case> cases = {
        {"420", 128, 96, {{2, 2}, {1, 1}, {1, 1}}, JCS_RGB, JCS_UNKNOWN, 1, 0x38efe4afbaaa2baaull},
        {"420x3", 128, 96, {{2, 2}, {1, 1}, {1, 1}}, JCS_RGB, JCS_UNKNOWN, 3, 0x7b7c33d037ef8091ull},
        {"422", 203, 117, {{2, 1}, {1, 1}, {1, 1}}, JCS_RGB, JCS_UNKNOWN, 1, 0x88a8d046f10f0dd7ull},
        {"440", 203, 117, {{1, 2}, {1, 1}, {1, 1}}, JCS_RGB, JCS_UNKNOWN, 1, 0x4ca0ca4936c3b099ull},
        {"420 partial x3", 203, 117, {{2, 2}, {1, 1}, {1, 1}}, JCS_RGB, JCS_UNKNOWN, 3, 0x786c675b8cd5fe72ull},
        {"gray", 203, 117, {{1, 1}}, JCS_GRAYSCALE, JCS_UNKNOWN, 1, 0xdd78d18c8af203a9ull},
        {"rgb x3", 99, 70, {{1, 1}, {1, 1}, {1, 1}}, JCS_RGB, JCS_RGB, 3, 0x797171345da3b9acull},
    };
    return cases;
}

std::vector<short> Reconstructed(const Case& c, int threads, std::vector<std::thread::id>* callers = nullptr)
{
    ImageRef k;
    if (ktest::LoadBytes(k.p, Make(c)) != 1)
        return {};
    CDCT dct(&k.impl()->m_decoder);
    static std::vector<std::thread::id>* s_callers;
    s_callers = callers;
    for (int pass = 0; pass < c.passes; ++pass)
        dct.ReconstructPass(k.impl()->m_coef, static_cast<size_t>(k.impl()->m_coefCount),
                            [](int) {
                                if (s_callers)
                                    s_callers->push_back(std::this_thread::get_id());
                                return 1;
                            });
    (void)threads;
    return CoefValues(k.p);
}

} // namespace

TEST(ReconstructThreads, ChecksumsOfTheSingleThreadedPass)
{
    for (const Case& c : Cases()) {
        const std::vector<short> result = Reconstructed(c, 1);
        ASSERT_FALSE(result.empty()) << c.name;
        EXPECT_EQ(Fnv1a(result), c.checksum) << c.name;
    }
}
