// The five pages of the save editor, each editing a part of one SaveSettings
// record in place: "Compression", "EXIF", "File", "Confirm" and "Save As".
// SetParams binds a page and fills its controls (the window exists).
//
// A value that depends on a switch is shown only while the switch is on; its
// edit is disabled before it is blanked, and a disabled edit never stores,
// so the record keeps the value for when the switch comes back. Texts are
// stored on every user edit (never on code's own changes), so a text typed
// and confirmed with Enter is not lost.
#pragma once

#include "PropertySheet.h"

#include <QString>

class CIntEdit;
class CSpinButton;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;
struct SaveSettings;

class CPageSaveCompression : public CPropertyPage {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 172;
    CPageSaveCompression() : CPropertyPage(kTemplateId) {}

    void SetParams(SaveSettings* params);

protected:
    void CreateControls(QWidget* window) override;
    bool OnInitDialog() override;
    void OnDestroyWindow() override;

private:
    // The quality controls are live only when the whole image is encoded again.
    void UpdateQualityState();
    void OnQualityEdit();

    SaveSettings* m_pParams = nullptr;
    QComboBox* m_mode = nullptr;
    QSlider* m_trackbar = nullptr;
    CIntEdit* m_quality = nullptr;
    CSpinButton* m_spin = nullptr;
    QComboBox* m_sampling = nullptr;
    QCheckBox* m_huffman = nullptr;
};

class CPageSaveEXIF : public CPropertyPage {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 173;
    CPageSaveEXIF() : CPropertyPage(kTemplateId) {}

    void SetParams(SaveSettings* params);

protected:
    void CreateControls(QWidget* window) override;
    bool OnInitDialog() override;
    void OnDestroyWindow() override;

private:
    void UpdateExifState();
    void UpdateThumbSizeState();

    SaveSettings* m_pParams = nullptr;
    QCheckBox* m_comments = nullptr;
    QCheckBox* m_exif = nullptr;
    QComboBox* m_thumb = nullptr;
    CIntEdit* m_size = nullptr;
    CSpinButton* m_spin = nullptr;
};

class CPageSaveFile : public CPropertyPage {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 174;
    CPageSaveFile() : CPropertyPage(kTemplateId) {}

    void SetParams(SaveSettings* params);
    // The "..." button: the folder picker, started at the stored folder.
    void OnBrowseFolder();

protected:
    void CreateControls(QWidget* window) override;
    void OnDestroyWindow() override;

private:
    void UpdateSuffixState();
    void UpdateFolderState();

    SaveSettings* m_pParams = nullptr;
    QCheckBox* m_useSuffix = nullptr;
    QLineEdit* m_suffix = nullptr;
    QCheckBox* m_useFolder = nullptr;
    QLineEdit* m_folder = nullptr;
    QPushButton* m_browse = nullptr;
    QCheckBox* m_retainTime = nullptr;
};

class CPageSaveConfirm : public CPropertyPage {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 194;
    CPageSaveConfirm() : CPropertyPage(kTemplateId) {}

    void SetParams(SaveSettings* params);

protected:
    void CreateControls(QWidget* window) override;
    void OnDestroyWindow() override;

private:
    SaveSettings* m_pParams = nullptr;
    QCheckBox* m_autoSave = nullptr;
    QCheckBox* m_confirm = nullptr;
};

class CPageSaveAs : public CPropertyPage {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 193;
    CPageSaveAs() : CPropertyPage(kTemplateId) {}

    void SetParams(SaveSettings* params);

protected:
    void CreateControls(QWidget* window) override;
    void OnDestroyWindow() override;

private:
    void UpdateSuffixState();

    SaveSettings* m_pParams = nullptr;
    QCheckBox* m_originalFolder = nullptr;
    QCheckBox* m_useSuffix = nullptr;
    QLineEdit* m_suffix = nullptr;
};
