#include "PanelResize.h"

#include "DlgOperControls.h"
#include "IntEdit.h"
#include "Mode.h"
#include "ModeColor.h"
#include "ResizeParams.h"
#include "SpinButton.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QGridLayout>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>

#include <vector>

namespace {

ResizeParams* ResizeValues(IMode* mode)
{
    return mode ? static_cast<CModeResize*>(mode)->GetWorkingValues() : nullptr;
}

} // namespace

CPanelResize::CPanelResize(CModeResize* mode)
    : CModePanel(kTemplateId, mode), m_controls([this] { return ResizeValues(m_pMode); }, m_bUpdating)
{
}

void CPanelResize::CreateControls(QWidget* window)
{
    QBoxLayout* column = MakeColumn(window, QStringLiteral("Resize / Resample"));
    auto* grid = new QGridLayout;
    CResizeControls& c = m_controls;
    c.Create(window, this, [this] { ShowUnits(); });
    grid->addWidget(MakeLabel(QStringLiteral("Units:"), window), 0, 0);
    grid->addWidget(c.m_units, 0, 1, 1, 3);

    QLabel* widthLabel = MakeLabel(QStringLiteral("Max Width:"), window);
    QLabel* widthUnit = MakeLabel(QStringLiteral("pixels"), window);
    QLabel* heightLabel = MakeLabel(QStringLiteral("Max Height:"), window);
    QLabel* heightUnit = MakeLabel(QStringLiteral("pixels"), window);
    grid->addWidget(widthLabel, 1, 0);
    grid->addWidget(c.m_width, 1, 1);
    grid->addWidget(c.m_widthSpin, 1, 2);
    grid->addWidget(widthUnit, 1, 3);
    grid->addWidget(heightLabel, 2, 0);
    grid->addWidget(c.m_height, 2, 1);
    grid->addWidget(c.m_heightSpin, 2, 2);
    grid->addWidget(heightUnit, 2, 3);
    c.m_pick->setAutoDefault(false);
    grid->addWidget(c.m_pick, 3, 0, 1, 4);
    int line = 4;
    for (QCheckBox* check : {c.m_lock, c.m_swap, c.m_dontEnlarge, c.m_keep})
        grid->addWidget(check, line++, 0, 1, 4);
    // The percent row shows only while the pixel controls are hidden.
    QLabel* percentLabel = MakeLabel(QStringLiteral("New Size:"), window, 1088);
    QLabel* percentUnit = MakeLabel(QStringLiteral("%"), window);
    grid->addWidget(percentLabel, line, 0);
    grid->addWidget(c.m_percent, line, 1);
    grid->addWidget(c.m_percentSpin, line, 2);
    grid->addWidget(percentUnit, line, 3);
    grid->setColumnStretch(4, 1);
    column->addLayout(grid);
    AddButtons(column, window, QStringLiteral("OK"), QString());
    column->addStretch(1);
    m_pixelControls = {widthLabel, c.m_width, c.m_widthSpin, widthUnit, heightLabel, c.m_height, c.m_heightSpin,
                       heightUnit, c.m_pick, c.m_lock, c.m_swap, c.m_dontEnlarge, c.m_keep};
    m_percentControls = {percentLabel, c.m_percent, c.m_percentSpin, percentUnit};

    connect(c.m_percent, &CIntEdit::changed, this, [this] {
        if (ResizeParams* p = ResizeValues(m_pMode); p && !m_bUpdating)
            p->Percent = m_controls.m_percent->GetValue();
    });
}

bool CPanelResize::OnInitDialog()
{
    m_controls.SetRanges();
    return true;
}

void CPanelResize::UpdateControls()
{
    const ResizeParams* p = ResizeValues(m_pMode);
    if (!p)
        return;
    m_controls.Fill(*p);
    m_controls.m_percent->SetValue(p->Percent);
    ShowUnits();
}

void CPanelResize::ShowUnits()
{
    const ResizeParams* p = ResizeValues(m_pMode);
    const bool pixels = p && p->Units != 0;
    for (QWidget* w : m_pixelControls)
        w->setVisible(pixels);
    for (QWidget* w : m_percentControls)
        w->setVisible(!pixels);
}
