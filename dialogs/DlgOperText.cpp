#include "DlgOperText.h"

#include "DlgItems.h"
#include "DlgOperControls.h"
#include "TextSettings.h"

#include <QCheckBox>
#include <QVBoxLayout>

void CDlgOperText::CreateControls(QWidget* window)
{
    auto* layout = new QVBoxLayout(window);
    QWidget* tab = m_tab.Create(window);
    SetDlgItemId(tab, 1000);
    layout->addWidget(tab);
    m_scale = MakeCheck(QStringLiteral("Scale Relative to Image Size 1600x1200px"), window, 1050);
    layout->addWidget(m_scale);
    connect(m_scale, &QCheckBox::clicked, this, [this](bool checked) {
        if (TextSettings* p = Params())
            p->ScaleSizes = checked ? 1 : 0;
    });
}

bool CDlgOperText::OnInitDialog()
{
    // The field and font lists are filled by the pages as they are built and bound.
    CPropertyPage* pages[] = {&m_exif, &m_custom, &m_format};
    m_tab.AddPages({QStringLiteral("EXIF"), QStringLiteral("Custom Text"), QStringLiteral("Format")}, pages, 3);
    return true;
}

void CDlgOperText::OnDestroyWindow()
{
    m_scale = nullptr;
}

void CDlgOperText::UpdatePages()
{
    TextSettings* p = Params();
    m_exif.SetParams(p);
    m_custom.SetParams(p);
    m_format.SetParams(p);
    if (p && m_scale)
        m_scale->setChecked(p->ScaleSizes != 0);
}

void CDlgOperText::ReleaseParams()
{
    COperationDlg::ReleaseParams();
    m_exif.SetParams(nullptr);
    m_custom.SetParams(nullptr);
    m_format.SetParams(nullptr);
}

void CDlgOperText::UpdateControls()
{
    UpdatePages();
    const int tab = Params()->CurTab;
    m_tab.SelectPage(tab >= 0 && tab < m_tab.GetItemCount() ? tab : 0, 1);
}

bool CDlgOperText::OnKillActive()
{
    if (TextSettings* p = Params(); p && m_tab.GetSafeHwnd())
        p->CurTab = m_tab.GetCurSel();
    return COperationDlg::OnKillActive();
}
