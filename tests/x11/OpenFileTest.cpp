// The file a command changes is the file the user sees: the program at a real
// X server, clicks in the browser and keys at the window, the real dialogs
// answered, the files read back from disk.
#include "../dialogs/EditorTestKit.h"
#include "AnswerBoxes.h"
#include "BatchConfirm.h"
#include "BrowseDlg.h"
#include "ChildBrowseView.h"
#include "FileListCtrl.h"
#include "ProgramWindow.h"
#include "ScopedEnv.h"
#include "WidgetMessageBoxes.h"

#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

namespace {

namespace fs = std::filesystem;

// The picture size of a file on disk: a quarter turn swaps it.
QSize SizeOnDisk(const fs::path& p)
{
    const testjpeg::Coefficients c = testjpeg::ReadCoefficients(testjpeg::ReadFile(p));
    return QSize(c.width, c.height);
}

struct CAllSelectedAtOnce final : CAnswerBoxes {
    BatchChoice AskBatchConfirm(const QString&, int, bool) override { return BatchChoice::AllSelected; }
};

class OpenFileTest : public testwin::ProgramTest {
protected:
    void SetUp() override
    {
        ProgramTest::SetUp();
        SetMessageBoxes(&m_widgets);
    }
    void TearDown() override
    {
        SetMessageBoxes(&m_boxes);
        ProgramTest::TearDown();
    }
    CBrowseDlg& List() { return m_app->GetBrowser()->GetBrowseDlg(); }
    void Click(const QString& name, Qt::KeyboardModifiers modifiers = {})
    {
        CFileListCtrl* view = List().GetListCtrl();
        const QRect item = view->visualRect(List().GetModel()->index(List().FindName(name)));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, modifiers, item.center());
    }
    // A key at the main window, once it is active again after a dialog.
    void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = {})
    {
        m_frame->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(m_frame));
        m_app->GetCommands().UpdateAll();
        QTest::keyClick(m_frame->windowHandle(), key, modifiers);
    }

    CScopedEnv m_home{"HOME", QString::fromStdString(m_tmp.path().string())};
    CScopedEnv m_data{"XDG_DATA_HOME", QString::fromStdString((m_tmp / "data").string())};
    CWidgetMessageBoxes m_widgets;
};

TEST_F(OpenFileTest, NoFileButTheOpenImageIsWrittenUnasked)
{
    const fs::path pics = m_tmp / "pics";
    fs::create_directories(pics / "y");
    const auto photo = [&](const char* name, unsigned seed) {
        fs::create_directories((pics / name).parent_path());
        EXPECT_TRUE(testjpeg::WriteFile(pics / name, testjpeg::Encode(testjpeg::MakePattern(320, 240, 3, seed))));
        return testjpeg::ReadFile(pics / name);
    };
    photo("a.jpg", 1);
    photo("c.jpg", 2);
    const std::vector<uint8_t> only = photo("sub/only.jpg", 3);
    Start(QString::fromStdString((pics / "a.jpg").string()));
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return m_app->GetBrowser()->IsListingComplete() && List().GetItemCount() == 4; }));
    // Questions get `reply`; the confirmation gets "All Selected" once the
    // browser's opening delay has run out (at once when it was stopped).
    QStringList questions;
    QMessageBox::StandardButton reply = QMessageBox::Yes;
    QTimer answers;
    QObject::connect(&answers, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            questions << box->text();
            QTest::mouseClick(box->button(reply), Qt::LeftButton);
        } else if (modal && qobject_cast<CBatchConfirm*>(modal) && !List().IsFocusOpenPending()) {
            QTest::mouseClick(qobject_cast<QPushButton*>(GetDlgItem(modal, CBatchConfirm::IDC_ALL_SELECTED)),
                              Qt::LeftButton);
        }
    });
    answers.start(10);

    // A focused folder goes to the trash alone, without the open image.
    Click("y");
    Key(Qt::Key_Delete);
    EXPECT_FALSE(fs::exists(pics / "y"));
    EXPECT_TRUE(fs::exists(pics / "a.jpg"));
    EXPECT_EQ(m_frame->windowTitle(), "Pixmend - [a.jpg]");

    // One photo in a focused folder is named before it is written; No writes nothing.
    Click("sub");
    reply = QMessageBox::No;
    Key(Qt::Key_R);
    EXPECT_EQ(questions.value(1), "Rotate will change sub/only.jpg on disk. Do you want to continue?");
    EXPECT_EQ(testjpeg::ReadFile(pics / "sub/only.jpg"), only);

    // Shift+click c.jpg and R at once: the opening delay runs out behind the
    // confirmation, or while the progress window is shown; every selected
    // photo is turned exactly once each time.
    for (const QSize size : {QSize(240, 320), QSize(320, 240)}) {
        std::optional<CAllSelectedAtOnce> atOnce;
        if (size.width() == 320)
            atOnce.emplace();
        Click("c.jpg", Qt::ShiftModifier);
        Key(Qt::Key_R);
        EXPECT_FALSE(List().IsFocusOpenPending());
        EXPECT_EQ(m_frame->windowTitle(), "Pixmend - [a.jpg]");
        EXPECT_EQ(SizeOnDisk(pics / "a.jpg"), size);
        EXPECT_EQ(SizeOnDisk(pics / "c.jpg"), size);
    }

    // a.jpg chosen, Save As b.jpg, then H: b.jpg is the image edited, a.jpg
    // stays byte for byte.
    Click("a.jpg");
    const std::vector<uint8_t> a = testjpeg::ReadFile(pics / "a.jpg");
    const QString b = QString::fromStdString((pics / "b.jpg").string());
    edtest::WhenModal<QFileDialog>([&](QFileDialog* dialog) {
        dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(b);
        static_cast<QDialog*>(dialog)->accept();
    });
    Key(Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
    Key(Qt::Key_H);
    EXPECT_EQ(m_frame->windowTitle(), "Pixmend - [b.jpg] *");
    EXPECT_EQ(testjpeg::ReadFile(pics / "a.jpg"), a);
    EXPECT_EQ(questions.size(), 2);
}

} // namespace
