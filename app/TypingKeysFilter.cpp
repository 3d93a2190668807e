#include "TypingKeysFilter.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>

#include <utility>

CTypingKeysFilter::CTypingKeysFilter(QObject* parent) : QObject(parent) {}

bool CTypingKeysFilter::TakesTyping(const QWidget* widget)
{
    if (!widget || !widget->isEnabled())
        return false;
    if (const auto* line = qobject_cast<const QLineEdit*>(widget))
        return !line->isReadOnly();
    if (const auto* combo = qobject_cast<const QComboBox*>(widget))
        return combo->isEditable();
    if (const auto* spin = qobject_cast<const QAbstractSpinBox*>(widget))
        return !spin->isReadOnly();
    if (const auto* text = qobject_cast<const QTextEdit*>(widget))
        return !text->isReadOnly();
    if (const auto* plain = qobject_cast<const QPlainTextEdit*>(widget))
        return !plain->isReadOnly();
    return false;
}

bool CTypingKeysFilter::IsTypingKey(const QKeyEvent& event)
{
    if (event.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return false;
    const int key = event.key();
    return !(key >= Qt::Key_F1 && key <= Qt::Key_F35);
}

bool CTypingKeysFilter::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::ShortcutOverride:
        // It travels from the window down and up again; the list may be
        // gone by the last step. A key press or the shortcut ends the mark.
        if (const QWidget* popup = QApplication::activePopupWidget();
            popup && qobject_cast<const QComboBox*>(popup->parentWidget()))
            m_popupKey = true;
        break;
    case QEvent::Shortcut:
        if (std::exchange(m_popupKey, false))
            return true;
        break;
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
        m_popupKey = false;
        break;
    default:
        break;
    }
    // The override goes to the focus widget first; accepting it makes the
    // key an ordinary key press for that widget.
    if (event->type() == QEvent::ShortcutOverride && watched->isWidgetType()) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (IsTypingKey(*key) && TakesTyping(static_cast<QWidget*>(watched))) {
            key->accept();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}
