#include "PanelColor.h"

#include "IntEdit.h"
#include "ModeColor.h"
#include "OperColor.h"
#include "SpinButton.h"

#include <QBoxLayout>
#include <QFontMetrics>
#include <QGridLayout>
#include <QLabel>
#include <QSlider>
#include <QSpacerItem>

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
    // The labels mark the two ends of their trackbar, at least an em apart,
    // so each reads on its own; the trackbar takes the width to spare and
    // the number field only what "-100" needs.
    const QFontMetrics metrics = window->fontMetrics();
    for (int i = 0; i < 3; ++i) {
        const CColorRows::Row& row = m_rows.m_rows[i];
        auto* ends = new QHBoxLayout;
        ends->addWidget(row.left);
        ends->addSpacerItem(new QSpacerItem(metrics.horizontalAdvance(QLatin1Char('M')), 0,
                                            QSizePolicy::MinimumExpanding, QSizePolicy::Minimum));
        ends->addWidget(row.right);
        row.edit->setMaximumWidth(row.edit->minimumSizeHint().width() +
                                  metrics.horizontalAdvance(QStringLiteral("-100")));
        grid->addLayout(ends, 2 * i, 0);
        grid->addWidget(row.trackbar, 2 * i + 1, 0);
        grid->addWidget(row.edit, 2 * i + 1, 1);
        grid->addWidget(row.spin, 2 * i + 1, 2);
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
