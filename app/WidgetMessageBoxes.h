// The engine's message boxes shown as Qt message boxes.
//
// When the environment variable PIXMEND_NONINTERACTIVE is set to anything but
// empty, nothing is shown: messages go to standard error, questions are
// answered "no", a save error aborts, a failure in a copy or move run skips
// that entry and progress is never cancelled (the progress window is the
// silent one). Tests and scripted runs use this so a failing start never
// waits for a click.
#pragma once

#include "MessageBoxes.h"

class CWidgetMessageBoxes final : public IMessageBoxes {
public:
    CWidgetMessageBoxes();

    void ShowMessage(const QString& text) override;
    void ShowWarning(const QString& text, const QString& caption) override;
    BatchChoice AskBatchConfirm(const QString& macroName, int count, bool currentOnly) override;
    FailureChoice AskRunFailure(const QString& text) override;
    bool AskQuestion(const QString& text) override;
    Answer AskYesNoCancel(const QString& text, const QString& caption) override;
    bool AskYesNo(const QString& text, const QString& caption, bool warning) override;
    bool AskOkCancel(const QString& text) override;
    SaveErrorChoice AskSaveError(const QString& path, const QString& cause) override;
    bool ReportProgress(int percent) override;
    void ShowError(const QString& text) override;
    // The progress bar dialog over the application's main frame.
    std::unique_ptr<IProgressWindow> CreateProgressWindow() override;

    bool IsInteractive() const { return m_bInteractive; }

private:
    bool m_bInteractive;
};
