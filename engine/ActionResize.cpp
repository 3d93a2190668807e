// Resizing. The new bitmap is made and filled before the library is asked
// for anything, so a failure on the way leaves the image as it was; a
// refused re-encode takes the crop back at once.
#include "ActionResize.h"

#include "KsImage.h"
#include "TextUtil.h"

#include <algorithm>
#include <vector>

namespace {

// One pass of area averaging: `count` source items of weight
// outCount / count each are spread over `outCount` outputs of weight 1.
// add(i, w) adds source item i with weight w to the current output;
// finish(o, total) ends output o, whose weights summed to `total`. When float
// rounding runs the source out early, the last item completes the rest.
template <typename Add, typename Emit>
void AreaAverage(int count, int outCount, Add&& add, Emit&& finish)
{
    const float weight = static_cast<float>(outCount) / static_cast<float>(count);
    constexpr float kFull = 1.0f - 1e-4f;
    int out = 0;
    float filled = 0.0f;
    for (int i = 0; i < count && out < outCount; ++i) {
        float left = weight;
        while (left > 0.0f && out < outCount) {
            const float take = std::min(left, 1.0f - filled);
            add(i, take);
            filled += take;
            left -= take;
            if (filled < kFull)
                break;
            finish(out++, filled);
            filled = 0.0f;
        }
    }
    while (out < outCount) {
        add(count - 1, 1.0f - filled);
        finish(out++, 1.0f);
        filled = 0.0f;
    }
}

BYTE ToByte(float value)
{
    return static_cast<BYTE>(std::clamp(static_cast<int>(value + 0.5f), 0, 255));
}

} // namespace

bool CActionResize::TargetSize(const ResizeParams& params, int width, int height, int* newWidth, int* newHeight)
{
    if (width <= 0 || height <= 0)
        return false;
    const long long W = width, H = height;
    long long nw, nh;
    if (params.Units == 0) {
        nw = params.Percent * W / 100;
        nh = params.Percent * H / 100;
    } else {
        nw = std::max(params.PixelsWidth, 1);
        nh = std::max(params.PixelsHeight, 1);
        if (params.AutoSwap && ((nh < nw && W < H) || (nw < nh && H < W)))
            std::swap(nw, nh);
        if (params.KeepProportions) {
            if (nw * H < nh * W)
                nh = nw * H / W;
            else
                nw = nh * W / H;
        }
        if (params.DontEnlarge) {
            nw = std::min(nw, W);
            nh = std::min(nh, H);
        }
    }
    nw = std::max(nw, 1LL);
    nh = std::max(nh, 1LL);
    if (nw > kMaxSide || nh > kMaxSide)
        return false;
    *newWidth = static_cast<int>(nw);
    *newHeight = static_cast<int>(nh);
    return true;
}

void CActionResize::Resample(const CDib24& from, int width, int height, CDib24& to, int newWidth, int newHeight)
{
    // One accumulator row and one row buffer; never a float image.
    const size_t rowValues = static_cast<size_t>(width) * 3;
    std::vector<float> sum(rowValues, 0.0f);
    std::vector<BYTE> row(rowValues);
    AreaAverage(
        height, newHeight,
        [&](int y, float w) {
            const BYTE* p = from.Row(y);
            for (size_t i = 0; i < rowValues; ++i)
                sum[i] += w * p[i];
        },
        [&](int outY, float total) {
            for (size_t i = 0; i < rowValues; ++i)
                row[i] = ToByte(sum[i] / total);
            std::fill(sum.begin(), sum.end(), 0.0f);
            BYTE* target = to.Row(outY);
            float pixel[3] = {};
            AreaAverage(
                width, newWidth,
                [&](int x, float w) {
                    for (int c = 0; c < 3; ++c)
                        pixel[c] += w * row[static_cast<size_t>(x) * 3 + c];
                },
                [&](int outX, float pixelTotal) {
                    for (int c = 0; c < 3; ++c) {
                        target[static_cast<size_t>(outX) * 3 + c] = ToByte(pixel[c] / pixelTotal);
                        pixel[c] = 0.0f;
                    }
                });
        });
}

void CActionResize::Apply(const void* /*arg*/)
{
    IKestrel* lib = Library();
    if (!lib)
        return;
    const int W = lib->GetWidth(), H = lib->GetHeight();
    const int mw = lib->GetMcuWidth(), mh = lib->GetMcuHeight();
    int nw = 0, nh = 0;
    if (mw <= 0 || mh <= 0 || !TargetSize(m_params, W, H, &nw, &nh))
        return;
    if (!m_image->HasDib() && !m_image->CreateDib())
        return;
    const CDib24& old = m_image->GetDib();
    if (old.Width() < W || old.Height() < H)
        return;
    CDib24 resized;
    if (!resized.Create(RoundUpToMultiple(nw, mw), RoundUpToMultiple(nh, mh)))
        return;
    Resample(old, W, H, resized, nw, nh);

    if (!LibraryEdit([&] { return lib->Crop(0, 0, nw, nh); }))
        return;
    m_image->AttachDib(std::move(resized));
    // Without the re-encode the crop would leave grey where the picture was.
    if (!LibraryEdit([&] { return m_image->ApplyBitmapChanges(1, nullptr); }))
        RevertLibraryEdits();
    m_image->DeleteDib();
}

void CActionResize::Revert()
{
    RevertLibraryEdits();
    m_image->DeleteDib();
}
