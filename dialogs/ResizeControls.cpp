#include "ResizeControls.h"

#include "DlgItems.h"
#include "DlgOperControls.h"
#include "KsImage.h"
#include "ProportionLock.h"
#include "ResizeParams.h"
#include "SpinButton.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>

#include <climits>
#include <utility>

CResizeControls::CResizeControls(std::function<ResizeParams*()> params, int& updating)
    : m_params(std::move(params)), m_bUpdating(updating)
{
}

void CResizeControls::Create(QWidget* parent, QObject* context, std::function<void()> onUnits)
{
    m_units = MakeList({QStringLiteral("Percent"), QStringLiteral("Pixels")}, parent, 1139);
    m_width = MakeIntEdit(parent, 1137, CIntEdit::DigitsOnly);
    m_height = MakeIntEdit(parent, 1138, CIntEdit::DigitsOnly);
    m_percent = MakeIntEdit(parent, 1146, CIntEdit::DigitsOnly);
    m_widthSpin = MakeSpin(parent, 1145);
    m_heightSpin = MakeSpin(parent, 1034);
    m_percentSpin = MakeSpin(parent, 1147);
    m_pick = new QPushButton(QStringLiteral("Pick from Current Image"), parent);
    SetDlgItemId(m_pick, 1075);
    m_lock = MakeCheck(QStringLiteral("Lock Aspect"), parent, 1149);
    m_swap = MakeCheck(QStringLiteral("Swap Width and Height to Match Orientation"), parent, 1142);
    m_dontEnlarge = MakeCheck(QStringLiteral("Do not Enlarge"), parent, 1144);
    m_keep = MakeCheck(QStringLiteral("Keep Proportions"), parent, 1143);

    QObject::connect(m_units, &QComboBox::activated, context, [this, onUnits](int index) {
        if (ResizeParams* p = m_params()) {
            p->Units = index;
            onUnits();
        }
    });
    QObject::connect(m_width, &CIntEdit::changed, context, [this] { OnSizeEdit(true); });
    QObject::connect(m_height, &CIntEdit::changed, context, [this] { OnSizeEdit(false); });
    QObject::connect(m_pick, &QPushButton::clicked, context, [this] { OnPickFromImage(); });
    QObject::connect(m_lock, &QCheckBox::clicked, context, [this](bool checked) {
        if (ResizeParams* p = m_params()) {
            p->LockAspect = checked ? 1 : 0;
            UpdateLockText();
        }
    });
    const std::pair<QCheckBox*, int ResizeParams::*> flags[] = {
        {m_swap, &ResizeParams::AutoSwap},
        {m_dontEnlarge, &ResizeParams::DontEnlarge},
        {m_keep, &ResizeParams::KeepProportions},
    };
    for (const auto& [check, member] : flags) {
        QObject::connect(check, &QCheckBox::clicked, context, [this, member](bool checked) {
            if (ResizeParams* p = m_params())
                p->*member = checked ? 1 : 0;
        });
    }
    const std::pair<CSpinButton*, std::pair<CIntEdit*, int ResizeParams::*>> spins[] = {
        {m_widthSpin, {m_width, &ResizeParams::PixelsWidth}},
        {m_heightSpin, {m_height, &ResizeParams::PixelsHeight}},
        {m_percentSpin, {m_percent, &ResizeParams::Percent}},
    };
    for (const auto& [spin, target] : spins) {
        QObject::connect(spin, &CSpinButton::deltaPos, context, [this, target](int delta) {
            if (ResizeParams* p = m_params())
                target.first->SetValue(AddClamped(p->*target.second, -delta));
        });
    }
}

void CResizeControls::Clear()
{
    m_units = nullptr;
    m_width = m_height = m_percent = nullptr;
    m_widthSpin = m_heightSpin = m_percentSpin = nullptr;
    m_pick = nullptr;
    m_lock = m_swap = m_dontEnlarge = m_keep = nullptr;
}

void CResizeControls::SetRanges()
{
    for (CIntEdit* edit : {m_width, m_height, m_percent})
        edit->SetRange(1, INT_MAX);
}

void CResizeControls::Fill(const ResizeParams& p)
{
    SelectIndex(m_units, p.Units);
    m_width->SetValue(p.PixelsWidth);
    m_height->SetValue(p.PixelsHeight);
    m_pick->setEnabled(OpenImage() != nullptr);
    m_lock->setChecked(p.LockAspect != 0);
    m_swap->setChecked(p.AutoSwap != 0);
    m_dontEnlarge->setChecked(p.DontEnlarge != 0);
    m_keep->setChecked(p.KeepProportions != 0);
    UpdateLockText();
}

void CResizeControls::UpdateLockText()
{
    const ResizeParams* p = m_params();
    if (!p)
        return;
    m_nAspectWidth = p->PixelsWidth;
    m_nAspectHeight = p->PixelsHeight;
    m_lock->setText(QStringLiteral("Lock Aspect (%1:%2)").arg(m_nAspectWidth).arg(m_nAspectHeight));
}

void CResizeControls::OnSizeEdit(bool width)
{
    ResizeParams* p = m_params();
    if (m_bUpdating || !p)
        return;
    (width ? p->PixelsWidth : p->PixelsHeight) = (width ? m_width : m_height)->GetValue();
    if (!p->LockAspect) {
        // Unlocked, the aspect follows what is typed.
        UpdateLockText();
        return;
    }
    // The other side follows in 64 bits; a zero side of the locked aspect
    // (an old profile's 0) leaves it as it is.
    m_bUpdating = 1;
    if (width) {
        p->PixelsHeight = LockedAspectSide(p->PixelsWidth, m_nAspectWidth, m_nAspectHeight, p->PixelsHeight);
        m_height->SetValue(p->PixelsHeight);
    } else {
        p->PixelsWidth = LockedAspectSide(p->PixelsHeight, m_nAspectHeight, m_nAspectWidth, p->PixelsWidth);
        m_width->SetValue(p->PixelsWidth);
    }
    m_bUpdating = 0;
}

void CResizeControls::OnPickFromImage()
{
    ResizeParams* p = m_params();
    CKsImage* image = OpenImage();
    if (!p || !image)
        return;
    m_bUpdating = 1;
    p->PixelsWidth = image->GetWidth();
    m_width->SetValue(p->PixelsWidth);
    p->PixelsHeight = image->GetHeight();
    m_height->SetValue(p->PixelsHeight);
    m_bUpdating = 0;
    UpdateLockText();
}
