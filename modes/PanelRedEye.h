#pragma once

#include "ModePanel.h"

class CIntEdit;
class CModeRedEye;
class CSpinButton;
class QSlider;

// "Remove Red Eye" (dialog 248). Every control is enabled only while an
// image is open and eyes are marked. A refresh shows the values and never
// stores them.
class CPanelRedEye : public CModePanel {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 248;
    explicit CPanelRedEye(CModeRedEye* mode);

protected:
    void CreateControls(QWidget* window) override;
    bool OnInitDialog() override;
    void UpdateControls() override;
    // Cancels every eye, then shows what is left.
    void OnCancelButton() override;

private:
    CModeRedEye* Mode() const;
    void OnRadiusEdit();

    QSlider* m_radius = nullptr;
    CIntEdit* m_radiusEdit = nullptr;
    CSpinButton* m_radiusSpin = nullptr;
    QSlider* m_sensitivity = nullptr;
    QSlider* m_darkening = nullptr;
};
