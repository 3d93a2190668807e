// The tab control over a tab-less sheet, and the sheets themselves: real
// widgets, clicks on the tab row, page-switching keys, fitting, removal.
#include "DlgItems.h"
#include "DlgTab.h"
#include "PropertySheet.h"
#include "TestPages.h"

#include <QApplication>
#include <QDialog>
#include <QPushButton>
#include <QTimer>
#include <QTabBar>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace {

// A dialog with one CDlgTab filling it, over pages "A", "B", "C".
class DlgTabTest : public ::testing::Test {
public:
    void SetUp() override
    {
        host = std::make_unique<QDialog>();
        host->resize(320, 240);
        auto* layout = new QVBoxLayout(host.get());
        layout->addWidget(tab.Create(host.get()));
        AddPages();
        host->show();
        host->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(host.get()));
    }
    void AddPages()
    {
        CPropertyPage* list[] = {&a, &b, &c};
        tab.AddPages({"A", "B", "C"}, list, 3);
    }
    CPropertyPage* Active() { return tab.GetSheet().GetActivePage(); }
    void ClickTab(int index)
    {
        QTabBar* row = tab.GetTabBar();
        QTest::mouseClick(row, Qt::LeftButton, {}, row->tabRect(index).center());
    }

    CCountingPage a{"A"}, b{"B"}, c{"C"};
    CDlgTab tab;
    std::unique_ptr<QDialog> host;
};

TEST_F(DlgTabTest, AddPagesBuildsEveryWindowAndShowsTheFirst)
{
    EXPECT_EQ(tab.GetSheet().GetPageCount(), 4);
    EXPECT_EQ(tab.GetSheet().GetPageIndex(&a), 1);
    for (CCountingPage* p : {&a, &b, &c}) {
        EXPECT_NE(p->GetSafeHwnd(), nullptr);
        EXPECT_EQ(p->inits, 1);
    }
    EXPECT_EQ(Active(), &a);
    EXPECT_TRUE(a.GetSafeHwnd()->isVisible());
    EXPECT_FALSE(c.GetSafeHwnd()->isVisible());
    EXPECT_EQ(tab.GetCurrentIndex(), -1);
}

TEST_F(DlgTabTest, ClickOnATabShowsItsPage)
{
    ClickTab(2);
    EXPECT_EQ(Active(), &c);
    EXPECT_TRUE(c.GetSafeHwnd()->isVisible());
    EXPECT_FALSE(a.GetSafeHwnd()->isVisible());
    EXPECT_EQ(tab.GetCurrentIndex(), 2);
    EXPECT_EQ(tab.GetCurSel(), 2);
    ClickTab(1);
    EXPECT_EQ(Active(), &b);
    EXPECT_EQ(tab.GetCurrentIndex(), 1);
}

TEST_F(DlgTabTest, RemovalMovesAwayFromTheActiveTabAndKeepsOthersInPlace)
{
    struct Case {
        int select;
        int remove;
        CCountingPage DlgTabTest::*active;
        int current;
    };
    // Active middle tab removed: the next one; active last: the previous
    // one; a tab in front removed: same page, index one less; behind: same.
    const Case cases[] = {
        {1, 1, &DlgTabTest::c, 1},
        {2, 2, &DlgTabTest::b, 1},
        {2, 0, &DlgTabTest::c, 1},
        {0, 2, &DlgTabTest::a, 0},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.remove);
        tab.SelectPage(k.select, 1);
        tab.RemovePageAt(k.remove);
        EXPECT_EQ(Active(), &(this->*k.active));
        EXPECT_EQ(tab.GetCurrentIndex(), k.current);
        EXPECT_EQ(tab.GetCurSel(), k.current);
        EXPECT_EQ(tab.GetItemCount(), 2);
        EXPECT_EQ(tab.GetTabBar()->count(), 2);
        EXPECT_EQ(tab.GetSheet().GetPageCount(), 3);
        // The removed page lost its window, not itself.
        CCountingPage* pages[] = {&a, &b, &c};
        EXPECT_EQ(pages[k.remove]->GetSafeHwnd(), nullptr);
        // Back to three tabs for the next case.
        while (tab.GetItemCount() > 0)
            tab.RemovePageAt(0);
        AddPages();
    }
}

TEST_F(DlgTabTest, RemovingByTitleIsExactAndOnce)
{
    tab.RemovePage(QStringLiteral("b"));
    EXPECT_EQ(tab.GetItemCount(), 3);
    tab.RemovePage(QStringLiteral("B"));
    tab.RemovePage(QStringLiteral("B"));
    EXPECT_EQ(tab.GetTitles(), QStringList({"A", "C"}));
    tab.RemovePageAt(7);
    tab.RemovePageAt(-1);
    tab.SelectPage(5, 1);
    EXPECT_EQ(tab.GetItemCount(), 2);

    tab.SelectPage(0, 1);
    tab.RemovePageAt(0);
    tab.RemovePageAt(0);
    EXPECT_EQ(tab.GetCurrentIndex(), -1);
    EXPECT_EQ(tab.GetSheet().GetPageCount(), 1);
}

TEST_F(DlgTabTest, ASecondWindowGetsItsTabsOnce)
{
    host.reset();
    EXPECT_EQ(tab.GetSafeHwnd(), nullptr);
    EXPECT_EQ(tab.GetItemCount(), 0);
    EXPECT_TRUE(tab.GetTitles().isEmpty());
    EXPECT_EQ(a.GetSafeHwnd(), nullptr);
    EXPECT_EQ(a.destroys, 1);

    QDialog again;
    (new QVBoxLayout(&again))->addWidget(tab.Create(&again));
    AddPages();
    EXPECT_EQ(tab.GetItemCount(), 3);
    EXPECT_EQ(tab.GetTabBar()->count(), 3);
    EXPECT_EQ(tab.GetSheet().GetPageCount(), 4);
    EXPECT_EQ(a.inits, 2);
}

TEST_F(DlgTabTest, CtrlTabMovesRowAndPageTogetherWrappingPastThePlaceholder)
{
    tab.SelectPage(0, 1);
    a.edit->setFocus();
    struct Step {
        Qt::Key key;
        Qt::KeyboardModifiers mods;
        int expected;
    };
    const Step steps[] = {
        {Qt::Key_Tab, Qt::ControlModifier, 1},
        {Qt::Key_PageDown, Qt::ControlModifier, 2},
        {Qt::Key_Tab, Qt::ControlModifier, 0},
        {Qt::Key_PageUp, Qt::ControlModifier, 2},
        {Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier, 1},
    };
    CCountingPage* pages[] = {&a, &b, &c};
    for (const Step& s : steps) {
        QWidget* focus = QApplication::focusWidget();
        ASSERT_NE(focus, nullptr);
        QTest::keyClick(focus, s.key, s.mods);
        EXPECT_EQ(Active(), pages[s.expected]);
        EXPECT_EQ(tab.GetCurSel(), s.expected);
        EXPECT_EQ(tab.GetCurrentIndex(), s.expected);
    }
    // A plain Tab moves the focus, not the page.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(Active(), &b);
}

// A tab-less sheet whose owner picks the page does not switch on the keys.
TEST(TablessSheetTest, OwnerDrivenSheetIgnoresSwitchKeysAndFitsItsWindow)
{
    QDialog host;
    auto* layout = new QVBoxLayout(&host);
    auto* frame = new QWidget(&host);
    layout->addWidget(new QLineEdit(&host));
    layout->addWidget(frame, 1);
    CCountingPage empty, one{"one"}, two{"two"};
    CTablessSheet sheet;
    sheet.AddPage(&empty);
    ASSERT_TRUE(sheet.CreateTabless(frame));
    EXPECT_FALSE(sheet.CreateTabless(frame));
    sheet.FitToWindow(frame);
    sheet.AddPage(&one);
    sheet.AddPage(&two);
    host.resize(300, 200);
    host.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
    ASSERT_TRUE(sheet.SetActivePage(&one));
    one.edit->setFocus();
    QTest::keyClick(one.edit, Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(sheet.GetActivePage(), &one);

    QWidget* page = one.GetSafeHwnd();
    const auto pageCoversFrame = [&] {
        return QRect(page->mapToGlobal(QPoint(0, 0)), page->size()) ==
               QRect(frame->mapToGlobal(QPoint(0, 0)), frame->size());
    };
    for (QSize size : {QSize(420, 310), QSize(250, 180)}) {
        SCOPED_TRACE(size.width());
        const QSize before = frame->size();
        host.resize(size);
        EXPECT_TRUE(QTest::qWaitFor([&] { return frame->size() != before; }));
        EXPECT_TRUE(pageCoversFrame());
        EXPECT_EQ(page->size(), frame->size());
    }
}

TEST(PropertySheetTest, ActivationOrderRefusalAndRemoval)
{
    QWidget parent;
    CCountingPage p0, p1, stranger;
    CTablessSheet sheet;
    sheet.AddPage(&p0);
    sheet.AddPage(&p1);
    // Before the window: only the start page is recorded.
    EXPECT_TRUE(sheet.SetActivePage(&p1));
    EXPECT_EQ(p1.GetSafeHwnd(), nullptr);
    ASSERT_TRUE(sheet.CreateTabless(&parent));
    EXPECT_EQ(sheet.GetActivePage(), &p1);
    EXPECT_EQ(p0.GetSafeHwnd(), nullptr);

    EXPECT_FALSE(sheet.SetActivePage(&stranger));
    // The same page again: left and shown once more.
    EXPECT_TRUE(sheet.SetActivePage(&p1));
    EXPECT_EQ(p1.kills, 1);
    EXPECT_EQ(p1.shows, 2);
    p1.refuseKill = true;
    EXPECT_FALSE(sheet.SetActivePage(&p0));
    EXPECT_EQ(sheet.GetActiveIndex(), 1);
    p1.refuseKill = false;
    EXPECT_TRUE(sheet.SetActivePage(0));
    EXPECT_EQ(p1.hides, 1);

    sheet.RemovePage(&p1);
    EXPECT_EQ(p1.GetSafeHwnd(), nullptr);
    EXPECT_EQ(p1.GetSheet(), nullptr);
    EXPECT_EQ(sheet.GetPageCount(), 1);
    {
        // A page that dies leaves its sheet and takes its window along.
        CCountingPage shortLived;
        sheet.AddPage(&shortLived);
        ASSERT_TRUE(sheet.SetActivePage(&shortLived));
        EXPECT_EQ(sheet.GetActiveIndex(), 1);
    }
    // The page before it took its place.
    EXPECT_EQ(sheet.GetPageCount(), 1);
    EXPECT_EQ(sheet.GetActivePage(), &p0);
    EXPECT_FALSE(p0.GetSafeHwnd()->isHidden());
}

TEST(PropertySheetTest, TabbedModalFormSwitchesOnTabsAndKeysAndAppliesOnOk)
{
    struct ApplyPage : CCountingPage {
        using CCountingPage::CCountingPage;
        int applies = 0;
        bool OnApply() override
        {
            ++applies;
            return true;
        }
    };
    ApplyPage view{"View"}, defaults{"Defaults"};
    CPropertySheet sheet(QStringLiteral("Preferences"));
    sheet.AddPage(&view);
    sheet.AddPage(&defaults);
    QTimer::singleShot(0, [&] {
        QTabBar* row = sheet.GetTabBar();
        EXPECT_EQ(row->count(), 2);
        EXPECT_EQ(row->tabText(1), "Defaults");
        EXPECT_FALSE(sheet.GetApplyButton()->isEnabled());
        QTest::mouseClick(row, Qt::LeftButton, {}, row->tabRect(1).center());
        EXPECT_EQ(sheet.GetActivePage(), &defaults);
        defaults.SetModified(true);
        EXPECT_TRUE(sheet.GetApplyButton()->isEnabled());
        defaults.edit->setFocus();
        QTest::keyClick(defaults.edit, Qt::Key_Tab, Qt::ControlModifier);
        EXPECT_EQ(sheet.GetActivePage(), &view);
        EXPECT_EQ(row->currentIndex(), 0);
        EXPECT_EQ(GetDlgItem(sheet.GetSafeHwnd(), CPropertySheet::kApplyNowId), sheet.GetApplyButton());
        auto* ok = qobject_cast<QPushButton*>(GetDlgItem(sheet.GetSafeHwnd(), CPropertySheet::IDOK));
        ASSERT_NE(ok, nullptr);
        QTest::mouseClick(ok, Qt::LeftButton);
    });
    EXPECT_EQ(sheet.DoModal(), CPropertySheet::IDOK);
    EXPECT_EQ(view.applies, 1);
    EXPECT_EQ(defaults.applies, 1);
    EXPECT_EQ(sheet.GetSafeHwnd(), nullptr);
    EXPECT_EQ(view.GetSafeHwnd(), nullptr);
    EXPECT_EQ(defaults.destroys, 1);
}

} // namespace

namespace {

TEST(PropertySheetTest, CancelEndsTheFormWithoutApplying)
{
    struct CancelPage : CCountingPage {
        int applies = 0, cancels = 0;
        bool OnApply() override { return ++applies > 0; }
        void OnCancel() override { ++cancels; }
    };
    CancelPage page;
    CPropertySheet sheet(QStringLiteral("Preferences"));
    sheet.AddPage(&page);
    QTimer::singleShot(0, [&] { QTest::keyClick(sheet.GetSafeHwnd(), Qt::Key_Escape); });
    EXPECT_EQ(sheet.DoModal(), CPropertySheet::IDCANCEL);
    EXPECT_EQ(page.applies, 0);
    EXPECT_EQ(page.cancels, 1);
    EXPECT_EQ(page.GetSafeHwnd(), nullptr);
}

} // namespace
