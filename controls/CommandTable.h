// The command layer: every command id meets its text, keys, icon, handler and
// update rule in one table. Each entry owns a QAction; menus, toolbars and
// context menus are built from those actions.
//
// The update pass asks every rule for the enabled and checked state. It runs
// when a watched menu opens, after every command and from the idle handler.
// An entry without a rule is enabled exactly when it has a handler.
#pragma once

#include <QKeySequence>
#include <QList>
#include <QObject>
#include <QString>

#include <functional>
#include <map>

class QAction;
class QMenu;
class QWidget;

// What an update rule may say about its command.
class CCmdUI {
public:
    explicit CCmdUI(int id) : m_nID(id) {}
    void Enable(bool on = true) { m_bEnabled = on; }
    void SetCheck(int check = 1)
    {
        m_bChecked = check != 0;
        m_bCheckSet = true;
    }

    int m_nID;
    bool m_bEnabled = true;
    bool m_bChecked = false;
    bool m_bCheckSet = false;
};

struct CommandEntry {
    int id = 0;
    QString menuText;  // "&Open...\tCtrl+O"; the text after the tab is the shown key
    QString prompt;    // status-bar prompt, a line feed, then the tooltip
    QList<QKeySequence> keys;
    QString icon;      // resource path, empty when none
    std::function<void()> handler;
    std::function<void(CCmdUI&)> update;
};

class CCommandTable : public QObject {
    Q_OBJECT
public:
    explicit CCommandTable(QObject* parent = nullptr);
    ~CCommandTable() override;

    // Adds the entry, or replaces the one with the same id (its action stays).
    QAction* Add(CommandEntry entry);
    // Fill in the behaviour of an entry added earlier; false when the id is unknown.
    bool SetHandler(int id, std::function<void()> handler);
    bool SetUpdate(int id, std::function<void(CCmdUI&)> update);

    QAction* Action(int id) const;
    const CommandEntry* Entry(int id) const;
    QList<int> Ids() const;
    QList<QAction*> Actions() const;

    // Runs the rule of the command, then its handler when enabled, then the
    // update pass. False when the command is unknown, has no handler or is disabled.
    bool Execute(int id);

    // State the rule of one command gives, without touching its action.
    CCmdUI Query(int id) const;

    void UpdateAll();
    void UpdateActions(const QList<QAction*>& actions);
    // The menu's items get an update pass each time it is about to show.
    void WatchMenu(QMenu* menu);
    // Makes every key of the table live in the window.
    void AddActionsTo(QWidget* window) const;

signals:
    // Before the handler of a command that is about to run.
    void commandStarting(int id);
    // After every executed command, once the update pass has run.
    void commandExecuted(int id);

private:
    struct Slot {
        CommandEntry entry;
        QAction* action = nullptr;
    };
    void Apply(Slot& slot);
    static void Evaluate(const CommandEntry& entry, CCmdUI& ui);

    std::map<int, Slot> m_entries;
};
