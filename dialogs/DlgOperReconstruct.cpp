#include "DlgOperReconstruct.h"

#include "DlgOperControls.h"
#include "SpinButton.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>

namespace {

const char kNote[] =
    "Reconstruction is more accurate JPEG decompression technique. Using it results in a cleaner image.\n\n"
    "This decompression technique is based on more accurate dequantization of JPEG DCT coefficients and unlike "
    "most other JPEG reconstruction methods is not achieved by simply smoothing of a decompressed bitmap.\n\n"
    "Note: Reconstruction will have no effect on unchanged blocks in a final image, however it can be used to "
    "increase quality and reduce degradation in blocks that are to be re-compressed, and in operations leading "
    "to full re-compression.";

} // namespace

void CDlgOperReconstruct::SetParams(int* passes)
{
    COperationDlg::BindParams(passes);
    Refill();
}

void CDlgOperReconstruct::CreateControls(QWidget* window)
{
    QGroupBox* box = MakeTitleBox(window, QStringLiteral("Reconstruct"));
    auto* grid = new QGridLayout(box);
    m_edit = MakeIntEdit(box, 1156, CIntEdit::DigitsOnly);
    m_spin = MakeSpin(box, 1157);
    QLabel* note = MakeLabel(QString::fromUtf8(kNote), box, 1158);
    note->setWordWrap(true);
    grid->addWidget(MakeLabel(QStringLiteral("Number of Passes:"), box), 0, 0);
    grid->addWidget(m_edit, 0, 1);
    grid->addWidget(m_spin, 0, 2);
    grid->setColumnStretch(3, 1);
    grid->addWidget(note, 1, 0, 1, 4);
    grid->setRowStretch(2, 1);
    connect(m_edit, &CIntEdit::changed, this, [this] {
        if (int* passes = Passes()) {
            *passes = m_edit->GetValue();
            Refill();
        }
    });
    connect(m_spin, &CSpinButton::deltaPos, this, [this](int delta) {
        if (int* passes = Passes()) {
            // The edit brings the sum back into 1..100 and stores it.
            *passes = AddClamped(*passes, delta);
            Refill();
        }
    });
}

bool CDlgOperReconstruct::OnInitDialog()
{
    m_edit->SetRange(1, 100);
    m_spin->SetRange(1, 100);
    // The empty edit would read as 1 already: fill it unconditionally.
    if (Passes())
        m_edit->SetValue(*Passes());
    return true;
}

void CDlgOperReconstruct::OnDestroyWindow()
{
    m_edit = nullptr;
    m_spin = nullptr;
}

void CDlgOperReconstruct::UpdateControls()
{
    if (m_edit && m_edit->GetValue() != *Passes())
        m_edit->SetValue(*Passes());
}
