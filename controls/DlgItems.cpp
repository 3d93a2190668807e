#include "DlgItems.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QWidget>

QString GetWindowTextString(const QWidget* window)
{
    if (!window)
        return {};
    if (auto* edit = qobject_cast<const QLineEdit*>(window))
        return edit->text();
    if (auto* button = qobject_cast<const QAbstractButton*>(window))
        return button->text();
    if (auto* label = qobject_cast<const QLabel*>(window))
        return label->text();
    if (auto* combo = qobject_cast<const QComboBox*>(window))
        return combo->currentText();
    if (auto* group = qobject_cast<const QGroupBox*>(window))
        return group->title();
    return window->windowTitle();
}

void SetDlgItemId(QWidget* control, int id)
{
    if (control)
        control->setObjectName(QString::number(id));
}

QWidget* GetDlgItem(const QWidget* dialog, int id)
{
    return dialog ? dialog->findChild<QWidget*>(QString::number(id)) : nullptr;
}

void EnableDlgItems(const QWidget* dialog, const int* ids, int count, int enable)
{
    for (int i = 0; i < count; ++i) {
        QWidget* control = GetDlgItem(dialog, ids[i]);
        // isEnabled() also reflects a disabled parent; the control's own
        // state is what the flag stores.
        if (control && control->testAttribute(Qt::WA_Disabled) == (enable != 0))
            control->setEnabled(enable != 0);
    }
}

void ShowDlgItems(const QWidget* dialog, const int* ids, int count, int show)
{
    for (int i = 0; i < count; ++i) {
        if (QWidget* control = GetDlgItem(dialog, ids[i]))
            control->setVisible(show != 0);
    }
}
