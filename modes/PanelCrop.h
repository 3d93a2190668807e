#pragma once

#include "ModePanel.h"

class CIntEdit;
class CModeCrop;
class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;

// "Crop" (dialog 249): the preset (crop rule), the selection's size, the
// orientation and block options, the guide lines.
class CPanelCrop : public CModePanel {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 249;
    explicit CPanelCrop(CModeCrop* mode);

    // The swap test: the selection with its width and height exchanged still
    // fits an image of that size (in 64 bits: stored edges may be anything).
    static bool ExchangedSizeFits(int left, int top, int right, int bottom, int imageWidth, int imageHeight);

protected:
    void CreateControls(QWidget* window) override;
    bool OnInitDialog() override;
    void UpdateControls() override;
    void OnCancelButton() override;

private:
    CModeCrop* Mode() const;
    void OnSizeEdit(CIntEdit* edit, int which);
    // Flip Aspect and Align Bottom / Right: the selection is aligned again.
    void RealignSelection();

    QComboBox* m_preset = nullptr;
    QPushButton* m_editPresets = nullptr;
    CIntEdit* m_width = nullptr;
    QPushButton* m_swap = nullptr;
    CIntEdit* m_height = nullptr;
    QCheckBox* m_flip = nullptr;
    QCheckBox* m_alignSE = nullptr;
    QLabel* m_guideLabel = nullptr;
    QComboBox* m_guide = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
};
