#include "ModePanel.h"

#include "ChildView.h"
#include "DlgItems.h"
#include "DlgOperControls.h"
#include "IntEdit.h"
#include "Mode.h"
#include "ModeHost.h"
#include "OperCrop.h"

#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr int kTitleId = 1182;

} // namespace

IModeHost* CModePanel::App()
{
    return ModeHost();
}

CChildView* CModePanel::View()
{
    IModeHost* app = App();
    return app ? app->ModeView() : nullptr;
}

CChildView* CModePanel::ViewWithImage()
{
    CChildView* view = View();
    return view && view->IsImageLoaded() ? view : nullptr;
}

CropParams* CModePanel::CropOptions()
{
    IModeHost* app = App();
    return app ? &app->CropOperation().Params() : nullptr;
}

QPushButton* CModePanel::MakeButton(const QString& text, QWidget* parent, int id, const char* icon)
{
    auto* button = new QPushButton(text, parent);
    SetDlgItemId(button, id);
    button->setAutoDefault(false);
    if (icon)
        button->setIcon(QIcon(QLatin1String(icon)));
    return button;
}

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
