// Building blocks of the operation editors' templates: controls carrying
// their ids, the titled group box every single-page editor sits in, and the
// trackbar's "end of a move".
#pragma once

#include "IntEdit.h"

#include <QLabel>

#include <functional>

class CKsImage;
class CSpinButton;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QSlider;
class QWidget;

// The editor's group box filling `window`, titled `title`; returns it with
// an empty layout-less body for the caller to lay out.
QGroupBox* MakeTitleBox(QWidget* window, const QString& title);
QLabel* MakeLabel(const QString& text, QWidget* parent, int id = 0);
CIntEdit* MakeIntEdit(QWidget* parent, int id, CIntEdit::Style style);
CSpinButton* MakeSpin(QWidget* parent, int id);
QCheckBox* MakeCheck(const QString& text, QWidget* parent, int id);
// A drop-down list holding `items`.
QComboBox* MakeList(const QStringList& items, QWidget* parent, int id);
// Selects `index`, or nothing when the list lacks it (the value stays stored).
void SelectIndex(QComboBox* combo, int index);
// A horizontal trackbar with automatic ticks every `tick`.
QSlider* MakeTrackbar(QWidget* parent, int id, int minimum, int maximum, int tick);

// The application's open image; null when none is open.
CKsImage* OpenImage();

// value + step without overflow: the edit that takes it clamps it anyway.
int AddClamped(int value, int step);

// Runs `onEnd` at the end of every user move: a value change while the
// handle is not held (keys, clicks on the groove, the wheel), or the release
// after a drag. Positions set by code must be set under a QSignalBlocker.
void ConnectTrackEnd(QSlider* slider, QObject* context, std::function<void()> onEnd);
// Moves the handle without reporting a move.
void SetSliderPos(QSlider* slider, int position);
