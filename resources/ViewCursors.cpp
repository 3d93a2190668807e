#include "ViewCursors.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <map>

namespace {

constexpr int kSize = 32;

// Every drawing is a black figure with a white rim so it shows on dark and
// light pictures alike.
void StrokeBoth(QPainter& p, const QPainterPath& path, qreal width)
{
    p.strokePath(path, QPen(Qt::white, width + 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.strokePath(path, QPen(Qt::black, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
}

QPixmap Canvas()
{
    QPixmap pm(kSize, kSize);
    pm.fill(Qt::transparent);
    return pm;
}

QCursor DrawCrop()
{
    QPixmap pm = Canvas();
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing, false);
    QPainterPath path;
    // Two interlocking corner marks around the hot spot.
    path.moveTo(8, 2);
    path.lineTo(8, 23);
    path.lineTo(29, 23);
    path.moveTo(2, 8);
    path.lineTo(23, 8);
    path.lineTo(23, 29);
    StrokeBoth(p, path, 1.5);
    return QCursor(pm, 15, 15);
}

QCursor DrawHand(bool closed)
{
    QPixmap pm = Canvas();
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath palm;
    palm.addRoundedRect(QRectF(8, 14, 16, 13), 5, 5);
    QPainterPath fingers;
    const int top = closed ? 11 : 5;
    for (int i = 0; i < 4; ++i)
        fingers.addRoundedRect(QRectF(9 + i * 4, top, 3.5, 14 - (closed ? 4 : 0)), 1.7, 1.7);
    if (!closed)
        fingers.addRoundedRect(QRectF(3, 15, 7, 3.5), 1.7, 1.7); // the thumb
    const QPainterPath hand = palm.united(fingers);
    p.strokePath(hand, QPen(Qt::white, 3.0));
    p.fillPath(hand, Qt::white);
    p.strokePath(hand, QPen(Qt::black, 1.0));
    return QCursor(pm, 16, 16);
}

QCursor DrawRedEye()
{
    QPixmap pm = Canvas();
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath ring;
    ring.addEllipse(QPointF(15.5, 15.5), 7, 7);
    StrokeBoth(p, ring, 1.5);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(220, 0, 0));
    p.drawEllipse(QPointF(15.5, 15.5), 3, 3);
    QPainterPath cross;
    cross.moveTo(15.5, 0);
    cross.lineTo(15.5, 6);
    cross.moveTo(15.5, 25);
    cross.lineTo(15.5, 31);
    cross.moveTo(0, 15.5);
    cross.lineTo(6, 15.5);
    cross.moveTo(25, 15.5);
    cross.lineTo(31, 15.5);
    StrokeBoth(p, cross, 1.0);
    return QCursor(pm, 15, 15);
}

QCursor DrawSelect()
{
    QPixmap pm = Canvas();
    QPainter p(&pm);
    QPainterPath cross;
    cross.moveTo(15.5, 1);
    cross.lineTo(15.5, 12);
    cross.moveTo(15.5, 19);
    cross.lineTo(15.5, 30);
    cross.moveTo(1, 15.5);
    cross.lineTo(12, 15.5);
    cross.moveTo(19, 15.5);
    cross.lineTo(30, 15.5);
    cross.addRect(QRectF(19.5, 19.5, 8, 8)); // the selection it makes
    StrokeBoth(p, cross, 1.0);
    return QCursor(pm, 15, 15);
}

// A hand with the index finger up; the fingertip is the hot spot.
QCursor DrawPointingHand()
{
    QPixmap pm = Canvas();
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath hand;
    hand.addRoundedRect(QRectF(10, 1.5, 4.5, 16), 2.2, 2.2); // index finger
    QPainterPath rest;
    rest.addRoundedRect(QRectF(14, 9, 4.2, 9), 2, 2);
    rest.addRoundedRect(QRectF(18, 10, 4.2, 9), 2, 2);
    rest.addRoundedRect(QRectF(22, 11.5, 4, 8), 2, 2);
    rest.addRoundedRect(QRectF(10, 14, 16, 13), 4, 4);   // palm
    rest.addRoundedRect(QRectF(4, 15, 8.5, 4), 2, 2);     // thumb
    hand = hand.united(rest);
    p.strokePath(hand, QPen(Qt::white, 3.0));
    p.fillPath(hand, Qt::white);
    p.strokePath(hand, QPen(Qt::black, 1.0));
    return QCursor(pm, 12, 1);
}

} // namespace

QCursor ViewCursor(int cursorId)
{
    switch (cursorId) {
    case -1: return QCursor(Qt::ArrowCursor);
    case -2: return QCursor(Qt::IBeamCursor);
    case -3: return QCursor(Qt::WaitCursor);
    case -4: return QCursor(Qt::CrossCursor);
    case -5: return QCursor(Qt::UpArrowCursor);
    case -6: return QCursor(Qt::SizeAllCursor);
    case -7: return QCursor(Qt::SizeFDiagCursor);
    case -8: return QCursor(Qt::SizeBDiagCursor);
    case -9: return QCursor(Qt::SizeHorCursor);
    case -10: return QCursor(Qt::SizeVerCursor);
    default: break;
    }
    // Drawn once per run, on first use (pixmaps need the GUI application).
    static std::map<int, QCursor> drawn;
    auto it = drawn.find(cursorId);
    if (it != drawn.end())
        return it->second;
    QCursor cursor;
    switch (cursorId) {
    case kCursorCrop: cursor = DrawCrop(); break;
    case kCursorOpenHand: cursor = DrawHand(false); break;
    case kCursorClosedHand: cursor = DrawHand(true); break;
    case kCursorRedEye: cursor = DrawRedEye(); break;
    case kCursorSelect: cursor = DrawSelect(); break;
    case kCursorPointingHand: cursor = DrawPointingHand(); break;
    default: return QCursor(Qt::ArrowCursor);
    }
    drawn.emplace(cursorId, cursor);
    return cursor;
}
