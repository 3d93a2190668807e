// One filter on the application object serves every dialog: it sees each
// key event before any widget or shortcut does, first as its window gets it
// and then again as the focused widget does.
//
// The toolkit flags a repeat only when it finds the repeated press already
// queued behind the release; when a modal box opens or closes between the
// two, or the machine is slow, the pair arrives apart and both come
// unflagged. The server stamps a repeat's release and press with one time,
// so a press of the key with the time of its release just before is a
// repeat too.
#include "HeldReturn.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTextEdit>
#include <QWindow>

#include <algorithm>

namespace {

bool TypesLines(QObject* receiver)
{
    // A window hands its keys to the widget with the focus.
    if (auto* window = qobject_cast<QWindow*>(receiver))
        receiver = window->focusObject();
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
    explicit CHeldReturnFilter(QObject* parent)
        : QObject(parent)
    {
        // A release that goes to another application never comes here: the
        // key is taken for let go when the keyboard goes elsewhere.
        if (auto* gui = qobject_cast<QGuiApplication*>(parent)) {
            connect(gui, &QGuiApplication::focusWindowChanged, this, [this](QWindow* window) {
                if (!window)
                    m_held = false;
            });
            connect(gui, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
                if (state != Qt::ApplicationActive)
                    m_held = false;
            });
        }
    }
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
        if (!IsRepeat(*key)) {
            // A press in such a dialog is held until its own release.
            if (type == QEvent::KeyPress) {
                m_held = open > 0;
            } else if (type == QEvent::KeyRelease) {
                const Release release{key->key(), key->nativeScanCode(), key->timestamp(), m_held};
                if (release.time == 0 || !release.SameAs(m_release))
                    m_release = release;
                m_held = false;
            }
            return false;
        }
        if ((open == 0 && !m_held) || TypesLines(watched))
            return false;
        // An accepted override keeps the key from every shortcut too.
        key->accept();
        return true;
    }

private:
    // Flagged, or a press stamped with the time of the key's last release
    // (0 is no time: events made by a program carry none). That release was
    // a repeat's, so the key is held as it was before it.
    bool IsRepeat(const QKeyEvent& key)
    {
        if (key.isAutoRepeat())
            return true;
        if (key.type() == QEvent::KeyRelease || key.timestamp() == 0 ||
            !m_release.SameAs({key.key(), key.nativeScanCode(), key.timestamp()}))
            return false;
        m_held = m_release.held;
        return true;
    }

    struct Release {
        int key = 0;
        quint32 scanCode = 0;
        quint64 time = 0;
        bool held = false; // the key was held before it
        bool SameAs(const Release& other) const
        {
            return key == other.key && scanCode == other.scanCode && time == other.time;
        }
    };
    bool m_held = false;
    Release m_release;
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
