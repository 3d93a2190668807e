// The folder browser end to end: the real program and library on folders the
// tests make, thumbnails made by the worker and taken over by the idle steps
// without any input event, keys and label edits sent to the list, the
// profile in a temporary configuration folder.
#include "ActionRotateFlip.h"
#include "AnswerBoxes.h"
#include "BrowseDlg.h"
#include "ChildBrowseView.h"
#include "CommandIds.h"
#include "FileListCtrl.h"
#include "MainFrame.h"
#include "PixmendApp.h"
#include "Profile.h"
#include "ScopedEnv.h"
#include "SettingsDlg.h"
#include "TestJpeg.h"
#include "ThumbLoader.h"
#include "UndoMan.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QSplitter>
#include <QTest>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

QString Q(const fs::path& p)
{
    return QString::fromStdString(p.string());
}

// Sets a file's modification time to `seconds` since 1970.
void SetTime(const fs::path& path, time_t seconds)
{
    const timespec times[2] = {{seconds, 0}, {seconds, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

class BrowserTest : public ::testing::Test {
protected:
    BrowserTest()
        : m_home("HOME", Q(m_tmp.path()))
        , m_data("XDG_DATA_HOME", Q(m_tmp / "data"))
        , m_config("XDG_CONFIG_HOME", Q(m_tmp / "config"))
    {
    }
    void SetUp() override { Start(); }
    void TearDown() override { CProfile::Close(); }

    void Start(const QStringList& args = {})
    {
        m_app = std::make_unique<CPixmendApp>();
        ASSERT_TRUE(m_app->InitInstance(args));
        m_frame = m_app->GetMainFrame();
        m_frame->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(m_frame));
    }
    void Restart(const QStringList& args = {})
    {
        m_app->ExitInstance(0);
        m_app.reset();
        Start(args);
    }

    fs::path Photo(const std::string& relative, unsigned seed = 1, int size = 48)
    {
        const fs::path path = m_tmp / relative;
        fs::create_directories(path.parent_path());
        EXPECT_TRUE(testjpeg::WriteFile(path, testjpeg::Encode(testjpeg::MakePattern(size, size * 3 / 4, 3, seed))));
        return path;
    }
    CChildBrowseView& Browser() { return *m_app->GetBrowser(); }
    CBrowseDlg& List() { return Browser().GetBrowseDlg(); }
    CFileListCtrl* Ctrl() { return List().GetListCtrl(); }
    QStringList Names()
    {
        QStringList names;
        for (int i = 0; i < List().GetItemCount(); ++i)
            names << List().GetNameAt(i);
        return names;
    }
    QString OpenName() const
    {
        return m_app->m_image.IsLoaded() ? QFileInfo(m_app->m_image.GetPath()).fileName() : QString();
    }
    QImage Picture(int row)
    {
        const QPixmap pixmap = List().GetModel()->index(row).data(Qt::DecorationRole).value<QPixmap>();
        return pixmap.toImage().convertToFormat(QImage::Format_RGB888);
    }
    // The thumbnail the library makes of `path` with the browser's parameters.
    QImage Direct(const fs::path& path)
    {
        ThumbCacheEntry entry;
        if (!CThumbLoader::MakeThumbnail(m_app->m_image.GetLibraryObject(), Q(path), m_app->m_settings.ThumbWidth, 7,
                                         List().WindowColour(), entry))
            return {};
        return entry.bitmap.convertToFormat(QImage::Format_RGB888);
    }
    // Waits, without input events, until the listing is complete and every
    // file item but those named in `without` shows its thumbnail.
    bool WaitThumbnails(const QStringList& without = {})
    {
        return QTest::qWaitFor([&] {
            if (!Browser().IsListingComplete())
                return false;
            for (int i = 0; i < List().GetItemCount(); ++i) {
                const FileListEntry& e = List().GetEntry(i);
                if (!e.directory && !without.contains(e.name) && !List().GetModel()->HasThumbnail(i))
                    return false;
            }
            return true;
        }, 10000);
    }
    void Modify() { ASSERT_TRUE(m_app->m_image.GetUndoMan()->AddAction(new CActionRotateFlip(RotateParams{0, 2}))); }
    bool Modified() { return m_app->m_image.IsLoaded() && m_app->m_image.GetUndoMan()->IsModified(); }

    testjpeg::TempDir m_tmp;
    CScopedEnv m_home, m_data, m_config;
    CAnswerBoxes m_boxes;
    std::unique_ptr<CPixmendApp> m_app;
    CMainFrame* m_frame = nullptr;
};

TEST_F(BrowserTest, ListsFoldersAndJpegsWithTheirOwnThumbnails)
{
    Photo("p/IMG.JPE", 1);
    Photo("p/a.jpeg", 2);
    Photo("p/b.jpg", 3);
    Photo("p/c.jpg", 4);
    for (const char* other : {"p/a.jp", "p/a.pe", "p/README"})
        Photo(other, 5);
    fs::create_directories(m_tmp / "p/zsub");
    fs::create_directories(m_tmp / "p/Asub");
    ASSERT_EQ(mkfifo((m_tmp / "p/fifo.jpg").c_str(), 0600), 0);
    // A sparse 3 GiB file that is no JPEG: listed with its size, no thumbnail.
    {
        const int fd = ::open((m_tmp / "p/huge.jpg").c_str(), O_CREAT | O_WRONLY, 0600);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(ftruncate(fd, off_t(3) << 30), 0);
        ::close(fd);
    }
    SetTime(m_tmp / "p/IMG.JPE", 3000);
    SetTime(m_tmp / "p/a.jpeg", 1000);
    SetTime(m_tmp / "p/b.jpg", 2000);
    SetTime(m_tmp / "p/c.jpg", 2000);
    SetTime(m_tmp / "p/huge.jpg", 500);

    m_app->ChangeFolder(Q(m_tmp / "p"), 0);
    ASSERT_TRUE(WaitThumbnails({"huge.jpg"}));
    EXPECT_EQ(Names(), (QStringList{"Asub", "zsub", "a.jpeg", "b.jpg", "c.jpg", "huge.jpg", "IMG.JPE"}));
    m_app->m_settings.SortType = 1;
    Browser().Resort();
    EXPECT_EQ(Names(), (QStringList{"Asub", "zsub", "huge.jpg", "a.jpeg", "b.jpg", "c.jpg", "IMG.JPE"}));
    EXPECT_EQ(List().GetSortCombo()->currentIndex(), 1);
    EXPECT_EQ(CFileListModel::CompareEntries(List().GetEntry(4), List().GetEntry(5), 1), 0);

    const auto checkPictures = [&] {
        for (int i = 0; i < List().GetItemCount(); ++i) {
            const FileListEntry& e = List().GetEntry(i);
            SCOPED_TRACE(e.name.toStdString());
            if (e.directory)
                EXPECT_FALSE(List().GetModel()->HasThumbnail(i));
            else if (e.name == "huge.jpg")
                EXPECT_EQ(Picture(i), List().GetModel()->Placeholder().toImage().convertToFormat(QImage::Format_RGB888));
            else
                EXPECT_EQ(Picture(i), Direct(m_tmp / "p" / e.name.toStdString()));
        }
    };
    checkPictures();

    // Tips: grouped sizes, the picture size once known.
    const auto tip = [&](const QString& name) {
        return List().GetModel()->index(List().FindName(name)).data(Qt::ToolTipRole).toString();
    };
    EXPECT_TRUE(tip("huge.jpg").startsWith("huge.jpg\n3 221 225 472 bytes\n0 x 0\n"));
    EXPECT_TRUE(tip("b.jpg").startsWith(QStringLiteral("b.jpg\n%1 bytes\n48 x 36\n")
                                            .arg(CFileListModel::GroupedDigits(fs::file_size(m_tmp / "p/b.jpg")))));
    EXPECT_TRUE(tip("Asub").startsWith("FOLDER\nAsub\n"));
    EXPECT_EQ(CFileListModel::GroupedDigits(1234567), "1 234 567");
    EXPECT_EQ(CFileListModel::GroupedDigits(123), "123");

    // Mode 2 adds exactly the new file, mode 3 drops the vanished one; every
    // other item keeps its own picture.
    const fs::path copy = Photo("p/x_copy.jpg", 9);
    SetTime(copy, 2500);
    Browser().ShowFolder(QString(), 2);
    EXPECT_EQ(Names(), (QStringList{"Asub", "zsub", "huge.jpg", "a.jpeg", "b.jpg", "c.jpg", "x_copy.jpg", "IMG.JPE"}));
    EXPECT_EQ(List().GetEntry(List().FindName("x_copy.jpg")).size, fs::file_size(copy));
    ASSERT_TRUE(WaitThumbnails({"huge.jpg"}));
    fs::remove(m_tmp / "p/b.jpg");
    Browser().ShowFolder(QString(), 3);
    EXPECT_EQ(Names(), (QStringList{"Asub", "zsub", "huge.jpg", "a.jpeg", "c.jpg", "x_copy.jpg", "IMG.JPE"}));
    checkPictures();
}

TEST_F(BrowserTest, AThumbnailNeverGoesToTheSameNameInAnotherFolder)
{
    const fs::path a = Photo("A/IMG_0001.jpg", 11, 640);
    const fs::path b = Photo("B/IMG_0001.jpg", 12, 64);
    const QImage pictureA = Direct(a);
    const QImage pictureB = Direct(b);
    ASSERT_NE(pictureA, pictureB);
    for (int round = 0; round < 3; ++round) {
        m_app->ChangeFolder(Q(m_tmp / "A"), 0);
        m_app->ChangeFolder(Q(m_tmp / "B"), 0);
        bool sawA = false;
        EXPECT_TRUE(QTest::qWaitFor([&] {
            if (!List().GetModel()->HasThumbnail(0))
                return false;
            sawA = sawA || Picture(0) == pictureA;
            return Picture(0) == pictureB;
        }, 10000));
        EXPECT_FALSE(sawA);
    }
}

TEST_F(BrowserTest, FocusOpensOnlyWhereItRestsAndAsksBeforeGivingUpEdits)
{
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg", "d.jpg", "e.jpg"})
        Photo(std::string("p/") + name);
    fs::create_directories(m_tmp / "p/sub");
    Photo("p/sub/in.jpg");
    // All items in one row, so Left and Right step through the list.
    m_frame->resize(1280, 800);
    m_frame->GetSplitter()->setSizes({900, 380});
    m_app->ChangeFolder(Q(m_tmp / "p"), 1);
    EXPECT_EQ(OpenName(), "a.jpg") << "the first file opens, not the folder before it";
    m_app->OpenImage(Q(m_tmp / "p/a.jpg"), 1);
    // The pointer over the list takes the keyboard from the image view.
    ASSERT_TRUE(m_frame->GetViewWidget()->hasFocus());
    // Two points: a move to where the pointer already is sends nothing.
    QTest::mouseMove(Ctrl()->viewport(), QPoint(30, 30));
    QTest::mouseMove(Ctrl()->viewport(), QPoint(40, 40));
    ASSERT_TRUE(QTest::qWaitFor([&] { return Ctrl()->hasFocus(); }));

    QStringList opened;
    for (int i = 0; i < 3; ++i)
        QTest::keyClick(Ctrl(), Qt::Key_Right);
    EXPECT_TRUE(QTest::qWaitFor([&] {
        if (!opened.contains(OpenName()))
            opened << OpenName();
        return OpenName() == "d.jpg";
    }, 3000));
    EXPECT_EQ(opened, (QStringList{"a.jpg", "d.jpg"}));

    // A modified image: Cancel puts focus and selection back on it.
    Modify();
    m_boxes.answer = IMessageBoxes::Answer::Cancel;
    QTest::keyClick(Ctrl(), Qt::Key_Right);
    EXPECT_TRUE(QTest::qWaitFor([&] { return m_boxes.questions.size() == 1; }, 3000));
    EXPECT_EQ(OpenName(), "d.jpg");
    EXPECT_EQ(List().GetFocusedIndex(), List().FindName("d.jpg"));
    EXPECT_TRUE(List().IsSelected(List().FindName("d.jpg")));
    EXPECT_FALSE(List().IsSelected(List().FindName("e.jpg")));

    // Enter on a folder asks first, and the focus timer does not open it meanwhile.
    const auto toFolder = [&] {
        for (int i = 0; i < 4; ++i)
            QTest::keyClick(Ctrl(), Qt::Key_Left);
        EXPECT_EQ(List().GetFocusedIndex(), 0);
    };
    toFolder();
    ASSERT_TRUE(List().IsFocusOpenPending());
    QTest::keyClick(Ctrl(), Qt::Key_Return);
    EXPECT_EQ(m_boxes.questions.size(), 2);
    EXPECT_EQ(m_app->m_strCurrentFolder, Q(m_tmp / "p"));
    EXPECT_FALSE(List().IsFocusOpenPending());
    EXPECT_EQ(OpenName(), "d.jpg");
    EXPECT_TRUE(Modified());
    m_boxes.answer = IMessageBoxes::Answer::No;
    toFolder();
    QTest::keyClick(Ctrl(), Qt::Key_Return);
    EXPECT_EQ(m_app->m_strCurrentFolder, Q(m_tmp / "p/sub"));
    EXPECT_EQ(OpenName(), "in.jpg");
}

TEST_F(BrowserTest, FolderItemsAreEnteredNeverOpened)
{
    Photo("p/x.jpg");
    Photo("p/y.jpg", 2);
    Photo("p/a_sub/in.jpg");
    fs::create_directories(m_tmp / "p/b_sub");
    const QString p = Q(m_tmp / "p");
    QComboBox* box = List().GetFolderCombo();
    const auto click = [&](const QString& name) {
        const QRect rect = Ctrl()->visualRect(List().GetModel()->index(List().FindName(name)));
        QTest::mouseClick(Ctrl()->viewport(), Qt::LeftButton, {}, rect.center());
    };
    const auto enabled = [&](int id) { return m_app->GetCommands().Action(id)->isEnabled(); };

    m_app->ChangeFolder(p, 1);
    EXPECT_EQ(OpenName(), "x.jpg");
    EXPECT_EQ(m_app->m_settings.DefaultPath, p + "/x.jpg");

    // A click on a folder, and the focus resting there, leave the photo and
    // its edits alone without a question.
    Modify();
    m_boxes.answer = IMessageBoxes::Answer::No;
    click("a_sub");
    ASSERT_EQ(List().GetFocusedIndex(), List().FindName("a_sub"));
    List().OnTimer();
    EXPECT_TRUE(m_boxes.questions.isEmpty());
    EXPECT_EQ(OpenName(), "x.jpg");
    EXPECT_TRUE(Modified());
    m_app->m_image.GetUndoMan()->ClearHistory();

    // Stepping passes the folders by; the commands follow the open image.
    m_app->OpenImage(p + "/x.jpg", 1);
    EXPECT_FALSE(enabled(ID_FILE_PREV_IMAGE));
    EXPECT_FALSE(m_app->GetCommands().Execute(ID_FILE_PREV_IMAGE));
    EXPECT_EQ(OpenName(), "x.jpg");
    EXPECT_TRUE(m_app->GetCommands().Execute(ID_FILE_LAST_IMAGE));
    EXPECT_EQ(OpenName(), "y.jpg");
    EXPECT_TRUE(m_app->GetCommands().Execute(ID_FILE_FIRST_IMAGE));
    EXPECT_EQ(OpenName(), "x.jpg");

    // Enter on a folder enters it; the folder box shows where the list is.
    click("b_sub");
    QTest::keyClick(Ctrl(), Qt::Key_Return);
    EXPECT_EQ(m_app->m_strCurrentFolder, p + "/b_sub");
    EXPECT_EQ(box->currentText(), p + "/b_sub");
    ASSERT_TRUE(m_app->GetCommands().Execute(ID_FOLDER_UP));
    EXPECT_EQ(m_app->m_strCurrentFolder, p);
    EXPECT_EQ(box->currentText(), p);
    EXPECT_EQ(List().GetNameAt(-1), "b_sub");
    EXPECT_EQ(m_app->m_settings.DefaultPath, p + "/");

    // A folder named at start-up (no trailing "/") is that folder.
    Restart({p});
    EXPECT_EQ(m_app->m_strCurrentFolder, p);
    EXPECT_EQ(OpenName(), "x.jpg");
    EXPECT_EQ(List().GetFolderCombo()->currentText(), p);
}

TEST_F(BrowserTest, LabelEditsRenameOnlyWithinTheFolder)
{
    for (const char* name : {"IMG_1.jpg", "IMG_2.jpg", "IMG_3.jpg"})
        Photo(std::string("p/") + name, unsigned(name[4]));
    m_app->ChangeFolder(Q(m_tmp / "p"), 1);
    ASSERT_EQ(OpenName(), "IMG_1.jpg");

    // Typed into the editor: no letter is a command, Delete and Backspace
    // stay in the field, Return commits.
    Ctrl()->setFocus();
    QTest::keyClick(Ctrl(), Qt::Key_F2);
    ASSERT_TRUE(Ctrl()->IsEditing());
    auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->text(), "IMG_1");
    QTest::keyClick(editor, Qt::Key_Delete);
    QTest::keyClick(editor, Qt::Key_Backspace);
    QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(editor, "Holiday");
    QTest::keyClick(editor, Qt::Key_Return);
    // The delegate commits after the editor has seen the key.
    EXPECT_TRUE(QTest::qWaitFor([&] { return !Ctrl()->IsEditing(); }));
    EXPECT_FALSE(Modified());
    EXPECT_EQ(m_app->m_strCurrentFolder, Q(m_tmp / "p"));
    EXPECT_TRUE(fs::exists(m_tmp / "p/Holiday.jpg"));
    EXPECT_FALSE(fs::exists(m_tmp / "p/IMG_1.jpg"));
    EXPECT_EQ(m_app->m_image.GetPath(), Q(m_tmp / "p/Holiday.jpg"));
    EXPECT_EQ(m_frame->windowTitle(), "Pixmend - [Holiday.jpg]");
    EXPECT_GE(List().FindName("Holiday.jpg"), 0);
    EXPECT_LT(List().FindName("IMG_1.jpg"), 0);

    // Esc cancels.
    QTest::keyClick(Ctrl(), Qt::Key_F2);
    ASSERT_TRUE(Ctrl()->IsEditing());
    QTest::keyClicks(QApplication::focusWidget(), "Other");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !Ctrl()->IsEditing(); }));
    EXPECT_TRUE(fs::exists(m_tmp / "p/Holiday.jpg"));

    const std::vector<uint8_t> two = testjpeg::ReadFile(m_tmp / "p/IMG_2.jpg");
    const std::vector<uint8_t> three = testjpeg::ReadFile(m_tmp / "p/IMG_3.jpg");
    const struct {
        const char* from;
        const char* text;
        const char* expect; // the file afterwards; null: refused
    } cases[] = {
        {"IMG_2.jpg", "IMG_3", nullptr}, {"IMG_2.jpg", "sub/x", nullptr}, {"IMG_2.jpg", "", nullptr},
        {"IMG_2.jpg", "..", nullptr},    {"IMG_2.jpg", ".", nullptr},     {"IMG_2.jpg", "   ", nullptr},
        {"IMG_3.jpg", "Three", "Three.jpg"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const qsizetype messages = m_boxes.messages.size();
        EXPECT_EQ(List().OnEndLabelEdit(List().FindName(c.from), c.text), c.expect != nullptr);
        EXPECT_EQ(m_boxes.messages.size(), messages + (c.expect ? 0 : 1));
        if (c.expect) {
            EXPECT_GE(List().FindName(c.expect), 0);
        }
    }
    EXPECT_EQ(testjpeg::ReadFile(m_tmp / "p/IMG_2.jpg"), two);
    EXPECT_EQ(testjpeg::ReadFile(m_tmp / "p/Three.jpg"), three);
    // Renaming another file leaves the open image's path alone.
    EXPECT_EQ(m_app->m_image.GetPath(), Q(m_tmp / "p/Holiday.jpg"));
    // A renamed folder takes the edited photo in it along; its old name leaves the history.
    m_app->OpenImage(Q(Photo("p/sub/a.jpg")), 0);
    m_app->ChangeFolder(Q(m_tmp / "p"), 0);
    Modify();
    EXPECT_TRUE(List().OnEndLabelEdit(List().FindName("sub"), "renamed"));
    EXPECT_TRUE(m_app->GetCommands().Execute(ID_FILE_SAVE));
    EXPECT_FALSE(Modified());
    EXPECT_FALSE(List().GetFolderHistory().contains(Q(m_tmp / "p/sub")));
}

TEST_F(BrowserTest, SortComboChangesTheNeighbourOfNextImage)
{
    // Times run against the names.
    const char* names[] = {"a.jpg", "b.jpg", "c.jpg", "d.jpg"};
    for (int i = 0; i < 4; ++i)
        SetTime(Photo(std::string("p/") + names[i]), 4000 - i * 1000);
    m_app->ChangeFolder(Q(m_tmp / "p"), 1);
    m_app->OpenImage(Q(m_tmp / "p/b.jpg"), 1);
    QComboBox* sort = List().GetSortCombo();
    sort->setCurrentIndex(1);
    emit sort->activated(1);
    EXPECT_EQ(m_app->m_settings.SortType, 1);
    EXPECT_EQ(Names(), (QStringList{"d.jpg", "c.jpg", "b.jpg", "a.jpg"}));
    EXPECT_EQ(List().GetCurrentIndex(), 2);
    m_app->GetCommands().UpdateAll();
    EXPECT_TRUE(m_app->GetCommands().Execute(ID_FILE_NEXT_IMAGE));
    EXPECT_EQ(OpenName(), "a.jpg");

    // Select All Items: every item; disabled in an empty folder.
    m_app->GetCommands().UpdateAll();
    EXPECT_TRUE(m_app->GetCommands().Execute(ID_FILE_SELECT_ALL_ITEMS));
    EXPECT_EQ(List().GetSelectedEntries().size(), 4u);

    // Photos of one second sort by name; relisted for the settings with the
    // open photo's file gone, the list steps on from where it stood.
    for (const char* name : names)
        SetTime(m_tmp / "p" / name, 5000);
    EXPECT_TRUE(m_app->GetCommands().Execute(ID_FOLDER_REFRESH));
    EXPECT_EQ(Names(), (QStringList{"a.jpg", "b.jpg", "c.jpg", "d.jpg"}));
    m_app->OpenImage(Q(m_tmp / "p/b.jpg"), 1);
    fs::remove(m_tmp / "p/b.jpg");
    SettingsBrowser().showFolder(QString());
    EXPECT_EQ(Names(), (QStringList{"a.jpg", "c.jpg", "d.jpg"}));
    EXPECT_EQ(List().GetPrevName(), "a.jpg");
    m_app->GetCommands().UpdateAll();
    EXPECT_TRUE(m_app->GetCommands().Execute(ID_FILE_NEXT_IMAGE));
    EXPECT_EQ(OpenName(), "c.jpg");
    fs::create_directories(m_tmp / "empty");
    m_app->ChangeFolder(Q(m_tmp / "empty"), 0);
    EXPECT_FALSE(m_app->GetCommands().Query(ID_FILE_SELECT_ALL_ITEMS).m_bEnabled);
}

TEST_F(BrowserTest, AnImageOfAFolderStillBeingListedIsSelectedWhenItArrives)
{
    const std::vector<uint8_t> jpeg = testjpeg::Encode(testjpeg::MakePattern(16, 16));
    fs::create_directories(m_tmp / "many");
    for (int i = 0; i < 3000; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "f%04d.jpg", i);
        ASSERT_TRUE(testjpeg::WriteFile(m_tmp / "many" / name, jpeg));
    }
    m_app->ChangeFolder(Q(m_tmp / "many"), 0);
    ASSERT_LT(List().GetItemCount(), 3000);
    QString name;
    for (int i = 2999; i >= 0 && name.isEmpty(); --i) {
        const QString candidate = QStringLiteral("f%1.jpg").arg(i, 4, 10, QLatin1Char('0'));
        if (List().FindName(candidate) < 0)
            name = candidate;
    }
    m_app->OpenImage(Q(m_tmp / "many") + "/" + name, 1);
    EXPECT_EQ(List().GetCurrentIndex(), -1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return List().GetNameAt(-1) == name; }, 10000));
    EXPECT_TRUE(List().IsSelected(List().GetCurrentIndex()));
    EXPECT_EQ(List().GetFocusedIndex(), List().GetCurrentIndex());
    EXPECT_TRUE(QTest::qWaitFor([&] { return Browser().IsListingComplete() && List().GetItemCount() == 3000; }));
    // Edits made while the folder is listed again are asked about before its first photo opens.
    m_app->ChangeFolder(Q(m_tmp / "many"), 1);
    ASSERT_FALSE(Browser().IsListingComplete());
    Modify();
    EXPECT_TRUE(QTest::qWaitFor([&] { return Browser().IsListingComplete() && m_boxes.questions.size() == 1; }));
    EXPECT_EQ(OpenName(), name); // Cancel
}

TEST_F(BrowserTest, FolderHistoryKeepsTenExactFoldersAcrossARestart)
{
    CBrowseDlg* list = &List();
    for (int i = 0; i < 12; ++i)
        list->AddFolderHistory(QStringLiteral("/f%1").arg(i));
    list->AddFolderHistory("/f5");
    list->AddFolderHistory("/Photos");
    list->AddFolderHistory("/photos");
    list->AddFolderHistory("/a|b");
    const QStringList expected = {"/photos", "/Photos", "/f5", "/f11", "/f10", "/f9", "/f8", "/f7", "/f6", "/f4"};
    EXPECT_EQ(list->GetFolderHistory(), expected);
    EXPECT_EQ(list->GetFolderCombo()->currentIndex(), 0);
    Restart();
    EXPECT_EQ(List().GetFolderHistory(), expected);

    CProfile::WriteProfileString("General", "FolderHistory", "/x|/y");
    List().LoadFolderHistory();
    EXPECT_EQ(List().GetFolderHistory(), (QStringList{"/x", "/y"}));

    // Choosing an entry lists that folder.
    Photo("q/one.jpg");
    List().AddFolderHistory(Q(m_tmp / "q"));
    QComboBox* combo = List().GetFolderCombo();
    combo->setCurrentIndex(0);
    emit combo->activated(0);
    EXPECT_EQ(m_app->m_strCurrentFolder, Q(m_tmp / "q"));
    EXPECT_EQ(OpenName(), "one.jpg");
    // A folder without photos keeps the photo; one arriving later never replaces its edits.
    fs::create_directories(m_tmp / "r");
    List().AddFolderHistory(Q(m_tmp / "r"));
    emit combo->activated(0);
    Modify();
    Photo("r/z.jpg");
    EXPECT_TRUE(m_app->GetCommands().Execute(ID_FOLDER_REFRESH));
    EXPECT_EQ(OpenName(), "one.jpg");
    // A folder gone meanwhile is named and leaves the history.
    List().AddFolderHistory(Q(m_tmp / "gone"));
    emit combo->activated(0);
    EXPECT_EQ(m_boxes.messages, QStringList{"The folder " + Q(m_tmp / "gone") + " no longer exists."});
    EXPECT_EQ(List().GetFolderHistory().value(0), Q(m_tmp / "r"));
}

TEST_F(BrowserTest, SpacingFollowsTheClampedPreferences)
{
    const struct {
        int width, space, cellWidth;
    } cases[] = {{94, 10, 104}, {500, 1, 153}, {10, 99, 70}};
    for (const auto& c : cases) {
        m_app->m_settings.ThumbWidth = c.width;
        m_app->m_settings.ThumbSpace = c.space;
        ASSERT_TRUE(SettingsBrowser().setIconSpacing);
        SettingsBrowser().setIconSpacing(0, 0);
        EXPECT_EQ(Ctrl()->gridSize().width(), c.cellWidth) << c.width;
    }
}

TEST_F(BrowserTest, Screenshot)
{
    const fs::path corpus = fs::canonical(testjpeg::CorpusDir());
    // A corpus file the library cannot thumbnail keeps its placeholder.
    QStringList without;
    for (const fs::path& file : testjpeg::CorpusFiles())
        if (Direct(file).isNull())
            without << QString::fromStdString(file.filename().string());
    m_frame->resize(1280, 800);
    m_app->ChangeFolder(Q(corpus), 1);
    QDir().mkpath(QStringLiteral(PIXMEND_ARTIFACTS_DIR));
    EXPECT_TRUE(WaitThumbnails(without));
    EXPECT_TRUE(m_frame->grab().save(QStringLiteral(PIXMEND_ARTIFACTS_DIR "/browser-1280x800.png")));
    // Every thumbnail in view shows as it is, centred at the top of its cell.
    const QImage shown = Ctrl()->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB888);
    int drawn = 0;
    for (int i = 0; i < List().GetItemCount(); ++i) {
        const QModelIndex index = List().GetModel()->index(i);
        const QRect cell = Ctrl()->visualRect(index);
        const QImage picture = Picture(i);
        // A selected one is framed over its edge.
        if (!List().GetModel()->HasThumbnail(i) || !shown.rect().contains(cell) ||
            Ctrl()->selectionModel()->isSelected(index))
            continue;
        const int margin = (cell.width() - picture.width()) / 2;
        EXPECT_EQ(shown.copy(QRect(cell.topLeft() + QPoint(margin, margin), picture.size())), picture)
            << List().GetNameAt(i).toStdString();
        ++drawn;
    }
    EXPECT_GE(drawn, 4);
}

} // namespace
