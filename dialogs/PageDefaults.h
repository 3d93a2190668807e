// CPageDefaults: the "Defaults" page of the Preferences. It edits clones of
// the operation prototypes, one editor page at a time in a tab-less sheet;
// ApplyToOperations copies the clones' parameters into the prototypes. The
// clones live as long as the page's window: a page never opened has none,
// and applying then leaves every prototype alone.
#pragma once

#include "EmptyPage.h"
#include "SettingsViewDlg.h"

#include <vector>

class IOperation;
class QCheckBox;
class QListWidget;
class QWidget;

class CPageDefaults : public CSettingsViewDlg {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 182;
    CPageDefaults() : CSettingsViewDlg(kTemplateId, QStringLiteral("Defaults")) {}
    ~CPageDefaults() override;

    void ApplyToOperations();

    const std::vector<IOperation*>& GetClones() const { return m_clones; }
    int GetCurrentIndex() const { return m_nCurrent; }
    QListWidget* GetList() const { return m_list; }
    CTablessSheet& GetSheet() { return m_sheet; }

protected:
    void CreateControls(QWidget* window) override;
    bool OnInitDialog() override;
    void OnDestroyWindow() override;

private:
    void OnSelChange();
    void OnAuto();
    void DeleteClones();

    QCheckBox* m_auto = nullptr;
    QWidget* m_frame = nullptr;
    QListWidget* m_list = nullptr;
    CTablessSheet m_sheet;
    CEmptyPage m_placeholder;
    int m_nCurrent = -1;
    std::vector<IOperation*> m_clones;
};
