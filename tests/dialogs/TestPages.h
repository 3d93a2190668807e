// Pages for the tests: one edit field each, and counts of what the sheet
// asked of them.
#pragma once

#include "PropertySheet.h"

#include <QLineEdit>
#include <QVBoxLayout>

class CCountingPage : public CPropertyPage {
public:
    explicit CCountingPage(const QString& caption = QString()) : CPropertyPage(0, caption) {}

    QLineEdit* edit = nullptr;
    int inits = 0;
    int shows = 0;
    int hides = 0;
    int kills = 0;
    int destroys = 0;
    bool refuseKill = false;

    void OnShowWindow(bool show) override { ++(show ? shows : hides); }
    bool OnKillActive() override
    {
        ++kills;
        return !refuseKill;
    }

protected:
    void CreateControls(QWidget* window) override
    {
        edit = new QLineEdit(GetCaption(), window);
        (new QVBoxLayout(window))->addWidget(edit);
    }
    bool OnInitDialog() override
    {
        ++inits;
        return true;
    }
    void OnDestroyWindow() override
    {
        ++destroys;
        edit = nullptr;
    }
};
