// CDlgOperReconstruct: the number of reconstruct passes, 1..100. Refills
// when bound (and when its window is built), not when shown.
#pragma once

#include "OperationDlg.h"

class CIntEdit;
class CSpinButton;

class CDlgOperReconstruct : public COperationDlg {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 103;
    CDlgOperReconstruct() : COperationDlg(kTemplateId) {}

    // Binds the pass count and refills when the window exists.
    void SetParams(int* passes);

    void BindParams(void* params) override { SetParams(static_cast<int*>(params)); }
    void OnShowWindow(bool show) override { CPropertyPage::OnShowWindow(show); }

protected:
    void CreateControls(QWidget* window) override;
    bool OnInitDialog() override;
    void OnDestroyWindow() override;
    void UpdateControls() override;

private:
    int* Passes() const { return static_cast<int*>(GetParams()); }

    CIntEdit* m_edit = nullptr;
    CSpinButton* m_spin = nullptr;
};
