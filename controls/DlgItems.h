// Dialog helpers over widgets. A control keeps its numeric id as its object
// name ("1137"), so pages find their controls by the ids the program uses.
#pragma once

#include <QString>

class QWidget;

// The text a control shows: an edit's text, a button's or label's caption, a
// combo box's current text, a group box's title; a window's title otherwise.
QString GetWindowTextString(const QWidget* window);

void SetDlgItemId(QWidget* control, int id);
// The control with that id under `dialog` (nested too); null when none.
QWidget* GetDlgItem(const QWidget* dialog, int id);

// Enables (or disables) each existing control whose state differs; ids the
// dialog lacks are skipped.
void EnableDlgItems(const QWidget* dialog, const int* ids, int count, int enable);
// Shows (or hides) each existing control.
void ShowDlgItems(const QWidget* dialog, const int* ids, int count, int show);
