#pragma once

#include "ModePanel.h"

#include <QString>

class CModeText;
class QCheckBox;
class QLineEdit;
class QPlainTextEdit;

// "Insert Text" (dialog 240): the text mode's live settings. Edit 1176 is
// multi-line: it shows the custom template's lines with "\n" and writes
// them back with CR LF only when the user changes the text.
class CPanelText : public CModePanel {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 240;
    explicit CPanelText(CModeText* mode);

    // Template lines as the edit shows them, and back.
    static QString TemplateToEdit(const QString& text);
    static QString EditToTemplate(const QString& text);

protected:
    void CreateControls(QWidget* window) override;
    void UpdateControls() override;

private:
    CModeText* Mode() const;
    void EditTextAndFont(int tab);

    QCheckBox* m_exif = nullptr;
    QLineEdit* m_exifText = nullptr;
    QCheckBox* m_custom = nullptr;
    QPlainTextEdit* m_customText = nullptr;
};
