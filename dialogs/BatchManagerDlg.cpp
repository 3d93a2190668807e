#include "BatchManagerDlg.h"

#include "BatchEditDlg.h"
#include "DlgItems.h"
#include "MessageBoxes.h"
#include "Profile.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

CBatchManagerDlg::CBatchManagerDlg(CBatchList& list, const std::vector<IOperation*>& prototypes, QWidget* parent)
    : QDialog(parent)
    , m_macros(list)
    , m_prototypes(prototypes)
{
    setWindowTitle(QStringLiteral("Macro Actions"));
    auto* grid = new QGridLayout(this);
    m_list = new QListWidget(this);
    SetDlgItemId(m_list, 1116);
    grid->addWidget(m_list, 0, 0, 5, 1);
    const auto button = [this, grid](int id, const char* text, int row, void (CBatchManagerDlg::*handler)()) {
        auto* b = new QPushButton(QString::fromUtf8(text), this);
        SetDlgItemId(b, id);
        // Return on the focused button presses it, as Space does.
        b->setAutoDefault(true);
        grid->addWidget(b, row, 1);
        connect(b, &QPushButton::clicked, this, handler);
        return b;
    };
    m_new = button(1070, "New...", 0, &CBatchManagerDlg::OnNew);
    m_edit = button(1115, "Edit...", 1, &CBatchManagerDlg::OnEdit);
    m_copy = button(1117, "Create Copy", 2, &CBatchManagerDlg::OnCopy);
    m_remove = button(1071, "Remove", 3, &CBatchManagerDlg::OnRemove);
    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    grid->addWidget(box, 5, 0, 1, 2);
    connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_list, &QListWidget::itemDoubleClicked, this, &CBatchManagerDlg::OnEdit);

    // Another running copy may have changed the list since it was read.
    m_macros.Refresh();
    // The list shows names as typed: no mnemonics, no escaping.
    m_list->addItems(m_macros.GetNames());
    if (m_list->count() > 0)
        m_list->setCurrentRow(0);
    UpdateButtons();
    m_bChanged = 0;
}

void CBatchManagerDlg::UpdateButtons()
{
    const int count = int(m_macros.GetBatches().size());
    m_new->setEnabled(count < kMaxMacros);
    m_remove->setEnabled(count > 0);
    m_edit->setEnabled(count > 0);
}

bool CBatchManagerDlg::HasName(const QString& name) const
{
    for (int i = 0; i < m_list->count(); ++i)
        if (m_list->item(i)->text().compare(name, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

int CBatchManagerDlg::EditMacro(CBatch* batch)
{
    CBatchEditDlgWrapper wrapper(batch, m_prototypes, this);
    const int ok = wrapper.exec() == QDialog::Accepted ? 1 : 0;
    if (ok)
        m_bChanged = 1;
    return ok;
}

void CBatchManagerDlg::OnNew()
{
    if (int(m_macros.GetBatches().size()) >= kMaxMacros) {
        MessageBoxes().ShowMessage(QStringLiteral("Cannot add a new macro!\n\nToo many macro actions defined!"));
        return;
    }
    QString name;
    for (int n = 1;; ++n) {
        name = QStringLiteral("Macro %1").arg(n);
        if (!HasName(name))
            break;
    }
    auto* batch = new CBatch(name);
    if (EditMacro(batch)) {
        m_macros.GetBatches().push_back(batch);
        m_list->addItem(batch->GetName());
        m_list->setCurrentRow(m_list->count() - 1);
    } else {
        delete batch;
    }
    UpdateButtons();
}

void CBatchManagerDlg::OnEdit()
{
    const int row = m_list->currentRow();
    if (row < 0 || row >= int(m_macros.GetBatches().size()))
        return;
    CBatch* batch = m_macros.GetBatches()[size_t(row)];
    if (EditMacro(batch)) {
        m_list->item(row)->setText(batch->GetName());
        m_list->setCurrentRow(row);
    }
}

void CBatchManagerDlg::OnCopy()
{
    const int row = m_list->currentRow();
    if (row < 0 || row >= int(m_macros.GetBatches().size()))
        return;
    if (int(m_macros.GetBatches().size()) >= kMaxMacros) {
        MessageBoxes().ShowMessage(QStringLiteral("Cannot copy the macro!\n\nToo many macro actions defined!"));
        return;
    }
    const CBatch* source = m_macros.GetBatches()[size_t(row)];
    QString name = QStringLiteral("Copy of ") + source->GetName();
    for (int n = 2; HasName(name); ++n)
        name = QStringLiteral("Copy (%1) of ").arg(n) + source->GetName();
    auto* copy = new CBatch(*source);
    copy->SetName(name);
    m_macros.GetBatches().push_back(copy);
    m_list->addItem(name);
    m_bChanged = 1;
    UpdateButtons();
}

void CBatchManagerDlg::OnRemove()
{
    const int row = m_list->currentRow();
    auto& batches = m_macros.GetBatches();
    if (row < 0 || row >= int(batches.size()))
        return;
    if (!MessageBoxes().AskOkCancel(QStringLiteral("Remove \"") + batches[size_t(row)]->GetName() +
                                    QStringLiteral("\" macro action?")))
        return;
    delete batches[size_t(row)];
    batches.erase(batches.begin() + row);
    delete m_list->takeItem(row);
    if (m_list->count() > 0)
        m_list->setCurrentRow(std::min(row, m_list->count() - 1));
    m_bChanged = 1;
    UpdateButtons();
}

void CBatchManagerDlg::accept()
{
    m_macros.Save();
    CProfile::Flush();
    QDialog::accept();
}

void CBatchManagerDlg::reject()
{
    if (m_bChanged && !MessageBoxes().AskQuestion(QStringLiteral("Are you sure you want to discard all the changes?")))
        return;
    m_macros.Load(&m_prototypes);
    QDialog::reject();
}
