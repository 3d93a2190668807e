#include "BatchEditDlg.h"

#include "DlgItems.h"
#include "MessageBoxes.h"
#include "Operation.h"
#include "ScreenFit.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// The sheet's window goes (and the page windows with it) and the pages leave
// the sheet; the page objects live on with their owners.
void ReleaseSheet(CTablessSheet& sheet)
{
    if (QWidget* window = sheet.GetSafeHwnd())
        delete window;
    while (sheet.GetPageCount() > 0)
        sheet.RemovePage(sheet.GetPageCount() - 1);
}

} // namespace

CBatchEditDlg::CBatchEditDlg(CBatch* batch, const std::vector<IOperation*>& prototypes, CBatchEditDlgWrapper* wrapper)
    : CPropertyPage(kTemplateId)
    , m_batch(batch)
    , m_copy(*batch)
    , m_prototypes(prototypes)
    , m_wrapper(wrapper)
{
    for (IOperation* op : prototypes)
        if (op && op->IsBatchOperation())
            m_offered.push_back(op);
}

CBatchEditDlg::~CBatchEditDlg()
{
    ReleaseHost();
}

QString CBatchEditDlg::LastItemText(const QString& saveName)
{
    return QStringLiteral("Normally the \"") + saveName +
           QStringLiteral("\" operation is expected to be the last item in a macro action,\nbut this is not the case "
                          "for this macro action.\n\nAre you sure you want to continue?");
}

void CBatchEditDlg::CreateControls(QWidget* window)
{
    auto* grid = new QGridLayout(window);
    grid->addWidget(new QLabel(QStringLiteral("Name:"), window), 0, 0);
    m_name = new QLineEdit(window);
    SetDlgItemId(m_name, 1058);
    grid->addWidget(m_name, 0, 1, 1, 3);
    grid->addWidget(new QLabel(QStringLiteral("Available Actions:"), window), 1, 0);
    grid->addWidget(new QLabel(QStringLiteral("Selected Actions:"), window), 1, 2);
    m_available = new QListWidget(window);
    SetDlgItemId(m_available, 1118);
    m_selected = new QListWidget(window);
    SetDlgItemId(m_selected, 1117);
    grid->addWidget(m_available, 2, 0, 4, 1);
    grid->addWidget(m_selected, 2, 2, 4, 1);
    const auto button = [window](int id, const char* text) {
        auto* b = new QPushButton(QString::fromUtf8(text), window);
        SetDlgItemId(b, id);
        // Return on the focused button presses it, as Space does.
        b->setAutoDefault(true);
        return b;
    };
    m_add = button(1070, "Add  >>");
    m_remove = button(1071, "<<  Remove");
    m_up = button(1075, "Up");
    m_down = button(1076, "Dn");
    grid->addWidget(m_add, 2, 1);
    grid->addWidget(m_remove, 3, 1);
    grid->addWidget(m_up, 2, 3);
    grid->addWidget(m_down, 3, 3);
    m_manual = new QCheckBox(QStringLiteral("Pause for Manual Input"), window);
    SetDlgItemId(m_manual, 1123);
    grid->addWidget(m_manual, 6, 0, 1, 4);
    m_frame = new QWidget(window);
    SetDlgItemId(m_frame, 1119);
    grid->addWidget(m_frame, 7, 0, 1, 4);
    // The operation pages take the room the dialog gains.
    grid->setRowStretch(7, 1);
    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, window);
    grid->addWidget(box, 8, 0, 1, 4);
    connect(box, &QDialogButtonBox::accepted, this, &CBatchEditDlg::OnOK);
    connect(box, &QDialogButtonBox::rejected, this, &CBatchEditDlg::OnCancel);
    connect(m_add, &QPushButton::clicked, this, &CBatchEditDlg::OnAdd);
    connect(m_remove, &QPushButton::clicked, this, &CBatchEditDlg::OnRemove);
    connect(m_up, &QPushButton::clicked, this, &CBatchEditDlg::OnMoveUp);
    connect(m_down, &QPushButton::clicked, this, &CBatchEditDlg::OnMoveDown);
    connect(m_manual, &QCheckBox::clicked, this, &CBatchEditDlg::OnManualInput);
    connect(m_selected, &QListWidget::currentRowChanged, this, &CBatchEditDlg::OnSelChange);
}

bool CBatchEditDlg::OnInitDialog()
{
    m_host.AddPage(&m_empty);
    m_host.CreateTabless(m_frame);
    m_host.FitToWindow(m_frame);
    m_host.KeepMinimumForPages(m_frame, QSize(360, 260));
    m_name->setText(m_copy.GetName());
    m_name->selectAll();
    m_name->setFocus();
    for (IOperation* op : m_offered)
        m_available->addItem(op->GetName());
    if (m_available->count() > 0)
        m_available->setCurrentRow(0);
    {
        const QSignalBlocker block(m_selected);
        for (IOperation* op : m_copy.GetOperations())
            m_selected->addItem(op->GetName());
        if (m_selected->count() > 0)
            m_selected->setCurrentRow(0);
    }
    OnSelChange();
    return true;
}

void CBatchEditDlg::ReleaseHost()
{
    // The operations own their pages.
    ReleaseSheet(m_host);
}

void CBatchEditDlg::OnDestroyWindow()
{
    ReleaseHost();
    m_frame = nullptr;
    m_name = nullptr;
    m_available = m_selected = nullptr;
    m_add = m_remove = m_up = m_down = nullptr;
    m_manual = nullptr;
}

void CBatchEditDlg::UpdateButtons()
{
    const int count = int(m_copy.GetOperations().size());
    const int row = m_selected->currentRow();
    m_remove->setEnabled(count > 0);
    m_manual->setEnabled(count > 0);
    m_up->setEnabled(row > 0);
    m_down->setEnabled(row >= 0 && row < count - 1);
}

void CBatchEditDlg::OnSelChange()
{
    if (!m_selected)
        return;
    UpdateButtons();
    const int row = m_selected->currentRow();
    auto& ops = m_copy.GetOperations();
    if (row < 0 || row >= int(ops.size())) {
        m_host.SetActivePage(&m_empty);
        return;
    }
    IOperation* op = ops[size_t(row)];
    if (!op->AddPage(&m_host, 1))
        m_host.SetActivePage(&m_empty);
    m_manual->setChecked(op->GetManualInput() != 0);
}

void CBatchEditDlg::OnAdd()
{
    const int row = m_available->currentRow();
    if (row < 0 || row >= int(m_offered.size()))
        return;
    IOperation* op = m_offered[size_t(row)]->Clone();
    op->SetAuto(1);
    m_copy.GetOperations().push_back(op);
    const QSignalBlocker block(m_selected);
    m_selected->addItem(op->GetName());
    m_selected->setCurrentRow(m_selected->count() - 1);
    OnSelChange();
}

void CBatchEditDlg::OnRemove()
{
    const int row = m_selected->currentRow();
    auto& ops = m_copy.GetOperations();
    if (row < 0 || row >= int(ops.size()))
        return;
    {
        const QSignalBlocker block(m_selected);
        delete m_selected->takeItem(row);
        if (m_selected->count() > 0)
            m_selected->setCurrentRow(std::min(row, m_selected->count() - 1));
    }
    IOperation* op = ops[size_t(row)];
    op->RemovePage(&m_host);
    ops.erase(ops.begin() + row);
    delete op;
    OnSelChange();
}

void CBatchEditDlg::Swap(int from, int to)
{
    auto& ops = m_copy.GetOperations();
    if (from < 0 || to < 0 || from >= int(ops.size()) || to >= int(ops.size()))
        return;
    std::swap(ops[size_t(from)], ops[size_t(to)]);
    const QSignalBlocker block(m_selected);
    const QString text = m_selected->item(from)->text();
    m_selected->item(from)->setText(m_selected->item(to)->text());
    m_selected->item(to)->setText(text);
    m_selected->setCurrentRow(to);
    OnSelChange();
}

void CBatchEditDlg::OnMoveUp()
{
    const int row = m_selected->currentRow();
    Swap(row, row - 1);
}

void CBatchEditDlg::OnMoveDown()
{
    const int row = m_selected->currentRow();
    Swap(row, row + 1);
}

void CBatchEditDlg::OnManualInput()
{
    const int row = m_selected->currentRow();
    auto& ops = m_copy.GetOperations();
    if (row >= 0 && row < int(ops.size()))
        ops[size_t(row)]->SetManualInput(m_manual->isChecked() ? 1 : 0);
}

void CBatchEditDlg::OnOK()
{
    const auto& ops = m_copy.GetOperations();
    QString saveName = QStringLiteral("Save");
    for (IOperation* p : m_prototypes)
        if (p && p->GetName() == QStringLiteral("Save"))
            saveName = p->GetName();
    if ((ops.empty() || ops.back()->GetName() != saveName) && !MessageBoxes().AskQuestion(LastItemText(saveName)))
        return;
    m_copy.SetName(m_name->text());
    *m_batch = m_copy;
    m_wrapper->done(QDialog::Accepted);
}

void CBatchEditDlg::OnCancel()
{
    m_wrapper->done(QDialog::Rejected);
}

CBatchEditDlgWrapper::CBatchEditDlgWrapper(CBatch* batch, const std::vector<IOperation*>& prototypes, QWidget* parent)
    : QDialog(parent)
    , m_page(batch, prototypes, this)
{
    setWindowTitle(QStringLiteral("Edit Macro Action"));
    auto* layout = new QVBoxLayout(this);
    auto* frame = new QWidget(this);
    SetDlgItemId(frame, 1196);
    layout->addWidget(new CScreenFitArea(frame, this));
    m_sheet.AddPage(&m_page);
    m_sheet.CreateTabless(frame);
    m_sheet.FitToWindow(frame);
    m_sheet.KeepMinimumForPages(frame);
}

CBatchEditDlgWrapper::~CBatchEditDlgWrapper()
{
    Close();
}

void CBatchEditDlgWrapper::Close()
{
    // The page's window goes while the dialog stands: the operation pages
    // leave the host sheet before any widget of this dialog is deleted. A
    // button keeping the focus would have the dialog look for its default
    // button among the half-deleted ones.
    if (QWidget* focus = focusWidget())
        focus->clearFocus();
    ReleaseSheet(m_sheet);
}
