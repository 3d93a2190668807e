#include "DlgTab.h"

#include "DlgItems.h"

#include <QKeyEvent>
#include <QSignalBlocker>
#include <QTabBar>
#include <QVBoxLayout>

#include <algorithm>

// The window of a CDlgTab: empties its owner before the pages' windows go,
// and takes the page-switching keys that its children leave unhandled.
class CDlgTabWindow : public QWidget {
public:
    CDlgTabWindow(CDlgTab* owner, QWidget* parent) : QWidget(parent), m_owner(owner) {}
    ~CDlgTabWindow() override
    {
        if (m_owner)
            m_owner->WindowGoing();
    }

    CDlgTab* m_owner;

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        if (m_owner && m_owner->HandleSwitchKey(event->key(), event->modifiers()))
            return;
        QWidget::keyPressEvent(event);
    }
};

CDlgTab::CDlgTab() = default;

CDlgTab::~CDlgTab()
{
    if (m_window) {
        static_cast<CDlgTabWindow*>(m_window)->m_owner = nullptr;
        m_tabBar->disconnect(this);
        WindowGoing();
        delete m_window;
    }
}

QWidget* CDlgTab::Create(QWidget* parent)
{
    if (m_window)
        return m_window;
    auto* window = new CDlgTabWindow(this, parent);
    window->setObjectName(QStringLiteral("DlgTab"));
    auto* layout = new QVBoxLayout(window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_tabBar = new QTabBar(window);
    m_tabBar->setObjectName(QStringLiteral("DlgTabRow"));
    m_tabBar->setExpanding(false);
    m_frame = new QWidget(window);
    SetDlgItemId(m_frame, 0xFFFF);
    layout->addWidget(m_tabBar);
    layout->addWidget(m_frame, 1);
    m_window = window;
    // Programmatic changes block the row's signals; what gets through is the user's.
    connect(m_tabBar, &QTabBar::currentChanged, this, [this] { OnSelChange(); });

    m_sheet.AddPage(&m_placeholder);
    m_sheet.CreateTabless(m_frame);
    m_sheet.FitToWindow(m_frame);
    m_sheet.KeepMinimumForPages(m_frame);
    return window;
}

void CDlgTab::WindowGoing()
{
    // The sheet's window lives inside the frame: it goes now, and with it
    // every page window; the pages leave the sheet but the placeholder.
    if (QWidget* sheet = m_sheet.GetSafeHwnd())
        delete sheet;
    while (m_sheet.GetPageCount() > 0)
        m_sheet.RemovePage(m_sheet.GetPageCount() - 1);
    m_titles.clear();
    m_pages.clear();
    m_nCurrent = -1;
    m_window = nullptr;
    m_tabBar = nullptr;
    m_frame = nullptr;
}

void CDlgTab::AddPages(const QStringList& titles, CPropertyPage* const pages[], int count)
{
    if (!m_window)
        return;
    for (int i = 0; i < count && i < titles.size(); ++i) {
        {
            const QSignalBlocker block(m_tabBar);
            m_tabBar->insertTab(m_tabBar->count(), titles[i]);
        }
        // Activated once now, so that every page's window exists from here on.
        m_sheet.AddPage(pages[i]);
        m_sheet.SetActivePage(pages[i]);
        m_titles.append(titles[i]);
        m_pages.push_back(pages[i]);
    }
    if (m_sheet.GetPageCount() > 1)
        m_sheet.SetActivePage(1);
}

void CDlgTab::SelectPage(int index, int selectTab)
{
    if (index < 0 || index >= GetItemCount())
        return;
    m_sheet.SetActivePage(m_pages[size_t(index)]);
    if (selectTab && m_tabBar) {
        const QSignalBlocker block(m_tabBar);
        m_tabBar->setCurrentIndex(index);
    }
    m_nCurrent = index;
}

void CDlgTab::OnSelChange()
{
    SelectPage(GetCurSel(), 0);
}

int CDlgTab::GetCurSel() const
{
    return m_tabBar ? m_tabBar->currentIndex() : -1;
}

void CDlgTab::RemovePageAt(int index)
{
    if (index < 0 || index >= GetItemCount())
        return;
    if (index == m_nCurrent)
        SelectPage(index == GetItemCount() - 1 ? index - 1 : index + 1, 1);
    if (index <= m_nCurrent)
        --m_nCurrent;
    m_titles.removeAt(index);
    m_sheet.RemovePage(m_pages[size_t(index)]);
    m_pages.erase(m_pages.begin() + index);
    if (m_tabBar) {
        const QSignalBlocker block(m_tabBar);
        m_tabBar->removeTab(index);
    }
}

void CDlgTab::RemovePage(const QString& title)
{
    const qsizetype index = m_titles.indexOf(title);
    if (index >= 0)
        RemovePageAt(int(index));
}

bool CDlgTab::HandleSwitchKey(int key, Qt::KeyboardModifiers modifiers)
{
    const int step = SwitchKeyStep(key, modifiers);
    if (step == 0 || m_pages.empty())
        return false;
    const int n = GetItemCount();
    const int from = m_nCurrent >= 0 ? m_nCurrent : std::max(GetCurSel(), 0);
    SelectPage(((from + step) % n + n) % n, 1);
    return true;
}
