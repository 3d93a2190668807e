#include "PageCropPreview.h"

#include "CropParams.h"
#include "DlgItems.h"
#include "DlgOperControls.h"
#include "IntEdit.h"
#include "SpinButton.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QVBoxLayout>

#include <climits>

namespace {

constexpr int kMaxDpi = 10000;

} // namespace

void CPageCropPreview::CreateControls(QWidget* window)
{
    auto* layout = new QVBoxLayout(window);
    auto* selectionBox = new QGroupBox(QStringLiteral("Selection"), window);
    m_cancel = MakeCheck(QStringLiteral("Allow New Selection While Current Exists"), selectionBox, 1002);
    (new QVBoxLayout(selectionBox))->addWidget(m_cancel);

    auto* previewBox = new QGroupBox(QStringLiteral("Crop Preview"), window);
    auto* previewLayout = new QVBoxLayout(previewBox);
    m_ants = MakeCheck(QStringLiteral("Marquee (Running Ants Around Selection)"), previewBox, 1001);
    m_fade = MakeCheck(QStringLiteral("Fade Area Outside Selection"), previewBox, 1003);
    previewLayout->addWidget(m_ants);
    previewLayout->addWidget(m_fade);

    auto* hintsBox = new QGroupBox(QStringLiteral("Print Quality Hints"), window);
    auto* grid = new QGridLayout(hintsBox);
    m_low = MakeIntEdit(hintsBox, 1151, CIntEdit::DigitsOnly);
    m_medium = MakeIntEdit(hintsBox, 1153, CIntEdit::DigitsOnly);
    CSpinButton* lowSpin = MakeSpin(hintsBox, 1152);
    CSpinButton* mediumSpin = MakeSpin(hintsBox, 1154);
    grid->addWidget(MakeLabel(QStringLiteral("Low Print Quality: below"), hintsBox), 0, 0);
    grid->addWidget(m_low, 0, 1);
    grid->addWidget(lowSpin, 0, 2);
    grid->addWidget(MakeLabel(QStringLiteral("DPI"), hintsBox), 0, 3);
    grid->addWidget(MakeLabel(QStringLiteral("Medium Print Quality: below"), hintsBox), 1, 0);
    grid->addWidget(m_medium, 1, 1);
    grid->addWidget(mediumSpin, 1, 2);
    grid->addWidget(MakeLabel(QStringLiteral("DPI"), hintsBox), 1, 3);
    grid->setColumnStretch(4, 1);

    layout->addWidget(selectionBox);
    layout->addWidget(previewBox);
    layout->addWidget(hintsBox);
    layout->addStretch();

    const std::pair<QCheckBox*, int CropParams::*> checks[] = {
        {m_ants, &CropParams::RunningAnts},
        {m_cancel, &CropParams::AutoCancelSelection},
        {m_fade, &CropParams::FadeOutsideArea},
    };
    for (const auto& [check, member] : checks) {
        connect(check, &QCheckBox::clicked, this, [this, member](bool checked) {
            if (m_pParams)
                m_pParams->*member = checked ? 1 : 0;
        });
    }
    // Each hint bounds the other: low stays at or below medium.
    connect(m_low, &CIntEdit::changed, this, [this] {
        if (!m_pParams)
            return;
        m_pParams->ImgLowQuality = m_low->GetValue();
        m_medium->SetRange(m_pParams->ImgLowQuality, kMaxDpi);
    });
    connect(m_medium, &CIntEdit::changed, this, [this] {
        if (!m_pParams)
            return;
        m_pParams->ImgMediumQuality = m_medium->GetValue();
        m_low->SetRange(0, m_pParams->ImgMediumQuality);
    });
    const std::pair<CSpinButton*, std::pair<CIntEdit*, int CropParams::*>> spins[] = {
        {lowSpin, {m_low, &CropParams::ImgLowQuality}},
        {mediumSpin, {m_medium, &CropParams::ImgMediumQuality}},
    };
    for (const auto& [spin, target] : spins) {
        connect(spin, &CSpinButton::deltaPos, this, [this, target](int delta) {
            if (m_pParams)
                target.first->SetValue(AddClamped(m_pParams->*target.second, -delta));
        });
    }
}

bool CPageCropPreview::OnInitDialog()
{
    m_low->SetRange(0, kMaxDpi);
    m_medium->SetRange(0, kMaxDpi);
    return true;
}

void CPageCropPreview::OnDestroyWindow()
{
    m_ants = m_cancel = m_fade = nullptr;
    m_low = m_medium = nullptr;
}

void CPageCropPreview::SetParams(CropParams* params)
{
    m_pParams = params;
    if (!params || !GetSafeHwnd())
        return;
    m_ants->setChecked(params->RunningAnts != 0);
    m_cancel->setChecked(params->AutoCancelSelection != 0);
    m_fade->setChecked(params->FadeOutsideArea != 0);
    m_low->SetValue(params->ImgLowQuality);
    m_medium->SetValue(params->ImgMediumQuality);
}
