// CDlgOperColor: the brightness and colour editor. Its block is three ints
// (brightness, blue-yellow and red-cyan shift). Unlike the other editors it
// refills when bound and when its operation asks (RefreshPage), not when
// shown; the two colour rows are disabled while the open image is grayscale.
#pragma once

#include "ColorRows.h"
#include "OperationDlg.h"

class CDlgOperColor : public COperationDlg {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 206;
    CDlgOperColor() : COperationDlg(kTemplateId) {}

    // Binds a different block and refills.
    void SetParams(int* block);
    // Unbinds `block` when it is the bound one, and refills.
    void ReleaseParams(int* block);
    // Refill and enabling; nothing without a window or a block.
    void UpdateControls() override;

    // IOperationPage
    void BindParams(void* params) override { SetParams(static_cast<int*>(params)); }
    void ReleaseParams() override { ReleaseParams(m_pBlock); }
    void Refill() override { UpdateControls(); }

    void OnShowWindow(bool show) override { CPropertyPage::OnShowWindow(show); }

protected:
    void CreateControls(QWidget* window) override;
    bool OnInitDialog() override;
    void OnDestroyWindow() override;

private:
    void OnEditChange(int row);

    int* m_pBlock = nullptr;
    CColorRows m_rows;
};
