// CProgressBarDlg: the small modeless window that shows the progress of a
// reconstruct edit (a bar, control 1071, and Cancel). Cancel, Esc and the
// close button all only note the cancel; the window stays shown until its
// owner destroys it, because the edit is still on the stack.
//
// CreateProgressBarWindow wraps it as the engine's IProgressWindow: while
// that exists the main window is disabled and no other window takes user
// input; destroying it enables the main window again on every path.
#pragma once

#include "MessageBoxes.h"

#include <QDialog>

#include <memory>

class QProgressBar;
class QPushButton;

class CProgressBarDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kProgressCtrlId = 1071;

    explicit CProgressBarDlg(QWidget* parent);

    QProgressBar* GetProgressCtrl() const { return m_progress; }
    QPushButton* GetCancelButton() const { return m_cancel; }
    bool IsCancelled() const { return m_bCancelled; }

    // Moves the window off `keepClear` (screen coordinates): below it, or
    // above it when below does not fit on the screen that holds the window.
    void PlaceClearOf(const QRect& keepClear);

public slots:
    // Esc and Cancel: note the cancel, stay shown.
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QProgressBar* m_progress;
    QPushButton* m_cancel;
    bool m_bCancelled = false;
};

// Where the frame of top-level `window` lies. Before it is shown a window
// knows no frame: its owner's frame (the same kind of decoration) is put
// around its size at the position move() gave it, which is the frame's.
QRect ExpectedFrameGeometry(const QWidget* window);

// The progress window over `mainWindow` (may be null), which is disabled
// until the window is destroyed.
std::unique_ptr<IProgressWindow> CreateProgressBarWindow(QWidget* mainWindow);
