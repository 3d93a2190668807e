#include "CommandTable.h"

#include <QAction>
#include <QIcon>
#include <QMenu>
#include <QWidget>

CCommandTable::CCommandTable(QObject* parent)
    : QObject(parent)
{
}

CCommandTable::~CCommandTable() = default;

QAction* CCommandTable::Add(CommandEntry entry)
{
    Slot& slot = m_entries[entry.id];
    if (!slot.action) {
        slot.action = new QAction(this);
        slot.action->setData(entry.id);
        const int id = entry.id;
        connect(slot.action, &QAction::triggered, this, [this, id] { Execute(id); });
    }
    slot.entry = std::move(entry);

    QAction* a = slot.action;
    a->setText(slot.entry.menuText);
    const qsizetype lf = slot.entry.prompt.indexOf(QLatin1Char('\n'));
    a->setStatusTip(lf < 0 ? slot.entry.prompt : slot.entry.prompt.left(lf));
    a->setToolTip(lf < 0 ? slot.entry.prompt : slot.entry.prompt.mid(lf + 1));
    a->setShortcuts(slot.entry.keys);
    a->setIcon(slot.entry.icon.isEmpty() ? QIcon() : QIcon(slot.entry.icon));
    Apply(slot);
    return a;
}

bool CCommandTable::SetHandler(int id, std::function<void()> handler)
{
    auto it = m_entries.find(id);
    if (it == m_entries.end())
        return false;
    it->second.entry.handler = std::move(handler);
    Apply(it->second);
    return true;
}

bool CCommandTable::SetUpdate(int id, std::function<void(CCmdUI&)> update)
{
    auto it = m_entries.find(id);
    if (it == m_entries.end())
        return false;
    it->second.entry.update = std::move(update);
    Apply(it->second);
    return true;
}

QAction* CCommandTable::Action(int id) const
{
    auto it = m_entries.find(id);
    return it == m_entries.end() ? nullptr : it->second.action;
}

const CommandEntry* CCommandTable::Entry(int id) const
{
    auto it = m_entries.find(id);
    return it == m_entries.end() ? nullptr : &it->second.entry;
}

QList<int> CCommandTable::Ids() const
{
    QList<int> ids;
    for (const auto& [id, slot] : m_entries)
        ids.append(id);
    return ids;
}

QList<QAction*> CCommandTable::Actions() const
{
    QList<QAction*> actions;
    for (const auto& [id, slot] : m_entries)
        actions.append(slot.action);
    return actions;
}

void CCommandTable::Evaluate(const CommandEntry& entry, CCmdUI& ui)
{
    ui.m_bEnabled = static_cast<bool>(entry.handler);
    if (entry.update)
        entry.update(ui);
}

CCmdUI CCommandTable::Query(int id) const
{
    CCmdUI ui(id);
    if (const CommandEntry* entry = Entry(id))
        Evaluate(*entry, ui);
    else
        ui.m_bEnabled = false;
    return ui;
}

void CCommandTable::Apply(Slot& slot)
{
    CCmdUI ui(slot.entry.id);
    Evaluate(slot.entry, ui);
    slot.action->setEnabled(ui.m_bEnabled);
    if (ui.m_bCheckSet) {
        slot.action->setCheckable(true);
        slot.action->setChecked(ui.m_bChecked);
    } else if (slot.action->isCheckable()) {
        slot.action->setChecked(false);
    }
}

bool CCommandTable::Execute(int id)
{
    auto it = m_entries.find(id);
    if (it == m_entries.end() || !it->second.entry.handler)
        return false;
    // The key or button may have been live on a stale state: ask the rule again.
    if (!Query(id).m_bEnabled) {
        Apply(it->second);
        return false;
    }
    // A handler may replace entries (macro items): run a copy.
    const std::function<void()> handler = it->second.entry.handler;
    emit commandStarting(id);
    handler();
    UpdateAll();
    emit commandExecuted(id);
    return true;
}

void CCommandTable::UpdateAll()
{
    for (auto& [id, slot] : m_entries)
        Apply(slot);
}

void CCommandTable::UpdateActions(const QList<QAction*>& actions)
{
    for (QAction* a : actions) {
        bool ok = false;
        const int id = a->data().toInt(&ok);
        auto it = ok ? m_entries.find(id) : m_entries.end();
        if (it != m_entries.end() && it->second.action == a)
            Apply(it->second);
    }
}

void CCommandTable::WatchMenu(QMenu* menu)
{
    connect(menu, &QMenu::aboutToShow, this, [this, menu] { UpdateActions(menu->actions()); });
}

void CCommandTable::AddActionsTo(QWidget* window) const
{
    for (const auto& [id, slot] : m_entries)
        window->addAction(slot.action);
}
