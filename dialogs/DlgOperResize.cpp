#include "DlgOperResize.h"

#include "ProportionLock.h"
#include "DlgItems.h"
#include "DlgOperControls.h"
#include "KsImage.h"
#include "ResizeParams.h"
#include "SpinButton.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QPushButton>

#include <climits>

namespace {

constexpr int kPixelGroup[] = {1191, 1137, 1145, 1192, 1193, 1138, 1034, 1194, 1075, 1149, 1142, 1144, 1143};
constexpr int kPercentGroup[] = {1088, 1146, 1147, 1095};

} // namespace

void CDlgOperResize::CreateControls(QWidget* window)
{
    QGroupBox* box = MakeTitleBox(window, QStringLiteral("Resize / Resample"));
    auto* grid = new QGridLayout(box);
    m_units = MakeList({QStringLiteral("Percent"), QStringLiteral("Pixels")}, box, 1139);
    grid->addWidget(MakeLabel(QStringLiteral("Units:"), box), 0, 0);
    grid->addWidget(m_units, 0, 1, 1, 2);

    m_width = MakeIntEdit(box, 1137, CIntEdit::DigitsOnly);
    m_height = MakeIntEdit(box, 1138, CIntEdit::DigitsOnly);
    m_percent = MakeIntEdit(box, 1146, CIntEdit::DigitsOnly);
    CSpinButton* widthSpin = MakeSpin(box, 1145);
    CSpinButton* heightSpin = MakeSpin(box, 1034);
    CSpinButton* percentSpin = MakeSpin(box, 1147);
    // The percent row takes the width row's place; only one is ever visible.
    grid->addWidget(MakeLabel(QStringLiteral("Max Width:"), box, 1191), 1, 0);
    grid->addWidget(m_width, 1, 1);
    grid->addWidget(widthSpin, 1, 2);
    grid->addWidget(MakeLabel(QStringLiteral("pixels"), box, 1192), 1, 3);
    grid->addWidget(MakeLabel(QStringLiteral("New Size:"), box, 1088), 1, 0);
    grid->addWidget(m_percent, 1, 1);
    grid->addWidget(percentSpin, 1, 2);
    grid->addWidget(MakeLabel(QStringLiteral("%"), box, 1095), 1, 3);
    grid->addWidget(MakeLabel(QStringLiteral("Max Height:"), box, 1193), 2, 0);
    grid->addWidget(m_height, 2, 1);
    grid->addWidget(heightSpin, 2, 2);
    grid->addWidget(MakeLabel(QStringLiteral("pixels"), box, 1194), 2, 3);
    m_pick = new QPushButton(QStringLiteral("Pick from Current Image"), box);
    SetDlgItemId(m_pick, 1075);
    grid->addWidget(m_pick, 1, 4, 2, 1);

    m_lock = MakeCheck(QStringLiteral("Lock Aspect"), box, 1149);
    m_swap = MakeCheck(QStringLiteral("Swap Width and Height to Match Orientation"), box, 1142);
    m_dontEnlarge = MakeCheck(QStringLiteral("Do not Enlarge"), box, 1144);
    m_keep = MakeCheck(QStringLiteral("Keep Proportions"), box, 1143);
    grid->addWidget(m_lock, 3, 0, 1, 5);
    grid->addWidget(m_swap, 4, 0, 1, 5);
    grid->addWidget(m_dontEnlarge, 5, 0, 1, 5);
    grid->addWidget(m_keep, 6, 0, 1, 5);
    grid->setColumnStretch(5, 1);
    grid->setRowStretch(7, 1);

    connect(m_units, &QComboBox::activated, this, [this](int index) {
        if (ResizeParams* p = Params()) {
            p->Units = index;
            ShowUnits();
        }
    });
    connect(m_width, &CIntEdit::changed, this, [this] { OnWidthChange(); });
    connect(m_height, &CIntEdit::changed, this, [this] { OnHeightChange(); });
    connect(m_percent, &CIntEdit::changed, this, [this] {
        if (ResizeParams* p = Params())
            p->Percent = m_percent->GetValue();
    });
    connect(m_pick, &QPushButton::clicked, this, [this] { OnPickFromImage(); });
    connect(m_lock, &QCheckBox::clicked, this, [this](bool checked) {
        if (ResizeParams* p = Params()) {
            p->LockAspect = checked ? 1 : 0;
            UpdateLockLabel();
        }
    });
    const std::pair<QCheckBox*, int ResizeParams::*> flags[] = {
        {m_swap, &ResizeParams::AutoSwap},
        {m_dontEnlarge, &ResizeParams::DontEnlarge},
        {m_keep, &ResizeParams::KeepProportions},
    };
    for (const auto& [check, member] : flags) {
        connect(check, &QCheckBox::clicked, this, [this, member](bool checked) {
            if (ResizeParams* p = Params())
                p->*member = checked ? 1 : 0;
        });
    }
    const std::pair<CSpinButton*, std::pair<CIntEdit*, int ResizeParams::*>> spins[] = {
        {widthSpin, {m_width, &ResizeParams::PixelsWidth}},
        {heightSpin, {m_height, &ResizeParams::PixelsHeight}},
        {percentSpin, {m_percent, &ResizeParams::Percent}},
    };
    for (const auto& [spin, target] : spins) {
        connect(spin, &CSpinButton::deltaPos, this, [this, target](int delta) {
            if (ResizeParams* p = Params())
                target.first->SetValue(AddClamped(p->*target.second, -delta));
        });
    }
}

bool CDlgOperResize::OnInitDialog()
{
    for (CIntEdit* edit : {m_width, m_height, m_percent})
        edit->SetRange(1, INT_MAX);
    return true;
}

void CDlgOperResize::OnDestroyWindow()
{
    m_units = nullptr;
    m_width = m_height = m_percent = nullptr;
    m_pick = nullptr;
    m_lock = m_swap = m_dontEnlarge = m_keep = nullptr;
}

void CDlgOperResize::UpdateControls()
{
    ResizeParams* p = Params();
    SelectIndex(m_units, p->Units);
    m_bUpdating = 1;
    m_width->SetValue(p->PixelsWidth);
    m_height->SetValue(p->PixelsHeight);
    m_bUpdating = 0;
    m_pick->setEnabled(OpenImage() != nullptr);
    m_lock->setChecked(p->LockAspect != 0);
    UpdateLockLabel();
    m_swap->setChecked(p->AutoSwap != 0);
    m_dontEnlarge->setChecked(p->DontEnlarge != 0);
    m_keep->setChecked(p->KeepProportions != 0);
    m_percent->SetValue(p->Percent);
    ShowUnits();
}

void CDlgOperResize::ShowUnits()
{
    const int pixels = Params()->Units != 0;
    QWidget* window = GetSafeHwnd();
    ShowDlgItems(window, kPixelGroup, int(std::size(kPixelGroup)), pixels);
    ShowDlgItems(window, kPercentGroup, int(std::size(kPercentGroup)), !pixels);
}

void CDlgOperResize::UpdateLockLabel()
{
    const ResizeParams* p = Params();
    m_nAspectWidth = p->PixelsWidth;
    m_nAspectHeight = p->PixelsHeight;
    m_lock->setText(QStringLiteral("Lock Aspect (%1:%2)").arg(m_nAspectWidth).arg(m_nAspectHeight));
}

void CDlgOperResize::OnWidthChange()
{
    ResizeParams* p = Params();
    if (m_bUpdating || !p)
        return;
    p->PixelsWidth = m_width->GetValue();
    Propagate(true);
}

void CDlgOperResize::OnHeightChange()
{
    ResizeParams* p = Params();
    if (m_bUpdating || !p)
        return;
    p->PixelsHeight = m_height->GetValue();
    Propagate(false);
}

void CDlgOperResize::Propagate(bool fromWidth)
{
    ResizeParams* p = Params();
    if (!p->LockAspect) {
        // Unlocked, the ratio follows what is typed.
        UpdateLockLabel();
        return;
    }
    m_bUpdating = 1;
    if (fromWidth) {
        p->PixelsHeight = LockedAspectSide(p->PixelsWidth, m_nAspectWidth, m_nAspectHeight, p->PixelsHeight);
        m_height->SetValue(p->PixelsHeight);
    } else {
        p->PixelsWidth = LockedAspectSide(p->PixelsHeight, m_nAspectHeight, m_nAspectWidth, p->PixelsWidth);
        m_width->SetValue(p->PixelsWidth);
    }
    m_bUpdating = 0;
}

void CDlgOperResize::OnPickFromImage()
{
    ResizeParams* p = Params();
    CKsImage* image = OpenImage();
    if (!p || !image)
        return;
    m_bUpdating = 1;
    p->PixelsWidth = image->GetWidth();
    m_width->SetValue(p->PixelsWidth);
    p->PixelsHeight = image->GetHeight();
    m_height->SetValue(p->PixelsHeight);
    m_bUpdating = 0;
    UpdateLockLabel();
}
