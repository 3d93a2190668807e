// The file commands end to end: the real library and frame, photos in a
// temporary folder that also holds HOME, the data home (the trash) and the
// profile. Keys go to the frame; questions are answered by a script, the
// folder picker by its hook.
#include "ActionRotateFlip.h"
#include "BrowseDlg.h"
#include "ChildBrowseView.h"
#include "ChildView.h"
#include "ChildViewHost.h"
#include "CommandIds.h"
#include "MainFrame.h"
#include "MessageBoxes.h"
#include "PixmendApp.h"
#include "Profile.h"
#include "AnswerBoxes.h"
#include "FileOperation.h"
#include "ScopedEnv.h"
#include "Soon.h"
#include "TestJpeg.h"
#include "UndoMan.h"
#include "WidgetMessageBoxes.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QImage>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QElapsedTimer>
#include <QSettings>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <fstream>
#include <tuple>

#include <sys/stat.h>

namespace {

QString Q(const std::filesystem::path& p)
{
    return QString::fromStdString(p.string());
}

std::string Read(const std::filesystem::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class FileCommandsTest : public ::testing::Test {
protected:
    FileCommandsTest()
        : m_home("HOME", Q(m_tmp.path()))
        , m_data("XDG_DATA_HOME", Q(m_tmp / "data"))
        , m_config("XDG_CONFIG_HOME", Q(m_tmp / "config"))
    {
        std::filesystem::create_directories(m_tmp / "Photos");
        std::filesystem::create_directories(m_tmp / "dst");
        std::filesystem::create_directories(m_tmp / "data");
    }
    void SetUp() override
    {
        ASSERT_TRUE(m_app.InitInstance({}));
        m_frame = m_app.GetMainFrame();
        m_frame->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(m_frame));
        CPixmendApp::s_browseForFolderHook = [this](QString& folder, const QString&) {
            if (m_picked.isEmpty())
                return false;
            folder = m_picked;
            return true;
        };
    }
    void TearDown() override
    {
        CPixmendApp::s_browseForFolderHook = nullptr;
        CProfile::Close();
    }

    QString Photo(const std::string& name, const char* folder = "Photos")
    {
        const auto path = m_tmp / folder / name;
        std::filesystem::create_directories(path.parent_path());
        EXPECT_TRUE(testjpeg::WriteFile(path, testjpeg::Encode(testjpeg::MakePattern(32, 32, 3, unsigned(name.size())))));
        return Q(path);
    }
    QString Dir(const char* folder = "Photos") const { return Q(m_tmp / folder); }
    void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        // The idle update pass first, which enables the keys' actions.
        m_app.GetCommands().UpdateAll();
        QTest::keyClick(m_frame->GetViewWidget(), Qt::Key(key), modifiers);
    }
    QString OpenName() const
    {
        return m_app.m_image.IsLoaded() ? QFileInfo(m_app.m_image.GetPath()).fileName() : QString();
    }
    CBrowseDlg& List() { return m_app.GetBrowser()->GetBrowseDlg(); }
    QStringList Selected()
    {
        QStringList names;
        for (const FileListEntry& e : List().GetSelectedEntries())
            names << e.name;
        return names;
    }
    void Select(const QString& name) { List().SetSelected(List().FindName(name), true); }
    void Modify() { ASSERT_TRUE(m_app.m_image.GetUndoMan()->AddAction(new CActionRotateFlip(RotateParams{0, 2}))); }
    bool Modified() { return m_app.m_image.IsLoaded() && m_app.m_image.GetUndoMan()->IsModified(); }
    bool InTrash(const char* name) { return std::filesystem::exists(m_tmp / "data/Trash/files" / name); }

    testjpeg::TempDir m_tmp;
    CScopedEnv m_home, m_data, m_config;
    CAnswerBoxes m_boxes;
    CPixmendApp m_app;
    CMainFrame* m_frame = nullptr;
    QString m_picked;
};

TEST_F(FileCommandsTest, StepsThroughTheFolderWithTheKeys)
{
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg", "d.jpg", "e.jpg"})
        Photo(name);
    m_app.ChangeFolder(Dir(), 1);
    EXPECT_EQ(OpenName(), "a.jpg");
    EXPECT_EQ(m_frame->windowTitle(), "Pixmend - [a.jpg]");
    Modify();
    m_app.UpdateTitle();
    EXPECT_EQ(m_frame->windowTitle(), "Pixmend - [a.jpg] *");
    m_app.m_image.GetUndoMan()->ClearHistory();

    struct Step {
        int key;
        Qt::KeyboardModifiers modifiers;
        const char* open;
        QStringList selected; // focused first
        const char* gone = nullptr; // removed behind the program's back first
    };
    const Step steps[] = {
        {Qt::Key_PageDown, Qt::NoModifier, "b.jpg", {"b.jpg"}},
        {Qt::Key_PageDown, Qt::ShiftModifier, "c.jpg", {"c.jpg", "b.jpg"}},
        {Qt::Key_PageUp, Qt::ShiftModifier, "b.jpg", {"b.jpg", "c.jpg"}},
        {Qt::Key_F5, Qt::NoModifier, "b.jpg", {"b.jpg"}}, // the open photo's item is current again
        {Qt::Key_PageUp, Qt::NoModifier, "a.jpg", {"a.jpg"}},
        {Qt::Key_F5, Qt::NoModifier, "a.jpg", {"a.jpg"}},
        {Qt::Key_PageDown, Qt::NoModifier, "b.jpg", {"b.jpg"}},
        {Qt::Key_End, Qt::NoModifier, "e.jpg", {"e.jpg"}},
        {Qt::Key_PageDown, Qt::NoModifier, "e.jpg", {"e.jpg"}}, // the last: disabled
        {Qt::Key_PageUp, Qt::NoModifier, "d.jpg", {"d.jpg"}},
        {Qt::Key_Home, Qt::NoModifier, "a.jpg", {"a.jpg"}},
        {Qt::Key_PageUp, Qt::NoModifier, "a.jpg", {"a.jpg"}},
        // The open photo's file gone: stepping goes on from where it stood.
        {Qt::Key_PageDown, Qt::NoModifier, "b.jpg", {"b.jpg"}},
        {Qt::Key_PageDown, Qt::NoModifier, "c.jpg", {"c.jpg"}},
        {Qt::Key_F5, Qt::NoModifier, "c.jpg", {}, "c.jpg"},
        {Qt::Key_PageDown, Qt::NoModifier, "d.jpg", {"d.jpg"}},
        {Qt::Key_F5, Qt::NoModifier, "d.jpg", {}, "d.jpg"},
        {Qt::Key_PageUp, Qt::NoModifier, "b.jpg", {"b.jpg"}},
        {Qt::Key_Home, Qt::NoModifier, "a.jpg", {"a.jpg"}},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(QStringLiteral("row %1").arg(&s - steps).toStdString());
        if (s.gone)
            std::filesystem::remove(m_tmp / "Photos" / s.gone);
        Key(s.key, s.modifiers);
        EXPECT_EQ(OpenName(), s.open) << s.key;
        EXPECT_EQ(Selected(), s.selected) << s.key;
        EXPECT_EQ(m_frame->windowTitle(), QStringLiteral("Pixmend - [%1]").arg(s.open));
    }
    EXPECT_EQ(m_app.m_settings.DefaultPath, Dir() + "/a.jpg");
}

TEST_F(FileCommandsTest, EveryCommandThatGivesUpAModifiedImageAsksFirst)
{
    Photo("a.jpg");
    Photo("b.jpg");
    Photo("x.jpg", "Other");
    std::filesystem::create_directories(m_tmp / "Photos/sub");
    const struct {
        const char* name;
        std::function<void()> run;
        qsizetype asks = 1; // only what reaches the image asks
    } commands[] = {
        {"open", [&] { m_app.GetCommands().Execute(ID_FILE_OPEN); }},
        {"close", [&] { m_app.GetCommands().Execute(ID_FILE_CLOSE); }},
        {"next", [&] { Key(Qt::Key_PageDown); }},
        {"first", [&] { Key(Qt::Key_Home); }},
        {"folder up", [&] { m_app.GetCommands().Execute(ID_FOLDER_UP); }},
        {"change folder", [&] { m_picked = Dir("Other"); m_app.GetCommands().Execute(ID_FOLDER_CHANGE); }},
        {"drop", [&] { m_frame->GetView()->Host().OpenDroppedFile(Dir("Other") + "/x.jpg"); }},
        {"move", [&] { m_picked = Dir("dst"); m_app.GetCommands().Execute(ID_FILE_MOVE_TO_FOLDER); }},
        {"move onto itself", [&] { m_picked = Dir(); m_app.GetCommands().Execute(ID_FILE_MOVE_TO_FOLDER); }, 0},
        {"move another folder", [&] { List().SetAllSelected(false); List().SetFocused(List().FindName("sub"));
             m_picked = Dir("dst"); m_app.GetCommands().Execute(ID_FILE_MOVE_TO_FOLDER); }, 0},
    };
    for (const auto& c : commands) {
        m_app.OpenImage(Dir() + "/a.jpg", 0);
        Modify();
        m_boxes.questions.clear();
        m_boxes.answer = IMessageBoxes::Answer::Cancel;
        c.run();
        EXPECT_EQ(m_boxes.questions, QStringList(c.asks, "The image " + Dir() + "/a.jpg was modified.\nSave the image ?")) << c.name;
        EXPECT_EQ(OpenName(), "a.jpg") << c.name;
        EXPECT_TRUE(Modified()) << c.name;
        EXPECT_EQ(m_app.m_strCurrentFolder, Dir()) << c.name;
        EXPECT_TRUE(std::filesystem::exists(m_tmp / "Photos/a.jpg")) << c.name;
        m_app.m_image.GetUndoMan()->ClearHistory();
    }

    // No: Change Folder asks once and opens the new folder's first image.
    Modify();
    m_boxes.questions.clear();
    m_boxes.answer = IMessageBoxes::Answer::No;
    m_picked = Dir("Other");
    m_app.GetCommands().Execute(ID_FOLDER_CHANGE);
    EXPECT_EQ(m_boxes.questions.size(), 1);
    EXPECT_EQ(OpenName(), "x.jpg");
    EXPECT_FALSE(Modified());
    EXPECT_EQ(m_app.m_settings.DefaultPath, Dir("Other") + "/x.jpg");

    // No, then close: the edits are lost and no image is left.
    Modify();
    m_app.GetCommands().Execute(ID_FILE_CLOSE);
    EXPECT_FALSE(m_app.m_image.IsLoaded());
    EXPECT_EQ(m_frame->windowTitle(), "Pixmend");
}

TEST_F(FileCommandsTest, AutoSaveSavesWithoutAsking)
{
    const QString a = Photo("a.jpg");
    m_app.OpenImage(a, 0);
    Modify();
    int saves = 0;
    m_app.m_saveImageHook = [&] {
        ++saves;
        m_app.m_image.GetUndoMan()->MarkSaved();
        return true;
    };
    m_app.m_operSave.GetSettings().AutoSave = 1;
    m_app.GetCommands().Execute(ID_FILE_CLOSE);
    EXPECT_EQ(saves, 1);
    EXPECT_TRUE(m_boxes.questions.isEmpty());
    EXPECT_FALSE(m_app.m_image.IsLoaded());

    // Without it, a failed save keeps the image open and modified.
    m_app.m_operSave.GetSettings().AutoSave = 0;
    m_app.OpenImage(a, 0);
    Modify();
    m_app.m_saveImageHook = [] { return false; };
    m_boxes.answer = IMessageBoxes::Answer::Yes;
    m_app.GetCommands().Execute(ID_FILE_CLOSE);
    EXPECT_EQ(m_boxes.questions.size(), 1);
    EXPECT_TRUE(Modified());
}

// Paging through a folder writes the open photo's path to the profile at
// most once every few seconds (each write rewrites the whole file); the
// last one is written once the paging stops.
TEST_F(FileCommandsTest, PagingWritesTheLastPathAtMostOnceEveryFewSeconds)
{
    for (char c = '1'; c <= '8'; ++c)
        Photo(std::string("p") + c + ".jpg");
    m_app.ChangeFolder(Dir(), 1);
    ASSERT_EQ(OpenName(), "p1.jpg");
    const auto stored = [] {
        QFile file(CProfile::FilePath());
        const QRegularExpression line(QStringLiteral("^DefaultPath=(.*)$"), QRegularExpression::MultilineOption);
        return file.open(QIODevice::ReadOnly) ? line.match(QString::fromUtf8(file.readAll())).captured(1) : QString();
    };
    QElapsedTimer paging;
    paging.start();
    QStringList written;
    for (int i = 2; i <= 8; ++i) {
        Key(Qt::Key_PageDown);
        ASSERT_EQ(OpenName(), QStringLiteral("p%1.jpg").arg(i));
        // The idle pass that stores the settings, and the write it asks for.
        m_app.OnIdle(0);
        CProfile::Flush();
        if (written.value(written.size() - 1) != stored())
            written << stored();
    }
    EXPECT_LE(written.size(), 1 + paging.elapsed() / 3000) << written.join(u' ').toStdString();
    EXPECT_SOON_EQ(stored(), Dir() + "/p8.jpg");
}

TEST_F(FileCommandsTest, SaveAsOntoAnExistingFileAsksFirst)
{
    const QString a = Photo("a.jpg");
    QString b = Photo("bb.jpg");
    const std::string before = Read(m_tmp / "Photos/bb.jpg");
    m_app.OpenImage(a, 0);
    Modify();
    // The dialog is answered with the existing file's name.
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        auto* edit = dialog ? dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")) : nullptr;
        // The dialog proposes its free name once it has listed the folder;
        // the answer comes after that.
        if (!edit || !edit->text().endsWith("_copy.jpg"))
            return;
        poll.stop();
        edit->setText(b);
        static_cast<QDialog*>(dialog)->accept();
    });
    const QString savedBefore = m_app.m_settings.DefaultPathSave;
    for (const bool yes : {false, true}) {
        m_boxes.yesNo = yes;
        m_boxes.questions.clear();
        poll.start(20);
        m_app.GetCommands().Execute(ID_FILE_SAVE_AS);
        EXPECT_EQ(m_boxes.questions.value(0), "The file " + b + " already exists.\nDo you want to replace it?");
        // The folder is remembered only for a save that goes ahead.
        EXPECT_EQ(m_app.m_settings.DefaultPathSave, yes ? Dir() + "/" : savedBefore);
        // No leaves the file byte for byte; Yes writes the edited image over it.
        EXPECT_EQ(Read(m_tmp / "Photos/bb.jpg") == before, !yes);
    }
    // The next start opens the photo under its new name.
    EXPECT_SOON_EQ(QSettings(CProfile::FilePath(), QSettings::IniFormat).value("View/DefaultPath").toString(), b);
    // Saved into another folder: Next and Previous go on from the photo it came from.
    b = Dir("dst") + "/elsewhere.jpg";
    poll.start(20);
    m_app.GetCommands().Execute(ID_FILE_SAVE_AS);
    EXPECT_TRUE(m_app.GetCommands().Execute(ID_FILE_PREV_IMAGE));
    EXPECT_EQ(OpenName(), "a.jpg");
}

TEST_F(FileCommandsTest, UpOneLevelSelectsTheFolderLeft)
{
    Photo("in2019.jpg", "Photos/2019");
    Photo("top.jpg");
    m_app.ChangeFolder(Dir("Photos/2019"), 1);
    EXPECT_EQ(OpenName(), "in2019.jpg");
    EXPECT_TRUE(m_app.GetCommands().Query(ID_FOLDER_UP).m_bEnabled);
    Key(Qt::Key_Backspace);
    EXPECT_EQ(m_app.m_strCurrentFolder, Dir());
    EXPECT_FALSE(m_app.m_image.IsLoaded());
    EXPECT_EQ(m_frame->windowTitle(), "Pixmend");
    ASSERT_EQ(List().GetItemCount(), 2);
    EXPECT_EQ(List().GetNameAt(0), "2019"); // folders first
    EXPECT_EQ(List().GetNameAt(-1), "2019");

    m_app.ChangeFolder("/", 0);
    EXPECT_FALSE(m_app.GetCommands().Query(ID_FOLDER_UP).m_bEnabled);
}

TEST_F(FileCommandsTest, DeletingOpensTheNearestRemainingFile)
{
    struct Case {
        QStringList files;
        const char* open;
        QStringList alsoSelected;
        const char* opensAfter; // "" for none
    };
    const Case cases[] = {
        {{"a.jpg", "b.jpg", "c.jpg"}, "b.jpg", {}, "c.jpg"},
        {{"a.jpg", "b.jpg", "c.jpg"}, "c.jpg", {}, "b.jpg"},           // the last: the previous one
        {{"a.jpg"}, "a.jpg", {}, ""},                                   // the only file
        {{"a.jpg", "b.jpg", "c.jpg", "d.jpg", "e.jpg"}, "a.jpg", {"b.jpg"}, "c.jpg"},
        {{"a.jpg", "b.jpg", "c.jpg"}, "c.jpg", {"b.jpg"}, "a.jpg"},
        {{"IMG.jpg", "img.JPG", "z.jpg"}, "IMG.jpg", {"img.JPG"}, "z.jpg"}, // names are exact
    };
    for (const Case& c : cases) {
        std::filesystem::remove_all(m_tmp / "Photos");
        std::filesystem::remove_all(m_tmp / "data/Trash");
        for (const QString& f : c.files)
            Photo(f.toStdString());
        m_app.OpenImage(Dir() + "/" + c.open, 0);
        for (const QString& f : c.alsoSelected)
            Select(f);
        m_boxes.questions.clear();
        Key(Qt::Key_Delete);
        ASSERT_EQ(m_boxes.questions.size(), 1);
        EXPECT_EQ(OpenName(), c.opensAfter) << c.open;
        const QStringList removed = QStringList(c.alsoSelected) << c.open;
        for (const QString& gone : removed) {
            EXPECT_FALSE(QFile::exists(Dir() + "/" + gone)) << gone.toStdString();
            EXPECT_TRUE(InTrash(gone.toUtf8().constData())) << gone.toStdString();
        }
        EXPECT_EQ(List().GetItemCount(), c.files.size() - c.alsoSelected.size() - 1);
        if (*c.opensAfter) {
            EXPECT_EQ(List().GetNameAt(-1), c.opensAfter);
            EXPECT_EQ(m_frame->windowTitle(), QStringLiteral("Pixmend - [%1]").arg(c.opensAfter));
        } else {
            EXPECT_EQ(m_frame->windowTitle(), "Pixmend");
        }
    }
    EXPECT_TRUE(m_boxes.messages.isEmpty()) << m_boxes.messages.join("|").toStdString();
}

TEST_F(FileCommandsTest, AFileRemovedBehindTheProgramsBack)
{
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg"})
        Photo(name);
    m_app.ChangeFolder(Dir(), 1);
    std::filesystem::remove(m_tmp / "Photos/b.jpg");
    Key(Qt::Key_PageDown);
    EXPECT_FALSE(m_app.m_image.IsLoaded());
    EXPECT_EQ(m_frame->windowTitle(), "Pixmend");
    EXPECT_EQ(List().GetNameAt(-1), "b.jpg");
    Key(Qt::Key_PageDown);
    EXPECT_EQ(OpenName(), "c.jpg");

    // Moving a vanished selected file is reported; the rest goes.
    Select("b.jpg");
    m_picked = Dir("dst");
    m_app.GetCommands().Execute(ID_FILE_MOVE_TO_FOLDER);
    EXPECT_EQ(m_boxes.messages.size(), 1);
    EXPECT_TRUE(std::filesystem::exists(m_tmp / "dst/c.jpg"));
    EXPECT_EQ(OpenName(), "a.jpg");
    EXPECT_EQ(List().GetItemCount(), 1);

    // The open photo's item dropped with another file's: Next goes on from its place.
    for (const char* name : {"b.jpg", "c.jpg", "d.jpg"})
        Photo(name);
    m_app.OpenImage(Dir() + "/b.jpg", 0);
    std::filesystem::remove(m_tmp / "Photos/b.jpg");
    Select("d.jpg");
    Key(Qt::Key_Delete);
    EXPECT_EQ(List().GetItemCount(), 2);
    EXPECT_EQ(OpenName(), "b.jpg");
    Key(Qt::Key_PageDown);
    EXPECT_EQ(OpenName(), "c.jpg");
}

TEST_F(FileCommandsTest, ATrashThatCannotTakeTheFileKeepsFileAndImage)
{
    Photo("a.jpg");
    Photo("b.jpg");
    std::ofstream(m_tmp / "plain") << "x";
    CScopedEnv data("XDG_DATA_HOME", Q(m_tmp / "plain"));
    m_app.OpenImage(Dir() + "/a.jpg", 0);
    Key(Qt::Key_Delete);
    ASSERT_EQ(m_boxes.messages.size(), 1);
    EXPECT_TRUE(m_boxes.messages[0].contains(Dir() + "/a.jpg"));
    EXPECT_TRUE(QFile::exists(Dir() + "/a.jpg"));
    EXPECT_EQ(OpenName(), "a.jpg");
}

TEST_F(FileCommandsTest, ShiftDeleteRemovesForGoodAfterYes)
{
    Photo("a.jpg");
    Photo("b.jpg");
    m_app.OpenImage(Dir() + "/a.jpg", 0);
    m_boxes.yesNo = false;
    Key(Qt::Key_Delete, Qt::ShiftModifier);
    EXPECT_EQ(m_boxes.questions.value(0),
              "Delete the file " + Dir() + "/a.jpg permanently?\nIt cannot be brought back.");
    EXPECT_TRUE(QFile::exists(Dir() + "/a.jpg"));
    EXPECT_EQ(OpenName(), "a.jpg");
    m_boxes.yesNo = true;
    Key(Qt::Key_Delete, Qt::ShiftModifier);
    EXPECT_FALSE(QFile::exists(Dir() + "/a.jpg"));
    EXPECT_FALSE(InTrash("a.jpg"));
    EXPECT_EQ(OpenName(), "b.jpg");
}

TEST_F(FileCommandsTest, CopyKeepsTheImageOpenMoveOpensTheNext)
{
    Photo("a.jpg");
    Photo("b.jpg");
    m_app.OpenImage(Dir() + "/a.jpg", 0);
    m_picked = Dir("dst");
    EXPECT_TRUE(m_app.GetCommands().Execute(ID_FILE_COPY_TO_FOLDER));
    EXPECT_EQ(Read(m_tmp / "dst/a.jpg"), Read(m_tmp / "Photos/a.jpg"));
    EXPECT_EQ(OpenName(), "a.jpg");
    EXPECT_EQ(m_app.m_settings.DefaultPathSave, Dir("dst") + "/");

    // The name is taken there: No keeps both files as they are.
    std::ofstream(m_tmp / "dst/a.jpg", std::ios::trunc) << "other";
    const std::string before = Read(m_tmp / "Photos/a.jpg");
    m_boxes.answer = IMessageBoxes::Answer::No;
    m_app.GetCommands().Execute(ID_FILE_MOVE_TO_FOLDER);
    EXPECT_EQ(Read(m_tmp / "dst/a.jpg"), "other");
    EXPECT_EQ(Read(m_tmp / "Photos/a.jpg"), before);
    EXPECT_EQ(OpenName(), "a.jpg");

    m_boxes.answer = IMessageBoxes::Answer::Yes;
    m_app.GetCommands().Execute(ID_FILE_MOVE_TO_FOLDER);
    EXPECT_EQ(Read(m_tmp / "dst/a.jpg"), before);
    EXPECT_FALSE(QFile::exists(Dir() + "/a.jpg"));
    EXPECT_EQ(OpenName(), "b.jpg");
    EXPECT_EQ(List().GetItemCount(), 1);
}

TEST_F(FileCommandsTest, SelectedFoldersGoWholeAndNothingIsReplacedWithoutYes)
{
    Photo("a.jpg");
    Photo("in.jpg", "Photos/sub");
    Photo("d.jpg", "Photos/sub/deep");
    Photo("f.jpg", "Photos/sub2");
    // A name that is no UTF-8 (Latin-1, as old cameras write them) goes too.
    std::ofstream(m_tmp / "Photos/sub/\xe9t\xe9.jpg") << "latin-1";
    m_app.ChangeFolder(Dir(), 0);
    // Only the folder `name` selected and focused, no image open.
    const auto selectOnly = [&](const QString& name) {
        m_app.GetCommands().Execute(ID_FILE_CLOSE);
        List().SetAllSelected(false);
        List().SetFocused(List().FindName(name));
        Select(name);
        m_boxes.questions.clear();
        m_boxes.messages.clear();
    };
    const std::string in = Read(m_tmp / "Photos/sub/in.jpg");

    selectOnly("sub");
    m_picked = Dir("dst");
    EXPECT_TRUE(m_app.GetCommands().Execute(ID_FILE_COPY_TO_FOLDER));
    EXPECT_EQ(Read(m_tmp / "dst/sub/in.jpg"), in);
    EXPECT_EQ(Read(m_tmp / "dst/sub/deep/d.jpg"), Read(m_tmp / "Photos/sub/deep/d.jpg"));
    EXPECT_EQ(Read(m_tmp / "dst/sub/\xe9t\xe9.jpg"), "latin-1");
    std::filesystem::remove(m_tmp / "dst/sub/\xe9t\xe9.jpg");
    EXPECT_TRUE(m_boxes.questions.isEmpty());

    // Again: each clashing file is asked about; No keeps it.
    std::ofstream(m_tmp / "dst/sub/in.jpg", std::ios::trunc) << "other";
    std::ofstream(m_tmp / "dst/sub/deep/d.jpg", std::ios::trunc) << "other";
    m_boxes.answers = {IMessageBoxes::Answer::No, IMessageBoxes::Answer::Yes};
    m_app.GetCommands().Execute(ID_FILE_COPY_TO_FOLDER);
    EXPECT_EQ(m_boxes.questions, (QStringList{OverwriteQuestionText(Dir("dst") + "/sub/deep/d.jpg"),
                                              OverwriteQuestionText(Dir("dst") + "/sub/in.jpg")}));
    EXPECT_EQ(Read(m_tmp / "dst/sub/deep/d.jpg"), "other");
    EXPECT_EQ(Read(m_tmp / "dst/sub/in.jpg"), in);

    // Never into itself.
    m_picked = Dir("Photos/sub/deep");
    m_app.GetCommands().Execute(ID_FILE_MOVE_TO_FOLDER);
    EXPECT_EQ(m_boxes.messages.value(0), "The folder " + Dir() + "/sub cannot be moved into itself.");
    EXPECT_EQ(Read(m_tmp / "Photos/sub/in.jpg"), in);
    EXPECT_FALSE(std::filesystem::exists(m_tmp / "Photos/sub/deep/sub"));

    // Del: the folder goes to the trash whole.
    selectOnly("sub");
    m_boxes.yesNo = true;
    Key(Qt::Key_Delete);
    EXPECT_EQ(m_boxes.questions.value(0), "Move the folder " + Dir() + "/sub and everything in it to the trash?");
    EXPECT_FALSE(std::filesystem::exists(m_tmp / "Photos/sub"));
    EXPECT_EQ(Read(m_tmp / "data/Trash/files/sub/in.jpg"), in);
    EXPECT_EQ(List().FindName("sub"), -1);

    // Move takes the folder whole.
    selectOnly("sub2");
    m_picked = Dir("dst");
    m_app.GetCommands().Execute(ID_FILE_MOVE_TO_FOLDER);
    EXPECT_TRUE(std::filesystem::exists(m_tmp / "dst/sub2/f.jpg"));
    EXPECT_FALSE(std::filesystem::exists(m_tmp / "Photos/sub2"));

    // Shift+Del names the folder; No keeps it, Yes removes it for good.
    std::filesystem::create_directories(m_tmp / "Photos/gone/inner");
    m_app.GetBrowser()->ShowFolder(Dir(), 2);
    selectOnly("gone");
    m_boxes.yesNo = false;
    Key(Qt::Key_Delete, Qt::ShiftModifier);
    EXPECT_EQ(m_boxes.questions.value(0), "Delete the folder " + Dir()
                                              + "/gone and everything in it permanently?\nIt cannot be brought back.");
    EXPECT_TRUE(std::filesystem::exists(m_tmp / "Photos/gone/inner"));
    m_boxes.yesNo = true;
    selectOnly("gone");
    Key(Qt::Key_Delete, Qt::ShiftModifier);
    EXPECT_FALSE(std::filesystem::exists(m_tmp / "Photos/gone"));
    EXPECT_FALSE(InTrash("gone"));
    EXPECT_TRUE(std::filesystem::exists(m_tmp / "Photos/a.jpg"));

    // The open photo lies in the folder that goes: a move takes it along, a
    // delete closes it and opens the photo beside the folder.
    for (const bool move : {true, false}) {
        m_app.OpenImage(Photo("x.jpg", "Photos/album"), 0);
        m_app.ChangeFolder(Dir(), 0);
        List().SetAllSelected(false);
        List().SetFocused(List().FindName("album"));
        Select("album");
        Modify();
        m_boxes.answer = IMessageBoxes::Answer::Yes; // asked, as the folder's question does not name it
        if (move)
            m_app.GetCommands().Execute(ID_FILE_MOVE_TO_FOLDER);
        else
            Key(Qt::Key_Delete, Qt::ShiftModifier);
        EXPECT_EQ(m_boxes.questions.count("The image " + Dir() + "/album/x.jpg was modified.\nSave the image ?"), move ? 1 : 2);
        EXPECT_FALSE(List().GetFolderHistory().contains(Dir("Photos/album")));
        EXPECT_EQ(m_app.m_image.GetPath().toStdString(), (move ? Dir("dst") + "/album/x.jpg" : Dir() + "/a.jpg").toStdString());
        EXPECT_EQ(m_frame->windowTitle().toStdString(), move ? "Pixmend - [x.jpg]" : "Pixmend - [a.jpg]");
    }
}

TEST_F(FileCommandsTest, TitleAndCommandsFollowEveryOpen)
{
    const QString star = Photo("*");
    Photo("b.jpg");
    m_app.OpenImage(star, 0);
    // The name as it is: "[*]" is no modified mark.
    EXPECT_EQ(m_frame->windowHandle()->title(), "Pixmend - [*]");
    m_app.GetCommands().Execute(ID_FILE_CLOSE);
    QAction* save = m_app.GetCommands().Action(ID_FILE_SAVE);
    EXPECT_FALSE(save->isEnabled());
    // The browser's open (the focus timer) enables the image's commands at once.
    List().SetFocused(List().FindName("b.jpg"));
    List().OnTimer();
    EXPECT_EQ(OpenName(), "b.jpg");
    EXPECT_TRUE(save->isEnabled());
    EXPECT_TRUE(m_frame->GetZoomCombo()->isEnabled());
    // A failed open disables them again.
    std::filesystem::remove(m_tmp / "Photos/b.jpg");
    m_app.OpenImage(Dir() + "/b.jpg", 1);
    EXPECT_FALSE(save->isEnabled());
    EXPECT_FALSE(m_frame->GetZoomCombo()->isEnabled());
}

// The failure box of a copy run over two pipes and a photo: Skip All
// answers the failure after it, Cancel and Esc stop the run before the
// photo, Enter skips one.
TEST(FailureBoxTest, ItsButtonsSkipOrStopTheRun)
{
    const testjpeg::TempDir tmp;
    ::mkfifo((tmp / "p1.jpg").c_str(), 0644), ::mkfifo((tmp / "p2.jpg").c_str(), 0644);
    std::ofstream(tmp / "a.jpg") << "photo";
    std::filesystem::create_directory(tmp / "dst");
    CScopedEnv interactive("PIXMEND_NONINTERACTIVE", QString());
    CWidgetMessageBoxes widgets;
    IMessageBoxes* previous = SetMessageBoxes(&widgets);
    // The button clicked or the key pressed, the boxes shown, whether the photo was copied.
    for (const auto& [button, key, boxes, copied] : {std::tuple{"Skip All", 0, 1, true}, {"Cancel", 0, 1, false},
                                                     {"", int(Qt::Key_Escape), 1, false}, {"", int(Qt::Key_Return), 2, true}}) {
        int shown = 0;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || !box->isVisible())
                return;
            ++shown;
            for (QAbstractButton* b : box->buttons())
                if (b->text().remove('&') == button)
                    b->click();
            if (key)
                QTest::keyClick(box, Qt::Key(key));
        });
        poll.start(10);
        const QStringList files = {Q(tmp / "p1.jpg"), Q(tmp / "p2.jpg"), Q(tmp / "a.jpg")};
        const FileOperationResult r = RunFileOperation(FileOperationCode::Copy, files, true, Q(tmp / "dst"));
        EXPECT_EQ(shown, boxes) << button << key;
        EXPECT_EQ(r.aborted, !copied);
        EXPECT_EQ(std::filesystem::remove(tmp / "dst/a.jpg"), copied);
    }
    SetMessageBoxes(previous);
}

TEST_F(FileCommandsTest, ShiftDeleteQuestionScreenshot)
{
    Photo("a.jpg");
    m_app.OpenImage(Dir() + "/a.jpg", 0);
    CWidgetMessageBoxes widgets;
    if (!widgets.IsInteractive())
        GTEST_SKIP() << "message boxes are not shown in this environment";
    // A picture left by an earlier run proves nothing.
    const QString shot = QStringLiteral(PIXMEND_ARTIFACTS_DIR "/delete-prompt.png");
    QFile::remove(shot);
    ASSERT_FALSE(QFile::exists(shot));
    SetMessageBoxes(&widgets);
    QString text;
    bool defaultNo = false;
    bool saved = false;
    QSize boxSize;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        poll.stop();
        text = box->text();
        defaultNo = box->defaultButton() == box->button(QMessageBox::No);
        QDir().mkpath(PIXMEND_ARTIFACTS_DIR);
        boxSize = box->size() * box->devicePixelRatio();
        saved = box->grab().save(shot);
        box->button(QMessageBox::No)->click();
    });
    poll.start(20);
    m_app.GetCommands().Execute(ID_FILE_DELETE_CURRENT);
    SetMessageBoxes(&m_boxes);
    EXPECT_EQ(text, "Delete the file " + Dir() + "/a.jpg permanently?\nIt cannot be brought back.");
    EXPECT_TRUE(defaultNo);
    EXPECT_TRUE(QFile::exists(Dir() + "/a.jpg"));
    EXPECT_TRUE(saved);
    const QImage picture(shot);
    EXPECT_FALSE(picture.isNull());
    EXPECT_EQ(picture.size(), boxSize);
}

} // namespace

namespace {

TEST_F(FileCommandsTest, TheListKeepsFoldersFirstAndFollowsTheDisk)
{
    Photo("b.jpg");
    Photo("A.jpg");
    Photo("in.jpg", "Photos/zsub");
    std::ofstream(m_tmp / "Photos/notes.txt") << "x";
    const auto old = std::filesystem::file_time_type::clock::now() - std::chrono::hours(48);
    std::filesystem::last_write_time(m_tmp / "Photos/b.jpg", old);
    const auto names = [&] {
        QStringList n;
        for (int i = 0; i < List().GetItemCount(); ++i)
            n << List().GetNameAt(i);
        return n;
    };

    m_app.ChangeFolder(Dir(), 0);
    EXPECT_EQ(names(), (QStringList{"zsub", "A.jpg", "b.jpg"}));
    m_app.m_settings.SortType = 1;
    m_app.GetBrowser()->Resort();
    EXPECT_EQ(names(), (QStringList{"zsub", "b.jpg", "A.jpg"}));

    // The open image stays the current item through a refresh that adds a
    // file before it and one that drops a vanished file.
    m_app.OpenImage(Dir() + "/A.jpg", 1);
    Photo("c_copy.jpg");
    std::filesystem::last_write_time(m_tmp / "Photos/c_copy.jpg", old - std::chrono::hours(1));
    m_app.GetBrowser()->ShowFolder(Dir(), 2);
    EXPECT_EQ(names(), (QStringList{"zsub", "c_copy.jpg", "b.jpg", "A.jpg"}));
    EXPECT_EQ(List().GetNameAt(-1), "A.jpg");
    std::filesystem::remove(m_tmp / "Photos/b.jpg");
    m_app.GetBrowser()->ShowFolder(Dir(), 3);
    EXPECT_EQ(names(), (QStringList{"zsub", "c_copy.jpg", "A.jpg"}));
    EXPECT_EQ(List().GetNameAt(-1), "A.jpg");

    // The focused item first, then the other selected ones in list order.
    Select("zsub");
    Select("c_copy.jpg");
    EXPECT_EQ(Selected(), (QStringList{"A.jpg", "zsub", "c_copy.jpg"}));
    // A selected folder goes with the files, whole.
    m_boxes.yesNo = true;
    m_app.GetCommands().Execute(ID_FILE_DELETE);
    EXPECT_EQ(m_boxes.questions.value(0), "Move these 3 files and folders to the trash?\n\nA.jpg\nzsub/\nc_copy.jpg");
    EXPECT_TRUE(InTrash("zsub/in.jpg"));
    EXPECT_EQ(names(), QStringList{});
    EXPECT_FALSE(m_app.m_image.IsLoaded());
}

TEST(FileCommandsNoBrowserTest, TheHiddenBrowserStillStepsThroughTheFolder)
{
    testjpeg::TempDir tmp;
    CScopedEnv config("XDG_CONFIG_HOME", Q(tmp / "config"));
    CAnswerBoxes boxes;
    for (const char* name : {"a.jpg", "b.jpg"})
        ASSERT_TRUE(testjpeg::WriteFile(tmp / name, testjpeg::Encode(testjpeg::MakePattern(16, 16))));
    CPixmendApp app;
    ASSERT_TRUE(app.InitInstance({"-nb", Q(tmp / "a.jpg")}));
    ASSERT_NE(app.GetBrowser(), nullptr);
    EXPECT_FALSE(app.GetBrowser()->isVisible());
    EXPECT_EQ(app.GetBrowser()->GetItemCount(), 2);
    EXPECT_TRUE(app.GetCommands().Execute(ID_FILE_NEXT_IMAGE));
    EXPECT_EQ(app.m_image.GetPath(), Q(tmp / "b.jpg"));
    CProfile::Close();
}

} // namespace
