// CDlgOperRedEye: radius, sensitivity and darkening of the red-eye
// operation (the first three fields of RedEyeParams).
#pragma once

#include "OperationDlg.h"

class CIntEdit;
class CSpinButton;
class QSlider;
struct RedEyeParams;

class CDlgOperRedEye : public COperationDlg {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 183;
    CDlgOperRedEye() : COperationDlg(kTemplateId) {}

protected:
    void CreateControls(QWidget* window) override;
    bool OnInitDialog() override;
    void OnDestroyWindow() override;
    void UpdateControls() override;

private:
    RedEyeParams* Params() const { return static_cast<RedEyeParams*>(GetParams()); }
    int* Field(int row) const;

    struct Row {
        QSlider* trackbar = nullptr;
        CIntEdit* edit = nullptr;
        CSpinButton* spin = nullptr;
    };
    Row m_rows[3];
};
