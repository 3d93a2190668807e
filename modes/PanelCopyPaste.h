#pragma once

#include "ModePanel.h"

class CModeCopy;
class CModePaste;
class QCheckBox;

// The copy and paste panels' check 1183, "Align Selection by Block".
class CPanelBlockAlign : public CModePanel {
    Q_OBJECT
protected:
    using CModePanel::CModePanel;
    // The check; statusTexts: a click also refreshes the frame's status texts.
    QCheckBox* MakeAlignCheck(QWidget* window, bool statusTexts);
    void UpdateControls() override;

private:
    QCheckBox* m_align = nullptr;
};

// "Select / Copy" (dialog 246).
class CPanelCopy : public CPanelBlockAlign {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 246;
    explicit CPanelCopy(CModeCopy* mode);

protected:
    void CreateControls(QWidget* window) override;
};

// "Paste" (dialog 247).
class CPanelPaste : public CPanelBlockAlign {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 247;
    explicit CPanelPaste(CModePaste* mode);

protected:
    void CreateControls(QWidget* window) override;
};
