// The mode panels: the small pages the mode pane shows for the current
// interactive mode. Each panel belongs to its mode, edits the parameters of
// the application's operations in place (through the mode) and calls the
// mode back for Apply and Cancel. A panel's window is built the first time
// the pane shows it; until then (and after it goes) Refresh does nothing.
//
// Qt signals also fire on programmatic changes, so a refresh writes the
// controls with the handlers held off (m_bUpdating), and the handlers listen
// to user signals (clicked, activated, textEdited through CIntEdit::changed,
// trackbar ends); a value pushed into an edit by the panel itself comes back
// through the edit's handler, which is where it is stored.
#pragma once

#include "ColorRows.h"
#include "PropertySheet.h"
#include "ResizeControls.h"

#include <QString>

#include <vector>

class CIntEdit;
class CModeColor;
class CModeCopy;
class CModeCrop;
class CModePaste;
class CModeReconstruct;
class CModeRedEye;
class CModeResize;
class CModeText;
class CSpinButton;
class IListener;
class IMode;
class QBoxLayout;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSlider;
struct ColorParams;

class CModePanel : public CPropertyPage {
    Q_OBJECT
public:
    CModePanel(int templateId, IMode* mode);

    // Reloads the controls from the mode's state; nothing without a window.
    void Refresh();

protected:
    // Fills the controls; the window exists and the handlers are held off.
    virtual void UpdateControls() {}
    // The OK button: the mode's Apply.
    virtual void OnOK();
    // The Cancel button: the mode's Cancel(true).
    virtual void OnCancelButton();

    void OnShowWindow(bool show) override;

    // The panel's column, the bold title 1182, and the OK (1) and Cancel (2)
    // buttons with their icons; an empty cancelText gives OK alone.
    QBoxLayout* MakeColumn(QWidget* window, const QString& title);
    void AddButtons(QBoxLayout* column, QWidget* window, const QString& okText, const QString& cancelText);

    IMode* m_pMode;
    int m_bUpdating = 0;

private:
    bool m_bEnterApplies = false; // Enter in the number fields is connected
};

// The copy and paste panels' check 1183, "Align Selection by Block".
class CPanelBlockAlign : public CModePanel {
    Q_OBJECT
protected:
    using CModePanel::CModePanel;
    // The check; statusTexts: a click also refreshes the frame's status texts.
    QCheckBox* MakeAlignCheck(QWidget* window, bool statusTexts);
    void UpdateControls() override;

private:
    QCheckBox* m_align = nullptr;
};

// "Select / Copy" (dialog 246).
class CPanelCopy : public CPanelBlockAlign {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 246;
    explicit CPanelCopy(CModeCopy* mode);

protected:
    void CreateControls(QWidget* window) override;
};

// "Paste" (dialog 247).
class CPanelPaste : public CPanelBlockAlign {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 247;
    explicit CPanelPaste(CModePaste* mode);

protected:
    void CreateControls(QWidget* window) override;
};

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

// "Brightness / Color" (dialog 207): the colour mode's three working values,
// brightness, yellow to blue, cyan to red. Every change a user makes is
// told to the listener, which redraws the preview; a refresh tells nobody
// (the preview refreshes the panel in turn).
class CPanelColor : public CModePanel {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 207;
    explicit CPanelColor(CModeColor* mode);

    // Set by the mode on Activate, cleared on Deactivate.
    void SetListener(IListener* listener) { m_pListener = listener; }

protected:
    void CreateControls(QWidget* window) override;
    bool OnInitDialog() override;
    void UpdateControls() override;

private:
    ColorParams* Values() const;
    void OnEditChange(int row);

    CColorRows m_rows;
    IListener* m_pListener = nullptr;
};

// "Reconstruct" (dialog 244): the working operation's number of passes.
class CPanelReconstruct : public CModePanel {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 244;
    explicit CPanelReconstruct(CModeReconstruct* mode);

protected:
    void CreateControls(QWidget* window) override;
    bool OnInitDialog() override;
    void UpdateControls() override;

private:
    int* Passes() const;

    CIntEdit* m_edit = nullptr;
    CSpinButton* m_spin = nullptr;
};

// "Resize / Resample" (dialog 241): units, the two pixel sizes with their
// locked aspect, the percentage and the options of the working operation.
class CPanelResize : public CModePanel {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 241;
    explicit CPanelResize(CModeResize* mode);

protected:
    void CreateControls(QWidget* window) override;
    bool OnInitDialog() override;
    void UpdateControls() override;

private:
    void ShowUnits();

    CResizeControls m_controls;
    std::vector<QWidget*> m_pixelControls;
    std::vector<QWidget*> m_percentControls;
};

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
