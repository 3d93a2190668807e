#include "ModePanels.h"

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
#include "ProportionLock.h"
#include "RedEyeParams.h"
#include "ResizeParams.h"
#include "SpinButton.h"
#include "StaticHSeparator.h"
#include "TextSettings.h"
#include "platform/Bstr.h"

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

// The copy and paste panels' check 1183: the crop operation's
// AlignSelectionByBlock, applied to the shown selection at once.
QCheckBox* MakeAlignByBlockCheck(QWidget* parent, QObject* context, bool statusTexts)
{
    QCheckBox* check = MakeCheck(QStringLiteral("Align Selection by Block"), parent, kAlignByBlockId);
    QObject::connect(check, &QCheckBox::clicked, context, [statusTexts](bool checked) {
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
    return check;
}

// The EXIF template as the library expands it for the open image with the
// settings' locale, pictures and switches.
QString ExpandExifTemplate(CKsImage* image, const QString& textTemplate, const TextSettings& s)
{
    IKestrel* lib = image ? image->GetLibraryObject() : nullptr;
    if (!lib)
        return QString();
    auto u16 = [](const QString& text) {
        return std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()), size_t(text.size()));
    };
    CBstr text(u16(textTemplate));
    CBstr date(u16(s.DateFormat));
    CBstr time(u16(s.TimeFormat));
    const char16_t* result = lib->FormatExifText(text, s.UseFileTime, s.LocaleEX, date, time, s.FractionsOfSeconds);
    // The library's text lives only until its next call.
    return result ? QString::fromUtf16(result) : QString();
}

void ShowAlignByBlock(QCheckBox* check)
{
    if (const CropParams* crop = CropOptions())
        check->setChecked(crop->AlignSelectionByBlock != 0);
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

CPanelCopy::CPanelCopy(CModeCopy* mode) : CModePanel(kTemplateId, mode) {}

void CPanelCopy::CreateControls(QWidget* window)
{
    QBoxLayout* column = MakeColumn(window, QStringLiteral("Select / Copy"));
    m_align = MakeAlignByBlockCheck(window, this, true);
    column->addWidget(m_align);
    QPushButton* zoom = MakeButton(QStringLiteral("Zoom to Selection"), window, 1184);
    connect(zoom, &QPushButton::clicked, this, [] {
        if (CPixmendApp* app = App())
            app->GetCommands().Execute(ID_VIEW_ZOOM_SELECTION);
    });
    column->addWidget(zoom, 0, Qt::AlignLeft);
    AddButtons(column, window, QStringLiteral("Copy"), QStringLiteral("Cancel"));
    column->addStretch(1);
}

void CPanelCopy::UpdateControls()
{
    ShowAlignByBlock(m_align);
}

CPanelPaste::CPanelPaste(CModePaste* mode) : CModePanel(kTemplateId, mode) {}

void CPanelPaste::CreateControls(QWidget* window)
{
    QBoxLayout* column = MakeColumn(window, QStringLiteral("Paste"));
    AddButtons(column, window, QStringLiteral("Paste"), QStringLiteral("Cancel"));
    m_align = MakeAlignByBlockCheck(window, this, false);
    column->addWidget(m_align);
    column->addStretch(1);
}

void CPanelPaste::UpdateControls()
{
    ShowAlignByBlock(m_align);
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

