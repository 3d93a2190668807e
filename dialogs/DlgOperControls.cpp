#include "DlgOperControls.h"

#include "DlgItems.h"
#include "KsImage.h"
#include "DialogHost.h"
#include "SpinButton.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>

#include <climits>
#include <cstdint>

QGroupBox* MakeTitleBox(QWidget* window, const QString& title)
{
    auto* box = new QGroupBox(title, window);
    auto* layout = new QVBoxLayout(window);
    layout->addWidget(box);
    return box;
}

QLabel* MakeLabel(const QString& text, QWidget* parent, int id)
{
    auto* label = new QLabel(text, parent);
    if (id)
        SetDlgItemId(label, id);
    return label;
}

CIntEdit* MakeIntEdit(QWidget* parent, int id, CIntEdit::Style style)
{
    auto* edit = new CIntEdit(parent, style);
    SetDlgItemId(edit, id);
    edit->setMaximumWidth(90);
    return edit;
}

CSpinButton* MakeSpin(QWidget* parent, int id)
{
    auto* spin = new CSpinButton(parent);
    SetDlgItemId(spin, id);
    return spin;
}

QCheckBox* MakeCheck(const QString& text, QWidget* parent, int id)
{
    auto* check = new QCheckBox(text, parent);
    SetDlgItemId(check, id);
    return check;
}

QComboBox* MakeList(const QStringList& items, QWidget* parent, int id)
{
    auto* combo = new QComboBox(parent);
    SetDlgItemId(combo, id);
    combo->addItems(items);
    return combo;
}

void SelectIndex(QComboBox* combo, int index)
{
    combo->setCurrentIndex(index >= 0 && index < combo->count() ? index : -1);
}

QSlider* MakeTrackbar(QWidget* parent, int id, int minimum, int maximum, int tick)
{
    auto* slider = new QSlider(Qt::Horizontal, parent);
    SetDlgItemId(slider, id);
    slider->setRange(minimum, maximum);
    slider->setTickPosition(QSlider::TicksBelow);
    slider->setTickInterval(tick);
    slider->setPageStep(tick);
    return slider;
}

void ConnectTrackEnd(QSlider* slider, QObject* context, std::function<void()> onEnd)
{
    QObject::connect(slider, &QSlider::valueChanged, context, [slider, onEnd] {
        if (!slider->isSliderDown())
            onEnd();
    });
    QObject::connect(slider, &QSlider::sliderReleased, context, onEnd);
}

void SetSliderPos(QSlider* slider, int position)
{
    if (slider->value() == position)
        return;
    const QSignalBlocker block(slider);
    slider->setValue(position);
}

int AddClamped(int value, int step)
{
    const int64_t sum = int64_t(value) + step;
    return sum < INT_MIN ? INT_MIN : sum > INT_MAX ? INT_MAX : static_cast<int>(sum);
}

CKsImage* OpenImage()
{
    const DialogHost& host = TheDialogHost();
    return host.openImage ? host.openImage() : nullptr;
}
