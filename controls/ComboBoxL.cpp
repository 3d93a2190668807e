#include "ComboBoxL.h"

CComboBoxL::CComboBoxL(QWidget* parent)
    : QComboBox(parent)
{
    setEditable(false);
}

// The shown text is the item's display role; the value travels in the user
// role, so Qt's own list and closed box draw the display text.
void CComboBoxL::AddItem(const QString& value, const QString& display)
{
    m_display.append(display);
    addItem(display, value);
}

void CComboBoxL::ResetContent()
{
    clear();
    m_display.clear();
}

QString CComboBoxL::GetLBText(int index) const
{
    if (index < 0 || index >= count())
        return {};
    return itemData(index).toString();
}

QString CComboBoxL::GetDisplayText(int index) const
{
    return index >= 0 && index < m_display.size() ? m_display[index] : QString();
}
