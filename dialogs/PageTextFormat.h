// CPageTextFormat: the "Format" page of the text editor: the languages of
// both blocks, the date and time pictures and the two date switches.
#pragma once

#include "ComboBoxL.h"
#include "PropertySheet.h"

class QCheckBox;
class QComboBox;
struct TextSettings;

// A picture combo: an editable CComboBoxL whose edit holds the picture
// (the value) while the list shows today formatted with each picture.
class CFormatCombo : public CComboBoxL {
    Q_OBJECT
public:
    explicit CFormatCombo(QWidget* parent = nullptr);
    void hidePopup() override;

signals:
    void listClosed();
};

class CPageTextFormat : public CPropertyPage {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 147;
    CPageTextFormat() : CPropertyPage(kTemplateId) {}

    // Binds the settings and fills the controls (when the window exists).
    void SetParams(TextSettings* settings);

    CFormatCombo* GetDateCombo() const { return m_date; }
    CFormatCombo* GetTimeCombo() const { return m_time; }

protected:
    void CreateControls(QWidget* window) override;
    bool OnInitDialog() override;
    void OnDestroyWindow() override;

private:
    void FillDateTime();
    void ConnectPicture(CFormatCombo* combo, QString TextSettings::* field);

    TextSettings* m_pSettings = nullptr;
    QComboBox* m_localeEX = nullptr;
    QComboBox* m_localeCT = nullptr;
    CFormatCombo* m_date = nullptr;
    CFormatCombo* m_time = nullptr;
    QCheckBox* m_useFileTime = nullptr;
    QCheckBox* m_fractions = nullptr;
};
