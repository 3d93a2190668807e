// CDlgOperResize: units, the two pixel sizes with their locked aspect, the
// percentage and the resize options (ResizeParams). The updating flag is set
// only around changes of the size edits made by the editor itself, so their
// change handlers neither store nor propagate those.
#pragma once

#include "OperationDlg.h"

class CIntEdit;
class QCheckBox;
class QComboBox;
class QPushButton;
struct ResizeParams;

class CDlgOperResize : public COperationDlg {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 195;
    CDlgOperResize() : COperationDlg(kTemplateId) {}

protected:
    void CreateControls(QWidget* window) override;
    bool OnInitDialog() override;
    void OnDestroyWindow() override;
    void UpdateControls() override;

private:
    ResizeParams* Params() const { return static_cast<ResizeParams*>(GetParams()); }
    void ShowUnits();
    void UpdateLockLabel();
    void OnWidthChange();
    void OnHeightChange();
    void Propagate(bool fromWidth);
    void OnPickFromImage();

    int m_nAspectWidth = 1;
    int m_nAspectHeight = 1;
    int m_bUpdating = 1;

    QComboBox* m_units = nullptr;
    CIntEdit* m_width = nullptr;
    CIntEdit* m_height = nullptr;
    CIntEdit* m_percent = nullptr;
    QPushButton* m_pick = nullptr;
    QCheckBox* m_lock = nullptr;
    QCheckBox* m_swap = nullptr;
    QCheckBox* m_dontEnlarge = nullptr;
    QCheckBox* m_keep = nullptr;
};
