#include "DlgOperColor.h"

#include "DlgOperControls.h"
#include "SpinButton.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QSlider>

void CDlgOperColor::SetParams(int* block)
{
    if (block == m_pBlock)
        return;
    m_pBlock = block;
    COperationDlg::BindParams(block);
    UpdateControls();
}

void CDlgOperColor::ReleaseParams(int* block)
{
    if (block != m_pBlock)
        return;
    m_pBlock = nullptr;
    COperationDlg::ReleaseParams();
    UpdateControls();
}

void CDlgOperColor::CreateControls(QWidget* window)
{
    QGroupBox* box = MakeTitleBox(window, QStringLiteral("Adjust Brightness / Color"));
    auto* grid = new QGridLayout(box);
    m_rows.Create(box, this, [this](int i) { OnEditChange(i); },
                  [this](int i) { return m_pBlock ? &m_pBlock[i] : nullptr; });
    for (int i = 0; i < 3; ++i) {
        const CColorRows::Row& row = m_rows.m_rows[i];
        grid->addWidget(row.left, i, 0, Qt::AlignRight);
        grid->addWidget(row.trackbar, i, 1);
        grid->addWidget(row.right, i, 2);
        grid->addWidget(row.edit, i, 3);
        grid->addWidget(row.spin, i, 4);
    }
    grid->setRowStretch(3, 1);
}

bool CDlgOperColor::OnInitDialog()
{
    m_rows.SetRanges();
    UpdateControls();
    return true;
}

void CDlgOperColor::OnDestroyWindow()
{
    m_rows.Clear();
}

void CDlgOperColor::UpdateControls()
{
    if (!GetSafeHwnd() || !m_pBlock)
        return;
    m_rows.EnableColorRows();
    for (int i = 0; i < 3; ++i)
        m_rows.Show(i, m_pBlock[i]);
}

void CDlgOperColor::OnEditChange(int row)
{
    if (m_pBlock)
        m_rows.Store(row, m_pBlock[row]);
}
