#include "PanelCrop.h"

#include "AppSettings.h"
#include "ChildView.h"
#include "CommandIds.h"
#include "CropParams.h"
#include "CropPresets.h"
#include "DlgItems.h"
#include "DlgOperControls.h"
#include "IntEdit.h"
#include "KsImage.h"
#include "ModeCrop.h"
#include "ModeHost.h"
#include "PageCropGeneral.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

#include <cstdint>
#include <utility>

CPanelCrop::CPanelCrop(CModeCrop* mode) : CModePanel(kTemplateId, mode)
{
    if (mode)
        mode->SetPanelRefresh([this] { Refresh(); });
}

CModeCrop* CPanelCrop::Mode() const
{
    return static_cast<CModeCrop*>(m_pMode);
}

bool CPanelCrop::ExchangedSizeFits(int left, int top, int right, int bottom, int imageWidth, int imageHeight)
{
    return int64_t(imageWidth) >= int64_t(left) + (int64_t(bottom) - top) &&
           int64_t(imageHeight) >= int64_t(top) + (int64_t(right) - left);
}

void CPanelCrop::CreateControls(QWidget* window)
{
    QBoxLayout* column = MakeColumn(window, QStringLiteral("Crop"));
    auto* presetRow = new QHBoxLayout;
    m_preset = MakeList({}, window, 1097);
    m_preset->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_preset->setMinimumContentsLength(10);
    m_editPresets = MakeButton(QStringLiteral("Edit..."), window, 1125);
    presetRow->addWidget(m_preset, 1);
    presetRow->addWidget(m_editPresets);
    column->addLayout(presetRow);

    auto* sizeRow = new QHBoxLayout;
    m_width = MakeIntEdit(window, 1137, CIntEdit::DigitsOnly);
    m_swap = MakeButton(QString(), window, 1126, ":/icons/panel-swap.svg");
    m_swap->setToolTip(QStringLiteral("Swap Width and Height"));
    m_height = MakeIntEdit(window, 1138, CIntEdit::DigitsOnly);
    sizeRow->addWidget(m_width);
    sizeRow->addWidget(m_swap);
    sizeRow->addWidget(m_height);
    sizeRow->addStretch(1);
    column->addLayout(sizeRow);

    m_flip = MakeCheck(QStringLiteral("Flip Aspect"), window, 1009);
    m_alignSE = MakeCheck(QStringLiteral("Align Bottom / Right"), window, 1008);
    column->addWidget(m_flip);
    column->addWidget(m_alignSE);
    m_guideLabel = MakeLabel(QStringLiteral("Guidelines:"), window, 1190);
    m_guide = MakeList({QStringLiteral("None"), QStringLiteral("Diagonals"), QStringLiteral("Rule of Thirds"),
                        QStringLiteral("Golden Mean-Grid"), QStringLiteral("Golden Mean-Diagonals")},
                       window, 1189);
    column->addWidget(m_guideLabel);
    column->addWidget(m_guide);
    AddButtons(column, window, QStringLiteral("OK"), QStringLiteral("Cancel"));
    m_ok = static_cast<QPushButton*>(GetDlgItem(window, CPropertySheet::IDOK));
    m_cancel = static_cast<QPushButton*>(GetDlgItem(window, CPropertySheet::IDCANCEL));
    column->addStretch(1);

    connect(m_preset, &QComboBox::activated, this, [this](int index) {
        CropParams* crop = CropOptions();
        if (!crop || !Mode())
            return;
        crop->CropPreset = theCropPresets.GetPresetText(index);
        Mode()->OnPresetChanged();
        if (CChildView* view = View())
            view->setFocus();
    });
    connect(m_editPresets, &QPushButton::clicked, this, [this] {
        if (!Mode())
            return;
        Mode()->EditPresets();
        if (CropParams* crop = CropOptions())
            FillCropPresetCombo(m_preset, crop->CropPreset, 1);
        Refresh();
    });
    connect(m_width, &CIntEdit::changed, this, [this] { OnSizeEdit(m_width, CModeCrop::kWidthId); });
    connect(m_height, &CIntEdit::changed, this, [this] { OnSizeEdit(m_height, CModeCrop::kHeightId); });
    connect(m_swap, &QPushButton::clicked, this, [this] {
        if (Mode())
            Mode()->ApplyPanelSize();
        Refresh();
    });
    connect(m_flip, &QCheckBox::clicked, this, [this](bool checked) {
        CChildView* view = View();
        CropParams* crop = CropOptions();
        if (!crop || !view)
            return;
        crop->FlipAspect = checked ? 1 : 0;
        std::swap(crop->Left, crop->Top);
        std::swap(crop->Right, crop->Bottom);
        RealignSelection();
    });
    connect(m_alignSE, &QCheckBox::clicked, this, [this](bool checked) {
        if (CropParams* crop = CropOptions())
            crop->AlignSelectionByBlockSE = checked ? 1 : 0;
        RealignSelection();
    });
    connect(m_guide, &QComboBox::activated, this, [](int index) {
        if (IModeHost* app = App())
            app->ModeSettings().GuideLine = index;
        if (CChildView* view = View())
            view->UpdateView(true);
    });
}

bool CPanelCrop::OnInitDialog()
{
    if (const CropParams* crop = CropOptions())
        FillCropPresetCombo(m_preset, crop->CropPreset, 0);
    if (IModeHost* app = App())
        SelectIndex(m_guide, app->ModeSettings().GuideLine);
    return true;
}

void CPanelCrop::RealignSelection()
{
    if (CChildView* view = View()) {
        view->AlignSelection();
        view->UpdateView(true);
    }
}

void CPanelCrop::OnSizeEdit(CIntEdit* edit, int which)
{
    if (m_bUpdating || !Mode())
        return;
    Mode()->SetSizeFromPanel(which, edit->GetValue());
    // The other side follows the rule at once; the edit being typed into
    // keeps its text (Refresh leaves the focused edit alone).
    Refresh();
}

void CPanelCrop::UpdateControls()
{
    const CropParams* crop = CropOptions();
    if (!crop)
        return;
    // 1. A changed preset list, or a preset chosen elsewhere, refills the combo.
    if (theCropPresets.GetAccepted() ||
        (!m_preset->view()->isVisible() && m_preset->currentIndex() != ListedCropPreset(crop->CropPreset)))
        FillCropPresetCombo(m_preset, crop->CropPreset, 1);

    // 2.
    CChildView* view = ViewWithImage();
    IModeHost* app = App();
    const bool loaded = view != nullptr;
    const bool active = loaded && view->IsSelectionShown() && app && app->GetCurrentModeId() == ID_EDIT_CROP;
    const bool preset = Mode() && Mode()->GetCurrentRule();
    const CropParams& s = *crop; // SelectionRect

    // 3.
    for (QWidget* control : std::initializer_list<QWidget*>{m_preset, m_editPresets, m_guideLabel, m_guide, m_ok, m_cancel})
        control->setEnabled(loaded);
    m_width->setEnabled(active);
    m_height->setEnabled(active);
    bool swap = active && !preset;
    if (swap && !crop->AllowOutwardSel) {
        swap = ExchangedSizeFits(s.Left, s.Top, s.Right, s.Bottom, app->ModeImage().GetWidth(), app->ModeImage().GetHeight());
    }
    m_swap->setEnabled(swap);

    // 4. The edit being typed into is the user's.
    auto show = [active](CIntEdit* edit, int64_t a, int64_t b) {
        const QString text = active ? QString::number(b >= a ? b - a : a - b) : QString();
        if (edit->text() != text && !edit->hasFocus())
            edit->setText(text);
    };
    show(m_width, s.Left, s.Right);
    show(m_height, s.Top, s.Bottom);

    // 5.
    m_flip->setEnabled(loaded && preset && !crop->AutoFlipAspect);
    m_flip->setChecked(preset && crop->FlipAspect);
    m_alignSE->setEnabled(loaded && !preset);
    m_alignSE->setChecked(!preset && crop->AlignSelectionByBlockSE);
}

void CPanelCrop::OnCancelButton()
{
    if (Mode())
        Mode()->CancelFromPanel();
}
