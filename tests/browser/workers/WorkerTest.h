// Shared helpers for the worker tests: a gated library object, a waiter on a
// loader's notify callback, and JPEG files made on the spot.
#pragma once

#include "Kestrel.h"
#include "TestJpeg.h"
#include "platform/Utf.h"

#include <gtest/gtest.h>

#include <QString>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <string>

namespace wtest {

inline QString Q(const std::filesystem::path& p) { return QString::fromStdString(p.string()); }

inline void WriteJpeg(const std::filesystem::path& path, int width, int height, unsigned seed = 1)
{
    testjpeg::WriteFile(path, testjpeg::Encode(testjpeg::MakePattern(width, height, 3, seed),
                                               testjpeg::Sampled(85, {{2, 2}, {1, 1}, {1, 1}})));
}

// Set by a loader's notify callback (from the worker), awaited by the test.
class NotifyFlag {
public:
    void Set()
    {
        {
            std::lock_guard lock(m_lock);
            m_set = true;
            ++m_count;
        }
        m_cv.notify_all();
    }
    // Waits for the flag and clears it; false after a minute (the test fails).
    bool WaitAndClear()
    {
        std::unique_lock lock(m_lock);
        const bool ok = m_cv.wait_for(lock, std::chrono::minutes(1), [this] { return m_set; });
        m_set = false;
        return ok;
    }
    int Count()
    {
        std::lock_guard lock(m_lock);
        return m_count;
    }

private:
    std::mutex m_lock;
    std::condition_variable m_cv;
    bool m_set = false;
    int m_count = 0;
};

#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
#endif
// The real library object's LoadThumbnail, except that a call for a file
// whose name starts with "gate" waits until Open: the test then knows that a
// decode is under way. Nothing else of the interface is used by the worker.
class GatedKestrel final : public IKestrel {
public:
    GatedKestrel() { CreateKestrelObject(&m_real); }
    ~GatedKestrel() { m_real->Release(); }
    IKestrel* Real() const { return m_real; }

    // Blocks until a gated call is waiting.
    void WaitUntilHeld()
    {
        std::unique_lock lock(m_lock);
        m_cv.wait(lock, [this] { return m_held; });
    }
    void Open()
    {
        {
            std::lock_guard lock(m_lock);
            m_open = true;
        }
        m_cv.notify_all();
    }

    int LoadThumbnail(BSTR path, BYTE* bits, int boxWidth, int boxHeight, int rowStride, int red, int green, int blue,
                      int* width, int* height, int flags) override
    {
        if (std::filesystem::path(Utf16ToUtf8(path)).filename().string().starts_with("gate")) {
            std::unique_lock lock(m_lock);
            m_held = true;
            m_cv.notify_all();
            m_cv.wait(lock, [this] { return m_open; });
        }
        return m_real->LoadThumbnail(path, bits, boxWidth, boxHeight, rowStride, red, green, blue, width, height, flags);
    }

    HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 1; }
    int LoadFile(BSTR, int) override { return 0; }
    int LoadMemory(const BYTE*, int, int) override { return 0; }
    void Close() override {}
    int IsLoaded() override { return 0; }
    int GetWidth() override { return 0; }
    int GetHeight() override { return 0; }
    int GetMcuWidth() override { return 0; }
    int GetMcuHeight() override { return 0; }
    int Reconstruct(int, ReconstructProgressCallback) override { return 0; }
    int RenderToBitmap(BYTE*, int, int) override { return 0; }
    int GetEncodedSize() override { return 0; }
    int SaveFile(BSTR, const SaveOptions*) override { return 0; }
    int SaveMemory(BYTE*, int) override { return 0; }
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
    const char16_t* FormatExifText(BSTR, int, LCID, BSTR, BSTR, int) override { return nullptr; }
    int GetOrientation() override { return 0; }
    void SetOrientation(int) override {}
    void GetExifThumbnailSize(int*) override {}
    int IsGrayscale() override { return 0; }
    void GetCoefficients(short**, int*) override {}
    int SetCoefficients(const short*, int) override { return 0; }

private:
    IKestrel* m_real = nullptr;
    std::mutex m_lock;
    std::condition_variable m_cv;
    bool m_held = false;
    bool m_open = false;
};
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

} // namespace wtest

// Readable QStrings in failure messages.
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }
