// Dialogs on small screens. A dialog host puts the part of its window that
// may scroll (the pages) in a CScreenFitArea, which keeps the dialog inside
// the available area of its screen. While the screen has room the area
// asks for everything its content needs, so the dialog looks and grows as it
// would without it; on a screen too small for that it claims no more than the
// rest of the dialog leaves, and the content, kept at its own minimum,
// scrolls inside it.
#pragma once

#include <QScrollArea>

class CScreenFitArea : public QScrollArea {
    Q_OBJECT
public:
    // Holds `content`, which follows the area's size down to its minimum, in
    // `dialog`. Whenever the dialog is shown it is fitted to the available
    // area of its screen (its owner's screen when it has one): the area gets
    // the room the rest of the dialog leaves, and the dialog's size is
    // bounded by the screen's, so its position (centred by the dialog) lies
    // on the screen.
    CScreenFitArea(QWidget* content, QWidget* dialog);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    // The most the area's minimum may be; the content scrolls beyond it.
    void SetRoom(QSize room);

protected:
    // The content's hints changed: the dialog's layout asks again.
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool viewportEvent(QEvent* event) override;

private:
    // What the content needs, plus the area's frame.
    QSize ContentMinimum() const;

    QSize m_room;
};
