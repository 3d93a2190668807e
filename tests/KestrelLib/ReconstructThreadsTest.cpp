// The reconstruct pass split over threads gives the single-threaded result
// byte for byte. The checksums were taken from the single-threaded pass.
#include "KestrelTest.h"

#include "ColorConvert.h"
#include "DCT.h"

#include <cstdlib>
#include <string>
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

// Progress of the current pass: the percentages and the threads that
// reported them; answers 0 on report `cancelAt` (0-based).
struct Reports {
    std::vector<int> percents;
    std::vector<std::thread::id> threads;
    int cancelAt = -1;
};
Reports* g_reports = nullptr;

int Record(int percent)
{
    g_reports->percents.push_back(percent);
    g_reports->threads.push_back(std::this_thread::get_id());
    return static_cast<int>(g_reports->percents.size()) - 1 == g_reports->cancelAt ? 0 : 1;
}

// The coefficients after the case's passes with `threads` threads.
std::vector<short> Reconstructed(const std::vector<uint8_t>& jpeg, int passes, int threads, Reports* reports = nullptr)
{
    ImageRef k;
    if (ktest::LoadBytes(k.p, jpeg) != 1)
        return {};
    CDCT dct(&k.impl()->m_decoder);
    g_reports = reports;
    setenv("KESTREL_RECONSTRUCT_THREADS", std::to_string(threads).c_str(), 1);
    for (int pass = 0; pass < passes; ++pass)
        if (!dct.ReconstructPass(k.impl()->m_coef, static_cast<size_t>(k.impl()->m_coefCount), reports ? Record : nullptr))
            break;
    unsetenv("KESTREL_RECONSTRUCT_THREADS");
    g_reports = nullptr;
    return CoefValues(k.p);
}

} // namespace

// Any number of threads, vector instructions or not.
TEST(ReconstructThreads, SameBytesWithAnyNumberOfThreads)
{
    for (const Case& c : Cases()) {
        const std::vector<uint8_t> jpeg = Make(c);
        for (int threads : {1, 2, 3, 8, 16}) {
            const std::vector<short> result = Reconstructed(jpeg, c.passes, threads);
            ASSERT_FALSE(result.empty()) << c.name;
            EXPECT_EQ(Fnv1a(result), c.checksum) << c.name << ", " << threads << " threads";
        }
        SetScalarOnlyForTesting(true);
        const std::vector<short> scalar = Reconstructed(jpeg, c.passes, 2);
        SetScalarOnlyForTesting(false);
        EXPECT_EQ(Fnv1a(scalar), c.checksum) << c.name << ", scalar";
    }
}

// The callback runs on the calling thread, once per block row, in order,
// with the same percentages whatever the threads.
TEST(ReconstructThreads, ReportsStayOnTheCallingThread)
{
    const Case& c = Cases()[4]; // partial edges, 3 passes
    const std::vector<uint8_t> jpeg = Make(c);
    Reports one, many;
    Reconstructed(jpeg, c.passes, 1, &one);
    Reconstructed(jpeg, c.passes, 8, &many);
    EXPECT_EQ(many.percents, one.percents);
    ASSERT_FALSE(many.threads.empty());
    for (const std::thread::id& id : many.threads)
        EXPECT_EQ(id, std::this_thread::get_id());
}

// After a cancel only the reported rows are new, whichever row of a batch
// the cancel comes at.
TEST(ReconstructThreads, CancelKeepsOnlyReportedRows)
{
    const auto jpeg = Encode(MakePattern(256, 256, 3, 3), Sampled(40, {{1, 1}, {1, 1}, {1, 1}}));
    const std::vector<short> before = Reconstructed(jpeg, 0, 1);
    const std::vector<short> full = Reconstructed(jpeg, 1, 1);
    const size_t row = 32 * 64; // 32 blocks per block row
    for (int cancelAt : {0, 1, 5, 31, 32, 40}) {
        Reports r;
        r.cancelAt = cancelAt;
        const std::vector<short> after = Reconstructed(jpeg, 1, 8, &r);
        ASSERT_EQ(static_cast<int>(r.percents.size()), cancelAt + 1);
        const size_t done = row * static_cast<size_t>(cancelAt + 1);
        EXPECT_TRUE(std::equal(after.begin(), after.begin() + done, full.begin())) << cancelAt;
        EXPECT_TRUE(std::equal(after.begin() + done, after.end(), before.begin() + done)) << cancelAt;
    }
}
