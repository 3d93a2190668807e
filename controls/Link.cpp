#include "Link.h"

#include "FontHeight.h"

#include "ColorRef.h"
#include "ViewCursors.h"

#include <QDesktopServices>
#include <QMouseEvent>
#include <QPainter>
#include <QUrl>

#include <algorithm>
#include <cstdlib>

CLink::CLink(QWidget* parent)
    : CLink(QString(), parent)
{
}

CLink::CLink(const QString& text, QWidget* parent)
    : QLabel(text, parent)
{
    setMouseTracking(true);
    setFont(LinkFont());
}

void CLink::SetNormalColor(uint32_t color)
{
    m_normalColor = color;
    update();
}

void CLink::SetHoverColor(uint32_t color)
{
    m_hoverColor = color;
    update();
}

void CLink::SetUnderline(bool underline)
{
    m_bUnderline = underline;
    setFont(LinkFont());
}

void CLink::SetFaceName(const QString& faceName)
{
    m_faceName = faceName;
    setFont(LinkFont());
}

void CLink::SetFontHeight(int height)
{
    m_nFontHeight = height;
    setFont(LinkFont());
}

void CLink::SetFontWeight(int weight)
{
    m_nFontWeight = weight;
    setFont(LinkFont());
}

void CLink::SetCursorId(int cursorId)
{
    m_nCursorId = cursorId;
    if (cursorId == kHandCursor)
        setCursor(Qt::PointingHandCursor);
    else if (cursorId > 0)
        setCursor(ViewCursor(cursorId));
    else
        unsetCursor();
}

void CLink::SetTransparent(bool transparent)
{
    m_bTransparent = transparent;
    update();
}

QFont CLink::LinkFont() const
{
    QFont font(m_faceName);
    SetLogicalFontHeight(font, m_nFontHeight);
    if (m_nFontWeight > 0)
        font.setWeight(QFont::Weight(std::clamp(m_nFontWeight, 1, 1000)));
    font.setUnderline(m_bUnderline);
    font.setStyleStrategy(QFont::PreferAntialias);
    return font;
}

void CLink::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    if (!m_bTransparent)
        p.fillRect(rect(), palette().color(QPalette::Button));
    p.setFont(font());
    p.setPen(FromColorRef(m_bHover ? m_hoverColor : m_normalColor));
    Qt::Alignment h = alignment() & (Qt::AlignRight | Qt::AlignHCenter);
    if (!h)
        h = Qt::AlignLeft;
    p.drawText(rect(), int(h | Qt::AlignTop | Qt::TextSingleLine), text());
}

void CLink::enterEvent(QEnterEvent* event)
{
    QLabel::enterEvent(event);
    if (!m_bHover) {
        m_bHover = true;
        repaint();
    }
}

void CLink::mouseMoveEvent(QMouseEvent* event)
{
    QLabel::mouseMoveEvent(event);
    if (!m_bHover) {
        m_bHover = true;
        repaint();
    }
}

void CLink::leaveEvent(QEvent* event)
{
    QLabel::leaveEvent(event);
    m_bHover = false;
    repaint();
}

QString CLink::ClickTarget() const
{
    const QString target = m_target.isEmpty() ? text() : m_target;
    return target == QLatin1String("#") ? QString() : target;
}

void CLink::mouseReleaseEvent(QMouseEvent* event)
{
    QLabel::mouseReleaseEvent(event);
    if (event->button() != Qt::LeftButton || !rect().contains(event->position().toPoint()))
        return;
    const QString target = ClickTarget();
    if (target.isEmpty())
        return;
    // Handed to the desktop as a URL, never to a shell.
    QUrl url(target, QUrl::StrictMode);
    if (!url.isValid() || url.scheme().isEmpty())
        url = QUrl::fromUserInput(target);
    QDesktopServices::openUrl(url);
}
