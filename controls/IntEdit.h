// CIntEdit: a one-line edit holding a whole number, with an optional range.
// The text is read leniently (blanks, a sign, the digits up to the first
// other character; none reads 0) and clamped into the range; leaving the
// field writes the clamped number back. `changed` fires on every user edit
// and on every SetValue, even when the text stays the same, so a value
// pushed into the edit always comes back through its owner's handler.
#pragma once

#include <QLineEdit>

class CIntEdit : public QLineEdit {
    Q_OBJECT
public:
    enum Style {
        AnyText = 0,
        DigitsOnly = 1,     // digits only
        DigitsAndMinus = 2, // digits and a leading minus sign
    };

    explicit CIntEdit(QWidget* parent = nullptr, Style style = AnyText);

    void SetStyle(Style style);
    void SetRange(int minimum, int maximum);
    bool HasRange() const { return m_bRange; }
    // Shows the value, clamped when the range is on, as "%i".
    void SetValue(int value);
    // The text as a number, clamped when the range is on.
    int GetValue() const;
    // The clamp of SetValue and GetValue.
    int Clamp(int value) const;

signals:
    void changed();

protected:
    void focusOutEvent(QFocusEvent* event) override;
    bool event(QEvent* event) override;

private:
    int m_bRange = 0;
    int m_nMin = 0;
    int m_nMax = 0;
};
