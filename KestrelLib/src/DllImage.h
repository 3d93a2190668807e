// CDllImage: the one implementation of IKestrel. It holds at most one JPEG as
// its coefficient image (see Load.cpp for the layout), the decoder that read
// its header, its saved markers, EXIF record, file times and undo list.
//
// The interface operations are defined in the file of their concern
// (Load.cpp, Render.cpp, Save.cpp, Thumbnail.cpp, Exif.cpp, ExifText.cpp,
// UndoMan.cpp, Geometry.cpp, ValueEdits.cpp). No operation lets an exception
// cross the interface.
#pragma once

#include "Kestrel.h"
#include "JpegCodec.h"
#include "Exif.h"
#include "UndoMan.h"
#include "platform/FileTime.h"

#include <cstdint>
#include <string>
#include <vector>

// One COM or APPn marker saved at load, owned by the image object (never by
// the decoder), so nothing points into decoder memory.
struct CSavedMarker {
    int code = 0; // JPEG_COM or JPEG_APP0 + n
    std::vector<uint8_t> data;
};

// Geometry of one component's block grid inside the coefficient image.
struct ComponentGrid {
    int h = 1, v = 1;        // sampling factors
    int blocksPerRow = 0;    // h x MCUs per row (padded)
    int blockRows = 0;       // v x MCU rows (padded)
    int codedBlocksPerRow = 0; // blocks holding image data; the rest are zero padding
    int codedBlockRows = 0;
    size_t offset = 0;       // first value of the component in the array
    size_t count() const { return static_cast<size_t>(blocksPerRow) * blockRows * 64; }
};

class CDllImage final : public IKestrel {
public:
    CDllImage();
    ~CDllImage();
    CDllImage(const CDllImage&) = delete;
    CDllImage& operator=(const CDllImage&) = delete;

    // IUnknown
    HRESULT QueryInterface(REFIID riid, void** object) override;
    ULONG AddRef() override;
    ULONG Release() override;

    // IKestrel
    int LoadFile(BSTR path, int headerOnly) override;
    int LoadMemory(const BYTE* data, int size, int headerOnly) override;
    void Close() override;
    int IsLoaded() override;
    int GetWidth() override;
    int GetHeight() override;
    int GetMcuWidth() override;
    int GetMcuHeight() override;
    int Reconstruct(int passes, ReconstructProgressCallback callback) override;
    int RenderToBitmap(BYTE* firstRow, int rowStride, int padToMcu) override;
    int GetEncodedSize() override;
    int SaveFile(BSTR path, const SaveOptions* options) override;
    int SaveMemory(BYTE* buffer, int capacity) override;
    int LoadThumbnail(BSTR path, BYTE* bits, int boxWidth, int boxHeight, int rowStride, int red, int green,
                      int blue, int* width, int* height, int decorationFlags) override;
    int Crop(int left, int top, int right, int bottom) override;
    int FlipHorizontal(int includePartial) override;
    int FlipVertical(int includePartial) override;
    int RotateLeft(int includePartial) override;
    int RotateRight(int includePartial) override;
    int ApplyBitmapChanges(BYTE** rowPointer, int rowStride, int reencodeAll, BitmapChangeStats* stats) override;
    int ConvertToGrayscale() override;
    int CanConvertToGrayscale() override;
    int AdjustLevels(int shift0, int shift1, int shift2) override;
    int CanAdjustLevels() override;
    void SetUndoStore(IUndoStore* store) override;
    int Undo() override;
    const char16_t* FormatExifText(BSTR textTemplate, int useFileTime, LCID locale, BSTR dateFormat,
                                   BSTR timeFormat, int fractionsOfSeconds) override;
    int GetOrientation() override;
    void SetOrientation(int value) override;
    void GetExifThumbnailSize(int* size) override;
    int IsGrayscale() override;
    void GetCoefficients(short** data, int* count) override;
    int SetCoefficients(const short* data, int count) override;

    // ---- Library-internal API, used by the edits, rendering and saving ----

    bool HasCoefficients() const { return m_coef != nullptr; }
    // The decoder that read the header; valid while coefficients are held.
    j_decompress_ptr Decoder() { return &m_decoder; }
    int NumComponents() const { return m_numComponents; }
    J_COLOR_SPACE JpegColorSpace() const { return m_colorSpace; }
    int McusPerRow() const;
    int McuRows() const;
    // Block grid of component c of the current coefficient image (false when out of range).
    bool GetComponentGrid(int c, ComponentGrid* grid) const;
    // Number of values the layout needs for the current geometry; -1 when it does not fit an int.
    long long LayoutCount() const;

    // Replaces the coefficient array with one allocated by AllocCoefficients;
    // frees the old one.
    void ReplaceCoefficients(short* data, int count);
    static short* AllocCoefficients(size_t count); // zero-filled; null on failure
    // Frees an array; the last large one freed is kept for the next
    // allocation of its size until ReleaseSpareCoefficients.
    static void FreeCoefficients(short* data);
    static void ReleaseSpareCoefficients();

    // Swaps the largest sampling factors, every component's factors and size in
    // blocks, and transposes every quantisation table slot that holds a table.
    // Run twice, it restores the state. Does not touch width and height.
    void ExchangeForQuarterTurn();
    // Recomputes the cached MCU size, colour space, component count and padded
    // size from the decoder and the current width and height.
    void RefreshGeometry();

    // ---- Fields, in the order the object holds them ----
    int32_t m_refCount = 0;
    std::u16string m_path;
    FileTimes m_times;
    int32_t m_paddedWidth = 0;
    int32_t m_paddedHeight = 0;
    int32_t m_width = 0;
    int32_t m_height = 0;
    CExif m_exif;
    jpeg_decompress_struct m_decoder{};
    bool m_decoderOpen = false;
    KsErrorMgr m_err{};
    short* m_coef = nullptr;
    int m_coefCount = 0;
    CDllUndoMan m_undo;

    // Saved COM and APPn markers of the last load, in file order.
    std::vector<CSavedMarker> m_markers;
    // Header answers that stay valid after a header-only load or Close.
    int m_mcuWidth = 0;
    int m_mcuHeight = 0;
    int m_numComponents = 0;
    J_COLOR_SPACE m_colorSpace = JCS_UNKNOWN;
    // True when m_times were read from a file (not after a memory load).
    bool m_timesValid = false;

private:
    int Load(const char16_t* path, const BYTE* data, int size, int headerOnly);
    bool ReadHeader(FILE* file, const BYTE* data, int size);
    // `early`: dequantise each block row of a sequential file as soon as the
    // decoder has written it.
    bool ReadCoefficients(FILE* file, const BYTE* data, int size, bool early = true);
    void DestroyDecoder();
};
