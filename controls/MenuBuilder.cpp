#include "MenuBuilder.h"

#include "CommandTable.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>

CMenuBuilder::CMenuBuilder(CCommandTable& commands, PopupHook macroPopupHook)
    : m_commands(commands)
    , m_macroPopupHook(std::move(macroPopupHook))
{
}

QAction* CMenuBuilder::ActionFor(int id, const char* text, QObject* owner)
{
    if (QAction* a = m_commands.Action(id))
        return a;
    auto* a = new QAction(QString::fromUtf8(text ? text : ""), owner);
    a->setData(id);
    a->setEnabled(false);
    return a;
}

size_t CMenuBuilder::FillMenu(QMenu* menu, std::span<const MenuItemTemplate> items, size_t pos)
{
    const int level = items[pos].level + 1;
    size_t i = pos + 1;
    bool macroPopup = false;
    while (i < items.size() && items[i].level >= level) {
        const MenuItemTemplate& item = items[i];
        if (item.id == kMenuSeparator) {
            menu->addSeparator();
            ++i;
        } else if (item.id == kMenuPopup) {
            QMenu* sub = menu->addMenu(QString::fromUtf8(item.text));
            i = FillMenu(sub, items, i);
        } else {
            macroPopup = macroPopup || item.id == kMacroPlaceholderId;
            menu->addAction(ActionFor(item.id, item.text, menu));
            ++i;
        }
    }
    m_commands.WatchMenu(menu);
    if (macroPopup && m_macroPopupHook)
        m_macroPopupHook(menu);
    return i;
}

void CMenuBuilder::FillMenuBar(QMenuBar* bar, std::span<const MenuItemTemplate> menu)
{
    for (size_t i = 0; i < menu.size();) {
        if (menu[i].level == 0 && menu[i].id == kMenuPopup)
            i = FillMenu(bar->addMenu(QString::fromUtf8(menu[i].text)), menu, i);
        else
            ++i;
    }
}

QMenu* CMenuBuilder::BuildPopup(std::span<const MenuItemTemplate> menu, int index, QWidget* parent)
{
    int n = 0;
    for (size_t i = 0; i < menu.size(); ++i) {
        if (menu[i].level != 0 || menu[i].id != kMenuPopup)
            continue;
        if (n++ == index) {
            auto* popup = new QMenu(QString::fromUtf8(menu[i].text), parent);
            FillMenu(popup, menu, i);
            return popup;
        }
    }
    return nullptr;
}

void CMenuBuilder::FillToolBar(QToolBar* bar, std::span<const int> buttons,
                               const std::function<QAction*(int id)>& widgetFor)
{
    for (int id : buttons) {
        if (id == kMenuSeparator) {
            bar->addSeparator();
            continue;
        }
        QAction* special = widgetFor ? widgetFor(id) : nullptr;
        bar->addAction(special ? special : ActionFor(id, nullptr, bar));
    }
}

QList<int> CMenuBuilder::ItemIds(const QMenu* menu)
{
    QList<int> ids;
    for (const QAction* a : menu->actions()) {
        if (a->isSeparator())
            ids.append(kMenuSeparator);
        else if (a->menu())
            ids.append(kMenuPopup);
        else
            ids.append(a->data().toInt());
    }
    return ids;
}
