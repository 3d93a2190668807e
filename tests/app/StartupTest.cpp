// Start-up and shut-down of the application object: the library checks (as
// separate processes, since a failed start ends the program), the profile
// read at start and written at exit, the command line and window placement.
#include "AnswerBoxes.h"
#include "BrowseDlg.h"
#include "ChildBrowseView.h"
#include "CommandIds.h"
#include "MainFrame.h"
#include "PixmendApp.h"
#include "Profile.h"
#include "TestJpeg.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTest>
#include <QAction>
#include <QComboBox>

#include <gtest/gtest.h>

namespace {

QString Q(const std::filesystem::path& p)
{
    return QString::fromStdString(p.string());
}

// Every test gets its own configuration folder and current folder.
class AppStartTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_oldConfig = qgetenv("XDG_CONFIG_HOME");
        m_oldCwd = QDir::currentPath();
        std::filesystem::create_directories(m_tmp / "config");
        std::filesystem::create_directories(m_tmp / "pics");
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(Q(m_tmp / "config")));
    }
    void TearDown() override
    {
        CProfile::Close();
        QDir::setCurrent(m_oldCwd);
        if (m_oldConfig.isNull())
            qunsetenv("XDG_CONFIG_HOME");
        else
            qputenv("XDG_CONFIG_HOME", m_oldConfig);
    }

    QString ConfPath() const { return Q(m_tmp / "config" / "Pixmend" / "Pixmend.conf"); }
    QString Pics() const { return Q(m_tmp / "pics"); }
    QString WritePhoto(const std::string& name) const
    {
        const auto path = m_tmp / "pics" / name;
        EXPECT_TRUE(testjpeg::WriteFile(path, testjpeg::Encode(testjpeg::MakePattern(40, 24))));
        return Q(path);
    }

    testjpeg::TempDir m_tmp;
    QByteArray m_oldConfig;
    QString m_oldCwd;
};

TEST_F(AppStartTest, CleanExitWritesSettingsThatTheNextStartReads)
{
    {
        QSettings conf(ConfPath(), QSettings::IniFormat);
        conf.setValue("View/ThumbWidth", 77);
        conf.setValue("View/PozX", 30);
        conf.setValue("View/PozY", 40);
        conf.setValue("View/SzX", 500);
        conf.setValue("View/SzY", 400);
        conf.setValue("View/DefaultPath", Pics() + "/");
    }
    {
        CPixmendApp app;
        ASSERT_TRUE(app.InitInstance({}));
        EXPECT_EQ(app.m_settings.ThumbWidth, 77);
        ASSERT_NE(app.GetMainFrame(), nullptr);
        EXPECT_EQ(app.GetMainFrame()->pos(), QPoint(30, 40));
        EXPECT_EQ(app.GetMainFrame()->size(), QSize(500, 400));
        // No image in the last folder: it becomes the current folder.
        EXPECT_FALSE(app.m_image.IsLoaded());
        EXPECT_EQ(app.m_strCurrentFolder, Pics());
        EXPECT_EQ(app.m_settings.DefaultPath, Pics() + "/");
        EXPECT_EQ(app.m_bOpenFirstImage, 0); // listed whole: nothing opens later unasked
        EXPECT_EQ(app.GetMainFrame()->windowTitle(), QString("Pixmend"));

        app.GetMainFrame()->resize(600, 450);
        app.m_settings.ThumbSpace = 21;
        EXPECT_EQ(app.ExitInstance(0), 0);
    }
    {
        QSettings conf(ConfPath(), QSettings::IniFormat);
        EXPECT_EQ(conf.value("View/ThumbSpace").toInt(), 21);
        EXPECT_EQ(conf.value("View/SzX").toInt(), 600);
        EXPECT_EQ(conf.value("View/SzY").toInt(), 450);
        EXPECT_EQ(conf.value("View/ThumbWidth").toInt(), 77);
    }
    CPixmendApp again;
    ASSERT_TRUE(again.InitInstance({}));
    EXPECT_EQ(again.m_settings.ThumbSpace, 21);
    EXPECT_EQ(again.GetMainFrame()->size(), QSize(600, 450));
    again.ExitInstance(0);
}

TEST_F(AppStartTest, CommandLineOpensARelativePathWithSwitchesInAnyOrder)
{
    const QString photo = WritePhoto("photo.jpg");
    WritePhoto("second.jpg");
    QDir::setCurrent(Pics());

    CPixmendApp app;
    ASSERT_TRUE(app.InitInstance({"-nb", "photo.jpg", "-mc", "second.jpg", "-q"}));
    EXPECT_TRUE(app.m_image.IsLoaded());
    EXPECT_EQ(app.m_image.GetPath(), photo);
    EXPECT_EQ(app.m_bShowBrowser, 0);
    EXPECT_EQ(app.m_bCropOnOpen, 1);
    EXPECT_EQ(app.m_bQuitAfterSave, 1);
    EXPECT_EQ(app.m_strCurrentFolder, Pics());
    EXPECT_EQ(app.m_settings.DefaultPath, photo);
    EXPECT_EQ(app.GetMainFrame()->windowTitle(), QString("Pixmend - [photo.jpg]"));
    // The frame shows the photo: its centre is not the window's background.
    const QImage shot = app.GetMainFrame()->grab().toImage();
    EXPECT_NE(shot.pixelColor(shot.rect().center()), app.GetMainFrame()->palette().window().color());
    app.ExitInstance(0);

    QSettings conf(ConfPath(), QSettings::IniFormat);
    EXPECT_EQ(conf.value("View/DefaultPath").toString(), photo);
}

TEST_F(AppStartTest, APathThatCannotBeOpenedLeavesTheProgramRunningWithoutImage)
{
    QDir::setCurrent(Pics());
    // A file in the root keeps "/" as its folder, not an empty one.
    const std::pair<QString, QString> cases[] = {{"missing.jpg", Pics()}, {"/x.jpg", "/"}};
    for (const auto& [path, folder] : cases) {
        SCOPED_TRACE(path.toStdString());
        if (QFile::exists(path))
            continue;
        CAnswerBoxes boxes;
        CPixmendApp app;
        ASSERT_TRUE(app.InitInstance({path}));
        EXPECT_FALSE(app.m_image.IsLoaded());
        EXPECT_EQ(app.m_strCurrentFolder, folder);
        EXPECT_EQ(app.GetMainFrame()->windowTitle(), QString("Pixmend"));
        // Said once, with the path; the folder box names the folder listed.
        const QString full = QDir(Pics()).absoluteFilePath(path);
        EXPECT_EQ(boxes.messages, QStringList{full + "\nThe file was not found."});
        EXPECT_EQ(app.GetBrowser()->GetBrowseDlg().GetFolderCombo()->currentText(), folder);
        // The same through the open path used by the file commands.
        app.OpenImage(Pics() + "/other.jpg", 0);
        app.OpenImage(QDir(Pics()).absoluteFilePath(path), 0);
        EXPECT_EQ(app.m_strCurrentFolder, folder);
        app.ExitInstance(0);
    }
}

TEST_F(AppStartTest, DpiScaleIsCachedOnlyOnceAWindowExists)
{
    CPixmendApp app;
    EXPECT_EQ(app.GetDpiScale(), 100);
    EXPECT_EQ(app.m_nDpiScale, 0);
    ASSERT_TRUE(app.InitInstance({}));
    const int expected = CPixmendApp::DpiScaleFromLogicalDpi(app.GetMainFrame()->logicalDpiX());
    EXPECT_EQ(app.GetDpiScale(), expected);
    EXPECT_EQ(app.m_nDpiScale, expected);

    // The settings record reaches the scale through the application.
    app.m_nDpiScale = 150;
    EXPECT_EQ(app.m_settings.GetThumbLabelHeight(0), 18);
    EXPECT_EQ(app.m_settings.GetThumbLabelHeight(1), 36);
    app.ExitInstance(0);
}

TEST_F(AppStartTest, IdleTimeRunsTheUpdatePass)
{
    CPixmendApp app;
    ASSERT_TRUE(app.InitInstance({}));
    bool enabled = false;
    int asked = 0;
    app.GetCommands().SetHandler(ID_EDIT_UNDO, [] {});
    app.GetCommands().SetUpdate(ID_EDIT_UNDO, [&](CCmdUI& ui) {
        ++asked;
        ui.Enable(enabled);
    });
    enabled = true;
    asked = 0;
    app.RequestIdle();
    EXPECT_TRUE(QTest::qWaitFor([&] { return app.GetCommands().Action(ID_EDIT_UNDO)->isEnabled(); }, 5000));
    // With nothing left to do the driver rests instead of spinning.
    QTest::qWait(50);
    const int settled = asked;
    QTest::qWait(50);
    EXPECT_EQ(asked, settled);
    // A setting changed in the window is in the file after an idle moment,
    // not only at exit.
    app.GetCommands().Execute(ID_VIEW_TOOLBAR);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return QSettings(ConfPath(), QSettings::IniFormat).value("View/MainToolbarVisible") == 0; }, 5000));
    app.ExitInstance(0);
}

TEST(AppDpiScale, FollowsLogicalPixelsPerInch)
{
    EXPECT_EQ(CPixmendApp::DpiScaleFromLogicalDpi(96), 100);
    EXPECT_EQ(CPixmendApp::DpiScaleFromLogicalDpi(120), 125);
    EXPECT_EQ(CPixmendApp::DpiScaleFromLogicalDpi(144), 150);
}

// A failed start is a separate process: it shows its message (on stderr when
// non-interactive), ends with 1 and leaves the profile alone.
struct FailedStart {
    const char* library; // copied next to the program; null for none
    const char* message;
};

class FailedStartTest : public ::testing::TestWithParam<FailedStart> {};

TEST_P(FailedStartTest, ShowsTheMessageAndExitsWithOne)
{
#ifndef PIXMEND_EXE
    GTEST_SKIP() << "the program is not built";
#else
    testjpeg::TempDir tmp;
    const QString folder = Q(tmp / "prog");
    ASSERT_TRUE(QDir().mkpath(folder));
    ASSERT_TRUE(QFile::copy(PIXMEND_EXE, folder + "/Pixmend"));
    QFile::setPermissions(folder + "/Pixmend", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    if (GetParam().library) {
        ASSERT_TRUE(QFile::copy(GetParam().library, folder + "/libKestrel28.so"));
    }

    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("PIXMEND_NONINTERACTIVE", "1");
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("XDG_CONFIG_HOME", Q(tmp / "config"));
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(Q(tmp.path()));
    process.start(folder + "/Pixmend", {"photo.jpg"});
    ASSERT_TRUE(process.waitForFinished(30000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 1);
    EXPECT_TRUE(QString::fromLocal8Bit(process.readAllStandardError()).contains(GetParam().message));
    EXPECT_FALSE(QFile::exists(Q(tmp / "config" / "Pixmend" / "Pixmend.conf")));
#endif
}

INSTANTIATE_TEST_SUITE_P(Library, FailedStartTest,
                         ::testing::Values(FailedStart{nullptr, "Kestrel library not found."},
                                           FailedStart{FAKE_KESTREL_SO, "Kestrel object not created."}));

} // namespace
