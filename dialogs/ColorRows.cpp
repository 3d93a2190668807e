#include "ColorRows.h"

#include "DlgOperControls.h"
#include "KsImage.h"
#include "SpinButton.h"

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
    IKestrel* lib = image ? image->GetLibraryObject() : nullptr;
    return lib && lib->IsGrayscale();
}

} // namespace

void CColorRows::Create(QWidget* parent, QObject* context, std::function<void(int)> onEdit,
                        std::function<const int*(int)> value)
{
    for (int i = 0; i < 3; ++i) {
        const RowIds& ids = kRows[i];
        Row& row = m_rows[i];
        row.left = MakeLabel(QString::fromUtf8(ids.left), parent, ids.leftId);
        row.trackbar = MakeTrackbar(parent, ids.trackbar, -100, 100, 20);
        row.right = MakeLabel(QString::fromUtf8(ids.right), parent, ids.rightId);
        row.edit = MakeIntEdit(parent, ids.edit, CIntEdit::DigitsAndMinus);
        row.spin = MakeSpin(parent, ids.spin);
        QObject::connect(row.edit, &CIntEdit::changed, context, [onEdit, i] { onEdit(i); });
        ConnectTrackEnd(row.trackbar, context, [this, i] { m_rows[i].edit->SetValue(m_rows[i].trackbar->value()); });
        QObject::connect(row.spin, &CSpinButton::deltaPos, context, [this, value, i](int delta) {
            if (const int* current = value(i))
                m_rows[i].edit->SetValue(AddClamped(*current, -delta));
        });
    }
}

void CColorRows::Clear()
{
    for (Row& row : m_rows)
        row = Row();
}

void CColorRows::SetRanges()
{
    for (Row& row : m_rows)
        row.edit->SetRange(-100, 100);
}

void CColorRows::EnableColorRows()
{
    const bool colorRows = !OpenImageIsGrayscale();
    for (int i = 1; i < 3; ++i) {
        const Row& row = m_rows[i];
        for (QWidget* w : std::initializer_list<QWidget*>{row.left, row.right, row.trackbar, row.edit, row.spin})
            if (w->testAttribute(Qt::WA_Disabled) == colorRows)
                w->setEnabled(colorRows);
    }
}

void CColorRows::Show(int row, int value)
{
    const QString text = QString::number(value);
    if (m_rows[row].edit->text() != text)
        m_rows[row].edit->setText(text);
    SetSliderPos(m_rows[row].trackbar, value);
}

bool CColorRows::Store(int row, int& stored)
{
    const int value = m_rows[row].edit->GetValue();
    if (value == stored)
        return false;
    stored = value;
    SetSliderPos(m_rows[row].trackbar, value);
    return true;
}
