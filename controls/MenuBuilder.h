// CMenuBuilder: turns the menu and toolbar templates into Qt menus and
// toolbars over the command table's actions. A command the table holds
// appears through its one shared action (so every menu, key and button
// shows the same state); an id the table does not know yet gets a disabled
// item with the template's text.
#pragma once

#include "MenuResources.h"

#include <QList>

#include <functional>
#include <span>

class CCommandTable;
class QAction;
class QMenu;
class QMenuBar;
class QObject;
class QToolBar;
class QWidget;

class CMenuBuilder {
public:
    // Called for every popup that holds the macro placeholder.
    using PopupHook = std::function<void(QMenu*)>;

    CMenuBuilder(CCommandTable& commands, PopupHook macroPopupHook = {});

    void FillMenuBar(QMenuBar* bar, std::span<const MenuItemTemplate> menu);
    // Level-0 popup number `index` of the template as a new menu owned by
    // `parent`; null when there is no such popup.
    QMenu* BuildPopup(std::span<const MenuItemTemplate> menu, int index, QWidget* parent);
    // `widgetFor` may supply the action of an id that is not a plain button
    // (the zoom box); otherwise the command's action is added.
    void FillToolBar(QToolBar* bar, std::span<const int> buttons,
                     const std::function<QAction*(int id)>& widgetFor = {});

    // The action shown for `id`: the table's, or a new disabled one.
    QAction* ActionFor(int id, const char* text, QObject* owner);

    // Command ids of a menu's items in order, separators as kMenuSeparator
    // and submenus as kMenuPopup.
    static QList<int> ItemIds(const QMenu* menu);

private:
    // Adds the items after `pos` that lie one level below it; returns the end.
    size_t FillMenu(QMenu* menu, std::span<const MenuItemTemplate> items, size_t pos);

    CCommandTable& m_commands;
    PopupHook m_macroPopupHook;
};
