// One filter on the application object serves every dialog: it sees each
// key event before any widget or shortcut does.
#include "HeldReturn.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTextEdit>

#include <algorithm>

namespace {

bool TypesLines(QObject* receiver)
{
    for (QObject* o = receiver; o; o = o->parent()) {
        if (const auto* text = qobject_cast<QTextEdit*>(o))
            return !text->isReadOnly();
        if (const auto* plain = qobject_cast<QPlainTextEdit*>(o))
            return !plain->isReadOnly();
        if (o->isWidgetType() && static_cast<QWidget*>(o)->isWindow())
            break;
    }
    return false;
}

class CHeldReturnFilter : public QObject {
public:
    using QObject::QObject;
    int open = 0; // dialogs holding a CHeldReturn

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        const QEvent::Type type = event->type();
        if (type != QEvent::KeyPress && type != QEvent::KeyRelease && type != QEvent::ShortcutOverride)
            return false;
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter)
            return false;
        if (!key->isAutoRepeat()) {
            // A press in such a dialog is held until its own release.
            if (type == QEvent::KeyPress)
                m_held = open > 0;
            else if (type == QEvent::KeyRelease)
                m_held = false;
            return false;
        }
        if ((open == 0 && !m_held) || TypesLines(watched))
            return false;
        // An accepted override keeps the key from every shortcut too.
        key->accept();
        return true;
    }

private:
    bool m_held = false;
};

CHeldReturnFilter* Filter()
{
    static QPointer<CHeldReturnFilter> filter;
    if (!filter && QCoreApplication::instance()) {
        filter = new CHeldReturnFilter(QCoreApplication::instance());
        QCoreApplication::instance()->installEventFilter(filter);
    }
    return filter;
}

} // namespace

CHeldReturn::CHeldReturn()
{
    if (CHeldReturnFilter* filter = Filter())
        ++filter->open;
}

CHeldReturn::~CHeldReturn()
{
    if (CHeldReturnFilter* filter = Filter())
        filter->open = std::max(0, filter->open - 1);
}
