// The installed message boxes; a silent stand-in until the program sets one.
#include "MessageBoxes.h"

namespace {

class CSilentProgressWindow final : public IProgressWindow {
public:
    void SetTitle(const QString&) override {}
    void SetRange(int, int) override {}
    void SetPosition(int) override {}
    void PlaceClearOf(const QRect&) override {}
    void Show() override {}
    bool ProcessEventsOnce() override { return false; }
};

class CSilentMessageBoxes final : public IMessageBoxes {
public:
    void ShowMessage(const QString&) override {}
    bool AskQuestion(const QString&) override { return false; }
    SaveErrorChoice AskSaveError(const QString&, const QString&) override { return SaveErrorChoice::Skip; }
    bool ReportProgress(int) override { return true; }
};

CSilentMessageBoxes g_silent;
IMessageBoxes* g_current = nullptr;

} // namespace

IMessageBoxes& MessageBoxes()
{
    return g_current ? *g_current : g_silent;
}

IMessageBoxes* SetMessageBoxes(IMessageBoxes* boxes)
{
    IMessageBoxes* previous = g_current;
    g_current = boxes;
    return previous;
}

std::unique_ptr<IProgressWindow> CreateSilentProgressWindow()
{
    return std::make_unique<CSilentProgressWindow>();
}

std::unique_ptr<IProgressWindow> IMessageBoxes::CreateProgressWindow()
{
    return CreateSilentProgressWindow();
}
