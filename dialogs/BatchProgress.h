// CBatchProgress: the modeless window shown while a macro runs over files
// (dialog 167): "Processing Image %d of %d." and a bar from 0 to the total.
//
// The run that drives it is synchronous and dispatches no events: Open waits
// until the window is exposed (letting through every event but the user's),
// and from then on every change is painted at once (repaint). There is
// nothing to cancel with.
#pragma once

#include <QDialog>
#include <QRect>

class QLabel;
class QProgressBar;

class CBatchProgress : public QDialog {
    Q_OBJECT
public:
    enum { IDD = 167, IDC_TEXT = 1082, IDC_PROGRESS = 1071 };

    CBatchProgress();

    // Sets the bar's range to 0..total (any int), centres the window on
    // `centreOn` when given, shows it, waits (at most two seconds) until it
    // is exposed and sets position 0.
    void Open(int total, QWidget* centreOn);
    // "Processing Image pos of total." and the bar at pos, painted now.
    void SetPosition(int pos);
    // The window's frame on the screen, the rectangle edits keep clear of.
    QRect GetWindowRect() const { return frameGeometry(); }

    static QString Text(int pos, int total);

private:
    void WaitForExposure();

    QLabel* m_text = nullptr;
    QProgressBar* m_bar = nullptr;
    int m_nTotal = 0;
};
