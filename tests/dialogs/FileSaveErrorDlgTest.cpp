// The save-error dialog: its message, what each way of ending it returns,
// and the application's message boxes answering a save error through it.
#include "FileSaveErrorDlg.h"
#include "PrefsTestKit.h"
#include "WidgetMessageBoxes.h"

#include <QLabel>

using prefstest::OnNextModal;

namespace {

const QString kPath = QStringLiteral("/no/such/folder/photo.jpg");

class FileSaveErrorDlgTest : public prefstest::ModalTest {};

// Ends the dialog as `how` says and returns the code DoModal gave.
int Answer(std::function<void(QWidget*)> how)
{
    CFileSaveErrorDlg dlg;
    OnNextModal(std::move(how));
    return dlg.DoModal(kPath);
}

} // namespace

TEST_F(FileSaveErrorDlgTest, ShowsThePathAfterAnEmptyLineWithoutAClose)
{
    CFileSaveErrorDlg dlg;
    OnNextModal([](QWidget* w) {
        EXPECT_EQ(w->windowTitle(), QStringLiteral("File Save Error"));
        EXPECT_FALSE(w->windowFlags() & Qt::WindowCloseButtonHint);
        EXPECT_EQ(prefstest::Item<QLabel>(w, 1132)->text(), QStringLiteral("Cannot write to:\n\n") + kPath + ".");
        EXPECT_FALSE(prefstest::Item<QLabel>(w, 1133)->pixmap().isNull());
        // Only the focused button takes Enter: none of the others is default.
        EXPECT_EQ(w->focusWidget(), prefstest::Item<QPushButton>(w, 1129));
        for (int id : {1130, 1131})
            EXPECT_FALSE(prefstest::Item<QPushButton>(w, id)->isDefault());
        prefstest::Snap(w, QStringLiteral("save_error_dialog"));
        prefstest::Click(w, 1131);
    });
    EXPECT_EQ(dlg.DoModal(kPath), 1131);
}

TEST_F(FileSaveErrorDlgTest, EachWayOfEndingGivesItsCode)
{
    const struct {
        const char* name;
        std::function<void(QWidget*)> how;
        int code;
    } cases[] = {
        {"Retry", [](QWidget* w) { prefstest::Click(w, 1129); }, 1129},
        {"Skip", [](QWidget* w) { prefstest::Click(w, 1131); }, 1131},
        {"Abort", [](QWidget* w) { prefstest::Click(w, 1130); }, 1130},
        {"Enter on the first focus", [](QWidget* w) { QTest::keyClick(w->focusWidget(), Qt::Key_Return); }, 1129},
        {"Tab, Enter", [](QWidget* w) {
             QTest::keyClick(w->focusWidget(), Qt::Key_Tab);
             QTest::keyClick(w->focusWidget(), Qt::Key_Return);
         }, 1131},
        {"Esc", [](QWidget* w) { QTest::keyClick(w, Qt::Key_Escape); }, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Answer(c.how), c.code);
    }
}

TEST_F(FileSaveErrorDlgTest, MessageBoxesMapTheButtons)
{
    qunsetenv("PIXMEND_NONINTERACTIVE");
    CWidgetMessageBoxes boxes;
    ASSERT_TRUE(boxes.IsInteractive());
    using Choice = IMessageBoxes::SaveErrorChoice;
    const std::pair<std::function<void(QWidget*)>, Choice> cases[] = {
        {[](QWidget* w) { prefstest::Click(w, 1131); }, Choice::Skip},
        {[](QWidget* w) { prefstest::Click(w, 1130); }, Choice::Abort},
        {[](QWidget* w) { prefstest::Click(w, 1129); }, Choice::Retry},
        {[](QWidget* w) { QTest::keyClick(w, Qt::Key_Escape); }, Choice::Retry},
    };
    for (const auto& [how, choice] : cases) {
        OnNextModal(how);
        EXPECT_EQ(boxes.AskSaveError(kPath, QString()), choice);
    }
    qputenv("PIXMEND_NONINTERACTIVE", "1");
    EXPECT_EQ(CWidgetMessageBoxes().AskSaveError(kPath, QString()), Choice::Abort);
    qunsetenv("PIXMEND_NONINTERACTIVE");
}
