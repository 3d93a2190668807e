#include "OperationDlg.h"

COperationDlg::COperationDlg(int templateId)
    : CPropertyPage(templateId)
{
}

void COperationDlg::BindParams(void* params)
{
    m_pParams = params;
}

void COperationDlg::Refill()
{
    if (GetSafeHwnd() && m_pParams)
        UpdateControls();
}

void COperationDlg::OnShowWindow(bool show)
{
    if (show)
        Refill();
    CPropertyPage::OnShowWindow(show);
}
