// The macro manager and the macro editor on real widgets offscreen, with
// message boxes that answer from the test.
#include "BatchEditDlg.h"
#include "BatchManagerDlg.h"
#include "DlgItems.h"
#include "MessageBoxes.h"
#include "OperCrop.h"
#include "OperEmail.h"
#include "OperRotate.h"
#include "OperSave.h"
#include "OperationPages.h"
#include "Profile.h"
#include "TestJpeg.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTabBar>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

namespace {

class CAnswerBoxes final : public IMessageBoxes {
public:
    CAnswerBoxes() { m_previous = SetMessageBoxes(this); }
    ~CAnswerBoxes() override { SetMessageBoxes(m_previous); }
    void ShowMessage(const QString& text) override { messages << text; }
    bool AskQuestion(const QString& text) override
    {
        questions << text;
        return yes;
    }
    bool AskOkCancel(const QString& text) override
    {
        questions << text;
        const auto buttons = QMessageBox::Ok | QMessageBox::Cancel;
        return !realBox || QMessageBox(QMessageBox::Warning, "Pixmend", text, buttons).exec() == QMessageBox::Ok;
    }
    bool realBox = false;
    SaveErrorChoice AskSaveError(const QString&, const QString&) override { return SaveErrorChoice::Skip; }
    bool ReportProgress(int) override { return true; }
    bool yes = false;
    QStringList messages, questions;

private:
    IMessageBoxes* m_previous = nullptr;
};

QString ArtifactPath(const char* name)
{
    QDir().mkpath(QStringLiteral(PIXMEND_ARTIFACTS_DIR));
    return QStringLiteral(PIXMEND_ARTIFACTS_DIR "/") + QLatin1String(name);
}

// A manager whose editor answers OK at once and records the names it saw.
class CTestManager : public CBatchManagerDlg {
public:
    using CBatchManagerDlg::CBatchManagerDlg;
    int EditMacro(CBatch* batch) override
    {
        edited << batch->GetName();
        // A rename that also drops the last operation, as the editor would.
        if (!rename.isEmpty()) {
            batch->SetName(rename);
            delete batch->GetOperations().back();
            batch->GetOperations().pop_back();
        }
        return 1;
    }
    QStringList edited;
    QString rename;
};

class MacroDialogsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        RegisterOperationPages();
        CProfile::SetFilePath(QString::fromStdString((m_dir / "Pixmend.conf").string()));
        prototypes = {&rotate, &crop, &save, &email};
    }
    void TearDown() override { CProfile::Close(); }
    QByteArray ConfBytes() const
    {
        CProfile::Close();
        QFile f(QString::fromStdString((m_dir / "Pixmend.conf").string()));
        f.open(QIODevice::ReadOnly);
        const QByteArray bytes = f.readAll();
        CProfile::SetFilePath(QString::fromStdString((m_dir / "Pixmend.conf").string()));
        return bytes;
    }
    void Store(CBatchList& list, const QStringList& names)
    {
        QString text;
        for (const QString& name : names) {
            CBatch b(name);
            b.GetOperations().push_back(rotate.Clone());
            b.GetOperations().push_back(save.Clone());
            CBatchList one;
            one.GetBatches().push_back(new CBatch(b));
            text += (text.isEmpty() ? QString() : QStringLiteral(",")) + one.SaveToString();
        }
        list.LoadFromString(text, &prototypes);
        list.Save();
    }

    testjpeg::TempDir m_dir;
    COperRotate rotate;
    COperCrop crop;
    COperSave save;
    COperEmail email;
    std::vector<IOperation*> prototypes;
};

} // namespace

TEST_F(MacroDialogsTest, ManagerNamesLimitsCancelAndOk)
{
    CAnswerBoxes boxes;
    CBatchList list;
    Store(list, {QStringLiteral("Macro 1"), QStringLiteral("macro 2"), QStringLiteral("Trip")});
    const QByteArray before = ConfBytes();
    {
        CTestManager dlg(list, prototypes);
        dlg.show();
        dlg.OnNew();
        EXPECT_EQ(dlg.edited, QStringList{QStringLiteral("Macro 3")});
        dlg.GetList()->setCurrentRow(2);
        dlg.OnCopy();
        dlg.OnCopy();
        EXPECT_EQ(list.GetNames().mid(3), (QStringList{QStringLiteral("Macro 3"), QStringLiteral("Copy of Trip"),
                                                       QStringLiteral("Copy (2) of Trip")}));
        EXPECT_EQ(dlg.GetList()->currentRow(), 2);
        QTest::qWait(0);
        dlg.grab().save(ArtifactPath("macro-manager.png"));
        // Remove one, then cancel: asked; No stays open, Yes restores.
        dlg.GetList()->setCurrentRow(0);
        dlg.OnRemove();
        EXPECT_EQ(boxes.questions.last(), QStringLiteral("Remove \"Macro 1\" macro action?"));
        EXPECT_EQ(dlg.GetList()->currentRow(), 0);
        dlg.reject();
        EXPECT_EQ(boxes.questions.last(), QStringLiteral("Are you sure you want to discard all the changes?"));
        EXPECT_TRUE(dlg.isVisible());
        boxes.yes = true;
        dlg.reject();
        EXPECT_FALSE(dlg.isVisible());
    }
    EXPECT_EQ(ConfBytes(), before);
    EXPECT_EQ(list.GetNames(),
              (QStringList{QStringLiteral("Macro 1"), QStringLiteral("macro 2"), QStringLiteral("Trip")}));

    // 99 macros: New disabled, and its handler refuses.
    {
        QStringList names;
        for (int i = 0; i < 99; ++i)
            names << QStringLiteral("m%1").arg(i);
        CBatchList full;
        Store(full, names);
        CTestManager dlg(full, prototypes);
        EXPECT_FALSE(GetDlgItem(&dlg, 1070)->isEnabled());
        dlg.OnNew();
        dlg.GetList()->setCurrentRow(0);
        dlg.OnCopy();
        EXPECT_EQ(boxes.messages,
                  (QStringList{QStringLiteral("Cannot add a new macro!\n\nToo many macro actions defined!"),
                               QStringLiteral("Cannot copy the macro!\n\nToo many macro actions defined!")}));
        EXPECT_TRUE(dlg.edited.isEmpty());
        dlg.reject();
    }

    // OK stores exactly the list's text; a name with "," survives.
    CBatchList list2;
    Store(list2, {QStringLiteral("Trip")});
    {
        CTestManager dlg(list2, prototypes);
        dlg.OnCopy();
        list2.GetBatches()[1]->SetName(QStringLiteral("A, b & c"));
        dlg.accept();
    }
    EXPECT_EQ(CProfile::GetProfileString(QStringLiteral("Macros"), QStringLiteral("List"), QString()),
              list2.SaveToString());
    CBatchList reread;
    reread.Load(&prototypes);
    EXPECT_EQ(reread.GetNames(), (QStringList{QStringLiteral("Trip"), QStringLiteral("A, b & c")}));
    EXPECT_EQ(reread.SaveToString(), list2.SaveToString());
}

TEST_F(MacroDialogsTest, EditorButtonsPagesAndRoutesOut)
{
    CAnswerBoxes boxes;
    CBatch macro(QStringLiteral("Trip"));
    macro.GetOperations().push_back(crop.Clone());
    macro.GetOperations().push_back(save.Clone());
    const QString original = macro.SaveToString();

    for (int route = 0; route < 3; ++route) { // Cancel button, Esc, window close
        SCOPED_TRACE(route);
        CBatchEditDlgWrapper dlg(&macro, prototypes);
        dlg.show();
        CBatchEditDlg& page = dlg.GetPage();
        auto* selected = qobject_cast<QListWidget*>(GetDlgItem(page.GetSafeHwnd(), 1117));
        ASSERT_NE(selected, nullptr);
        // Change values on the crop page and the save page.
        static_cast<COperCrop*>(page.GetWorkingCopy().GetOperations()[0])->SetManualInput(1);
        selected->setCurrentRow(1);
        static_cast<COperSave*>(page.GetWorkingCopy().GetOperations()[1])->GetSettings().Quality = 12;
        if (route == 0)
            QTest::mouseClick(qobject_cast<QPushButton*>(GetDlgItem(page.GetSafeHwnd(), 1076)), Qt::LeftButton);
        if (route == 0)
            page.OnCancel();
        else if (route == 1)
            QTest::keyClick(&dlg, Qt::Key_Escape);
        else
            dlg.close();
        EXPECT_EQ(macro.SaveToString(), original);
    }

    CBatchEditDlgWrapper dlg(&macro, prototypes);
    dlg.show();
    CBatchEditDlg& page = dlg.GetPage();
    QWidget* w = page.GetSafeHwnd();
    auto* selected = qobject_cast<QListWidget*>(GetDlgItem(w, 1117));
    auto* available = qobject_cast<QListWidget*>(GetDlgItem(w, 1118));
    auto* up = qobject_cast<QPushButton*>(GetDlgItem(w, 1075));
    auto* down = qobject_cast<QPushButton*>(GetDlgItem(w, 1076));
    auto* check = qobject_cast<QCheckBox*>(GetDlgItem(w, 1123));
    ASSERT_TRUE(selected && available && up && down && check);
    EXPECT_EQ(available->count(), 4);
    EXPECT_EQ(selected->currentRow(), 0);
    // The crop page in macro context: no "Preview" tab.
    auto* tabs = GetDlgItem(w, 1119)->findChild<QTabBar*>(QStringLiteral("DlgTabRow"));
    ASSERT_NE(tabs, nullptr);
    QStringList titles;
    for (int i = 0; i < tabs->count(); ++i)
        titles << tabs->tabText(i);
    EXPECT_EQ(titles, QStringList{QStringLiteral("General")});
    EXPECT_FALSE(up->isEnabled());
    page.OnMoveUp(); // first: nothing
    EXPECT_EQ(page.GetWorkingCopy().SaveToString(), original);
    selected->setCurrentRow(1);
    page.OnMoveDown(); // last: nothing
    EXPECT_EQ(page.GetWorkingCopy().SaveToString(), original);
    // Add e-mail: Auto 1, selected last, its page shown.
    available->setCurrentRow(3);
    page.OnAdd();
    ASSERT_EQ(page.GetWorkingCopy().GetOperations().size(), 3u);
    IOperation* added = page.GetWorkingCopy().GetOperations()[2];
    EXPECT_EQ(added->GetAuto(), 1);
    EXPECT_EQ(selected->currentRow(), 2);
    ASSERT_TRUE(check->isEnabled());
    check->click();
    EXPECT_TRUE(added->SaveToString().contains(QStringLiteral("ManualInput,1")));
    QTest::qWait(0);
    dlg.grab().save(ArtifactPath("macro-editor.png"));
    // OK with e-mail last asks; No stays.
    page.OnOK();
    EXPECT_EQ(boxes.questions.last(), CBatchEditDlg::LastItemText(QStringLiteral("Save")));
    EXPECT_TRUE(dlg.isVisible());
    // Remove the last: the new last is selected; Up moves save before crop.
    page.OnRemove();
    EXPECT_EQ(selected->currentRow(), 1);
    page.OnMoveUp();
    EXPECT_EQ(selected->currentRow(), 0);
    EXPECT_EQ(page.GetWorkingCopy().GetOperations()[0]->GetName(), QStringLiteral("Save"));
    page.OnMoveDown();
    auto* name = qobject_cast<QLineEdit*>(GetDlgItem(w, 1058));
    name->setText(QStringLiteral("Trip & more, too"));
    const int asked = int(boxes.questions.size());
    page.OnOK();
    EXPECT_EQ(int(boxes.questions.size()), asked); // ends with Save: no question
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(macro.GetName(), QStringLiteral("Trip & more, too"));
    EXPECT_EQ(macro.GetOperations().size(), 2u);
}

// Return on a push button reached with Tab presses that button, as Space
// does: the dialog stays open.
TEST_F(MacroDialogsTest, ReturnPressesTheFocusedButton)
{
    CAnswerBoxes boxes;
    CBatchList list;
    Store(list, {QStringLiteral("Trip")});
    CTestManager manager(list, prototypes);
    CBatch macro(QStringLiteral("Trip"));
    CBatchEditDlgWrapper editor(&macro, prototypes);
    QWidget* page = editor.GetPage().GetSafeHwnd();
    struct Row {
        QDialog* dialog;
        QWidget* before; // Tab from here reaches the button
        QWidget* button;
        std::function<bool()> pressed;
    };
    const Row rows[] = {
        {&manager, GetDlgItem(&manager, 1116), GetDlgItem(&manager, 1070),
         [&] { return manager.edited == QStringList{QStringLiteral("Macro 1")}; }},
        {&editor, GetDlgItem(page, 1117), GetDlgItem(page, 1070),
         [&] { return editor.GetPage().GetWorkingCopy().GetOperations().size() == 1; }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.dialog->windowTitle().toStdString());
        row.dialog->show();
        row.dialog->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(row.dialog));
        row.before->setFocus();
        QTest::keyClick(row.before, Qt::Key_Tab);
        ASSERT_EQ(QApplication::focusWidget(), row.button);
        QTest::keyClick(row.button, Qt::Key_Return);
        EXPECT_TRUE(row.pressed());
        EXPECT_TRUE(row.dialog->isVisible());
        row.dialog->hide();
    }
    editor.GetPage().OnCancel();
    // Held on Remove, Return answers its question once and presses nothing more.
    Store(list, {QStringLiteral("Trip"), QStringLiteral("Home")});
    manager.show();
    manager.GetList()->setCurrentRow(0);
    GetDlgItem(&manager, 1071)->setFocus();
    boxes.realBox = true;
    int repeats = 4;
    bool done = false;
    std::function<void()> repeat = [&] {
        QWidget* modal = QApplication::activeModalWidget();
        QWidget* top = modal ? modal : &manager;
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, {}, "\r", true);
        done = repeats-- <= 0 && !modal;
        if (!done) // the next comes in whatever event loop this one opens
            QTimer::singleShot(0, repeat);
        if (repeats >= 0)
            QApplication::sendEvent(top->focusWidget() ? top->focusWidget() : top, &press);
        else if (modal)
            static_cast<QDialog*>(modal)->done(QMessageBox::Ok);
    };
    QTimer::singleShot(0, repeat);
    QTest::keyClick(GetDlgItem(&manager, 1071), Qt::Key_Return);
    ASSERT_TRUE(QTest::qWaitFor([&] { return done; }, 5000));
    EXPECT_TRUE(list.GetNames() == QStringList{"Home"} && boxes.questions.size() == 1 && manager.isVisible());
}

// Two running copies, each with its macro manager: the one opened after the
// other's OK shows the other's new macro, and its own OK stores its list as
// left (two macros of one name, the second of two removed, a rename in
// place) with the other's macro added.
TEST_F(MacroDialogsTest, ManagersOfTwoCopiesKeepEachOthersMacros)
{
    CAnswerBoxes boxes;
    CBatchList list;
    Store(list, {QStringLiteral("Trip"), QStringLiteral("Trip"), QStringLiteral("Home")});
    ASSERT_TRUE(CProfile::Flush());
    const auto clickOk = [](QDialog& dlg) {
        QTest::mouseClick(dlg.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok), Qt::LeftButton);
    };
    const QString file = CProfile::FilePath();
    EXPECT_EQ(testjpeg::InOtherCopy(
                  [&](const testjpeg::Meet& meet) {
                      meet(); // both have read the list
                      CProfile::SetFilePath(file);
                      CBatchList theirs;
                      theirs.Load(&prototypes);
                      CTestManager dlg(theirs, prototypes);
                      dlg.show();
                      dlg.GetList()->setCurrentRow(0);
                      QTest::mouseClick(GetDlgItem(&dlg, 1117), Qt::LeftButton);
                      clickOk(dlg);
                      CProfile::Close();
                      return 0;
                  },
                  [&](const testjpeg::Meet& meet) {
                      list.Load(&prototypes);
                      meet();
                  }),
              0);
    CTestManager dlg(list, prototypes);
    dlg.show();
    EXPECT_EQ(list.GetNames(), (QStringList{"Trip", "Trip", "Home", "Copy of Trip"}));
    dlg.GetList()->setCurrentRow(1);
    QTest::mouseClick(GetDlgItem(&dlg, 1071), Qt::LeftButton);
    dlg.GetList()->setCurrentRow(1);
    dlg.rename = "Trip";
    QTest::mouseClick(GetDlgItem(&dlg, 1115), Qt::LeftButton);
    clickOk(dlg);
    CProfile::Close();
    CProfile::SetFilePath(file);
    CBatchList reread;
    reread.Load(&prototypes);
    EXPECT_EQ(reread.GetNames(), (QStringList{"Trip", "Trip", "Copy of Trip"}));
    EXPECT_EQ(list.GetNames(), reread.GetNames());
    std::vector<size_t> operations;
    for (const CBatch* batch : reread.GetBatches())
        operations.push_back(batch->GetOperations().size());
    EXPECT_EQ(operations, (std::vector<size_t>{2, 1, 2}));
}
