// CDlgOperResize: units, the two pixel sizes with their locked aspect, the
// percentage and the resize options (ResizeParams). The updating flag is set
// only around changes of the size edits made by the editor itself, so their
// change handlers neither store nor propagate those.
#pragma once

#include "OperationDlg.h"
#include "ResizeControls.h"

struct ResizeParams;

class CDlgOperResize : public COperationDlg {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 195;
    CDlgOperResize() : COperationDlg(kTemplateId), m_controls([this] { return Params(); }, m_bUpdating) {}

protected:
    void CreateControls(QWidget* window) override;
    bool OnInitDialog() override;
    void OnDestroyWindow() override;
    void UpdateControls() override;

private:
    ResizeParams* Params() const { return static_cast<ResizeParams*>(GetParams()); }
    void ShowUnits();

    int m_bUpdating = 1;
    CResizeControls m_controls;
};
