// A stand-in image library: every answer comes from one control block.
#include "FakeKestrel.h"

#include <cstring>

namespace {

FakeKestrelControl g_control;

class CFake final : public IKestrel {
public:
    CFake() { ++g_control.objects; }
    ~CFake() { --g_control.objects; }
    HRESULT QueryInterface(REFIID, void** object) override
    {
        *object = this;
        AddRef();
        return S_OK;
    }
    ULONG AddRef() override { return ++m_refs; }
    ULONG Release() override
    {
        const ULONG left = --m_refs;
        if (!left)
            delete this;
        return left;
    }
    int LoadFile(BSTR, int) override
    {
        ++g_control.loadCalls;
        return m_loaded = g_control.loadResult;
    }
    int LoadMemory(const BYTE*, int, int) override { return 0; }
    void Close() override { m_loaded = 0; }
    int IsLoaded() override { return m_loaded; }
    int GetWidth() override { return g_control.width; }
    int GetHeight() override { return g_control.height; }
    int GetMcuWidth() override { return g_control.mcuWidth; }
    int GetMcuHeight() override { return g_control.mcuHeight; }
    int Reconstruct(int, ReconstructProgressCallback) override { return 0; }
    int RenderToBitmap(BYTE* row, int stride, int pad) override
    {
        ++g_control.renderCalls;
        g_control.lastRenderRow = row;
        g_control.lastRenderStride = stride;
        g_control.lastRenderPad = pad;
        if (g_control.renderResult)
            std::memset(row, 0x5A, 3); // mark the first pixel of the first row
        return g_control.renderResult;
    }
    int GetEncodedSize() override { return 0; }
    int SaveFile(BSTR, const SaveOptions* options) override
    {
        ++g_control.saveCalls;
        g_control.lastSave = *options;
        return g_control.saveResult;
    }
    int SaveMemory(BYTE*, int) override { return 0; }
    int LoadThumbnail(BSTR, BYTE*, int, int, int, int, int, int, int*, int*, int) override { return 0; }
    int Crop(int, int, int, int) override { return 0; }
    int FlipHorizontal(int) override { return 0; }
    int FlipVertical(int) override { return 0; }
    int RotateLeft(int) override { return 0; }
    int RotateRight(int) override { return 0; }
    int ApplyBitmapChanges(BYTE**, int, int, BitmapChangeStats*) override { return 0; }
    int ConvertToGrayscale() override { return 0; }
    int CanConvertToGrayscale() override { return 0; }
    int AdjustLevels(int, int, int) override { return 0; }
    int CanAdjustLevels() override { return 0; }
    void SetUndoStore(IUndoStore*) override {}
    int Undo() override { return 0; }
    const char16_t* FormatExifText(BSTR, int, LCID, BSTR, BSTR, int) override { return u""; }
    int GetOrientation() override { return 1; }
    void SetOrientation(int) override {}
    void GetExifThumbnailSize(int* size) override { *size = 0; }
    int IsGrayscale() override { return 0; }
    void GetCoefficients(short** data, int* count) override
    {
        *data = nullptr;
        *count = 0;
    }
    int SetCoefficients(const short*, int) override { return 0; }

private:
    ULONG m_refs = 0;
    int m_loaded = 0;
};

} // namespace

extern "C" __attribute__((visibility("default"))) HRESULT CreateKestrelObject(IKestrel** out)
{
    if (!out)
        return E_POINTER;
    *out = new CFake;
    (*out)->AddRef();
    return S_OK;
}

extern "C" __attribute__((visibility("default"))) FakeKestrelControl* FakeKestrelGetControl()
{
    return &g_control;
}
