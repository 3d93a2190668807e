// Message boxes that answer from a script, for the save and macro tests.
#pragma once

#include "MessageBoxes.h"

#include <QStringList>

#include <deque>

namespace savetest {

class CScriptedBoxes final : public IMessageBoxes {
public:
    CScriptedBoxes() { m_previous = SetMessageBoxes(this); }
    ~CScriptedBoxes() override { SetMessageBoxes(m_previous); }

    void ShowMessage(const QString& text) override { messages << text; }
    bool AskQuestion(const QString& text) override
    {
        questions << text;
        return false;
    }
    bool AskOkCancel(const QString& text) override
    {
        okCancel << text;
        return okAnswer;
    }
    SaveErrorChoice AskSaveError(const QString& path, const QString& cause) override
    {
        saveErrors << path;
        saveErrorCauses << cause;
        if (saveErrorAnswers.empty())
            return SaveErrorChoice::Skip;
        const SaveErrorChoice c = saveErrorAnswers.front();
        saveErrorAnswers.pop_front();
        return c;
    }
    bool ReportProgress(int) override { return true; }

    bool okAnswer = true;
    std::deque<SaveErrorChoice> saveErrorAnswers;
    QStringList messages, questions, okCancel, saveErrors, saveErrorCauses;

private:
    IMessageBoxes* m_previous = nullptr;
};

} // namespace savetest
