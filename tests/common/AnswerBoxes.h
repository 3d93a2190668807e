// Message boxes for tests: questions are answered from what the test sets,
// and everything shown or asked is recorded. Installed for the life of the
// object.
#pragma once

#include "MessageBoxes.h"

#include <QStringList>

#include <deque>

class CAnswerBoxes : public IMessageBoxes {
public:
    CAnswerBoxes() { m_old = SetMessageBoxes(this); }
    ~CAnswerBoxes() override { SetMessageBoxes(m_old); }
    CAnswerBoxes(const CAnswerBoxes&) = delete;
    CAnswerBoxes& operator=(const CAnswerBoxes&) = delete;

    void ShowMessage(const QString& text) override { messages << text; }
    bool AskQuestion(const QString& text) override { return AskYesNo(text, QString(), false); }
    bool AskYesNo(const QString& text, const QString& caption, bool warning) override
    {
        questions << text;
        captions << caption;
        lastWarning = warning;
        return yesNo;
    }
    // The queued answers one by one, then `answer`.
    Answer AskYesNoCancel(const QString& text, const QString& caption) override
    {
        questions << text;
        captions << caption;
        if (answers.empty())
            return answer;
        const Answer a = answers.front();
        answers.pop_front();
        return a;
    }
    // Recorded with the messages.
    FailureChoice AskRunFailure(const QString& text) override
    {
        messages << text;
        return failure;
    }
    SaveErrorChoice AskSaveError(const QString&, const QString&) override { return SaveErrorChoice::Abort; }
    bool ReportProgress(int) override { return true; }

    bool yesNo = true;
    Answer answer = Answer::Cancel;
    FailureChoice failure = FailureChoice::Skip;
    std::deque<Answer> answers;
    QStringList messages, questions, captions;
    bool lastWarning = false;

private:
    IMessageBoxes* m_old = nullptr;
};
