#include "ScreenFit.h"

#include <QEvent>
#include <QLayout>
#include <QPointer>
#include <QScreen>
#include <QStyle>

namespace {

constexpr int kNoLimit = QWIDGETSIZE_MAX;

// Fits its dialog at every show, before the dialog centres itself.
class CScreenFitter : public QObject {
public:
    CScreenFitter(QWidget* dialog, CScreenFitArea* area) : QObject(dialog), m_dialog(dialog), m_area(area)
    {
        dialog->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == m_dialog && event->type() == QEvent::Show)
            Fit();
        return QObject::eventFilter(watched, event);
    }

private:
    void Fit()
    {
        const QWidget* owner = m_dialog->parentWidget() ? m_dialog->parentWidget()->window() : m_dialog.data();
        QScreen* screen = owner->screen();
        if (!screen)
            return;
        // The frame is known once the window was mapped; before that, none.
        const QSize frame = m_dialog->frameGeometry().size() - m_dialog->size();
        const QSize most = (screen->availableGeometry().size() - frame).expandedTo(QSize(1, 1));
        // The area's room: what the rest of the dialog leaves of the screen.
        if (QLayout* layout = m_dialog->layout(); layout && m_area) {
            m_area->SetRoom(QSize(kNoLimit, kNoLimit));
            layout->invalidate();
            const QSize rest = layout->totalMinimumSize() - m_area->minimumSizeHint();
            m_area->SetRoom((most - rest).expandedTo(QSize(1, 1)));
            layout->activate();
        }
        m_dialog->resize(m_dialog->size().boundedTo(most).expandedTo(m_dialog->minimumSize()));
    }

    QPointer<QWidget> m_dialog;
    QPointer<CScreenFitArea> m_area;
};

} // namespace

CScreenFitArea::CScreenFitArea(QWidget* content, QWidget* dialog)
    : QScrollArea(dialog)
    , m_room(kNoLimit, kNoLimit)
{
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(true);
    setWidget(content);
    new CScreenFitter(dialog, this);
}

QSize CScreenFitArea::ContentMinimum() const
{
    const QWidget* content = widget();
    const QSize frame(2 * frameWidth(), 2 * frameWidth());
    return content ? content->minimumSizeHint().expandedTo(content->minimumSize()) + frame : frame;
}

QSize CScreenFitArea::sizeHint() const
{
    const QWidget* content = widget();
    const QSize frame(2 * frameWidth(), 2 * frameWidth());
    return content ? (content->sizeHint() + frame).expandedTo(ContentMinimum()) : frame;
}

QSize CScreenFitArea::minimumSizeHint() const
{
    QSize need = ContentMinimum();
    // The scroll bar that appears takes room of its own.
    if (need.width() > m_room.width())
        need.rheight() += style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    if (need.height() > m_room.height())
        need.rwidth() += style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    return need.boundedTo(m_room);
}

void CScreenFitArea::SetRoom(QSize room)
{
    if (room == m_room)
        return;
    m_room = room;
    updateGeometry();
}

bool CScreenFitArea::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == widget() && event->type() == QEvent::LayoutRequest)
        updateGeometry();
    return QScrollArea::eventFilter(watched, event);
}

bool CScreenFitArea::viewportEvent(QEvent* event)
{
    if (event->type() == QEvent::LayoutRequest)
        updateGeometry();
    return QScrollArea::viewportEvent(event);
}
