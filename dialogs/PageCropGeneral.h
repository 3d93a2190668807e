// CPageCropGeneral: the "General" page of the crop editor: preset,
// orientation, alignment, initial position and the outward crop.
#pragma once

#include "PropertySheet.h"

class CCButton;
class QCheckBox;
class QComboBox;
struct CropParams;

// Empties `combo`, adds ":: Free crop ::" and every preset's name, and
// selects the preset whose text is `presetText` (the free crop when none
// is); with clearEdited the presets' accepted flag is cleared.
void FillCropPresetCombo(QComboBox* combo, const QString& presetText, int clearEdited);
// The index (from 1) of the listed preset that `presetText` names, in its own
// spelling or in another that reads as the same rule; 0 (free crop) when it
// names none.
int ListedCropPreset(const QString& presetText);

class CPageCropGeneral : public CPropertyPage {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 191;
    CPageCropGeneral() : CPropertyPage(kTemplateId) {}

    // Binds the block and fills the controls (the window exists).
    void SetParams(CropParams* params);

protected:
    void CreateControls(QWidget* window) override;
    void OnDestroyWindow() override;

private:
    void ShowOutward();
    void ShowFlip();
    void ShowAlign();
    void OnEditPresets();

    CropParams* m_pParams = nullptr;
    QComboBox* m_preset = nullptr;
    QCheckBox* m_flip = nullptr;
    QCheckBox* m_autoFlip = nullptr;
    QCheckBox* m_align = nullptr;
    QComboBox* m_position = nullptr;
    QCheckBox* m_outward = nullptr;
    CCButton* m_canvas = nullptr;
    QComboBox* m_partial = nullptr;
};
