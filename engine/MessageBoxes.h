// The engine's only way to talk to the user. The program installs an
// implementation that shows real message boxes; tests install one that
// answers for them. With none installed, messages are dropped, questions are
// answered "no" and a save error is skipped.
#pragma once

#include <QString>

class IMessageBoxes {
public:
    enum class SaveErrorChoice { Retry, Skip, Abort };

    virtual ~IMessageBoxes() = default;
    // An information or error message with an OK button.
    virtual void ShowMessage(const QString& text) = 0;
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
    // A file could not be written: retry, skip the file or abort the run.
    virtual SaveErrorChoice AskSaveError(const QString& path) = 0;
    // Progress of a long edit in percent; false when the user cancels.
    virtual bool ReportProgress(int percent) = 0;
};

// The installed implementation (never null: a silent one when none is set).
IMessageBoxes& MessageBoxes();
// Installs `boxes` (not owned; null restores the silent one) and returns the
// previous one.
IMessageBoxes* SetMessageBoxes(IMessageBoxes* boxes);
