// CDlgOperRotate: direction (only in macro context) and the lossless
// handling of partial blocks of the rotate/flip operation. Its block is the
// operation's RotateParams, whose PaddingColor holds a COLORREF there. The
// radio buttons are not auto-exclusive: they must be able to show all
// unchecked, so the editor checks them itself from the block.
#pragma once

#include "OperationDlg.h"

#include <cstdint>

class CCButton;
class QCheckBox;
class QComboBox;
class QLabel;
class QRadioButton;
struct RotateParams;

class CDlgOperRotate : public COperationDlg {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 181;
    CDlgOperRotate() : COperationDlg(kTemplateId) {}

protected:
    void CreateControls(QWidget* window) override;
    void OnDestroyWindow() override;
    void UpdateControls() override;

private:
    RotateParams* Params() const { return static_cast<RotateParams*>(GetParams()); }
    void ShowDirection();
    void ShowColor();
    void ShowLossless();

    QCheckBox* m_automatic = nullptr;
    QRadioButton* m_rotate[4] = {};
    QRadioButton* m_flip[3] = {};
    QCheckBox* m_lossless = nullptr;
    QLabel* m_partialLabel = nullptr;
    QComboBox* m_partial = nullptr;
    CCButton* m_color = nullptr;
};
