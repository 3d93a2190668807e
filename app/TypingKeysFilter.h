// CTypingKeysFilter: while a field that takes typing has the keyboard focus
// (the toolbar's zoom box, the panels' number and text fields), its keys are
// its own. Qt would otherwise hand Return, Esc, PgUp, PgDn and the single
// letters to the window's shortcuts, so Enter typed into the zoom box would
// apply a crop. Keys with Ctrl or Alt and the function keys stay commands.
//
// A key pressed in an open drop-down list is the list's, even when the list
// closes on it: it picks its item on Return and hides before Qt looks for a
// shortcut, which would then apply a crop too.
//
// One filter on the application object answers every ShortcutOverride.
#pragma once

#include <QObject>

class QKeyEvent;
class QWidget;

class CTypingKeysFilter : public QObject {
    Q_OBJECT
public:
    explicit CTypingKeysFilter(QObject* parent = nullptr);

    // `widget` takes typed text: an editable line, spin box, text box or combo box.
    static bool TakesTyping(const QWidget* widget);
    // The key belongs to such a widget rather than to a shortcut.
    static bool IsTypingKey(const QKeyEvent& event);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool m_popupKey = false; // the key being dispatched was pressed in a drop-down list
};
