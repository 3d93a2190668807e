#include "PanelRedEye.h"

#include "DlgOperControls.h"
#include "IntEdit.h"
#include "ModeRedEye.h"
#include "RedEyeParams.h"
#include "SpinButton.h"

#include <QBoxLayout>
#include <QGridLayout>
#include <QPushButton>
#include <QSlider>

CPanelRedEye::CPanelRedEye(CModeRedEye* mode) : CModePanel(kTemplateId, mode) {}

CModeRedEye* CPanelRedEye::Mode() const
{
    return static_cast<CModeRedEye*>(m_pMode);
}

void CPanelRedEye::CreateControls(QWidget* window)
{
    QBoxLayout* column = MakeColumn(window, QStringLiteral("Remove Red Eye"));
    auto* grid = new QGridLayout;
    m_radius = MakeTrackbar(window, 1126, 1, 50, 10);
    m_radiusEdit = MakeIntEdit(window, 1127, CIntEdit::DigitsOnly);
    m_radiusSpin = MakeSpin(window, 1128);
    m_sensitivity = MakeTrackbar(window, 1129, 1, 100, 10);
    m_darkening = MakeTrackbar(window, 1132, 0, 20, 5);
    grid->addWidget(MakeLabel(QStringLiteral("Radius:"), window, 1185), 0, 0, 1, 3);
    grid->addWidget(m_radius, 1, 0);
    grid->addWidget(m_radiusEdit, 1, 1);
    grid->addWidget(m_radiusSpin, 1, 2);
    grid->addWidget(MakeLabel(QStringLiteral("Sensitivity:"), window, 1186), 2, 0, 1, 3);
    grid->addWidget(m_sensitivity, 3, 0, 1, 3);
    grid->addWidget(MakeLabel(QStringLiteral("Darkening:"), window, 1187), 4, 0, 1, 3);
    grid->addWidget(m_darkening, 5, 0, 1, 3);
    grid->setColumnStretch(0, 1);
    column->addLayout(grid);
    QPushButton* cancelLast = MakeButton(QStringLiteral("Cancel Last Selection"), window, 1188);
    column->addWidget(cancelLast, 0, Qt::AlignLeft);
    AddButtons(column, window, QStringLiteral("OK"), QStringLiteral("Cancel"));
    column->addStretch(1);

    // The radius trackbar goes through the edit, whose handler stores.
    ConnectTrackEnd(m_radius, this, [this] { m_radiusEdit->SetValue(m_radius->value()); });
    ConnectTrackEnd(m_sensitivity, this, [this] {
        if (!m_bUpdating && Mode())
            Mode()->SetSensitivity(m_sensitivity->value());
    });
    ConnectTrackEnd(m_darkening, this, [this] {
        if (!m_bUpdating && Mode())
            Mode()->SetDarkening(m_darkening->value());
    });
    connect(m_radiusEdit, &CIntEdit::changed, this, [this] { OnRadiusEdit(); });
    connect(m_radiusSpin, &CSpinButton::deltaPos, this, [this](int delta) {
        if (Mode())
            m_radiusEdit->SetValue(AddClamped(Mode()->GetRadius(), -delta));
    });
    connect(cancelLast, &QPushButton::clicked, this, [this] {
        if (Mode())
            Mode()->Cancel(true);
        Refresh();
    });
}

bool CPanelRedEye::OnInitDialog()
{
    m_radiusEdit->SetRange(1, 50);
    return true;
}

void CPanelRedEye::OnRadiusEdit()
{
    if (m_bUpdating || !Mode())
        return;
    const int radius = m_radiusEdit->GetValue();
    Mode()->SetRadius(radius);
    SetSliderPos(m_radius, radius);
}

void CPanelRedEye::UpdateControls()
{
    CModeRedEye* mode = Mode();
    const RedEyeParams* params = mode ? mode->GetParams() : nullptr;
    const bool enable = params && ViewWithImage() && mode->HasMarkedEyes();
    for (QWidget* control : GetSafeHwnd()->findChildren<QWidget*>())
        if (control->testAttribute(Qt::WA_Disabled) == enable)
            control->setEnabled(enable);
    if (!params)
        return;
    SetSliderPos(m_radius, params->RedEyeRadius);
    SetSliderPos(m_sensitivity, params->RedEyeSensitivity);
    SetSliderPos(m_darkening, params->RedEyeDarkening);
    m_radiusEdit->SetValue(params->RedEyeRadius);
}

void CPanelRedEye::OnCancelButton()
{
    if (Mode())
        Mode()->Cancel(false);
    Refresh();
}
