// CPageView: the "View" page of the Preferences: the view's background, scale
// and draw mode, the browser's sort order and the thumbnail look, with a live
// preview of one thumbnail box. The trackbars write the working copy as they
// move; the rest is stored by StoreSettings.
#pragma once

#include "SettingsViewDlg.h"

class CCButton;
class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QSlider;

class CPageView : public CSettingsViewDlg {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 139;
    CPageView() : CSettingsViewDlg(kTemplateId, QStringLiteral("View")) {}

    void LoadSettings() override;
    void StoreSettings() override;

    // The preview's thumbnail box, image area and file-name label.
    QFrame* GetPreviewBox() const { return m_box; }
    QFrame* GetPreviewImage() const { return m_image; }
    QLabel* GetPreviewLabel() const { return m_label; }

protected:
    void CreateControls(QWidget* window) override;
    bool OnInitDialog() override;
    void OnDestroyWindow() override;

private:
    void UpdatePreview();

    CCButton* m_color = nullptr;
    QComboBox* m_scale = nullptr;
    QComboBox* m_drawMode = nullptr;
    QComboBox* m_sort = nullptr;
    QCheckBox* m_names = nullptr;
    QSlider* m_spacing = nullptr;
    QSlider* m_size = nullptr;
    QFrame* m_preview = nullptr;
    QCheckBox* m_border = nullptr;
    QCheckBox* m_shadow = nullptr;
    QFrame* m_box = nullptr;
    QFrame* m_image = nullptr;
    QLabel* m_label = nullptr;
};
