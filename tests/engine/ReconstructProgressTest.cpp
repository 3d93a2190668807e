// The reconstruct progress: overall percentage, pass and bar position from
// the library's per-pass percentages, the listener at each new pass, cancel,
// and the process-wide current object.
#include "MessageBoxes.h"
#include "ReconstructProgress.h"

#include <gtest/gtest.h>

#include <QRect>

#include <climits>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

struct Log {
    std::vector<std::string> events;
    bool cancel = false;
    int processed = 0;
    int destroyed = 0;
    std::function<void()> onProcess;
};

class CRecordingWindow final : public IProgressWindow {
public:
    explicit CRecordingWindow(Log& log)
        : m_log(log)
    {
    }
    ~CRecordingWindow() override { ++m_log.destroyed; }
    void SetTitle(const QString& title) override { m_log.events.push_back("title " + title.toStdString()); }
    void SetRange(int minimum, int maximum) override
    {
        m_log.events.push_back("range " + std::to_string(minimum) + ".." + std::to_string(maximum));
    }
    void SetPosition(int position) override { m_log.events.push_back("pos " + std::to_string(position)); }
    void PlaceClearOf(const QRect& r) override
    {
        m_log.events.push_back("clear " + std::to_string(r.x()) + "," + std::to_string(r.y()));
    }
    void Show() override { m_log.events.push_back("show"); }
    bool ProcessEventsOnce() override
    {
        ++m_log.processed;
        if (m_log.onProcess)
            m_log.onProcess();
        return m_log.cancel;
    }

private:
    Log& m_log;
};

class CRecordingBoxes final : public IMessageBoxes {
public:
    void ShowMessage(const QString&) override {}
    bool AskQuestion(const QString&) override { return false; }
    SaveErrorChoice AskSaveError(const QString&, const QString&) override { return SaveErrorChoice::Skip; }
    bool ReportProgress(int) override { return true; }
    std::unique_ptr<IProgressWindow> CreateProgressWindow() override
    {
        return std::make_unique<CRecordingWindow>(log);
    }
    Log log;
};

class CListener final : public CReconstructProgress::IProgressListener {
public:
    explicit CListener(Log& log)
        : m_log(log)
    {
    }
    void OnNextPass() override { m_log.events.push_back("next pass"); }

private:
    Log& m_log;
};

class ReconstructProgressTest : public ::testing::Test {
protected:
    void SetUp() override { m_old = SetMessageBoxes(&m_boxes); }
    void TearDown() override { SetMessageBoxes(m_old); }

    std::vector<std::string> Take()
    {
        std::vector<std::string> events;
        events.swap(m_boxes.log.events);
        return events;
    }

    CRecordingBoxes m_boxes;
    IMessageBoxes* m_old = nullptr;
};

using Events = std::vector<std::string>;

TEST_F(ReconstructProgressTest, ThreePassesShowOverallPercentPassAndPosition)
{
    CListener listener(m_boxes.log);
    const QRect keepClear(10, 20, 30, 40);
    {
        CReconstructProgress progress(&listener, 3, &keepClear);
        EXPECT_EQ(Take(), (Events{"range 0..300", "clear 10,20", "show", "title Reconstruction: 0 % Pass # 1 of 3",
                                  "pos 0"}));
        EXPECT_EQ(CReconstructProgress::Current(), &progress);

        const struct {
            int percent;
            Events events;
        } steps[] = {
            {50, {"title Reconstruction: 16 % Pass # 1 of 3", "pos 50"}},
            {100, {"title Reconstruction: 33 % Pass # 1 of 3", "pos 100"}},
            {100, {}}, // repeated: nothing
            {0, {"next pass", "title Reconstruction: 33 % Pass # 2 of 3", "pos 100"}},
            {50, {"title Reconstruction: 50 % Pass # 2 of 3", "pos 150"}},
            {51, {"pos 151"}}, // same overall percentage: the bar only
            {100, {"title Reconstruction: 66 % Pass # 2 of 3", "pos 200"}},
            {0, {"next pass", "title Reconstruction: 66 % Pass # 3 of 3", "pos 200"}},
            {50, {"title Reconstruction: 83 % Pass # 3 of 3", "pos 250"}},
            {100, {"title Reconstruction: 100 % Pass # 3 of 3", "pos 300"}},
        };
        for (const auto& step : steps) {
            SCOPED_TRACE(step.percent);
            EXPECT_EQ(CReconstructProgress::OnLibraryProgress(step.percent), 1);
            EXPECT_EQ(Take(), step.events);
        }
        EXPECT_EQ(m_boxes.log.processed, 10);
        EXPECT_EQ(progress.GetCurrentPass(), 3);
    }
    EXPECT_EQ(CReconstructProgress::Current(), nullptr);
    EXPECT_EQ(m_boxes.log.destroyed, 1);
}

TEST_F(ReconstructProgressTest, CancelAnswersZeroAndNoObjectAnswersGoOn)
{
    EXPECT_EQ(CReconstructProgress::OnLibraryProgress(10), 1);
    CReconstructProgress progress(nullptr, 2, nullptr);
    EXPECT_EQ(CReconstructProgress::OnLibraryProgress(10), 1);
    m_boxes.log.cancel = true;
    EXPECT_EQ(CReconstructProgress::OnLibraryProgress(20), 0);
    // A drop without a listener only counts the pass.
    m_boxes.log.cancel = false;
    EXPECT_EQ(CReconstructProgress::OnLibraryProgress(0), 1);
    EXPECT_EQ(progress.GetCurrentPass(), 2);
}

TEST_F(ReconstructProgressTest, OddPassCountsNeitherDivideByZeroNorOverflow)
{
    const struct {
        int passes;
        int shownPasses;
    } cases[] = {{0, 1}, {-5, 1}, {INT_MAX, INT_MAX / 100 - 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.passes);
        CReconstructProgress progress(nullptr, c.passes, nullptr);
        EXPECT_EQ(progress.GetPasses(), c.shownPasses);
        EXPECT_EQ(Take().front(), "range 0.." + std::to_string(c.shownPasses * 100));
        for (int p : {50, 100, 0, 100, 0, 100})
            EXPECT_EQ(CReconstructProgress::OnLibraryProgress(p), 1);
        // More drops than passes keep the bar inside its range.
        EXPECT_LE(progress.GetCurrentPass(), c.shownPasses);
        Take();
    }
}

TEST_F(ReconstructProgressTest, ASecondObjectNeitherTakesOverNorNestsInTheLoop)
{
    auto first = std::make_unique<CReconstructProgress>(nullptr, 2, nullptr);
    {
        CReconstructProgress second(nullptr, 2, nullptr);
        EXPECT_EQ(CReconstructProgress::Current(), first.get());
    }
    EXPECT_EQ(CReconstructProgress::Current(), first.get());

    // A reconstruct run from inside the progress loop is stopped at once.
    int nested = -1;
    m_boxes.log.onProcess = [&] { nested = CReconstructProgress::OnLibraryProgress(5); };
    EXPECT_EQ(CReconstructProgress::OnLibraryProgress(10), 1);
    EXPECT_EQ(nested, 0);
    m_boxes.log.onProcess = nullptr;

    first.reset();
    EXPECT_FALSE(CReconstructProgress::IsRunning());
}

} // namespace
