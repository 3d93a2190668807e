#include "DlgOperColor.h"

#include "DlgOperControls.h"
#include "KsImage.h"
#include "SpinButton.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QSlider>

namespace {

struct RowIds {
    const char* left;
    int leftId;
    int trackbar;
    const char* right;
    int rightId;
    int edit;
    int spin;
};
constexpr RowIds kRows[3] = {
    {"Darker", 0, 1156, "Brighter", 0, 1159, 1162},
    {"Yellow", 1165, 1157, "Blue", 1166, 1160, 1163},
    {"Cyan", 1168, 1158, "Red", 1167, 1161, 1164},
};

// The application's open image is grayscale.
bool OpenImageIsGrayscale()
{
    CKsImage* image = OpenImage();
    if (!image)
        return false;
    IKestrel* lib = image->GetLibraryObject();
    return lib && lib->IsGrayscale();
}

void EnableIfChanged(QWidget* control, bool enable)
{
    if (control->testAttribute(Qt::WA_Disabled) == enable)
        control->setEnabled(enable);
}

} // namespace

void CDlgOperColor::SetParams(int* block)
{
    if (block == m_pBlock)
        return;
    m_pBlock = block;
    COperationDlg::BindParams(block);
    UpdateControls();
}

void CDlgOperColor::ReleaseParams(int* block)
{
    if (block != m_pBlock)
        return;
    m_pBlock = nullptr;
    COperationDlg::ReleaseParams();
    UpdateControls();
}

void CDlgOperColor::CreateControls(QWidget* window)
{
    QGroupBox* box = MakeTitleBox(window, QStringLiteral("Adjust Brightness / Color"));
    auto* grid = new QGridLayout(box);
    for (int i = 0; i < 3; ++i) {
        const RowIds& ids = kRows[i];
        Row& row = m_rows[i];
        row.left = MakeLabel(QString::fromUtf8(ids.left), box, ids.leftId);
        row.trackbar = MakeTrackbar(box, ids.trackbar, -100, 100, 20);
        row.right = MakeLabel(QString::fromUtf8(ids.right), box, ids.rightId);
        row.edit = MakeIntEdit(box, ids.edit, CIntEdit::DigitsAndMinus);
        row.spin = MakeSpin(box, ids.spin);
        grid->addWidget(row.left, i, 0, Qt::AlignRight);
        grid->addWidget(row.trackbar, i, 1);
        grid->addWidget(row.right, i, 2);
        grid->addWidget(row.edit, i, 3);
        grid->addWidget(row.spin, i, 4);
        connect(row.edit, &CIntEdit::changed, this, [this, i] { OnEditChange(i); });
        ConnectTrackEnd(row.trackbar, this, [this, i] { m_rows[i].edit->SetValue(m_rows[i].trackbar->value()); });
        connect(row.spin, &CSpinButton::deltaPos, this, [this, i](int delta) {
            if (m_pBlock)
                m_rows[i].edit->SetValue(AddClamped(m_pBlock[i], -delta));
        });
    }
    grid->setRowStretch(3, 1);
}

bool CDlgOperColor::OnInitDialog()
{
    for (Row& row : m_rows)
        row.edit->SetRange(-100, 100);
    UpdateControls();
    return true;
}

void CDlgOperColor::OnDestroyWindow()
{
    for (Row& row : m_rows)
        row = Row();
}

void CDlgOperColor::UpdateControls()
{
    if (!GetSafeHwnd() || !m_pBlock)
        return;
    const bool colorRows = !OpenImageIsGrayscale();
    for (int i = 1; i < 3; ++i) {
        const Row& row = m_rows[i];
        for (QWidget* w : std::initializer_list<QWidget*>{row.left, row.right, row.trackbar, row.edit, row.spin})
            EnableIfChanged(w, colorRows);
    }
    for (int i = 0; i < 3; ++i) {
        const QString text = QString::number(m_pBlock[i]);
        if (m_rows[i].edit->text() != text)
            m_rows[i].edit->setText(text);
        SetSliderPos(m_rows[i].trackbar, m_pBlock[i]);
    }
}

void CDlgOperColor::OnEditChange(int row)
{
    if (!m_pBlock)
        return;
    const int value = m_rows[row].edit->GetValue();
    if (value == m_pBlock[row])
        return;
    m_pBlock[row] = value;
    SetSliderPos(m_rows[row].trackbar, value);
}
