// CDlgTab: a row of tabs over a tab-less sheet. The sheet holds the empty
// placeholder first, then the pages in the order they were added, so the
// page of tab i sits at sheet index i + 1. The pages are not owned: the
// editor that embeds the CDlgTab owns them.
//
// Like a page, the object outlives its window: when the window goes, the
// titles, pages and index are emptied, so the editor's next window gets its
// tabs once. Ctrl+Tab, Ctrl+PgUp and Ctrl+PgDn pressed anywhere inside move
// the row and the page together, wrapping, never onto the placeholder.
#pragma once

#include "EmptyPage.h"
#include "PropertySheet.h"

#include <QObject>
#include <QStringList>

#include <vector>

class QTabBar;

class CDlgTab : public QObject {
    Q_OBJECT
public:
    CDlgTab();
    ~CDlgTab() override;

    // Builds the window under `parent`: the tab row, the frame under it and
    // the sheet inside the frame with the placeholder active.
    QWidget* Create(QWidget* parent);
    QWidget* GetSafeHwnd() const { return m_window; }

    void AddPages(const QStringList& titles, CPropertyPage* const pages[], int count);
    // Shows the page of tab `index`; selects the tab too when selectTab is
    // set. Out-of-range indexes do nothing.
    void SelectPage(int index, int selectTab);
    void RemovePageAt(int index);
    // Removes the first tab whose title is exactly `title`.
    void RemovePage(const QString& title);

    int GetItemCount() const { return int(m_pages.size()); }
    int GetCurrentIndex() const { return m_nCurrent; }
    // The row's selection; -1 without a window or tabs.
    int GetCurSel() const;
    const QStringList& GetTitles() const { return m_titles; }
    QTabBar* GetTabBar() const { return m_tabBar; }
    QWidget* GetFrame() const { return m_frame; }
    CTablessSheet& GetSheet() { return m_sheet; }

protected:
    // A user's change of the row: shows the picked tab's page.
    void OnSelChange();

private:
    friend class CDlgTabWindow;
    void WindowGoing();
    bool HandleSwitchKey(int key, Qt::KeyboardModifiers modifiers);

    QStringList m_titles;
    QWidget* m_window = nullptr;
    QTabBar* m_tabBar = nullptr;
    QWidget* m_frame = nullptr;
    CTablessSheet m_sheet;
    CEmptyPage m_placeholder;
    std::vector<CPropertyPage*> m_pages;
    int m_nCurrent = -1;
};
