// CSpinButton: an up-down button pair without a buddy. Each press (and each
// auto-repeat) reports a delta as the platform's up-down control does: with
// the default range, which runs from 100 down to 0, the up arrow reports -1
// and the down arrow +1; once the lower end is below the upper, up reports +1.
// The owner applies the delta itself; the button keeps no position.
#pragma once

#include <QWidget>

class QToolButton;

class CSpinButton : public QWidget {
    Q_OBJECT
public:
    explicit CSpinButton(QWidget* parent = nullptr);

    void SetRange(int lower, int upper);
    // The delta one press of up reports.
    int UpDelta() const { return m_nLower < m_nUpper ? 1 : -1; }

    QToolButton* UpButton() const { return m_up; }
    QToolButton* DownButton() const { return m_down; }

signals:
    void deltaPos(int delta);

private:
    QToolButton* m_up;
    QToolButton* m_down;
    int m_nLower = 100;
    int m_nUpper = 0;
};
