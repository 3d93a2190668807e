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

class CChildView;
class IMode;
class IModeHost;
class QBoxLayout;
class QPushButton;
struct CropParams;

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

    // What the panels reach: each null when it is not there.
    static IModeHost* App();
    static CChildView* View();
    // The view with an open image in it, or null.
    static CChildView* ViewWithImage();
    static CropParams* CropOptions();
    // A push button with its item id; no default button, optional icon.
    static QPushButton* MakeButton(const QString& text, QWidget* parent, int id, const char* icon = nullptr);

    IMode* m_pMode;
    int m_bUpdating = 0;

private:
    bool m_bEnterApplies = false; // Enter in the number fields is connected
};
