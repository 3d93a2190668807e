#include "PropertySheet.h"

#include "DlgItems.h"
#include "ScreenFit.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QEvent>
#include <QKeyEvent>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTabBar>
#include <QVBoxLayout>

#include <algorithm>

// The window of a page: tells its page before the controls go, whoever
// destroys it (the sheet, the page, or Qt with a parent).
class CPageWindow : public QWidget {
public:
    CPageWindow(CPropertyPage* page, QWidget* parent) : QWidget(parent), m_page(page) {}
    ~CPageWindow() override
    {
        if (m_page)
            m_page->WindowGoing();
    }
    QSize sizeHint() const override { return layout() ? QWidget::sizeHint() : childrenRect().size(); }

    CPropertyPage* m_page;
};

// Where a sheet's page windows live; the active one covers it. As the
// window of a tab-less sheet it also tells the sheet when it goes.
class CPageArea : public QWidget {
public:
    CPageArea(CPropertySheet* sheet, QWidget* parent) : QWidget(parent), m_sheet(sheet) {}
    ~CPageArea() override
    {
        if (m_sheet && m_sheet->GetSafeHwnd() == this)
            CallWindowGoing();
    }
    QSize sizeHint() const override
    {
        QSize size(0, 0);
        for (QWidget* w : findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            size = size.expandedTo(w->sizeHint());
        return size;
    }
    QSize minimumSizeHint() const override { return sizeHint(); }

    void CallWindowGoing();
    CPropertySheet* m_sheet;

protected:
    void resizeEvent(QResizeEvent* event) override
    {
        QWidget::resizeEvent(event);
        if (m_sheet)
            m_sheet->PlaceActivePage();
    }
    // A page's layout changed: this area's hints change with it.
    bool event(QEvent* event) override
    {
        if (event->type() == QEvent::LayoutRequest) {
            updateGeometry();
            if (m_sheet)
                m_sheet->OnPagesResized();
        }
        return QWidget::event(event);
    }
};

// The tabbed modal form.
class CSheetDialog : public QDialog {
public:
    CSheetDialog(CPropertySheet* sheet, QWidget* parent) : QDialog(parent), m_sheet(sheet) {}
    ~CSheetDialog() override
    {
        if (m_sheet)
            m_sheet->WindowGoing();
    }

    CPropertySheet* m_sheet;

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        if (m_sheet && m_sheet->HandleSwitchKey(event->key(), event->modifiers()))
            return;
        QDialog::keyPressEvent(event);
    }
};

void CPageArea::CallWindowGoing()
{
    m_sheet->WindowGoing();
}

// --- CPropertyPage ---

CPropertyPage::CPropertyPage(int templateId, const QString& caption)
    : m_nTemplateId(templateId)
    , m_strCaption(caption)
{
}

CPropertyPage::~CPropertyPage()
{
    if (m_window) {
        // The derived page is gone already: its controls must not reach it
        // while they go, nor tell it that they go.
        for (QObject* control : m_window->findChildren<QObject*>())
            control->disconnect(this);
        static_cast<CPageWindow*>(m_window)->m_page = nullptr;
        delete m_window;
        m_window = nullptr;
    }
    // Leaves its sheet as a removed page would: a neighbour becomes active.
    if (m_sheet)
        m_sheet->RemovePage(this);
}

QWidget* CPropertyPage::CreatePageWindow(QWidget* parent)
{
    if (m_window)
        return m_window;
    auto* window = new CPageWindow(this, parent);
    window->setObjectName(m_nTemplateId > 0 ? QStringLiteral("Page%1").arg(m_nTemplateId) : QStringLiteral("Page"));
    window->hide();
    m_window = window;
    CreateControls(window);
    OnInitDialog();
    return window;
}

void CPropertyPage::DestroyPageWindow()
{
    delete m_window; // its destructor calls WindowGoing
}

void CPropertyPage::WindowGoing()
{
    OnDestroyWindow();
    m_window = nullptr;
}

void CPropertyPage::OnShowWindow(bool) {}
bool CPropertyPage::OnSetActive() { return true; }
bool CPropertyPage::OnKillActive() { return true; }
bool CPropertyPage::OnApply() { return true; }
void CPropertyPage::OnCancel() {}
void CPropertyPage::CreateControls(QWidget*) {}
bool CPropertyPage::OnInitDialog() { return true; }
void CPropertyPage::OnDestroyWindow() {}

void CPropertyPage::SetModified(bool modified)
{
    if (m_sheet)
        m_sheet->SetModified(modified);
}

// --- CPropertySheet ---

CPropertySheet::CPropertySheet(const QString& caption, QWidget* parentWindow, int selectPage)
    : m_strCaption(caption)
    , m_parentWindow(parentWindow)
    , m_nStartPage(selectPage)
{
}

CPropertySheet::~CPropertySheet()
{
    DestroySheetWindow();
    for (CPropertyPage* page : m_pages)
        page->m_sheet = nullptr;
}

void CPropertySheet::AddPage(CPropertyPage* page)
{
    if (!page || GetPageIndex(page) >= 0)
        return;
    // One host at a time: another sheet gives the page up first.
    if (page->m_sheet)
        page->m_sheet->RemovePage(page);
    m_pages.push_back(page);
    page->m_sheet = this;
    if (m_window) {
        SyncTabs();
        // The first page of a live sheet becomes its active one.
        if (m_nActive < 0)
            SetActivePage(page);
    }
}

void CPropertySheet::RemovePage(CPropertyPage* page)
{
    RemovePage(GetPageIndex(page));
}

void CPropertySheet::RemovePage(int index)
{
    if (index < 0 || index >= GetPageCount())
        return;
    CPropertyPage* page = m_pages[size_t(index)];
    const bool wasActive = index == m_nActive;
    m_pages.erase(m_pages.begin() + index);
    page->m_sheet = nullptr;
    page->DestroyPageWindow();
    if (index < m_nActive)
        --m_nActive;
    else if (wasActive) {
        m_nActive = -1;
        // The page before takes its place, or the new first one.
        if (m_window && !m_pages.empty())
            SetActivePage(std::max(0, index - 1));
    }
    SyncTabs();
}

bool CPropertySheet::SetActivePage(CPropertyPage* page)
{
    return SetActivePage(GetPageIndex(page));
}

bool CPropertySheet::SetActivePage(int index)
{
    if (index < 0 || index >= GetPageCount())
        return false;
    if (!m_window) {
        m_nStartPage = index;
        return true;
    }
    CPropertyPage* old = GetActivePage();
    if (old && !old->OnKillActive())
        return false;
    CPropertyPage* page = m_pages[size_t(index)];
    if (old && old != page && old->GetSafeHwnd()) {
        old->GetSafeHwnd()->hide();
        old->OnShowWindow(false);
    }
    m_nActive = index;
    page->CreatePageWindow(m_pageArea);
    // The page may have been taken out during its initialisation.
    if (GetPageIndex(page) != index || !page->GetSafeHwnd())
        return false;
    page->OnSetActive();
    PlaceActivePage();
    page->GetSafeHwnd()->show();
    page->OnShowWindow(true);
    OnPagesResized();
    if (m_tabBar) {
        const QSignalBlocker block(m_tabBar);
        m_tabBar->setCurrentIndex(index);
    }
    return true;
}

int CPropertySheet::SetActivePage(IOperationPage* page)
{
    return SetActivePage(dynamic_cast<CPropertyPage*>(page)) ? 1 : 0;
}

void CPropertySheet::AddPage(IOperationPage* page)
{
    AddPage(dynamic_cast<CPropertyPage*>(page));
}

void CPropertySheet::RemovePage(IOperationPage* page)
{
    RemovePage(dynamic_cast<CPropertyPage*>(page));
}

CPropertyPage* CPropertySheet::GetActivePage() const
{
    return GetPage(m_nActive);
}

CPropertyPage* CPropertySheet::GetPage(int index) const
{
    return index >= 0 && index < GetPageCount() ? m_pages[size_t(index)] : nullptr;
}

int CPropertySheet::GetPageIndex(const CPropertyPage* page) const
{
    const auto it = std::find(m_pages.begin(), m_pages.end(), page);
    return it == m_pages.end() ? -1 : int(it - m_pages.begin());
}

void CPropertySheet::PlaceActivePage()
{
    CPropertyPage* page = GetActivePage();
    if (page && page->GetSafeHwnd() && m_pageArea)
        page->GetSafeHwnd()->setGeometry(m_pageArea->rect());
}

void CPropertySheet::AttachWindow(QWidget* window, QWidget* pageArea)
{
    m_window = window;
    m_pageArea = pageArea;
    m_nActive = -1;
    SyncTabs();
    if (!m_pages.empty())
        SetActivePage(std::clamp(m_nStartPage, 0, GetPageCount() - 1));
}

void CPropertySheet::DestroySheetWindow()
{
    delete m_window; // its destructor calls WindowGoing
}

void CPropertySheet::WindowGoing()
{
    OnDestroy();
    for (CPropertyPage* page : m_pages)
        page->DestroyPageWindow();
    // Reopened, the sheet starts where it was left.
    if (m_nActive >= 0)
        m_nStartPage = m_nActive;
    m_nActive = -1;
    m_window = nullptr;
    m_pageArea = nullptr;
    m_tabBar = nullptr;
    m_apply = nullptr;
    m_dialog = nullptr;
}

void CPropertySheet::SyncTabs()
{
    if (!m_tabBar)
        return;
    const QSignalBlocker block(m_tabBar);
    while (m_tabBar->count() > GetPageCount())
        m_tabBar->removeTab(m_tabBar->count() - 1);
    for (int i = 0; i < GetPageCount(); ++i) {
        if (i < m_tabBar->count())
            m_tabBar->setTabText(i, m_pages[size_t(i)]->GetCaption());
        else
            m_tabBar->addTab(m_pages[size_t(i)]->GetCaption());
    }
    if (m_nActive >= 0)
        m_tabBar->setCurrentIndex(m_nActive);
    if (m_pageArea)
        m_pageArea->updateGeometry();
}

int CPropertySheet::DoModal()
{
    if (m_window)
        return 0;
    auto* dialog = new CSheetDialog(this, m_parentWindow);
    dialog->setWindowTitle(m_strCaption);
    auto* layout = new QVBoxLayout(dialog);
    m_tabBar = new QTabBar(dialog);
    m_tabBar->setObjectName(QStringLiteral("SheetTabs"));
    m_tabBar->setDrawBase(false);
    auto* area = new CPageArea(this, dialog);
    area->setObjectName(QStringLiteral("PageArea"));
    // On a small screen the pages scroll rather than push the buttons off it.
    auto* scroller = new CScreenFitArea(area, dialog);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Apply, dialog);
    m_apply = buttons->button(QDialogButtonBox::Apply);
    m_apply->setEnabled(false);
    SetDlgItemId(buttons->button(QDialogButtonBox::Ok), IDOK);
    SetDlgItemId(buttons->button(QDialogButtonBox::Cancel), IDCANCEL);
    SetDlgItemId(m_apply, kApplyNowId);
    layout->addWidget(m_tabBar);
    layout->addWidget(scroller, 1);
    layout->addWidget(buttons);
    m_dialog = dialog;
    connect(m_tabBar, &QTabBar::currentChanged, this, [this](int index) {
        if (!SetActivePage(index)) {
            const QSignalBlocker block(m_tabBar);
            m_tabBar->setCurrentIndex(m_nActive);
        }
    });
    connect(buttons->button(QDialogButtonBox::Ok), &QPushButton::clicked, this, [this] { OnOKCommand(); });
    connect(m_apply, &QPushButton::clicked, this, [this] { OnApplyNow(); });
    connect(buttons, &QDialogButtonBox::rejected, this, [this] { EndDialog(IDCANCEL); });
    AttachWindow(dialog, area);
    OnInitDialog();
    const int result = dialog->exec();
    if (result != QDialog::Accepted && m_dialog) {
        for (CPropertyPage* page : m_pages)
            if (page->GetSafeHwnd())
                page->OnCancel();
    }
    delete m_window;
    return result == QDialog::Accepted ? IDOK : IDCANCEL;
}

void CPropertySheet::EndDialog(int result)
{
    if (m_dialog)
        m_dialog->done(result == IDOK ? QDialog::Accepted : QDialog::Rejected);
}

void CPropertySheet::SetModified(bool modified)
{
    if (m_apply)
        m_apply->setEnabled(modified);
}

bool CPropertySheet::OnInitDialog()
{
    return true;
}

bool CPropertySheet::OnApplyNow()
{
    CPropertyPage* active = GetActivePage();
    if (active && !active->OnKillActive())
        return false;
    for (CPropertyPage* page : m_pages)
        if (page->GetSafeHwnd() && !page->OnApply())
            return false;
    SetModified(false);
    return true;
}

void CPropertySheet::OnOKCommand()
{
    if (OnApplyNow())
        EndDialog(IDOK);
}

void CPropertySheet::OnDestroy() {}

int SwitchKeyStep(int key, Qt::KeyboardModifiers modifiers)
{
    if (!(modifiers & Qt::ControlModifier))
        return 0;
    if (key == Qt::Key_Tab || key == Qt::Key_PageDown)
        return (modifiers & Qt::ShiftModifier) ? -1 : 1;
    if (key == Qt::Key_Backtab || key == Qt::Key_PageUp)
        return -1;
    return 0;
}

bool CPropertySheet::HandleSwitchKey(int key, Qt::KeyboardModifiers modifiers)
{
    const int step = SwitchKeyStep(key, modifiers);
    if (step == 0 || GetPageCount() == 0)
        return false;
    const int n = GetPageCount();
    SetActivePage(((std::max(m_nActive, 0) + step) % n + n) % n);
    return true;
}

// --- CTablessSheet ---

CTablessSheet::CTablessSheet(const QString& caption, QWidget* parentWindow, CPropertyPage* firstPage)
    : CPropertySheet(caption, parentWindow)
{
    if (firstPage)
        AddPage(firstPage);
}

CTablessSheet::~CTablessSheet()
{
    // The page windows go before this class does: nothing of it may run
    // from the base destructor.
    if (m_fitWindow)
        m_fitWindow->removeEventFilter(this);
    DestroySheetWindow();
}

bool CTablessSheet::CreateTabless(QWidget* parent)
{
    if (GetSafeHwnd() || !parent)
        return false;
    auto* area = new CPageArea(this, parent);
    area->setObjectName(QStringLiteral("TablessSheet"));
    area->setGeometry(parent->rect());
    area->show();
    AttachWindow(area, area);
    return true;
}

void CTablessSheet::FitToWindow(QWidget* window)
{
    if (m_fitWindow != window) {
        if (m_fitWindow)
            m_fitWindow->removeEventFilter(this);
        m_fitWindow = window;
        if (window)
            window->installEventFilter(this);
    }
    Fit();
}

void CTablessSheet::Fit()
{
    QWidget* sheet = GetSafeHwnd();
    if (!sheet || !m_fitWindow)
        return;
    // The window's client area in the coordinates of the sheet's parent.
    QRect r = m_fitWindow->rect();
    QWidget* parent = sheet->parentWidget();
    if (parent && parent != m_fitWindow.data())
        r.moveTopLeft(parent->mapFromGlobal(m_fitWindow->mapToGlobal(QPoint(0, 0))));
    sheet->setGeometry(r);
    PlaceActivePage();
}

void CTablessSheet::KeepMinimumForPages(QWidget* window, QSize floor)
{
    m_minWindow = window;
    m_minFloor = floor;
    OnPagesResized();
}

void CTablessSheet::OnPagesResized()
{
    if (m_minWindow && GetSafeHwnd())
        m_minWindow->setMinimumSize(m_minFloor.expandedTo(GetSafeHwnd()->minimumSizeHint()));
}

bool CTablessSheet::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_fitWindow && event->type() == QEvent::Resize)
        Fit();
    return CPropertySheet::eventFilter(watched, event);
}
