#include "InsertTextDlg.h"

#include "DlgItems.h"
#include "ScreenFit.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QVBoxLayout>

CInsertTextDlg::CInsertTextDlg(IController* controller, CInsertTextDlgWrapper* wrapper)
    : CPropertyPage(kTemplateId, QStringLiteral(" Insert Text")), m_pController(controller), m_pWrapper(wrapper)
{
}

void CInsertTextDlg::CreateControls(QWidget* window)
{
    auto* layout = new QVBoxLayout(window);
    m_frame = new QWidget(window);
    SetDlgItemId(m_frame, 1122);
    layout->addWidget(m_frame, 1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, window);
    SetDlgItemId(buttons->button(QDialogButtonBox::Ok), CInsertTextDlgWrapper::IDOK);
    SetDlgItemId(buttons->button(QDialogButtonBox::Cancel), CInsertTextDlgWrapper::IDCANCEL);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] { m_pWrapper->EndDialog(CInsertTextDlgWrapper::IDOK); });
    connect(buttons, &QDialogButtonBox::rejected, this,
            [this] { m_pWrapper->EndDialog(CInsertTextDlgWrapper::IDCANCEL); });
}

bool CInsertTextDlg::OnInitDialog()
{
    m_sheet.AddPage(&m_empty);
    m_sheet.CreateTabless(m_frame);
    m_sheet.FitToWindow(m_frame);
    m_sheet.KeepMinimumForPages(m_frame);
    return true;
}

void CInsertTextDlg::OnShowWindow(bool show)
{
    CPropertyPage::OnShowWindow(show);
    if (!m_pController)
        return;
    if (show)
        m_pController->OnDialogShown(this);
    else
        m_pController->OnDialogHidden();
}

void CInsertTextDlg::OnDestroyWindow()
{
    if (m_pController)
        m_pController->OnDialogDestroyed(this);
    // The inner sheet's pages leave with their windows; the sheet is refilled
    // by the next window.
    while (m_sheet.GetPageCount() > 0)
        m_sheet.RemovePage(m_sheet.GetPageCount() - 1);
    m_frame = nullptr;
}

CInsertTextDlgWrapper::CInsertTextDlgWrapper(CInsertTextDlg::IController* controller, QWidget* parent)
    : QDialog(parent), m_page(controller, this)
{
    setWindowTitle(QStringLiteral(" Insert Text"));
    auto* layout = new QVBoxLayout(this);
    m_frame = new QWidget(this);
    SetDlgItemId(m_frame, 1122);
    layout->addWidget(new CScreenFitArea(m_frame, this));
    resize(620, 560);
}

CInsertTextDlgWrapper::~CInsertTextDlgWrapper()
{
    m_sheet.RemovePage(&m_page);
}

int CInsertTextDlgWrapper::DoModal()
{
    m_sheet.AddPage(&m_page);
    m_sheet.CreateTabless(m_frame);
    m_sheet.FitToWindow(m_frame);
    m_sheet.KeepMinimumForPages(m_frame);
    const int result = exec() == QDialog::Accepted ? IDOK : IDCANCEL;
    // A button keeping the focus while the page's window deletes its
    // children would have the dialog search them for its default button
    // half deleted (Esc leaves the focus on OK).
    if (QWidget* focus = focusWidget())
        focus->clearFocus();
    // The page's window goes now, so its owner takes the editor out.
    m_sheet.RemovePage(&m_page);
    return result;
}

void CInsertTextDlgWrapper::EndDialog(int result)
{
    done(result == IDOK ? QDialog::Accepted : QDialog::Rejected);
}
