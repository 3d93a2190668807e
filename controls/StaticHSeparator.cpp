#include "StaticHSeparator.h"

#include <QPainter>

void Draw3dRect(QPainter& p, const QRect& r, const QColor& topLeft, const QColor& bottomRight)
{
    if (r.width() <= 0 || r.height() <= 0)
        return;
    p.fillRect(r.left(), r.top(), r.width() - 1, 1, topLeft);
    p.fillRect(r.left(), r.top(), 1, r.height() - 1, topLeft);
    p.fillRect(r.right(), r.top(), 1, r.height(), bottomRight);
    p.fillRect(r.left(), r.bottom(), r.width(), 1, bottomRight);
}

CStaticHSeparator::CStaticHSeparator(QWidget* parent)
    : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void CStaticHSeparator::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const int h = height();
    Draw3dRect(p, QRect(0, h / 2 - 1, width(), 2), palette().color(QPalette::Dark), palette().color(QPalette::Light));
}
