#include "PanelColor.h"

#include "IntEdit.h"
#include "ModeColor.h"
#include "OperColor.h"
#include "SpinButton.h"

#include <QBoxLayout>
#include <QGridLayout>
#include <QLabel>
#include <QSlider>

namespace {

// The value each shared row edits.
constexpr int ColorParams::*kColorValues[3] = {
    &ColorParams::Brightness,
    &ColorParams::BlueYellow,
    &ColorParams::RedCyan,
};

} // namespace

CPanelColor::CPanelColor(CModeColor* mode) : CModePanel(kTemplateId, mode) {}

ColorParams* CPanelColor::Values() const
{
    return m_pMode ? static_cast<CModeColor*>(m_pMode)->GetColorValues() : nullptr;
}

void CPanelColor::CreateControls(QWidget* window)
{
    QBoxLayout* column = MakeColumn(window, QStringLiteral("Brightness / Color"));
    auto* grid = new QGridLayout;
    m_rows.Create(window, this, [this](int i) { OnEditChange(i); }, [this](int i) -> const int* {
        const ColorParams* values = Values();
        return values ? &(values->*kColorValues[i]) : nullptr;
    });
    for (int i = 0; i < 3; ++i) {
        const CColorRows::Row& row = m_rows.m_rows[i];
        grid->addWidget(row.left, 2 * i, 0);
        grid->addWidget(row.right, 2 * i, 1, Qt::AlignRight);
        grid->addWidget(row.trackbar, 2 * i + 1, 0, 1, 2);
        grid->addWidget(row.edit, 2 * i + 1, 2);
        grid->addWidget(row.spin, 2 * i + 1, 3);
    }
    grid->setColumnStretch(0, 1);
    column->addLayout(grid);
    AddButtons(column, window, QStringLiteral("OK"), QString());
    column->addStretch(1);
}

bool CPanelColor::OnInitDialog()
{
    m_rows.SetRanges();
    return true;
}

void CPanelColor::UpdateControls()
{
    m_rows.EnableColorRows();
    const ColorParams* values = Values();
    if (!values)
        return;
    for (int i = 0; i < 3; ++i)
        m_rows.Show(i, values->*kColorValues[i]);
}

void CPanelColor::OnEditChange(int row)
{
    ColorParams* values = Values();
    if (m_bUpdating || !values)
        return;
    if (m_rows.Store(row, values->*kColorValues[row]) && m_pListener)
        m_pListener->OnChanged();
}
