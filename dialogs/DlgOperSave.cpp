#include "DlgOperSave.h"

#include "DlgItems.h"
#include "SaveSettings.h"

#include <QVBoxLayout>

void CDlgOperSave::CreateControls(QWidget* window)
{
    auto* layout = new QVBoxLayout(window);
    QWidget* tab = m_tab.Create(window);
    SetDlgItemId(tab, 1095);
    layout->addWidget(tab);
}

bool CDlgOperSave::OnInitDialog()
{
    CPropertyPage* pages[] = {&m_compression, &m_exif, &m_file, &m_confirm, &m_saveAs};
    m_tab.AddPages({QStringLiteral("Compression"), QStringLiteral("EXIF"), QStringLiteral("File"),
                    QStringLiteral("Confirm"), QStringLiteral("Save As")},
                   pages, 5);
    return true;
}

void CDlgOperSave::UpdateControls()
{
    SaveSettings* p = Params();
    m_compression.SetParams(p);
    m_exif.SetParams(p);
    m_file.SetParams(p);
    if (IsBatchMode()) {
        m_tab.RemovePage(QStringLiteral("Confirm"));
        m_tab.RemovePage(QStringLiteral("Save As"));
    } else {
        m_confirm.SetParams(p);
        m_saveAs.SetParams(p);
    }
    m_tab.SelectPage(p->CurTab < m_tab.GetItemCount() ? p->CurTab : 0, 1);
}

bool CDlgOperSave::OnKillActive()
{
    if (SaveSettings* p = Params(); p && m_tab.GetSafeHwnd())
        p->CurTab = m_tab.GetCurSel();
    return COperationDlg::OnKillActive();
}
