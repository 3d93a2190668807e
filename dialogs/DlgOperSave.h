// CDlgOperSave: the save editor, five tabs over one SaveSettings record.
// "Confirm" and "Save As" concern only the interactive save of the open
// image and are dropped in macro context. The tab shown last is kept in CurTab.
#pragma once

#include "DlgTab.h"
#include "OperationDlg.h"
#include "PageSave.h"

struct SaveSettings;

class CDlgOperSave : public COperationDlg {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 140;
    CDlgOperSave() : COperationDlg(kTemplateId) {}

    bool OnKillActive() override;

    CDlgTab& GetTab() { return m_tab; }
    CPageSaveCompression& GetCompressionPage() { return m_compression; }
    CPageSaveEXIF& GetExifPage() { return m_exif; }
    CPageSaveFile& GetFilePage() { return m_file; }
    CPageSaveConfirm& GetConfirmPage() { return m_confirm; }
    CPageSaveAs& GetSaveAsPage() { return m_saveAs; }

protected:
    void CreateControls(QWidget* window) override;
    bool OnInitDialog() override;
    void UpdateControls() override;

private:
    SaveSettings* Params() const { return static_cast<SaveSettings*>(GetParams()); }

    CDlgTab m_tab;
    CPageSaveCompression m_compression;
    CPageSaveEXIF m_exif;
    CPageSaveFile m_file;
    CPageSaveConfirm m_confirm;
    CPageSaveAs m_saveAs;
};
