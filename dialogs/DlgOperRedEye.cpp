#include "DlgOperRedEye.h"

#include "DlgOperControls.h"
#include "RedEyeParams.h"
#include "SpinButton.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QSlider>

namespace {

struct RowSpec {
    const char* label;
    int trackbar;
    int minimum;
    int maximum;
    int tick;
    int edit;
    int spin;
};
constexpr RowSpec kRows[3] = {
    {"Radius:", 1126, 1, 50, 5, 1127, 1128},
    {"Sensitivity:", 1129, 1, 100, 10, 1130, 1131},
    {"Darkening:", 1132, 0, 20, 2, 1133, 1134},
};

} // namespace

int* CDlgOperRedEye::Field(int row) const
{
    RedEyeParams* p = Params();
    if (!p)
        return nullptr;
    int* fields[3] = {&p->RedEyeRadius, &p->RedEyeSensitivity, &p->RedEyeDarkening};
    return fields[row];
}

void CDlgOperRedEye::CreateControls(QWidget* window)
{
    QGroupBox* box = MakeTitleBox(window, QStringLiteral("Red Eye Removal"));
    auto* grid = new QGridLayout(box);
    for (int i = 0; i < 3; ++i) {
        const RowSpec& spec = kRows[i];
        Row& row = m_rows[i];
        row.trackbar = MakeTrackbar(box, spec.trackbar, spec.minimum, spec.maximum, spec.tick);
        row.edit = MakeIntEdit(box, spec.edit, CIntEdit::DigitsOnly);
        row.spin = MakeSpin(box, spec.spin);
        grid->addWidget(MakeLabel(QString::fromUtf8(spec.label), box), i, 0);
        grid->addWidget(row.trackbar, i, 1);
        grid->addWidget(row.edit, i, 2);
        grid->addWidget(row.spin, i, 3);
        connect(row.edit, &CIntEdit::changed, this, [this, i] {
            if (int* field = Field(i)) {
                *field = m_rows[i].edit->GetValue();
                SetSliderPos(m_rows[i].trackbar, *field);
            }
        });
        // Every end of a user move, keys included: the slider never shows
        // a value that is not stored.
        ConnectTrackEnd(row.trackbar, this, [this, i] { m_rows[i].edit->SetValue(m_rows[i].trackbar->value()); });
        connect(row.spin, &CSpinButton::deltaPos, this, [this, i](int delta) {
            if (int* field = Field(i))
                m_rows[i].edit->SetValue(AddClamped(*field, -delta));
        });
    }
    grid->setRowStretch(3, 1);
}

bool CDlgOperRedEye::OnInitDialog()
{
    for (int i = 0; i < 3; ++i)
        m_rows[i].edit->SetRange(kRows[i].minimum, kRows[i].maximum);
    return true;
}

void CDlgOperRedEye::OnDestroyWindow()
{
    for (Row& row : m_rows)
        row = Row();
}

void CDlgOperRedEye::UpdateControls()
{
    // Each edit's change handler stores the (clamped) value and moves the trackbar.
    for (int i = 0; i < 3; ++i)
        m_rows[i].edit->SetValue(*Field(i));
}
