#include "PageCropGeneral.h"

#include "CButton.h"
#include "CropParams.h"
#include "CropPresets.h"
#include "DlgItems.h"
#include "DlgOperControls.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace {

constexpr int kOutwardIds[] = {1092, 1093, 1095, 1094};

} // namespace

int ListedCropPreset(const QString& presetText)
{
    if (presetText.isEmpty())
        return 0;
    if (const int index = theCropPresets.FindPreset(presetText))
        return index;
    CropRule rule;
    rule.Parse(presetText);
    return rule.IsUsable() ? theCropPresets.FindPreset(rule.Format()) : 0;
}

void FillCropPresetCombo(QComboBox* combo, const QString& presetText, int clearEdited)
{
    const QSignalBlocker block(combo);
    combo->clear();
    combo->addItem(QStringLiteral(":: Free crop ::"));
    for (const CropRule& rule : theCropPresets.GetRules())
        combo->addItem(rule.name);
    combo->setCurrentIndex(ListedCropPreset(presetText));
    if (clearEdited)
        theCropPresets.SetAccepted(0);
}

void CPageCropGeneral::CreateControls(QWidget* window)
{
    auto* layout = new QVBoxLayout(window);

    auto* sizeBox = new QGroupBox(QStringLiteral("Size/Orientation"), window);
    auto* sizeGrid = new QGridLayout(sizeBox);
    m_preset = MakeList({}, sizeBox, 1097);
    auto* edit = new QPushButton(QStringLiteral("Edit..."), sizeBox);
    SetDlgItemId(edit, 1125);
    m_flip = MakeCheck(QStringLiteral("Flip Aspect"), sizeBox, 1009);
    m_autoFlip = MakeCheck(QStringLiteral("Auto Flip Aspect According to Image Orientation"), sizeBox, 1006);
    m_align = MakeCheck(QStringLiteral("Align Bottom/Right to MCU Boundary"), sizeBox, 1008);
    sizeGrid->addWidget(MakeLabel(QStringLiteral("Preset:"), sizeBox), 0, 0);
    sizeGrid->addWidget(m_preset, 0, 1);
    sizeGrid->addWidget(edit, 0, 2);
    sizeGrid->addWidget(m_flip, 1, 0, 1, 3);
    sizeGrid->addWidget(m_autoFlip, 2, 0, 1, 3);
    sizeGrid->addWidget(m_align, 3, 0, 1, 3);
    sizeGrid->setColumnStretch(1, 1);

    auto* positionBox = new QGroupBox(QStringLiteral("Initial Position"), window);
    auto* positionGrid = new QGridLayout(positionBox);
    m_position = MakeList({QStringLiteral("None"), QStringLiteral("Previous"), QStringLiteral("Center"),
                       QStringLiteral("Top Left")},
                      positionBox, 1101);
    positionGrid->addWidget(MakeLabel(QStringLiteral("Position:"), positionBox), 0, 0);
    positionGrid->addWidget(m_position, 0, 1);
    positionGrid->setColumnStretch(2, 1);

    auto* outwardBox = new QGroupBox(QStringLiteral("Outward Crop"), window);
    auto* outwardGrid = new QGridLayout(outwardBox);
    m_outward = MakeCheck(QStringLiteral("Allow 'Outward Crop' (Adding Margins)"), outwardBox, 1007);
    m_canvas = new CCButton(outwardBox);
    SetDlgItemId(m_canvas, 1092);
    m_partial = MakeList({QStringLiteral("Round In"), QStringLiteral("Round Out"), QStringLiteral("Recompress")},
                     outwardBox, 1094);
    outwardGrid->addWidget(m_outward, 0, 0, 1, 4);
    outwardGrid->addWidget(MakeLabel(QStringLiteral("Canvas Color:"), outwardBox, 1093), 1, 0);
    outwardGrid->addWidget(m_canvas, 1, 1);
    outwardGrid->addWidget(MakeLabel(QStringLiteral("Partial Blocks:"), outwardBox, 1095), 1, 2);
    outwardGrid->addWidget(m_partial, 1, 3);
    outwardGrid->setColumnStretch(4, 1);

    layout->addWidget(sizeBox);
    layout->addWidget(positionBox);
    layout->addWidget(outwardBox);
    layout->addStretch();

    connect(m_preset, &QComboBox::activated, this, [this](int index) {
        if (!m_pParams)
            return;
        m_pParams->CropPreset = theCropPresets.GetPresetText(index);
        ShowFlip();
        ShowAlign();
    });
    connect(edit, &QPushButton::clicked, this, [this] { OnEditPresets(); });
    connect(m_flip, &QCheckBox::clicked, this, [this](bool checked) {
        if (m_pParams)
            m_pParams->FlipAspect = checked ? 1 : 0;
    });
    connect(m_autoFlip, &QCheckBox::clicked, this, [this](bool checked) {
        if (!m_pParams)
            return;
        m_pParams->AutoFlipAspect = checked ? 1 : 0;
        ShowFlip();
    });
    connect(m_align, &QCheckBox::clicked, this, [this](bool checked) {
        if (m_pParams)
            m_pParams->AlignSelectionByBlockSE = checked ? 1 : 0;
    });
    connect(m_position, &QComboBox::activated, this, [this](int index) {
        if (m_pParams)
            m_pParams->Position = index >= 0 && index <= 3 ? index : 0;
    });
    connect(m_outward, &QCheckBox::clicked, this, [this](bool checked) {
        if (!m_pParams)
            return;
        m_pParams->AllowOutwardSel = checked ? 1 : 0;
        ShowOutward();
    });
    connect(m_partial, &QComboBox::activated, this, [this](int index) {
        if (m_pParams)
            m_pParams->PartialBlocksMode = index;
    });
    connect(m_canvas, &CCButton::colorClicked, this, [this] {
        if (m_pParams)
            m_pParams->CanvasColor = int(m_canvas->GetColor());
    });
}

void CPageCropGeneral::OnDestroyWindow()
{
    m_preset = m_position = m_partial = nullptr;
    m_flip = m_autoFlip = m_align = m_outward = nullptr;
    m_canvas = nullptr;
}

void CPageCropGeneral::SetParams(CropParams* params)
{
    m_pParams = params;
    if (!params || !GetSafeHwnd())
        return;
    m_outward->setChecked(params->AllowOutwardSel != 0);
    ShowOutward();
    // A preset stored with the operation is in the list from now on.
    theCropPresets.AddUnique(params->CropPreset);
    FillCropPresetCombo(m_preset, params->CropPreset, 0);
    ShowFlip();
    m_autoFlip->setChecked(params->AutoFlipAspect != 0);
    ShowAlign();
    SelectIndex(m_position, params->Position);
}

void CPageCropGeneral::ShowOutward()
{
    const int outward = m_pParams->AllowOutwardSel != 0;
    EnableDlgItems(GetSafeHwnd(), kOutwardIds, int(std::size(kOutwardIds)), outward);
    m_canvas->SetColor(uint32_t(m_pParams->CanvasColor));
    SelectIndex(m_partial, outward ? m_pParams->PartialBlocksMode : -1);
}

void CPageCropGeneral::ShowFlip()
{
    const bool enabled = !m_pParams->AutoFlipAspect && ListedCropPreset(m_pParams->CropPreset) > 0;
    m_flip->setEnabled(enabled);
    m_flip->setChecked(enabled && m_pParams->FlipAspect);
}

void CPageCropGeneral::ShowAlign()
{
    const bool enabled = ListedCropPreset(m_pParams->CropPreset) == 0;
    m_align->setEnabled(enabled);
    m_align->setChecked(enabled && m_pParams->AlignSelectionByBlockSE);
}

void CPageCropGeneral::OnEditPresets()
{
    if (!m_pParams)
        return;
    theCropPresets.EditPresets(m_pParams->CropPreset);
    if (!m_preset)
        return; // the window went while the editor ran
    FillCropPresetCombo(m_preset, m_pParams->CropPreset, 0);
    // The preset in use may be gone: the states follow the free crop then.
    ShowFlip();
    ShowAlign();
}
