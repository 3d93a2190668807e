// The public interface of the Kestrel28 image library: the one export, the
// image interface, the undo-store callback and the save options. Everything
// here is part of the binary contract; slot order and field layout are fixed.
#pragma once

#include "platform/Com.h"

#include <cstddef>
#include <cstdint>
#include <type_traits>

// {163753F0-D70F-4EDA-B3DC-A68E7E75B31D}
inline constexpr GUID IID_IKestrel = {0x163753F0, 0xD70F, 0x4EDA, {0xB3, 0xDC, 0xA6, 0x8E, 0x7E, 0x75, 0xB3, 0x1D}};

// Called after every block row of a reconstruct pass with the percentage done;
// returning 0 cancels the remaining work.
using ReconstructProgressCallback = int (*)(int percent);

// A default-constructed record holds the library defaults.
struct SaveOptions {
    int32_t CompressionMode = 0;    // 1 = re-encode from the bitmap below, otherwise lossless transcode
    int32_t Quality = 75;           // 1..100
    int32_t ColorSampling = 1;      // non-zero: first component 2 x 2 when there is more than one
    int32_t RetainOriginalTime = 0;
    int32_t OptHuffmanTable = 1;
    int32_t SaveComments = 1;
    int32_t SaveEXIF = 1;
    int32_t GenerateEXIFThumb = 1;  // 0 drop, 1 keep as loaded, 2 write a new one
    int32_t EXIFThumbSize = 160;    // box of a new thumbnail, used clamped to 32..256
    BYTE* Bitmap = nullptr;         // first (topmost) row of 24-bit BGR pixels
    int32_t BitmapStride = 0;       // signed row stride in bytes
};
static_assert(offsetof(SaveOptions, EXIFThumbSize) == 32, "SaveOptions layout");
static_assert(offsetof(SaveOptions, Bitmap) == 40, "SaveOptions layout");
static_assert(offsetof(SaveOptions, BitmapStride) == 48, "SaveOptions layout");
static_assert(sizeof(SaveOptions) == 56, "SaveOptions layout");
static_assert(std::is_standard_layout_v<SaveOptions>, "SaveOptions layout");

// Library defaults of SaveOptions.
inline SaveOptions DefaultSaveOptions()
{
    return SaveOptions{};
}

struct BitmapChangeStats {
    int32_t ImageMcus;
    int32_t ImageBlocks;
    int32_t ChangedMcus;
    int32_t ChangedBlocks;
};
static_assert(sizeof(BitmapChangeStats) == 16, "BitmapChangeStats layout");

#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
#endif

// Implemented by the caller; the library writes the data an edit destroys and
// reads it back, in the same order, when the edit is undone. Both return 1 on
// success and 0 on failure and never throw.
struct IUndoStore {
    virtual int Write(const void* data, int size) = 0;
    virtual int Read(void* data, int size) = 0;
};

struct IKestrel : IUnknown {
    virtual int LoadFile(BSTR path, int headerOnly) = 0;                                  // 4
    virtual int LoadMemory(const BYTE* data, int size, int headerOnly) = 0;               // 5
    virtual void Close() = 0;                                                             // 6
    virtual int IsLoaded() = 0;                                                           // 7
    virtual int GetWidth() = 0;                                                           // 8
    virtual int GetHeight() = 0;                                                          // 9
    virtual int GetMcuWidth() = 0;                                                        // 10
    virtual int GetMcuHeight() = 0;                                                       // 11
    virtual int Reconstruct(int passes, ReconstructProgressCallback callback) = 0;        // 12
    virtual int RenderToBitmap(BYTE* firstRow, int rowStride, int padToMcu) = 0;          // 13
    virtual int GetEncodedSize() = 0;                                                     // 14
    // On 0, errno holds the error of the step that failed, or 0 when no
    // system call failed (a codec error); the caller reads it at once.
    virtual int SaveFile(BSTR path, const SaveOptions* options) = 0;                      // 15
    virtual int SaveMemory(BYTE* buffer, int capacity) = 0;                               // 16
    virtual int LoadThumbnail(BSTR path, BYTE* bits, int boxWidth, int boxHeight, int rowStride,
                              int red, int green, int blue, int* width, int* height,
                              int decorationFlags) = 0;                                   // 17
    virtual int Crop(int left, int top, int right, int bottom) = 0;                       // 18
    virtual int FlipHorizontal(int includePartial) = 0;                                   // 19
    virtual int FlipVertical(int includePartial) = 0;                                     // 20
    virtual int RotateLeft(int includePartial) = 0;                                       // 21
    virtual int RotateRight(int includePartial) = 0;                                      // 22
    virtual int ApplyBitmapChanges(BYTE** rowPointer, int rowStride, int reencodeAll,
                                   BitmapChangeStats* stats) = 0;                         // 23
    virtual int ConvertToGrayscale() = 0;                                                 // 24
    virtual int CanConvertToGrayscale() = 0;                                              // 25
    virtual int AdjustLevels(int shift0, int shift1, int shift2) = 0;                     // 26
    virtual int CanAdjustLevels() = 0;                                                    // 27
    virtual void SetUndoStore(IUndoStore* store) = 0;                                     // 28
    virtual int Undo() = 0;                                                               // 29
    virtual const char16_t* FormatExifText(BSTR textTemplate, int useFileTime, LCID locale,
                                           BSTR dateFormat, BSTR timeFormat,
                                           int fractionsOfSeconds) = 0;                   // 30
    virtual int GetOrientation() = 0;                                                     // 31
    virtual void SetOrientation(int value) = 0;                                           // 32
    virtual void GetExifThumbnailSize(int* size) = 0;                                     // 33
    virtual int IsGrayscale() = 0;                                                        // 34
    virtual void GetCoefficients(short** data, int* count) = 0;                           // 35
    virtual int SetCoefficients(const short* data, int count) = 0;                        // 36
};

#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

extern "C" HRESULT CreateKestrelObject(IKestrel** out);
using CreateKestrelObjectFn = HRESULT (*)(IKestrel** out);
