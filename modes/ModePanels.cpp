#include "ModePanels.h"

#include "ActionText.h"
#include "ChildView.h"
#include "CommandIds.h"
#include "CommandTable.h"
#include "CropParams.h"
#include "CropPresets.h"
#include "DlgItems.h"
#include "DlgOperControls.h"
#include "IntEdit.h"
#include "KsImage.h"
#include "MainFrame.h"
#include "Mode.h"
#include "ModeColor.h"
#include "ModeCopy.h"
#include "ModeCrop.h"
#include "ModePaste.h"
#include "ModeRedEye.h"
#include "ModeText.h"
#include "OperColor.h"
#include "OperReconstruct.h"
#include "PageCropGeneral.h"
#include "PixmendApp.h"
#include "RedEyeParams.h"
#include "ResizeParams.h"
#include "SpinButton.h"
#include "StaticHSeparator.h"
#include "TextSettings.h"

#include <Kestrel.h>

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

#include <climits>
#include <cstdint>
#include <utility>

namespace {

constexpr int kTitleId = 1182;
constexpr int kAlignByBlockId = 1183;

CPixmendApp* App()
{
    return CPixmendApp::Instance();
}

CMainFrame* Frame()
{
    CPixmendApp* app = App();
    return app ? app->GetMainFrame() : nullptr;
}

CChildView* View()
{
    CMainFrame* frame = Frame();
    return frame ? frame->GetView() : nullptr;
}

// The view with an open image in it, or null.
CChildView* ViewWithImage()
{
    CChildView* view = View();
    return view && view->IsImageLoaded() ? view : nullptr;
}

CropParams* CropOptions()
{
    CPixmendApp* app = App();
    return app ? &app->m_operCrop.Params() : nullptr;
}

QPushButton* MakeButton(const QString& text, QWidget* parent, int id, const char* icon = nullptr)
{
    auto* button = new QPushButton(text, parent);
    SetDlgItemId(button, id);
    button->setAutoDefault(false);
    if (icon)
        button->setIcon(QIcon(QLatin1String(icon)));
    return button;
}

} // namespace

// ---- the common part ----

CModePanel::CModePanel(int templateId, IMode* mode) : CPropertyPage(templateId), m_pMode(mode) {}

void CModePanel::Refresh()
{
    if (!GetSafeHwnd() || m_bUpdating)
        return;
    m_bUpdating = 1;
    UpdateControls();
    m_bUpdating = 0;
}

void CModePanel::OnShowWindow(bool show)
{
    CPropertyPage::OnShowWindow(show);
    if (show && !m_bEnterApplies && GetSafeHwnd()) {
        // Every edit already stored what was typed: Enter in a number field
        // applies the mode, as OK does.
        m_bEnterApplies = true;
        for (CIntEdit* edit : GetSafeHwnd()->findChildren<CIntEdit*>())
            connect(edit, &QLineEdit::returnPressed, this, [this] { OnOK(); });
    }
    if (show)
        Refresh();
}

void CModePanel::OnOK()
{
    if (m_pMode)
        m_pMode->Apply();
}

void CModePanel::OnCancelButton()
{
    if (m_pMode)
        m_pMode->Cancel(true);
}

QBoxLayout* CModePanel::MakeColumn(QWidget* window, const QString& title)
{
    auto* column = new QVBoxLayout(window);
    QLabel* label = MakeLabel(title, window, kTitleId);
    // The dialog font at weight 700.
    QFont font = label->font();
    font.setWeight(QFont::Bold);
    label->setFont(font);
    column->addWidget(label);
    return column;
}

void CModePanel::AddButtons(QBoxLayout* column, QWidget* window, const QString& okText, const QString& cancelText)
{
    auto* row = new QHBoxLayout;
    QPushButton* ok = MakeButton(okText, window, CPropertySheet::IDOK, ":/icons/panel-ok.svg");
    connect(ok, &QPushButton::clicked, this, [this] { OnOK(); });
    row->addWidget(ok);
    if (!cancelText.isEmpty()) {
        QPushButton* cancel = MakeButton(cancelText, window, CPropertySheet::IDCANCEL, ":/icons/panel-cancel.svg");
        connect(cancel, &QPushButton::clicked, this, [this] { OnCancelButton(); });
        row->addWidget(cancel);
    }
    row->addStretch(1);
    column->addLayout(row);
}

// ---- copy and paste ----

QCheckBox* CPanelBlockAlign::MakeAlignCheck(QWidget* window, bool statusTexts)
{
    m_align = MakeCheck(QStringLiteral("Align Selection by Block"), window, kAlignByBlockId);
    connect(m_align, &QCheckBox::clicked, this, [statusTexts](bool checked) {
        if (CropParams* crop = CropOptions())
            crop->AlignSelectionByBlock = checked ? 1 : 0;
        CChildView* view = View();
        if (!view)
            return;
        if (view->IsImageLoaded()) {
            view->AlignSelection();
            view->viewport()->update();
        }
        view->setFocus();
        if (statusTexts)
            if (CMainFrame* frame = Frame())
                frame->UpdateStatusTexts();
    });
    return m_align;
}

void CPanelBlockAlign::UpdateControls()
{
    if (const CropParams* crop = CropOptions())
        m_align->setChecked(crop->AlignSelectionByBlock != 0);
}

CPanelCopy::CPanelCopy(CModeCopy* mode) : CPanelBlockAlign(kTemplateId, mode) {}

void CPanelCopy::CreateControls(QWidget* window)
{
    QBoxLayout* column = MakeColumn(window, QStringLiteral("Select / Copy"));
    column->addWidget(MakeAlignCheck(window, true));
    QPushButton* zoom = MakeButton(QStringLiteral("Zoom to Selection"), window, 1184);
    connect(zoom, &QPushButton::clicked, this, [] {
        if (CPixmendApp* app = App())
            app->GetCommands().Execute(ID_VIEW_ZOOM_SELECTION);
    });
    column->addWidget(zoom, 0, Qt::AlignLeft);
    AddButtons(column, window, QStringLiteral("Copy"), QStringLiteral("Cancel"));
    column->addStretch(1);
}

CPanelPaste::CPanelPaste(CModePaste* mode) : CPanelBlockAlign(kTemplateId, mode) {}

void CPanelPaste::CreateControls(QWidget* window)
{
    QBoxLayout* column = MakeColumn(window, QStringLiteral("Paste"));
    AddButtons(column, window, QStringLiteral("Paste"), QStringLiteral("Cancel"));
    column->addWidget(MakeAlignCheck(window, false));
    column->addStretch(1);
}

// ---- red eye ----

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

// ---- crop ----

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
        if (CPixmendApp* app = App())
            app->m_settings.GuideLine = index;
        if (CChildView* view = View())
            view->UpdateView(true);
    });
}

bool CPanelCrop::OnInitDialog()
{
    if (const CropParams* crop = CropOptions())
        FillCropPresetCombo(m_preset, crop->CropPreset, 0);
    if (CPixmendApp* app = App())
        SelectIndex(m_guide, app->m_settings.GuideLine);
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
    CMainFrame* frame = Frame();
    const bool loaded = view != nullptr;
    const bool active = loaded && view->IsSelectionShown() && frame && frame->GetCurrentModeId() == ID_EDIT_CROP;
    const bool preset = Mode() && Mode()->GetCurrentRule();
    const CropParams& s = *crop; // SelectionRect

    // 3.
    for (QWidget* control : std::initializer_list<QWidget*>{m_preset, m_editPresets, m_guideLabel, m_guide, m_ok, m_cancel})
        control->setEnabled(loaded);
    m_width->setEnabled(active);
    m_height->setEnabled(active);
    bool swap = active && !preset;
    if (swap && !crop->AllowOutwardSel) {
        CPixmendApp* app = App();
        swap = ExchangedSizeFits(s.Left, s.Top, s.Right, s.Bottom, app->m_image.GetWidth(), app->m_image.GetHeight());
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

// ---- colour ----

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

// ---- reconstruct ----

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

// ---- resize ----

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

// ---- text ----

CPanelText::CPanelText(CModeText* mode) : CModePanel(kTemplateId, mode) {}

CModeText* CPanelText::Mode() const
{
    return static_cast<CModeText*>(m_pMode);
}

QString CPanelText::TemplateToEdit(const QString& text)
{
    QString lines = text;
    lines.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    return lines;
}

QString CPanelText::EditToTemplate(const QString& text)
{
    QString lines = TemplateToEdit(text);
    lines.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    return lines;
}

void CPanelText::CreateControls(QWidget* window)
{
    QBoxLayout* column = MakeColumn(window, QStringLiteral("Insert Text"));
    m_exif = MakeCheck(QStringLiteral("EXIF"), window, 1172);
    m_exifText = new QLineEdit(window);
    SetDlgItemId(m_exifText, 1174);
    m_exifText->setReadOnly(true);
    QPushButton* exifEdit = MakeButton(QStringLiteral("Edit"), window, 1075);
    auto* exifRow = new QHBoxLayout;
    exifRow->addWidget(m_exifText, 1);
    exifRow->addWidget(exifEdit);
    column->addWidget(m_exif);
    column->addLayout(exifRow);
    auto* separator1 = new CStaticHSeparator(window);
    SetDlgItemId(separator1, 1180);
    column->addWidget(separator1);

    m_custom = MakeCheck(QStringLiteral("Custom Text"), window, 1175);
    m_customText = new QPlainTextEdit(window);
    SetDlgItemId(m_customText, 1176);
    m_customText->setTabChangesFocus(true);
    m_customText->setFixedHeight(m_customText->fontMetrics().lineSpacing() * 4);
    QPushButton* customEdit = MakeButton(QStringLiteral("Edit"), window, 1177);
    auto* customRow = new QHBoxLayout;
    customRow->addWidget(m_customText, 1);
    customRow->addWidget(customEdit, 0, Qt::AlignTop);
    column->addWidget(m_custom);
    column->addLayout(customRow);
    auto* separator2 = new CStaticHSeparator(window);
    SetDlgItemId(separator2, 1181);
    column->addWidget(separator2);
    AddButtons(column, window, QStringLiteral("Apply"), QStringLiteral("Cancel"));
    column->addStretch(1);

    const std::pair<QCheckBox*, TextStyle TextSettings::*> checks[] = {{m_exif, &TextSettings::Exif},
                                                                       {m_custom, &TextSettings::Custom}};
    for (const auto& [check, style] : checks) {
        connect(check, &QCheckBox::clicked, this, [this, style](bool checked) {
            if (TextSettings* settings = Mode() ? Mode()->GetSettings() : nullptr) {
                (settings->*style).Use = checked ? 1 : 0;
                Refresh();
            }
        });
    }
    // Only the user's typing reaches the template: a refresh writes the edit
    // with the handler held off.
    connect(m_customText, &QPlainTextEdit::textChanged, this, [this] {
        TextSettings* settings = Mode() ? Mode()->GetSettings() : nullptr;
        if (m_bUpdating || !settings || !settings->Custom.Use)
            return;
        settings->Custom.Template = EditToTemplate(m_customText->toPlainText());
    });
    connect(exifEdit, &QPushButton::clicked, this, [this] { EditTextAndFont(0); });
    connect(customEdit, &QPushButton::clicked, this, [this] { EditTextAndFont(1); });
}

void CPanelText::EditTextAndFont(int tab)
{
    TextSettings* settings = Mode() ? Mode()->GetSettings() : nullptr;
    if (!settings)
        return;
    settings->CurTab = tab;
    Mode()->EditTextAndFont();
    Refresh();
}

void CPanelText::UpdateControls()
{
    const TextSettings* s = Mode() ? Mode()->GetSettings() : nullptr;
    if (!s)
        return;
    m_exif->setChecked(s->Exif.Use != 0);
    QString exif;
    CKsImage* image = OpenImage();
    if (s->Exif.Use && image)
        exif = CActionText::ExpandExifText(image, s->Exif.Template, *s, s->LocaleEX);
    if (m_exifText->text() != exif)
        m_exifText->setText(exif);
    m_custom->setChecked(s->Custom.Use != 0);
    const QString custom = s->Custom.Use ? TemplateToEdit(s->Custom.Template) : QString();
    if (m_customText->toPlainText() != custom)
        m_customText->setPlainText(custom);
    m_customText->setEnabled(s->Custom.Use != 0);
}
