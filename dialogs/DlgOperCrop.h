// CDlgOperCrop: the crop editor, two tabs over the crop block: "General"
// and "Preview"; the preview concerns only the interactive crop and is
// dropped in macro context. The tab shown last is kept in CurTab.
#pragma once

#include "DlgTab.h"
#include "OperationDlg.h"
#include "PageCropGeneral.h"
#include "PageCropPreview.h"

struct CropParams;

class CDlgOperCrop : public COperationDlg {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 141;
    CDlgOperCrop() : COperationDlg(kTemplateId) {}

    bool OnKillActive() override;

    CDlgTab& GetTab() { return m_tab; }
    CPageCropGeneral& GetGeneralPage() { return m_general; }
    CPageCropPreview& GetPreviewPage() { return m_preview; }

protected:
    void CreateControls(QWidget* window) override;
    bool OnInitDialog() override;
    void UpdateControls() override;

private:
    CropParams* Params() const { return static_cast<CropParams*>(GetParams()); }

    CDlgTab m_tab;
    CPageCropPreview m_preview;
    CPageCropGeneral m_general;
};
