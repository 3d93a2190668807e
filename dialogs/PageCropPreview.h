// CPageCropPreview: the "Preview" page of the crop editor: selection
// behaviour, preview effects and the print-quality hints of the crop mode.
// The two hints keep low at or below medium through each other's range.
#pragma once

#include "PropertySheet.h"

class CIntEdit;
class QCheckBox;
struct CropParams;

class CPageCropPreview : public CPropertyPage {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 192;
    CPageCropPreview() : CPropertyPage(kTemplateId) {}

    // Binds the block and fills the controls (the window exists).
    void SetParams(CropParams* params);

protected:
    void CreateControls(QWidget* window) override;
    bool OnInitDialog() override;
    void OnDestroyWindow() override;

private:
    CropParams* m_pParams = nullptr;
    QCheckBox* m_ants = nullptr;
    QCheckBox* m_cancel = nullptr;
    QCheckBox* m_fade = nullptr;
    CIntEdit* m_low = nullptr;
    CIntEdit* m_medium = nullptr;
};
