// CComboBoxL: a drop-down list whose items keep a value (the item text, as
// GetLBText reads it) apart from the text shown for them in the list and in
// the closed box. The text pages list date and time pictures this way:
// value = the picture, display = today formatted with it.
#pragma once

#include <QComboBox>
#include <QStringList>

class CComboBoxL : public QComboBox {
    Q_OBJECT
public:
    explicit CComboBoxL(QWidget* parent = nullptr);

    void AddItem(const QString& value, const QString& display);
    void ResetContent();
    // The value of item `index`; empty out of range.
    QString GetLBText(int index) const;
    // The display text of item `index`; empty out of range.
    QString GetDisplayText(int index) const;

private:
    QStringList m_display;
};
