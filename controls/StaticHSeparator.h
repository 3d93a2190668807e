// CStaticHSeparator: an etched line two pixels high through the middle of
// its rectangle, shadow above and highlight below.
#pragma once

#include <QWidget>

class QPainter;

// A rectangle's frame: top and left edges in one colour, bottom and right
// edges in the other (the platform's 3-D rectangle).
void Draw3dRect(QPainter& p, const QRect& r, const QColor& topLeft, const QColor& bottomRight);

class CStaticHSeparator : public QWidget {
    Q_OBJECT
public:
    explicit CStaticHSeparator(QWidget* parent = nullptr);
    QSize sizeHint() const override { return QSize(20, 8); }

protected:
    void paintEvent(QPaintEvent* event) override;
};
