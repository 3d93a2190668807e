#include "PageDefaults.h"

#include "AppSettings.h"
#include "DlgItems.h"
#include "Operation.h"
#include "DialogHost.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QSignalBlocker>

namespace {

std::vector<IOperation*> Prototypes()
{
    const DialogHost& host = TheDialogHost();
    return host.prototypes ? host.prototypes() : std::vector<IOperation*>();
}

CAppSettings* AppSettings()
{
    const DialogHost& host = TheDialogHost();
    return host.settings ? host.settings() : nullptr;
}

} // namespace

CPageDefaults::~CPageDefaults()
{
    // A window still alive at this point goes with the base class; the
    // clones must not outlive the page either way.
    DeleteClones();
}

void CPageDefaults::CreateControls(QWidget* window)
{
    auto* grid = new QGridLayout(window);
    m_list = new QListWidget(window);
    SetDlgItemId(m_list, 1118);
    m_list->setMaximumWidth(170);
    m_frame = new QWidget(window);
    SetDlgItemId(m_frame, 1119);
    m_auto = new QCheckBox(QStringLiteral("Auto"), window);
    SetDlgItemId(m_auto, 1124);
    // Kept in step with the selected clone, never shown.
    m_auto->hide();
    grid->addWidget(new QLabel(QStringLiteral("Actions:"), window), 0, 0);
    grid->addWidget(m_list, 1, 0);
    grid->addWidget(m_frame, 0, 1, 2, 1);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(1, 1);

    connect(m_list, &QListWidget::currentRowChanged, this, [this] { OnSelChange(); });
    connect(m_auto, &QCheckBox::clicked, this, [this] { OnAuto(); });
}

bool CPageDefaults::OnInitDialog()
{
    m_sheet.AddPage(&m_placeholder);
    m_sheet.CreateTabless(m_frame);
    m_sheet.FitToWindow(m_frame);
    m_sheet.KeepMinimumForPages(m_frame, QSize(520, 380));
    for (IOperation* op : Prototypes()) {
        if (!op->IsDefaultOperation())
            continue;
        IOperation* clone = op->Clone();
        m_clones.push_back(clone);
        m_list->addItem(clone->GetName());
    }
    const CAppSettings* app = AppSettings();
    const int select = app ? app->CurDefaultOper : -1;
    {
        const QSignalBlocker block(m_list);
        m_list->setCurrentRow(select >= 0 && select < m_list->count() ? select : -1);
    }
    OnSelChange();
    return true;
}

void CPageDefaults::OnSelChange()
{
    if (!m_list)
        return;
    m_nCurrent = m_list->currentRow();
    if (CAppSettings* app = AppSettings())
        app->CurDefaultOper = m_nCurrent;
    if (m_nCurrent < 0 || m_nCurrent >= int(m_clones.size())) {
        m_sheet.SetActivePage(&m_placeholder);
        return;
    }
    IOperation* clone = m_clones[size_t(m_nCurrent)];
    // A kind without an editor shows the placeholder, never the page before.
    if (!clone->AddPage(&m_sheet, 0))
        m_sheet.SetActivePage(&m_placeholder);
    m_auto->setChecked(clone->GetAuto() != 0);
}

void CPageDefaults::OnAuto()
{
    if (m_nCurrent >= 0 && m_nCurrent < int(m_clones.size()))
        m_clones[size_t(m_nCurrent)]->SetAuto(m_auto->isChecked() ? 1 : 0);
}

void CPageDefaults::ApplyToOperations()
{
    if (!GetSafeHwnd())
        return;
    // Activating the shown editor again lets it store what only leaving
    // stores (a tabbed editor's tab).
    OnSelChange();
    // The clones were made in prototype order: pair them by name, never
    // walking past the last prototype.
    const std::vector<IOperation*> prototypes = Prototypes();
    size_t p = 0;
    for (IOperation* clone : m_clones) {
        while (p < prototypes.size() && prototypes[p]->GetName() != clone->GetName())
            ++p;
        if (p == prototypes.size())
            break;
        if (auto* target = dynamic_cast<COperation*>(prototypes[p]))
        {
            clone->CopyParamsTo(target);
            target->SaveToRegistry();
        }
        ++p;
    }
}

void CPageDefaults::DeleteClones()
{
    for (IOperation* clone : m_clones)
        delete clone; // each takes its editor page, and so leaves the sheet
    m_clones.clear();
}

void CPageDefaults::OnDestroyWindow()
{
    DeleteClones();
    m_nCurrent = -1;
    m_auto = nullptr;
    m_frame = nullptr;
    m_list = nullptr;
}
