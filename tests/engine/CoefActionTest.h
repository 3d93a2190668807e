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

// A progress window that records what it shows and cancels when told to.
struct ProgressLog {
    std::vector<QString> titles;
    int reports = 0;
    // Cancel on the first report whose title names this pass (0: never).
    int cancelInPass = 0;
    std::function<void()> onReport;
};

class CRecordingProgressWindow final : public IProgressWindow {
public:
    explicit CRecordingProgressWindow(ProgressLog* log) : m_log(log) {}
    void SetTitle(const QString& title) override { m_log->titles.push_back(title); }
    void SetRange(int, int) override {}
    void SetPosition(int) override {}
    void PlaceClearOf(const QRect&) override {}
    void Show() override {}
    bool ProcessEventsOnce() override
    {
        ++m_log->reports;
        if (m_log->onReport)
            m_log->onReport();
        return m_log->cancelInPass > 0 && !m_log->titles.empty()
            && m_log->titles.back().contains(QStringLiteral("Pass # %1 ").arg(m_log->cancelInPass));
    }

private:
    ProgressLog* m_log;
};

class CRecordingBoxes final : public IMessageBoxes {
public:
    CRecordingBoxes() { m_old = SetMessageBoxes(this); }
    ~CRecordingBoxes() override { SetMessageBoxes(m_old); }
    void ShowMessage(const QString& text) override { messages.push_back(text); }
    bool AskQuestion(const QString&) override { return false; }
    SaveErrorChoice AskSaveError(const QString&, const QString&) override { return SaveErrorChoice::Skip; }
    bool ReportProgress(int) override { return true; }
    std::unique_ptr<IProgressWindow> CreateProgressWindow() override
    {
        ++windows;
        return std::make_unique<CRecordingProgressWindow>(&progress);
    }
    std::vector<QString> messages;
    ProgressLog progress;
    int windows = 0;

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
