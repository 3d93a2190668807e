// The engine's only way to talk to the user. The program installs an
// implementation that shows real message boxes; tests install one that
// answers for them. With none installed, messages are dropped, questions are
// answered "no" and a save error is skipped.
#pragma once

#include <QString>

#include <memory>

class QRect;

// A small window that shows the progress of one long edit run on the UI
// thread and offers Cancel. While it exists the main window takes no input;
// destroying it gives the main window its input back, whatever became of
// the window itself.
class IProgressWindow {
public:
    virtual ~IProgressWindow() = default;
    virtual void SetTitle(const QString& title) = 0;
    virtual void SetRange(int minimum, int maximum) = 0;
    virtual void SetPosition(int position) = 0;
    // Moves the window so that it does not cover `screenRect` (screen
    // coordinates), keeping it on its screen.
    virtual void PlaceClearOf(const QRect& screenRect) = 0;
    virtual void Show() = 0;
    // Runs the pending events once (painting, the Cancel button) without
    // waiting; true once Cancel has been pressed.
    virtual bool ProcessEventsOnce() = 0;
};

class IMessageBoxes {
public:
    enum class SaveErrorChoice { Retry, Skip, Abort };

    virtual ~IMessageBoxes() = default;
    // An information or error message with an OK button.
    virtual void ShowMessage(const QString& text) = 0;
    // A warning with an OK button under `caption`. By default the message.
    virtual void ShowWarning(const QString& text, const QString& caption)
    {
        (void)caption;
        ShowMessage(text);
    }
    // Before a macro runs over `count` selected images: all of them, the open
    // image only (offered when `currentOnly`), or nothing. By default nothing.
    enum class BatchChoice { AllSelected, CurrentOnly, Cancel };
    virtual BatchChoice AskBatchConfirm(const QString& macroName, int count, bool currentOnly)
    {
        (void)macroName;
        (void)count;
        (void)currentOnly;
        return BatchChoice::Cancel;
    }
    // One entry of a copy or move run failed (`text` says which and why): go
    // on with the next, go on and show no further failure of the run, or stop
    // the run there. By default the message, and the run goes on.
    enum class FailureChoice { Skip, SkipAll, Cancel };
    virtual FailureChoice AskRunFailure(const QString& text)
    {
        ShowMessage(text);
        return FailureChoice::Skip;
    }
    // A question with OK/Cancel (Yes/No); true for OK/Yes.
    virtual bool AskQuestion(const QString& text) = 0;
    enum class Answer { Yes, No, Cancel };
    // A warning question with Yes, No and Cancel under `caption`. By default
    // the Yes/No question without a way to cancel.
    virtual Answer AskYesNoCancel(const QString& text, const QString& caption)
    {
        (void)caption;
        return AskQuestion(text) ? Answer::Yes : Answer::No;
    }
    // A Yes/No question under `caption`; a warning shows the warning icon and
    // makes No the default button. By default the plain question.
    virtual bool AskYesNo(const QString& text, const QString& caption, bool warning)
    {
        (void)caption;
        (void)warning;
        return AskQuestion(text);
    }
    // A warning question with OK and Cancel; true for OK. By default the
    // Yes/No question.
    virtual bool AskOkCancel(const QString& text) { return AskQuestion(text); }
    // A file could not be written: retry, skip the file or abort the run.
    // `cause` says why, shown below the path (empty when unknown).
    virtual SaveErrorChoice AskSaveError(const QString& path, const QString& cause) = 0;
    // Progress of a long edit in percent; false when the user cancels.
    virtual bool ReportProgress(int percent) = 0;
    // An error message with an OK button and the error icon. By default the message.
    virtual void ShowError(const QString& text) { ShowMessage(text); }
    // A new progress window for one long edit. By default a silent one that
    // shows nothing and is never cancelled.
    virtual std::unique_ptr<IProgressWindow> CreateProgressWindow();
};

// The progress window that shows nothing and never cancels.
std::unique_ptr<IProgressWindow> CreateSilentProgressWindow();

// The installed implementation (never null: a silent one when none is set).
IMessageBoxes& MessageBoxes();
// Installs `boxes` (not owned; null restores the silent one) and returns the
// previous one.
IMessageBoxes* SetMessageBoxes(IMessageBoxes* boxes);
