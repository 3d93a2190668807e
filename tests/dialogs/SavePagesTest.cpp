// The save editor through the application: on the Preferences' "Defaults"
// page against the save prototype (results read from the prototype and from
// the profile), in macro context, and the save-error dialog shown by a real
// failing save.
#include "DlgOperSave.h"
#include "IntEdit.h"
#include "KsImage.h"
#include "OperSave.h"
#include "PageSave.h"
#include "PrefsTestKit.h"
#include "SettingsDlg.h"
#include "TestJpeg.h"
#include "WidgetMessageBoxes.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSlider>

using namespace prefstest;

namespace {

class SavePagesTest : public AppTest {
protected:
    COperSave& Proto() { return m_app->m_operSave; }

    // Preferences on "Defaults" with the save editor shown; `act` gets the
    // sheet and the editor's tab row and must end the sheet.
    void OnSaveDefaults(std::function<void(QWidget*, QTabBar*)> act)
    {
        Preferences([this, act](QWidget* sheet) {
            PickTab(SheetTabs(sheet), QStringLiteral("Defaults"));
            auto* list = Item<QListWidget>(sheet, 1118);
            const auto found = list->findItems(Proto().GetName(), Qt::MatchExactly);
            ASSERT_EQ(found.size(), 1);
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(found[0]).center());
            QTabBar* tabs = EditorTabs(sheet, 1095);
            ASSERT_NE(tabs, nullptr);
            act(sheet, tabs);
        });
    }
};

QString Text(const QWidget* sheet, int id)
{
    return GetWindowTextString(Item<QWidget>(sheet, id));
}

} // namespace

TEST_F(SavePagesTest, CompressionBlanksQualityWithoutLosingIt)
{
    Proto().GetSettings().CompressionMode = 1;
    Proto().GetSettings().Quality = 83;
    Proto().GetSettings().CurTab = 0;
    OnSaveDefaults([](QWidget* sheet, QTabBar* tabs) {
        EXPECT_EQ(tabs->count(), 5);
        Snap(sheet, QStringLiteral("save_compression"));
        auto* mode = Item<QComboBox>(sheet, 1096);
        auto* track = Item<QSlider>(sheet, 1102);
        EXPECT_EQ(Text(sheet, 1098), QStringLiteral("83"));
        EXPECT_EQ(track->value(), 83);
        // "Changes Only": blank quality, trackbar at 0, quality controls off.
        mode->setFocus();
        QTest::keyClick(mode, Qt::Key_Up);
        EXPECT_EQ(Text(sheet, 1098), QString());
        EXPECT_EQ(track->value(), 0);
        EXPECT_FALSE(track->isEnabled());
        EXPECT_EQ(Item<QComboBox>(sheet, 1097)->currentIndex(), -1);
        QTest::keyClick(mode, Qt::Key_Down);
        EXPECT_EQ(Text(sheet, 1098), QStringLiteral("83"));
        EXPECT_EQ(track->value(), 83);
        // A keyboard move of the trackbar reaches the edit and the record.
        track->setFocus();
        QTest::keyClick(track, Qt::Key_PageUp);
        EXPECT_EQ(Text(sheet, 1098), QStringLiteral("93"));
        // The quality typed survives a switch off and on.
        auto* edit = Item<CIntEdit>(sheet, 1098);
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, QStringLiteral("61"));
        EXPECT_EQ(track->value(), 61);
        QTest::keyClick(mode, Qt::Key_Up);
        QTest::keyClick(mode, Qt::Key_Down);
        EXPECT_EQ(Text(sheet, 1098), QStringLiteral("61"));
        Click(sheet, 1);
    });
    EXPECT_EQ(Proto().GetSettings().Quality, 61);
    EXPECT_EQ(Proto().GetSettings().CompressionMode, 1);
}

TEST_F(SavePagesTest, ExifThumbnailChoiceAndClampedSize)
{
    Proto().GetSettings().EXIFThumbSize = 999;
    Proto().GetSettings().GenerateEXIFThumb = 1;
    Proto().GetSettings().CurTab = 1;
    OnSaveDefaults([](QWidget* sheet, QTabBar* tabs) {
        EXPECT_EQ(tabs->currentIndex(), 1);
        Snap(sheet, QStringLiteral("save_exif"));
        auto* thumb = Item<QComboBox>(sheet, 1085);
        EXPECT_EQ(thumb->currentIndex(), 1);
        EXPECT_EQ(Text(sheet, 1089), QString());
        // "Save EXIF" off: no thumbnail choice, a blank disabled size.
        Click(sheet, 1004);
        EXPECT_EQ(thumb->currentIndex(), -1);
        EXPECT_FALSE(thumb->isEnabled());
        EXPECT_FALSE(Item<QWidget>(sheet, 1089)->isEnabled());
        Click(sheet, 1004);
        thumb->setFocus();
        QTest::keyClick(thumb, Qt::Key_Down); // "Update"
        EXPECT_EQ(Text(sheet, 1089), QStringLiteral("256"));
        Click(sheet, 1);
    });
    EXPECT_EQ(Proto().GetSettings().GenerateEXIFThumb, 2);
    EXPECT_EQ(Proto().GetSettings().EXIFThumbSize, 256);
    EXPECT_EQ(Proto().GetSettings().SaveEXIF, 1);
}

TEST_F(SavePagesTest, SuffixTypedAndConfirmedWithEnterIsSaved)
{
    Proto().GetSettings().CurTab = 2;
    Proto().GetSettings().UseSaveSuffix = 0;
    Proto().GetSettings().SaveSuffix = QStringLiteral("_old");
    OnSaveDefaults([](QWidget* sheet, QTabBar*) {
        Snap(sheet, QStringLiteral("save_file"));
        auto* suffix = Item<QLineEdit>(sheet, 1091);
        EXPECT_FALSE(suffix->isEnabled());
        EXPECT_EQ(suffix->text(), QString());
        Click(sheet, 1009);
        EXPECT_EQ(suffix->text(), QStringLiteral("_old"));
        // Off keeps the stored suffix, on shows it again.
        Click(sheet, 1009);
        EXPECT_EQ(suffix->text(), QString());
        Click(sheet, 1009);
        EXPECT_EQ(suffix->text(), QStringLiteral("_old"));
        suffix->setFocus();
        suffix->selectAll();
        QTest::keyClicks(suffix, QStringLiteral("_x"));
        QTest::keyClick(suffix, Qt::Key_Return); // OK, the focus still in the edit
    });
    QSettings* conf = Exit();
    EXPECT_EQ(conf->value("Saving/UseSaveSuffix").toInt(), 1);
    EXPECT_EQ(conf->value("Saving/SaveSuffix").toString(), QStringLiteral("_x"));
}

TEST_F(SavePagesTest, FolderPickerStartsWithoutTheTrailingSlash)
{
    QStringList starts;
    QString answer;
    CPixmendApp::s_browseForFolderHook = [&](QString& path, const QString& title) {
        EXPECT_EQ(title, QStringLiteral("Select a folder"));
        starts.append(path);
        if (answer.isEmpty())
            return false;
        path = answer;
        return true;
    };
    Proto().GetSettings().CurTab = 2;
    Proto().GetSettings().UseDstFolder = 1;
    const struct {
        QString stored;
        QString start;
        QString chosen; // empty: cancelled
    } cases[] = {
        {"/tmp/out/", "/tmp/out", ""},
        {"/", "/", ""},
        {"", "", ""},
        {"/tmp/a//", "/tmp/a", "/tmp/chosen"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored.toStdString());
        Proto().GetSettings().DstFolder = c.stored;
        answer = c.chosen;
        starts.clear();
        OnSaveDefaults([&c](QWidget* sheet, QTabBar*) {
            Click(sheet, 1075);
            EXPECT_EQ(Text(sheet, 1092), c.chosen.isEmpty() ? c.stored : c.chosen);
            Click(sheet, 1);
        });
        EXPECT_EQ(starts, QStringList{c.start});
        EXPECT_EQ(Proto().GetSettings().DstFolder, c.chosen.isEmpty() ? c.stored : c.chosen);
    }
    CPixmendApp::s_browseForFolderHook = nullptr;
}

TEST_F(SavePagesTest, ConfirmAndSaveAsTabsAndCancel)
{
    Proto().GetSettings().CurTab = 3;
    Proto().GetSettings().ConfirmSave = 0;
    OnSaveDefaults([](QWidget* sheet, QTabBar* tabs) {
        EXPECT_EQ(tabs->currentIndex(), 3);
        Snap(sheet, QStringLiteral("save_confirm"));
        Click(sheet, 1010);
        PickTab(tabs, QStringLiteral("Save As"));
        Snap(sheet, QStringLiteral("save_save_as"));
        Click(sheet, 2);
    });
    // Cancel: the clone's change is gone, the prototype untouched.
    EXPECT_EQ(Proto().GetSettings().ConfirmSave, 0);
    EXPECT_EQ(Proto().GetSettings().CurTab, 3);
}

TEST_F(SavePagesTest, MacroContextHasThreeTabs)
{
    for (int curTab : {3, 4}) {
        SCOPED_TRACE(curTab);
        std::unique_ptr<COperation> clone(Proto().Clone());
        static_cast<COperSave*>(clone.get())->GetSettings().CurTab = curTab;
        CTablessSheet sheet;
        CEmptyPage empty;
        QWidget host;
        host.resize(600, 400);
        sheet.AddPage(&empty);
        sheet.CreateTabless(&host);
        sheet.FitToWindow(&host);
        host.show();
        ASSERT_EQ(clone->AddPage(&sheet, 1), 1);
        QTabBar* row = EditorTabs(&host, 1095);
        ASSERT_NE(row, nullptr);
        EXPECT_EQ(row->count(), 3);
        EXPECT_EQ(row->currentIndex(), 0);
        EXPECT_EQ(row->tabText(0), QStringLiteral("Compression"));
        // Shown again, the tabs are removed once only.
        ASSERT_EQ(clone->AddPage(&sheet, 1), 1);
        EXPECT_EQ(row->count(), 3);
        clone->RemovePage(&sheet);
    }
}

TEST_F(SavePagesTest, FailedSaveShowsTheDialogUntilSkipOrAbort)
{
    testjpeg::TempDir dir;
    const QString photo = QString::fromStdString((dir.path() / "photo.jpg").string());
    ASSERT_TRUE(testjpeg::WriteFile(dir.path() / "photo.jpg", testjpeg::Encode(testjpeg::MakePattern(32, 16))));
    ASSERT_TRUE(testjpeg::WriteFile(dir.path() / "plain", std::vector<uint8_t>{1, 2, 3}));
    CKsImage image(m_app->m_jpegLib);
    ASSERT_EQ(image.Load(photo, 0), 1);
    // Below a regular file: fails even for root.
    const QString target = QString::fromStdString((dir.path() / "plain" / "out.jpg").string());
    qunsetenv("PIXMEND_NONINTERACTIVE");
    CWidgetMessageBoxes boxes;
    IMessageBoxes* previous = SetMessageBoxes(&boxes);

    const struct {
        const char* name;
        QList<int> presses; // buttons in turn; 0 is Esc
        int stop;
    } cases[] = {
        {"Skip", {1131}, 0},
        {"Abort", {1130}, 1},
        {"Esc, then Skip", {0, 1131}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<COperation> clone(Proto().Clone());
        auto* save = static_cast<COperSave*>(clone.get());
        save->SetTargetPath(target);
        int shown = 0;
        std::function<void(QWidget*)> answer;
        QList<int> presses = c.presses;
        answer = [&](QWidget* w) {
            ++shown;
            EXPECT_EQ(Item<QLabel>(w, 1132)->text(), QStringLiteral("Cannot write to:\n\n") + target + ".\nNot a directory");
            const int press = presses.takeFirst();
            if (press == 0)
                QTest::keyClick(w, Qt::Key_Escape);
            else
                Click(w, press);
            // The dialog is hidden now; a retry shows a new one.
            if (!presses.isEmpty())
                OnNextModal(answer);
        };
        OnNextModal(answer);
        int stop = 0;
        EXPECT_EQ(save->CreateAction(&image, &stop), nullptr);
        EXPECT_EQ(stop, c.stop);
        EXPECT_EQ(shown, int(c.presses.size()));
    }
    SetMessageBoxes(previous);
}
