#include "DlgOperRotate.h"

#include "ActionRotateFlip.h"
#include "CButton.h"
#include "DlgItems.h"
#include "DlgOperControls.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

QRadioButton* Radio(const QString& text, QWidget* parent, int id)
{
    auto* radio = new QRadioButton(text, parent);
    SetDlgItemId(radio, id);
    radio->setAutoExclusive(false);
    return radio;
}

} // namespace

void CDlgOperRotate::CreateControls(QWidget* window)
{
    QGroupBox* box = MakeTitleBox(window, QStringLiteral("Rotate / Flip"));
    auto* layout = new QVBoxLayout(box);

    auto* direction = new QGroupBox(QStringLiteral("Direction"), box);
    auto* directionLayout = new QGridLayout(direction);
    m_automatic = MakeCheck(QStringLiteral("Rotate to Orientation flag"), direction, 1016);
    directionLayout->addWidget(m_automatic, 0, 0, 1, 2);
    auto* rotateBox = new QGroupBox(QStringLiteral("Rotate"), direction);
    SetDlgItemId(rotateBox, 1012);
    auto* rotateLayout = new QVBoxLayout(rotateBox);
    const char* rotateTexts[4] = {"0°", "90°", "180°", "270°"};
    for (int i = 0; i < 4; ++i) {
        m_rotate[i] = Radio(QString::fromUtf8(rotateTexts[i]), rotateBox, 1004 + i);
        rotateLayout->addWidget(m_rotate[i]);
    }
    auto* flipBox = new QGroupBox(QStringLiteral("Flip"), direction);
    auto* flipLayout = new QVBoxLayout(flipBox);
    const char* flipTexts[3] = {"None", "Horizontal", "Vertical"};
    for (int i = 0; i < 3; ++i) {
        m_flip[i] = Radio(QString::fromUtf8(flipTexts[i]), flipBox, 1009 + i);
        flipLayout->addWidget(m_flip[i]);
    }
    flipLayout->addStretch();
    directionLayout->addWidget(rotateBox, 1, 0);
    directionLayout->addWidget(flipBox, 1, 1);
    layout->addWidget(direction);

    // "Lossless" sits on the frame of its group, in place of the title.
    auto* losslessBox = new QGroupBox(QString(20, u' '), box);
    m_lossless = MakeCheck(QStringLiteral("Lossless"), losslessBox, 1154);
    m_lossless->move(8, 0);
    m_lossless->adjustSize();
    auto* losslessLayout = new QHBoxLayout(losslessBox);
    losslessLayout->setContentsMargins(9, m_lossless->sizeHint().height(), 9, 9);
    m_partialLabel = MakeLabel(QStringLiteral("Partial Blocks:"), losslessBox, 1095);
    m_partial = MakeList({QStringLiteral("Discard"), QStringLiteral("Preserve"), QStringLiteral("Pad with Color")},
                         losslessBox, 1094);
    m_color = new CCButton(losslessBox);
    SetDlgItemId(m_color, 1155);
    losslessLayout->addWidget(m_partialLabel);
    losslessLayout->addWidget(m_partial);
    losslessLayout->addWidget(m_color);
    losslessLayout->addStretch();
    layout->addWidget(losslessBox);
    layout->addStretch();
    m_lossless->raise();

    connect(m_automatic, &QCheckBox::clicked, this, [this](bool checked) {
        if (RotateParams* p = Params()) {
            p->Automatic = checked ? 1 : 0;
            ShowDirection();
        }
    });
    for (int i = 0; i < 4; ++i) {
        connect(m_rotate[i], &QRadioButton::clicked, this, [this, i] {
            if (RotateParams* p = Params())
                p->Rotate = i;
            ShowDirection();
        });
    }
    for (int i = 0; i < 3; ++i) {
        connect(m_flip[i], &QRadioButton::clicked, this, [this, i] {
            if (RotateParams* p = Params())
                p->Flip = i;
            ShowDirection();
        });
    }
    connect(m_lossless, &QCheckBox::clicked, this, [this](bool checked) {
        if (RotateParams* p = Params()) {
            p->Lossless = checked ? 1 : 0;
            ShowLossless();
        }
    });
    connect(m_partial, &QComboBox::activated, this, [this](int index) {
        if (RotateParams* p = Params()) {
            p->PartialMode = index;
            ShowColor();
        }
    });
    connect(m_color, &CCButton::colorClicked, this, [this] {
        if (RotateParams* p = Params())
            p->PaddingColor = m_color->GetColor();
    });
}

void CDlgOperRotate::OnDestroyWindow()
{
    m_automatic = nullptr;
    for (auto*& r : m_rotate)
        r = nullptr;
    for (auto*& r : m_flip)
        r = nullptr;
    m_lossless = nullptr;
    m_partialLabel = nullptr;
    m_partial = nullptr;
    m_color = nullptr;
}

void CDlgOperRotate::UpdateControls()
{
    const RotateParams* p = Params();
    const bool macro = IsBatchMode() != 0;
    m_automatic->setEnabled(macro);
    m_automatic->setChecked(macro && p->Automatic);
    ShowDirection();
    m_lossless->setChecked(p->Lossless != 0);
    ShowLossless();
}

void CDlgOperRotate::ShowDirection()
{
    const RotateParams* p = Params();
    const bool enabled = p && IsBatchMode() && !p->Automatic;
    for (int i = 0; i < 4; ++i) {
        m_rotate[i]->setEnabled(enabled);
        m_rotate[i]->setChecked(enabled && p->Rotate == i);
    }
    for (int i = 0; i < 3; ++i) {
        m_flip[i]->setEnabled(enabled);
        m_flip[i]->setChecked(enabled && p->Flip == i);
    }
}

void CDlgOperRotate::ShowColor()
{
    const RotateParams* p = Params();
    m_color->setEnabled(p->Lossless && p->PartialMode == 2);
    m_color->SetColor(p->PaddingColor);
}

void CDlgOperRotate::ShowLossless()
{
    const RotateParams* p = Params();
    m_partialLabel->setEnabled(p->Lossless != 0);
    m_partial->setEnabled(p->Lossless != 0);
    SelectIndex(m_partial, p->Lossless ? p->PartialMode : -1);
    ShowColor();
}
