// CBatchEditDlg: the macro editor page (name, offered and chosen operations,
// the chosen operation's own page below). It works on a copy of the macro
// and writes the copy back only when it ended with OK. CBatchEditDlgWrapper
// is the modal dialog that shows it in a tab-less sheet; the page windows
// (the OK button among them) go with the wrapper, never inside a click.
#pragma once

#include "Batch.h"
#include "EmptyPage.h"
#include "HeldReturn.h"
#include "PropertySheet.h"

#include <QDialog>

class CBatchEditDlgWrapper;
class QCheckBox;
class QLineEdit;
class QListWidget;
class QPushButton;

class CBatchEditDlg : public CPropertyPage {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 176;
    CBatchEditDlg(CBatch* batch, const std::vector<IOperation*>& prototypes, CBatchEditDlgWrapper* wrapper);
    ~CBatchEditDlg() override;

    CBatch& GetWorkingCopy() { return m_copy; }
    CTablessSheet& GetHostSheet() { return m_host; }

    void OnAdd();
    void OnRemove();
    void OnMoveUp();
    void OnMoveDown();
    void OnManualInput();
    void OnOK();
    void OnCancel() override;
    void OnSelChange();

    static QString LastItemText(const QString& saveName);

protected:
    void CreateControls(QWidget* window) override;
    bool OnInitDialog() override;
    void OnDestroyWindow() override;

private:
    void UpdateButtons();
    void Swap(int from, int to);
    void ReleaseHost();

    CBatch* m_batch;
    CBatch m_copy;
    std::vector<IOperation*> m_prototypes; // all, for the Save name
    std::vector<IOperation*> m_offered;
    CBatchEditDlgWrapper* m_wrapper;
    CEmptyPage m_empty;
    CTablessSheet m_host;
    QWidget* m_frame = nullptr;
    QLineEdit* m_name = nullptr;
    QListWidget* m_available = nullptr;
    QListWidget* m_selected = nullptr;
    QPushButton* m_add = nullptr;
    QPushButton* m_remove = nullptr;
    QPushButton* m_up = nullptr;
    QPushButton* m_down = nullptr;
    QCheckBox* m_manual = nullptr;
};

class CBatchEditDlgWrapper : public QDialog {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 250;
    CBatchEditDlgWrapper(CBatch* batch, const std::vector<IOperation*>& prototypes, QWidget* parent = nullptr);
    ~CBatchEditDlgWrapper() override;

    CBatchEditDlg& GetPage() { return m_page; }

protected:
    void reject() override { m_page.OnCancel(); }

private:
    void Close();

    CHeldReturn m_heldReturn;
    CBatchEditDlg m_page;
    CTablessSheet m_sheet;
};
