#pragma once

#include "ModePanel.h"

class CIntEdit;
class CModeReconstruct;
class CSpinButton;

// "Reconstruct" (dialog 244): the working operation's number of passes.
class CPanelReconstruct : public CModePanel {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 244;
    explicit CPanelReconstruct(CModeReconstruct* mode);

protected:
    void CreateControls(QWidget* window) override;
    bool OnInitDialog() override;
    void UpdateControls() override;

private:
    int* Passes() const;

    CIntEdit* m_edit = nullptr;
    CSpinButton* m_spin = nullptr;
};
