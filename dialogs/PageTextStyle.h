// CPageTextStyle: what the two text pages share: the controls of one
// TextStyle (switch, template, font, size, bold and italic, placement,
// colours, opacities, background, margin, offsets, effect and its width),
// each writing its field at once, and the quick-insert menu of the
// template edit. The pages differ in their control ids and in what the
// EXIF page adds above the template.
#pragma once

#include "PropertySheet.h"

class CCButton;
class CIntEdit;
class CSpinButton;
class QCheckBox;
class QComboBox;
class QGridLayout;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QSlider;
class QToolButton;
struct TextSettings;
struct TextStyle;

// The label and code of each EXIF field a template can be made of.
struct ExifPlaceholder {
    const char* label;
    const char* code;
};
extern const ExifPlaceholder kExifPlaceholders[20];

// Resets `combo` to an empty item (empty code) and the labels of
// kExifPlaceholders, each with its code as item data.
void FillPlaceholderCombo(QComboBox* combo);
// Resets `combo` to the font families that write the script of the GDI
// character set `charset`; every family when none does.
void FillFontCombo(QComboBox* combo, int charset);
// Inserts a space and the code of quick-insert command `id` at the start of
// the edit's selection and puts the caret after it. 1 when something was
// inserted; 0 for a missing or disabled edit or an unknown command.
int ShowQuickInsertMenu(QPlainTextEdit* edit, int id);

// The template edit holds lines with "\n"; the text renderer wants CR LF.
QString TemplateFromEdit(const QString& text);
QString TemplateToEdit(const QString& text);

class CPageTextStyle : public CPropertyPage {
    Q_OBJECT
public:
    struct Ids {
        int use, templ, font, size, sizeSpin, bold, italic, placement;
        int color, colorSh, colorBG, opacity, useBG, opacityBG;
        int margin, marginSpin, padX, padXSpin, padY, padYSpin, effect, width, widthSpin;
    };

    CPageTextStyle(int templateId, const Ids& ids, const char* useText);

    // Binds the settings and fills the controls (when the window exists).
    void SetParams(TextSettings* settings);

    QPlainTextEdit* GetTemplateEdit() const { return m_template; }
    // The quick-insert menu while it is open (or until the next one opens).
    QMenu* GetQuickMenu() const { return m_quickMenu; }

protected:
    // The style this page edits and the locale whose fonts it offers.
    virtual TextStyle* Style() const = 0;
    virtual int FontCharset() const = 0;
    // Rows the EXIF page puts between the switch and the template edit.
    virtual void AddHeadRows(QWidget* /*box*/, QGridLayout* /*grid*/, int* /*row*/) {}
    // Rows the EXIF page puts right under the template edit.
    virtual void AddTemplateRows(QWidget* /*box*/, QGridLayout* /*grid*/, int* /*row*/) {}
    // The template was changed by the user.
    virtual void OnTemplateChanged() {}
    // Fills the page's own controls; the window and settings exist.
    virtual void UpdateControls();
    // The template edit is writable.
    virtual bool TemplateWritable() const;

    void CreateControls(QWidget* window) override;
    bool OnInitDialog() override;
    void OnDestroyWindow() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

    void ShowTemplate();

    TextSettings* m_pSettings = nullptr;
    QCheckBox* m_use = nullptr;
    QPlainTextEdit* m_template = nullptr;

private:
    void ShowColors();
    void ShowEffectWidth();
    void ShowBackground();
    void OpenQuickMenu(const QPoint& globalPos);
    void ConnectNumber(CIntEdit* edit, CSpinButton* spin, int TextStyle::* field);

    Ids m_ids;
    QString m_useText;
    QComboBox* m_font = nullptr;
    CIntEdit* m_size = nullptr;
    QToolButton* m_bold = nullptr;
    QToolButton* m_italic = nullptr;
    QComboBox* m_placement = nullptr;
    CCButton* m_color = nullptr;
    QLabel* m_colorLabel = nullptr;
    CCButton* m_colorSh = nullptr;
    CCButton* m_colorBG = nullptr;
    QSlider* m_opacity = nullptr;
    QCheckBox* m_useBG = nullptr;
    QLabel* m_opacityBGLabel = nullptr;
    QSlider* m_opacityBG = nullptr;
    CIntEdit* m_margin = nullptr;
    CIntEdit* m_padX = nullptr;
    CIntEdit* m_padY = nullptr;
    QComboBox* m_effect = nullptr;
    QLabel* m_widthLabel = nullptr;
    CIntEdit* m_width = nullptr;
    CSpinButton* m_widthSpin = nullptr;
    QMenu* m_quickMenu = nullptr;
};
