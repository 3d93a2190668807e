#include "DlgOperCrop.h"

#include "CropParams.h"
#include "DlgItems.h"

#include <QVBoxLayout>

void CDlgOperCrop::CreateControls(QWidget* window)
{
    auto* layout = new QVBoxLayout(window);
    QWidget* tab = m_tab.Create(window);
    SetDlgItemId(tab, 1135);
    layout->addWidget(tab);
}

bool CDlgOperCrop::OnInitDialog()
{
    CPropertyPage* pages[] = {&m_general, &m_preview};
    m_tab.AddPages({QStringLiteral("General"), QStringLiteral("Preview")}, pages, 2);
    return true;
}

void CDlgOperCrop::UpdateControls()
{
    CropParams* p = Params();
    m_general.SetParams(p);
    if (IsBatchMode())
        m_tab.RemovePage(QStringLiteral("Preview"));
    else
        m_preview.SetParams(p);
    m_tab.SelectPage(p->CurTab < m_tab.GetItemCount() ? p->CurTab : 0, 1);
}

bool CDlgOperCrop::OnKillActive()
{
    if (CropParams* p = Params(); p && m_tab.GetSafeHwnd())
        p->CurTab = m_tab.GetCurSel();
    return COperationDlg::OnKillActive();
}
