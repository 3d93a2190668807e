// The library object: reference counting, interface queries, the small
// queries and the coefficient accessors shared by every concern.
#include "DllImage.h"

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <utility>

CDllImage::CDllImage() : m_undo(this) {}

CDllImage::~CDllImage()
{
    Close();
}

HRESULT CDllImage::QueryInterface(REFIID riid, void** object)
{
    if (!object)
        return E_POINTER;
    if (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, IID_IKestrel)) {
        *object = static_cast<IKestrel*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG CDllImage::AddRef()
{
    return static_cast<ULONG>(++m_refCount);
}

ULONG CDllImage::Release()
{
    if (m_refCount > 0)
        --m_refCount;
    if (m_refCount == 0) {
        delete this;
        return 0;
    }
    return static_cast<ULONG>(m_refCount);
}

int CDllImage::IsLoaded() { return m_coef ? 1 : 0; }
int CDllImage::GetWidth() { return m_width; }
int CDllImage::GetHeight() { return m_height; }
int CDllImage::GetMcuWidth() { return m_mcuWidth; }
int CDllImage::GetMcuHeight() { return m_mcuHeight; }

int CDllImage::IsGrayscale() { return m_colorSpace == JCS_GRAYSCALE ? 1 : 0; }

int CDllImage::CanConvertToGrayscale()
{
    if (!m_coef || m_colorSpace != JCS_YCbCr || !m_decoderOpen || m_decoder.num_components < 1)
        return 0;
    // The edit keeps the first component, which must carry the finest sampling.
    int maxH, maxV;
    MaxSamplingFactors(&m_decoder, &maxH, &maxV);
    return m_decoder.comp_info[0].h_samp_factor == maxH && m_decoder.comp_info[0].v_samp_factor == maxV ? 1 : 0;
}

int CDllImage::CanAdjustLevels()
{
    return m_coef && (m_colorSpace == JCS_GRAYSCALE || m_colorSpace == JCS_YCbCr) ? 1 : 0;
}

void CDllImage::GetCoefficients(short** data, int* count)
{
    if (data)
        *data = m_coef;
    if (count)
        *count = m_coef ? m_coefCount : 0;
}

int CDllImage::SetCoefficients(const short* data, int count)
{
    if (!m_coef || !data || count != m_coefCount)
        return 0;
    if (data != m_coef)
        std::memmove(m_coef, data, static_cast<size_t>(count) * sizeof(short));
    return 1;
}

int CDllImage::McusPerRow() const
{
    return m_mcuWidth > 0 ? (m_width + m_mcuWidth - 1) / m_mcuWidth : 0;
}

int CDllImage::McuRows() const
{
    return m_mcuHeight > 0 ? (m_height + m_mcuHeight - 1) / m_mcuHeight : 0;
}

bool CDllImage::GetComponentGrid(int c, ComponentGrid* grid) const
{
    if (!grid || !m_decoderOpen || c < 0 || c >= m_decoder.num_components)
        return false;
    int maxH, maxV;
    MaxSamplingFactors(const_cast<j_decompress_ptr>(&m_decoder), &maxH, &maxV);
    const int mcusPerRow = McusPerRow();
    const int mcuRows = McuRows();
    size_t offset = 0;
    for (int k = 0; k <= c; ++k) {
        const jpeg_component_info& comp = m_decoder.comp_info[k];
        ComponentGrid g;
        g.h = comp.h_samp_factor;
        g.v = comp.v_samp_factor;
        g.blocksPerRow = g.h * mcusPerRow;
        g.blockRows = g.v * mcuRows;
        // Blocks that hold image data, as libjpeg counts them.
        g.codedBlocksPerRow = static_cast<int>((static_cast<long long>(m_width) * g.h + maxH * 8 - 1) / (maxH * 8));
        g.codedBlockRows = static_cast<int>((static_cast<long long>(m_height) * g.v + maxV * 8 - 1) / (maxV * 8));
        g.offset = offset;
        if (k == c) {
            *grid = g;
            return true;
        }
        offset += g.count();
    }
    return false;
}

long long CDllImage::LayoutCount() const
{
    if (!m_decoderOpen)
        return -1;
    long long total = 0;
    const long long mcus = static_cast<long long>(McusPerRow()) * McuRows();
    for (int c = 0; c < m_decoder.num_components; ++c) {
        const jpeg_component_info& comp = m_decoder.comp_info[c];
        total += mcus * comp.h_samp_factor * comp.v_samp_factor * 64;
        if (total > 0x7FFFFFFF)
            return -1;
    }
    return total;
}

namespace {

// Every array carries its count in front of its first value.
constexpr size_t kArrayHeader = 64;
// Arrays of at least this many values are worth keeping for re-use.
constexpr size_t kSpareMinimum = size_t{4} << 20;

// The last large array freed: an edit or a save of a photo asks for one of
// the same size again at once, and memory that is in place costs a clear
// where fresh memory costs a page fault per page.
struct SpareArray {
    std::mutex lock;
    short* data = nullptr;
    size_t count = 0;
};

SpareArray& Spare()
{
    static SpareArray spare;
    return spare;
}

// Takes the spare array out: `kept` when it holds `count` values, else it
// goes into `drop`.
void TakeSpare(size_t count, short** kept, short** drop)
{
    SpareArray& spare = Spare();
    std::lock_guard<std::mutex> hold(spare.lock);
    *(spare.count == count ? kept : drop) = spare.data;
    spare.data = nullptr;
    spare.count = 0;
}

void FreeArray(short* data)
{
    if (data)
        std::free(reinterpret_cast<unsigned char*>(data) - kArrayHeader);
}

} // namespace

short* CDllImage::AllocCoefficients(size_t count)
{
    if (count == 0 || count > 0x7FFFFFFF)
        return nullptr;
    short *kept = nullptr, *drop = nullptr;
    TakeSpare(count, &kept, &drop);
    // One of another size goes before new memory comes.
    FreeArray(drop);
    if (kept) {
        std::memset(kept, 0, count * sizeof(short));
        return kept;
    }
    // No huge-page advice: where the kernel compacts memory for such a fault,
    // a fragmented machine stalls on it far longer than it saves.
    auto* base = static_cast<unsigned char*>(std::calloc(kArrayHeader + count * sizeof(short), 1));
    if (!base)
        return nullptr;
    std::memcpy(base, &count, sizeof count);
    return reinterpret_cast<short*>(base + kArrayHeader);
}

void CDllImage::FreeCoefficients(short* data)
{
    if (!data)
        return;
    size_t count = 0;
    std::memcpy(&count, reinterpret_cast<unsigned char*>(data) - kArrayHeader, sizeof count);
    if (count >= kSpareMinimum) {
        SpareArray& spare = Spare();
        std::lock_guard<std::mutex> hold(spare.lock);
        std::swap(spare.data, data);
        spare.count = count;
    }
    FreeArray(data);
}

void CDllImage::ReleaseSpareCoefficients()
{
    short *kept = nullptr, *drop = nullptr;
    TakeSpare(0, &kept, &drop);
    FreeArray(drop);
}

void CDllImage::ReplaceCoefficients(short* data, int count)
{
    if (data == m_coef) {
        m_coefCount = count;
        return;
    }
    FreeCoefficients(m_coef);
    m_coef = data;
    m_coefCount = data ? count : 0;
}

void CDllImage::ExchangeForQuarterTurn()
{
    if (!m_decoderOpen)
        return;
    std::swap(m_decoder.max_h_samp_factor, m_decoder.max_v_samp_factor);
    for (int c = 0; c < m_decoder.num_components; ++c) {
        jpeg_component_info& comp = m_decoder.comp_info[c];
        std::swap(comp.h_samp_factor, comp.v_samp_factor);
        std::swap(comp.width_in_blocks, comp.height_in_blocks);
        std::swap(comp.downsampled_width, comp.downsampled_height);
    }
    for (int t = 0; t < NUM_QUANT_TBLS; ++t) {
        JQUANT_TBL* q = m_decoder.quant_tbl_ptrs[t];
        if (!q)
            continue;
        for (int r = 0; r < 8; ++r)
            for (int c = r + 1; c < 8; ++c)
                std::swap(q->quantval[r * 8 + c], q->quantval[c * 8 + r]);
    }
    std::swap(m_mcuWidth, m_mcuHeight);
}

void CDllImage::RefreshGeometry()
{
    if (m_decoderOpen) {
        int maxH, maxV;
        MaxSamplingFactors(&m_decoder, &maxH, &maxV);
        m_mcuWidth = 8 * maxH;
        m_mcuHeight = 8 * maxV;
        m_numComponents = m_decoder.num_components;
        m_colorSpace = m_decoder.jpeg_color_space;
    }
    if (m_mcuWidth > 0 && m_mcuHeight > 0) {
        m_paddedWidth = McusPerRow() * m_mcuWidth;
        m_paddedHeight = McuRows() * m_mcuHeight;
    } else {
        m_paddedWidth = m_paddedHeight = 0;
    }
}

extern "C" __attribute__((visibility("default"))) HRESULT CreateKestrelObject(IKestrel** out)
{
    if (!out)
        return E_POINTER;
    auto* image = new (std::nothrow) CDllImage();
    if (!image) {
        *out = nullptr;
        return E_OUTOFMEMORY;
    }
    image->AddRef();
    *out = image;
    return S_OK;
}
