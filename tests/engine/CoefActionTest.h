// Shared fixture of the coefficient-action tests: an image on the real
// library with its undo history, a view that counts what it hears, renders
// and block access.
#pragma once

#include "EngineTest.h"
#include "MessageBoxes.h"
#include "View.h"

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace etest {

class CCountingView final : public IView {
public:
    void OnImageChanged() override { ++changed; }
    void SwapDimensions() override
    {
        ++swaps;
        if (onSwap)
            onSwap();
    }
    int changed = 0;
    int swaps = 0;
    std::function<void()> onSwap;
};

class CRecordingBoxes final : public IMessageBoxes {
public:
    CRecordingBoxes() { m_old = SetMessageBoxes(this); }
    ~CRecordingBoxes() override { SetMessageBoxes(m_old); }
    void ShowMessage(const QString& text) override { messages.push_back(text); }
    bool AskQuestion(const QString&) override { return false; }
    SaveErrorChoice AskSaveError(const QString&) override { return SaveErrorChoice::Skip; }
    bool ReportProgress(int) override { return true; }
    std::vector<QString> messages;

private:
    IMessageBoxes* m_old = nullptr;
};

// A rendering of the image: width x height pixels of B, G, R.
struct Render {
    int width = 0, height = 0;
    std::vector<uint8_t> bgr;
    const uint8_t* At(int x, int y) const { return bgr.data() + (static_cast<size_t>(y) * width + x) * 3; }
};

class CoefActionTest : public ::testing::Test {
protected:
    void OpenFile(const std::filesystem::path& path)
    {
        m_image = std::make_unique<CKsImage>(RealLib());
        ASSERT_EQ(m_image->Load(Q(path), 0), 1) << path;
        m_image->SetView(&view);
        um = m_image->GetUndoMan();
    }
    void Open(int width, int height, std::vector<std::pair<int, int>> sampling = {{2, 2}, {1, 1}, {1, 1}},
              const std::string& name = "a.jpg")
    {
        OpenFile(WriteJpeg(m_files / name, width, height, std::move(sampling)));
    }
    // The image's own pixels as the library renders them.
    Render Rendered()
    {
        Render r;
        if (!m_image->CreateDib())
            return r;
        r.width = m_image->GetWidth();
        r.height = m_image->GetHeight();
        r.bgr.resize(static_cast<size_t>(r.width) * r.height * 3);
        for (int y = 0; y < r.height; ++y)
            std::memcpy(r.bgr.data() + static_cast<size_t>(y) * r.width * 3, m_image->GetDib().Row(y),
                        static_cast<size_t>(r.width) * 3);
        m_image->DeleteDib();
        return r;
    }

    ScopedTempFolder m_temp;
    testjpeg::TempDir m_files;
    CCountingView view;
    std::unique_ptr<CKsImage> m_image;
    CUndoMan* um = nullptr;
};

} // namespace etest
