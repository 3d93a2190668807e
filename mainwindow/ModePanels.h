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

#include "PropertySheet.h"

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
};

// "Select / Copy" (dialog 246).
class CPanelCopy : public CModePanel {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 246;
    explicit CPanelCopy(CModeCopy* mode);

protected:
    void CreateControls(QWidget* window) override;
    void UpdateControls() override;

private:
    QCheckBox* m_align = nullptr;
};

// "Paste" (dialog 247).
class CPanelPaste : public CModePanel {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 247;
    explicit CPanelPaste(CModePaste* mode);

protected:
    void CreateControls(QWidget* window) override;
    void UpdateControls() override;

private:
    QCheckBox* m_align = nullptr;
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

