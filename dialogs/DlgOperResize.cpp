#include "DlgOperResize.h"

#include "DlgItems.h"
#include "DlgOperControls.h"
#include "ResizeParams.h"
#include "SpinButton.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QPushButton>

namespace {

constexpr int kPixelGroup[] = {1191, 1137, 1145, 1192, 1193, 1138, 1034, 1194, 1075, 1149, 1142, 1144, 1143};
constexpr int kPercentGroup[] = {1088, 1146, 1147, 1095};

} // namespace

void CDlgOperResize::CreateControls(QWidget* window)
{
    QGroupBox* box = MakeTitleBox(window, QStringLiteral("Resize / Resample"));
    auto* grid = new QGridLayout(box);
    CResizeControls& c = m_controls;
    c.Create(box, this, [this] { ShowUnits(); });
    grid->addWidget(MakeLabel(QStringLiteral("Units:"), box), 0, 0);
    grid->addWidget(c.m_units, 0, 1, 1, 2);

    // The percent row takes the width row's place; only one is ever visible.
    grid->addWidget(MakeLabel(QStringLiteral("Max Width:"), box, 1191), 1, 0);
    grid->addWidget(c.m_width, 1, 1);
    grid->addWidget(c.m_widthSpin, 1, 2);
    grid->addWidget(MakeLabel(QStringLiteral("pixels"), box, 1192), 1, 3);
    grid->addWidget(MakeLabel(QStringLiteral("New Size:"), box, 1088), 1, 0);
    grid->addWidget(c.m_percent, 1, 1);
    grid->addWidget(c.m_percentSpin, 1, 2);
    grid->addWidget(MakeLabel(QStringLiteral("%"), box, 1095), 1, 3);
    grid->addWidget(MakeLabel(QStringLiteral("Max Height:"), box, 1193), 2, 0);
    grid->addWidget(c.m_height, 2, 1);
    grid->addWidget(c.m_heightSpin, 2, 2);
    grid->addWidget(MakeLabel(QStringLiteral("pixels"), box, 1194), 2, 3);
    grid->addWidget(c.m_pick, 1, 4, 2, 1);

    grid->addWidget(c.m_lock, 3, 0, 1, 5);
    grid->addWidget(c.m_swap, 4, 0, 1, 5);
    grid->addWidget(c.m_dontEnlarge, 5, 0, 1, 5);
    grid->addWidget(c.m_keep, 6, 0, 1, 5);
    grid->setColumnStretch(5, 1);
    grid->setRowStretch(7, 1);

    connect(c.m_percent, &CIntEdit::changed, this, [this] {
        if (ResizeParams* p = Params())
            p->Percent = m_controls.m_percent->GetValue();
    });
}

bool CDlgOperResize::OnInitDialog()
{
    m_controls.SetRanges();
    return true;
}

void CDlgOperResize::OnDestroyWindow()
{
    m_controls.Clear();
}

void CDlgOperResize::UpdateControls()
{
    ResizeParams* p = Params();
    // Only the size edits' handlers listen to the flag.
    m_bUpdating = 1;
    m_controls.Fill(*p);
    m_bUpdating = 0;
    m_controls.m_percent->SetValue(p->Percent);
    ShowUnits();
}

void CDlgOperResize::ShowUnits()
{
    const int pixels = Params()->Units != 0;
    QWidget* window = GetSafeHwnd();
    ShowDlgItems(window, kPixelGroup, int(std::size(kPixelGroup)), pixels);
    ShowDlgItems(window, kPercentGroup, int(std::size(kPercentGroup)), !pixels);
}
