// CBatchManagerDlg: lists, creates, copies, removes and edits the macros of
// the macro list in place. OK stores the list; Cancel after changes asks and
// reloads it from the profile.
#pragma once

#include "Batch.h"
#include "HeldReturn.h"

#include <QDialog>

class QListWidget;
class QPushButton;

class CBatchManagerDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 175;
    static constexpr int kMaxMacros = 99;
    CBatchManagerDlg(CBatchList& list, const std::vector<IOperation*>& prototypes, QWidget* parent = nullptr);

    // Runs the editor on `batch` modally; 1 when it ended with OK. Tests
    // replace it to answer for the editor.
    virtual int EditMacro(CBatch* batch);

    void OnNew();
    void OnEdit();
    void OnCopy();
    void OnRemove();

    QListWidget* GetList() const { return m_list; }

    // OK stores the list; Cancel after changes asks, then reloads it.
    void accept() override;
    void reject() override;

private:
    void UpdateButtons();
    bool HasName(const QString& name) const;

    CHeldReturn m_heldReturn;
    CBatchList& m_macros;
    std::vector<IOperation*> m_prototypes;
    int m_bChanged = 0;
    QListWidget* m_list = nullptr;
    QPushButton* m_new = nullptr;
    QPushButton* m_edit = nullptr;
    QPushButton* m_copy = nullptr;
    QPushButton* m_remove = nullptr;
};
