#include "PanelReconstruct.h"

#include "ModeColor.h"
#include "DlgOperControls.h"
#include "IntEdit.h"
#include "OperReconstruct.h"
#include "SpinButton.h"

#include <QHBoxLayout>

CPanelReconstruct::CPanelReconstruct(CModeReconstruct* mode) : CModePanel(kTemplateId, mode) {}

int* CPanelReconstruct::Passes() const
{
    ReconstructParams* values = m_pMode ? static_cast<CModeReconstruct*>(m_pMode)->GetWorkingValues() : nullptr;
    return values ? &values->NumOfPasses : nullptr;
}

void CPanelReconstruct::CreateControls(QWidget* window)
{
    QBoxLayout* column = MakeColumn(window, QStringLiteral("Reconstruct"));
    auto* row = new QHBoxLayout;
    m_edit = MakeIntEdit(window, 1156, CIntEdit::DigitsOnly);
    m_spin = MakeSpin(window, 1157);
    row->addWidget(MakeLabel(QStringLiteral("Number of Passes:"), window));
    row->addWidget(m_edit);
    row->addWidget(m_spin);
    row->addStretch(1);
    column->addLayout(row);
    AddButtons(column, window, QStringLiteral("OK"), QString());
    column->addStretch(1);
    connect(m_edit, &CIntEdit::changed, this, [this] {
        if (int* passes = Passes(); passes && !m_bUpdating) {
            *passes = m_edit->GetValue();
            Refresh();
        }
    });
    // The edit keeps the sum in 1..100 and stores it.
    connect(m_spin, &CSpinButton::deltaPos, this, [this](int delta) {
        if (int* passes = Passes())
            m_edit->SetValue(AddClamped(*passes, delta));
    });
}

bool CPanelReconstruct::OnInitDialog()
{
    m_edit->SetRange(1, 100);
    m_spin->SetRange(1, 100);
    return true;
}

void CPanelReconstruct::UpdateControls()
{
    if (const int* passes = Passes(); passes && m_edit->text() != QString::number(*passes))
        m_edit->SetValue(*passes);
}
