// Shared helpers for the library tests.
#pragma once

#include "DllImage.h"
#include "TestJpeg.h"
#include "platform/Bstr.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace ktest {

// One library object, released with the holder.
struct ImageRef {
    IKestrel* p = nullptr;
    ImageRef() { CreateKestrelObject(&p); }
    ~ImageRef()
    {
        if (p)
            p->Release();
    }
    ImageRef(const ImageRef&) = delete;
    ImageRef& operator=(const ImageRef&) = delete;
    IKestrel* operator->() const { return p; }
    CDllImage* impl() const { return static_cast<CDllImage*>(p); }
};

inline int LoadBytes(IKestrel* k, const std::vector<uint8_t>& bytes, int headerOnly = 0)
{
    return k->LoadMemory(bytes.data(), static_cast<int>(bytes.size()), headerOnly);
}

inline int LoadPath(IKestrel* k, const std::filesystem::path& path, int headerOnly = 0)
{
    CBstr p(testjpeg::ToU16(path.string()));
    return k->LoadFile(p, headerOnly);
}

// A copy of the object's coefficient array.
inline std::vector<short> CoefValues(IKestrel* k)
{
    short* data = nullptr;
    int count = 0;
    k->GetCoefficients(&data, &count);
    return data ? std::vector<short>(data, data + count) : std::vector<short>();
}

// Checks that the object's coefficient image equals libjpeg's quantised
// coefficients times their steps, with zero padding.
inline ::testing::AssertionResult MatchesLibjpeg(IKestrel* k, const testjpeg::Coefficients& ref)
{
    auto* img = static_cast<CDllImage*>(k);
    short* data = nullptr;
    int count = 0;
    k->GetCoefficients(&data, &count);
    if (!data)
        return ::testing::AssertionFailure() << "no coefficients";
    long long expected = 0;
    for (size_t c = 0; c < ref.components.size(); ++c) {
        ComponentGrid g;
        if (!img->GetComponentGrid(static_cast<int>(c), &g))
            return ::testing::AssertionFailure() << "no grid for component " << c;
        expected += static_cast<long long>(g.count());
        const auto& comp = ref.components[c];
        for (int r = 0; r < g.blockRows; ++r)
            for (int b = 0; b < g.blocksPerRow; ++b) {
                const short* blk = data + g.offset + (static_cast<size_t>(r) * g.blocksPerRow + b) * 64;
                const bool coded = r < comp.heightInBlocks && b < comp.widthInBlocks;
                for (int i = 0; i < 64; ++i) {
                    const int want = coded ? comp.block(r, b)[i] * comp.quant[i] : 0;
                    if (blk[i] != want)
                        return ::testing::AssertionFailure() << "component " << c << " block (" << r << "," << b
                                                             << ") value " << i << ": " << blk[i] << " != " << want;
                }
            }
    }
    if (expected != count)
        return ::testing::AssertionFailure() << "count " << count << " != " << expected;
    return ::testing::AssertionSuccess();
}

// An IUndoStore over memory that can be told to fail.
class MemoryUndoStore : public IUndoStore {
public:
    int Write(const void* data, int size) override
    {
        if (failWrites || size < 0 || (failWriteAt >= 0 && static_cast<int>(writes.size()) >= failWriteAt))
            return 0;
        const auto* b = static_cast<const uint8_t*>(data);
        bytes.insert(bytes.end(), b, b + size);
        writes.push_back(size);
        return 1;
    }
    int Read(void* data, int size) override
    {
        if (failReads || size < 0 || readPos + static_cast<size_t>(size) > bytes.size())
            return 0;
        std::copy(bytes.begin() + static_cast<long>(readPos), bytes.begin() + static_cast<long>(readPos + size),
                  static_cast<uint8_t*>(data));
        readPos += static_cast<size_t>(size);
        return 1;
    }
    std::vector<uint8_t> bytes;
    std::vector<int> writes;
    size_t readPos = 0;
    bool failWrites = false;
    int failWriteAt = -1; // this write call (counted from 0) and the ones after it fail
    bool failReads = false;
};

} // namespace ktest
