// controls/: the program's own widgets and sheets (int edit, colour button,
// combo, spin, link, separator, toolbar label, dialog-item helpers, property
// page and sheet, tab-less sheet, dialog tab), the command table with the
// menu builder over its actions, and DialogHost, what the application hands
// the dialogs. It may include Qt, engine/ and resources/;
// nothing above it.
//
// Property pages and sheets. A page is an object apart from its window: the
// sheet that first activates it builds the window (the page's controls, then
// OnInitDialog), and the window goes with that sheet, or when the page is
// removed from it, while the page object lives on with its owner. So a page
// owned by an operation never dies with a host window, and initialisation
// runs once per host window while the show handler runs at every showing.
//
// CPropertySheet holds pages it does not own. As a modal form it shows a row
// of tabs over the pages with OK, Cancel and Apply. CTablessSheet is a child
// window that shows only the active page; its owner switches pages.
#pragma once

#include "OperationPage.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <vector>

class CPropertySheet;
class QDialog;
class QPushButton;
class QTabBar;

// The page step of a page-switching key: Ctrl+Tab and Ctrl+PgDn +1,
// Ctrl+Shift+Tab and Ctrl+PgUp -1; 0 for any other key.
int SwitchKeyStep(int key, Qt::KeyboardModifiers modifiers);

class CPropertyPage : public QObject {
    Q_OBJECT
public:
    explicit CPropertyPage(int templateId = 0, const QString& caption = QString());
    // Destroys a live window and leaves the sheet that holds the page.
    ~CPropertyPage() override;

    int GetTemplateId() const { return m_nTemplateId; }
    QString GetCaption() const { return m_strCaption; }
    void SetCaption(const QString& caption) { m_strCaption = caption; }
    // The page's window; null while it has none.
    QWidget* GetSafeHwnd() const { return m_window; }
    CPropertySheet* GetSheet() const { return m_sheet; }

    // Builds the window under `parent` once: controls, then OnInitDialog.
    // Returns the window (the existing one when there is one).
    QWidget* CreatePageWindow(QWidget* parent);
    void DestroyPageWindow();

    // The window was shown (true) or hidden by its sheet.
    virtual void OnShowWindow(bool show);
    // Activation: false refuses it (OnKillActive keeps the page active).
    virtual bool OnSetActive();
    virtual bool OnKillActive();
    // The modal form's buttons: Apply and OK call OnApply on each page with
    // a window; Cancel calls OnCancel.
    virtual bool OnApply();
    virtual void OnCancel();

    // Enables the sheet's Apply button.
    void SetModified(bool modified = true);

protected:
    // The page's dialog template: creates the controls in `window`.
    virtual void CreateControls(QWidget* window);
    virtual bool OnInitDialog();
    // The window is going (its controls still exist): forget every pointer
    // to them. The page may get a new window later.
    virtual void OnDestroyWindow();

private:
    friend class CPropertySheet;
    friend class CPageWindow;
    void WindowGoing();

    int m_nTemplateId;
    QString m_strCaption;
    QWidget* m_window = nullptr; // a CPageWindow, which tells the page when it goes
    CPropertySheet* m_sheet = nullptr;
};

// Also the sheet the engine shows operation pages in: an IOperationPage
// given to it must be a CPropertyPage (COperationDlg is both).
class CPropertySheet : public QObject, public IPageSheet {
    Q_OBJECT
public:
    explicit CPropertySheet(const QString& caption = QString(), QWidget* parentWindow = nullptr, int selectPage = 0);
    // Destroys the page windows and the sheet's own window; the pages stay.
    ~CPropertySheet() override;

    void AddPage(CPropertyPage* page);
    // Takes the page out and destroys its window, never the page.
    void RemovePage(CPropertyPage* page);
    void RemovePage(int index);
    // False for a page the sheet does not hold, or when the active page
    // refuses to be left. Otherwise the active page hears OnKillActive (also
    // when it is the same page), the page's window is built if needed, then
    // OnSetActive, shown, and its show handler runs. Before the sheet has a
    // window this only records which page it starts on.
    bool SetActivePage(CPropertyPage* page);
    bool SetActivePage(int index);
    CPropertyPage* GetActivePage() const;
    int GetActiveIndex() const { return m_nActive; }
    int GetPageCount() const { return int(m_pages.size()); }
    CPropertyPage* GetPage(int index) const;
    int GetPageIndex(const CPropertyPage* page) const;

    // IPageSheet
    int SetActivePage(IOperationPage* page) override;
    void AddPage(IOperationPage* page) override;
    void RemovePage(IOperationPage* page) override;

    QString GetCaption() const { return m_strCaption; }
    // The sheet's window; null while it has none.
    QWidget* GetSafeHwnd() const { return m_window; }
    // Where the page windows live.
    QWidget* GetPageArea() const { return m_pageArea; }
    QTabBar* GetTabBar() const { return m_tabBar; }
    QPushButton* GetApplyButton() const { return m_apply; }

    // The tabbed modal form: 1 for OK, 2 for Cancel.
    int DoModal();
    // Ends the modal form as OK or Cancel would.
    void EndDialog(int result);
    // Enables or disables Apply.
    void SetModified(bool modified = true);

    // Places the active page over the whole page area.
    void PlaceActivePage();

    static constexpr int IDOK = 1;
    static constexpr int IDCANCEL = 2;
    static constexpr int kApplyNowId = 12321;

protected:
    // The modal form, after the pages are in and the first one is active.
    virtual bool OnInitDialog();
    // Apply: OnKillActive of the active page, then OnApply on every page
    // with a window.
    virtual bool OnApplyNow();
    virtual void OnOKCommand();
    // The sheet's window is going; its pages still have their windows.
    virtual void OnDestroy();
    // A page window was shown or its layout changed.
    virtual void OnPagesResized() {}

    // Builds the page area (and, for the tabbed form, the tabs) in `window`.
    void AttachWindow(QWidget* window, QWidget* pageArea);
    void DestroySheetWindow();
    // Ctrl+Tab, Ctrl+PgUp and Ctrl+PgDn switch the tabbed form's pages.
    bool HandleSwitchKey(int key, Qt::KeyboardModifiers modifiers);

private:
    friend class CPropertyPage;
    friend class CSheetDialog;
    friend class CPageArea;
    void WindowGoing();
    void SyncTabs();

    QString m_strCaption;
    QPointer<QWidget> m_parentWindow;
    std::vector<CPropertyPage*> m_pages;
    int m_nActive = -1;
    int m_nStartPage = 0;
    QWidget* m_window = nullptr;
    QWidget* m_pageArea = nullptr;
    QTabBar* m_tabBar = nullptr;
    QPushButton* m_apply = nullptr;
    QDialog* m_dialog = nullptr;
};

class CTablessSheet : public CPropertySheet {
    Q_OBJECT
public:
    explicit CTablessSheet(const QString& caption = QString(), QWidget* parentWindow = nullptr, CPropertyPage* firstPage = nullptr);
    ~CTablessSheet() override;

    // Creates the sheet as a visible child of `parent` with no tab row and
    // no buttons, and activates its start page.
    bool CreateTabless(QWidget* parent);
    // Makes the active page cover the window's client area exactly, now and
    // whenever the window is resized.
    void FitToWindow(QWidget* window);
    // Keeps the window's minimum size at `floor` or at the largest size
    // hint of the pages shown so far, whichever is larger, so the layout
    // that holds the window never squeezes a page.
    void KeepMinimumForPages(QWidget* window, QSize floor = QSize(0, 0));

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void OnPagesResized() override;

private:
    void Fit();

    QPointer<QWidget> m_fitWindow;
    QPointer<QWidget> m_minWindow;
    QSize m_minFloor;
};
