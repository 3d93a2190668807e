// An operation's editor page through the engine's page and sheet
// interfaces: a test kind with one int and a number-edit page, shown in two
// host dialogs in turn; the operation outlives hosts and hosts outlive it.
#include "DlgOperGrayscale.h"
#include "EmptyPage.h"
#include "IntEdit.h"
#include "Operation.h"
#include "OperationDlg.h"
#include "OperationPages.h"

#include <QDialog>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <memory>

namespace {

class CTestIntPage : public COperationDlg {
public:
    CTestIntPage() : COperationDlg(9001) {}
    CIntEdit* edit = nullptr;
    int inits = 0;

protected:
    void CreateControls(QWidget* window) override
    {
        edit = new CIntEdit(window, CIntEdit::DigitsOnly);
        (new QVBoxLayout(window))->addWidget(edit);
        // Every change is the operation's value at once.
        QObject::connect(edit, &CIntEdit::changed, this, [this] {
            if (int* value = static_cast<int*>(GetParams()))
                *value = edit->GetValue();
        });
    }
    bool OnInitDialog() override
    {
        ++inits;
        edit->SetRange(0, 1000);
        return true;
    }
    void UpdateControls() override { edit->SetValue(*static_cast<int*>(GetParams())); }
    void OnDestroyWindow() override { edit = nullptr; }
};

class COperTestInt : public COperation {
public:
    explicit COperTestInt(const char* section = "TestInt") : COperation("Test Int", section)
    {
        AddIntParam(QStringLiteral("Value"), &value);
    }
    IAction* CreateAction(CKsImage*, int*) override { return nullptr; }
    COperation* CreateNew() const override { return new COperTestInt(GetRegistrySection().toLatin1().constData()); }
    void UpdatePage() override
    {
        if (m_pPage)
            m_pPage->BindParams(&value);
    }
    IOperationPage* GetPage() override { return CreatePageOnce(); }

    int value = 5;
};

// A host dialog as the editors' hosts build it: a frame holding a tab-less
// sheet whose first page is the empty one.
class CHost : public QDialog {
public:
    CHost()
    {
        auto* layout = new QVBoxLayout(this);
        frame = new QWidget(this);
        layout->addWidget(frame);
        resize(300, 200);
        sheet.AddPage(&empty);
        sheet.CreateTabless(frame);
        sheet.FitToWindow(frame);
        show();
        activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(this));
    }
    QWidget* frame;
    CTablessSheet sheet;
    CEmptyPage empty;
};

class OperationPageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        RegisterOperationPageFactory(QStringLiteral("TestInt"), [](COperation&) -> IOperationPage* {
            return new CTestIntPage;
        });
    }
    void TearDown() override { RegisterOperationPageFactory(QStringLiteral("TestInt"), {}); }

    static CTestIntPage* PageOf(COperation& op) { return dynamic_cast<CTestIntPage*>(op.GetExistingPage()); }
};

TEST_F(OperationPageTest, PageEditsInPlaceInitsPerWindowAndRefillsAtEveryShowing)
{
    auto op = std::make_unique<COperTestInt>();
    EXPECT_EQ(op->HasPageWindow(), 0);
    CTestIntPage* page = nullptr;
    {
        CHost first;
        ASSERT_EQ(op->AddPage(&first.sheet, 0), 1);
        page = PageOf(*op);
        ASSERT_NE(page, nullptr);
        EXPECT_EQ(op->HasPageWindow(), 1);
        EXPECT_EQ(first.sheet.GetActivePage(), page);
        EXPECT_EQ(page->edit->text(), "5");
        EXPECT_EQ(page->IsBatchMode(), 0);

        page->edit->setFocus();
        page->edit->selectAll();
        QTest::keyClicks(page->edit, "42");
        EXPECT_EQ(op->value, 42);
        QTest::keyClick(page->edit, Qt::Key_Backspace);
        EXPECT_EQ(op->value, 4);

        // Shown again in the same sheet: no second copy, no second init.
        op->value = 17;
        ASSERT_EQ(op->AddPage(&first.sheet, 0), 1);
        EXPECT_EQ(first.sheet.GetPageCount(), 2);
        EXPECT_EQ(page->inits, 1);
        EXPECT_EQ(page->edit->text(), "17");
    }
    // The host is gone, the page stays with its operation.
    EXPECT_EQ(op->HasPageWindow(), 0);
    EXPECT_EQ(PageOf(*op), page);
    EXPECT_EQ(page->edit, nullptr);

    CHost second;
    op->value = 7;
    ASSERT_EQ(op->AddPage(&second.sheet, 1), 1);
    EXPECT_EQ(page->inits, 2);
    EXPECT_EQ(page->edit->text(), "7");
    EXPECT_EQ(page->IsBatchMode(), 1);

    // A clone of an operation whose page is open has none of its own.
    std::unique_ptr<COperation> clone(op->Clone());
    EXPECT_EQ(clone->GetExistingPage(), nullptr);
    EXPECT_EQ(static_cast<COperTestInt*>(clone.get())->value, 7);

    op->RemovePage(&second.sheet);
    EXPECT_EQ(op->HasPageWindow(), 0);
    EXPECT_EQ(PageOf(*op), page);
    EXPECT_EQ(second.sheet.GetPageCount(), 1);
}

TEST_F(OperationPageTest, OperationDeletedBeforeOrAfterItsHostIsClean)
{
    {
        CHost host;
        auto op = std::make_unique<COperTestInt>();
        ASSERT_EQ(op->AddPage(&host.sheet, 0), 1);
        QWidget* window = PageOf(*op)->GetSafeHwnd();
        ASSERT_NE(window, nullptr);
        QPointer<QWidget> watch(window);
        op.reset();
        EXPECT_TRUE(watch.isNull());
        // The sheet shows what it holds: the empty page.
        EXPECT_EQ(host.sheet.GetPageCount(), 1);
        EXPECT_EQ(host.sheet.GetActivePage(), &host.empty);
    }
    auto op = std::make_unique<COperTestInt>();
    {
        CHost host;
        ASSERT_EQ(op->AddPage(&host.sheet, 0), 1);
    }
    EXPECT_EQ(op->HasPageWindow(), 0);
    op.reset();

    // Deleting a page directly (as DeletePage does) also leaves its host.
    CHost host;
    COperTestInt other;
    ASSERT_EQ(other.AddPage(&host.sheet, 0), 1);
    other.DeletePage();
    EXPECT_EQ(host.sheet.GetPageCount(), 1);
    EXPECT_EQ(other.GetExistingPage(), nullptr);
}

TEST_F(OperationPageTest, GrayscaleKindGetsTheEmptyEditorPage)
{
    RegisterOperationPages();
    COperTestInt gray("Grayscale");
    CHost host;
    ASSERT_EQ(gray.AddPage(&host.sheet, 0), 1);
    auto* page = dynamic_cast<CDlgOperGrayscale*>(gray.GetExistingPage());
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(page->GetTemplateId(), CEmptyPage::kTemplateId);
    EXPECT_TRUE(page->GetSafeHwnd()->children().isEmpty());

    COperTestInt none("NoSuchKind");
    EXPECT_EQ(none.AddPage(&host.sheet, 0), 0);
    EXPECT_EQ(none.HasPageWindow(), 0);
    none.RemovePage(&host.sheet);
    EXPECT_EQ(host.sheet.GetPageCount(), 2);
}

} // namespace
