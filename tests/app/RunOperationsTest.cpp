// Runs of an operation or a macro through the application: on the open image
// or over the files of the browser's selection, with the real library, the
// real rotate and save operations and the main frame, offscreen, in a
// temporary folder.
#include "Batch.h"
#include "BrowseDlg.h"
#include "ChildBrowseView.h"
#include "CommandIds.h"
#include "FileListCtrl.h"
#include "KsImage.h"
#include "MainFrame.h"
#include "MessageBoxes.h"
#include "OperRotate.h"
#include "OperSave.h"
#include "PixmendApp.h"
#include "ProgramWindow.h"
#include "ScopedConfigHome.h"
#include "TestJpeg.h"
#include "UndoMan.h"
#include "WidgetMessageBoxes.h"
#include "BatchConfirm.h"
#include "BatchProgress.h"
#include "DlgItems.h"

#include <QFileInfo>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <deque>
#include <filesystem>
#include <memory>

namespace {

namespace fs = std::filesystem;
using testjpeg::Coefficients;

QString Q(const fs::path& p)
{
    return QString::fromStdString(p.string());
}

// The browser as a run sees it: the selection the test sets, and a record
// of the calls a run makes.
class CTestBrowser final : public IBrowserSelection {
public:
    std::vector<FileListEntry> GetSelectedEntries() override { return entries; }
    void RequeueCurrentThumbnail() override { ++requeued; }
    void QueueThumbnail(const QString& path) override { queued << path; }
    void ShowFolder(const QString& folder, int mode) override { shown << folder + QString::asprintf(" %d", mode); }

    void Select(std::initializer_list<std::pair<const char*, int>> items)
    {
        entries.clear();
        for (const auto& [name, dir] : items) {
            FileListEntry e;
            e.name = QString::fromUtf8(name);
            e.directory = dir;
            entries.push_back(e);
        }
    }

    std::vector<FileListEntry> entries;
    int requeued = 0;
    QStringList queued;
    QStringList shown;
};

class CRunBoxes : public IMessageBoxes {
public:
    CRunBoxes() { m_previous = SetMessageBoxes(this); }
    ~CRunBoxes() override { SetMessageBoxes(m_previous); }

    void ShowMessage(const QString& text) override { messages << text; }
    void ShowWarning(const QString& text, const QString& caption) override { warnings << caption + u'|' + text; }
    BatchChoice AskBatchConfirm(const QString& macroName, int count, bool currentOnly) override
    {
        confirms << QString::asprintf("%s %d %d", qPrintable(macroName), count, int(currentOnly));
        return batchAnswer;
    }
    bool AskQuestion(const QString& text) override
    {
        messages << text;
        return false;
    }
    bool AskOkCancel(const QString& text) override
    {
        messages << text;
        return okAnswer;
    }
    bool AskYesNo(const QString& text, const QString& caption, bool) override
    {
        questions << caption + u'|' + text;
        return yesNoAnswer;
    }
    SaveErrorChoice AskSaveError(const QString& path, const QString&) override
    {
        saveErrors << path;
        return saveErrorAnswer;
    }
    bool ReportProgress(int) override { return true; }

    BatchChoice batchAnswer = BatchChoice::AllSelected;
    bool okAnswer = true;
    bool yesNoAnswer = true;
    SaveErrorChoice saveErrorAnswer = SaveErrorChoice::Skip;
    QStringList messages, warnings, confirms, saveErrors, questions;

private:
    IMessageBoxes* m_previous = nullptr;
};

// The text of the batch progress window that is up, or empty.
QString ProgressText()
{
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (qobject_cast<CBatchProgress*>(w) && w->isVisible())
            return GetWindowTextString(GetDlgItem(w, CBatchProgress::IDC_TEXT));
    }
    return {};
}

// Counts what a run asks of it; makes no edit.
class CCountingOperation final : public COperation {
public:
    CCountingOperation() : COperation("Counter", "Counter") {}
    COperation* CreateNew() const override { return new CCountingOperation; }
    void UpdatePage() override {}
    IOperationPage* GetPage() override { return nullptr; }
    IAction* CreateAction(CKsImage* image, int*) override
    {
        seen << image->GetPath();
        openImage << (image == &CPixmendApp::Instance()->m_image);
        progress << ProgressText();
        return nullptr;
    }
    void Finish() override { ++finished; }

    QStringList seen;
    QList<bool> openImage;
    QStringList progress; // what the progress window showed at each image
    int finished = 0;
};

// Appends a counting operation to `macro`, which owns it.
CCountingOperation* AddCounter(CBatch& macro)
{
    auto* counter = new CCountingOperation;
    macro.GetOperations().push_back(counter);
    return counter;
}

struct FileState {
    std::vector<uint8_t> bytes;
    int64_t mtimeNs = 0;
    bool operator==(const FileState&) const = default;
};

FileState StateOf(const fs::path& p)
{
    struct stat st {};
    ::stat(p.c_str(), &st);
    return {testjpeg::ReadFile(p), int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

// The blocks of every component, as libjpeg reads them.
std::vector<std::vector<int16_t>> Blocks(const std::vector<uint8_t>& jpeg)
{
    const Coefficients c = testjpeg::ReadCoefficients(jpeg);
    std::vector<std::vector<int16_t>> out;
    for (const auto& comp : c.components)
        out.push_back(comp.blocks);
    return out;
}

class RunTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directories(m_dir / "pics");
    }
    void TearDown() override
    {
        if (m_app) {
            if (m_app->GetMainFrame())
                m_app->GetMainFrame()->SetBrowserSelection(nullptr);
            m_app->ExitInstance(0);
            m_app.reset();
        }
    }

    fs::path Pics() const { return m_dir / "pics"; }
    // A JPEG of `w` x `h` at pics/<name>, 4:2:0, with a partial MCU at the edges.
    fs::path Write(const std::string& name, int w = 100, int h = 60, unsigned seed = 1)
    {
        const fs::path p = Pics() / name;
        fs::create_directories(p.parent_path());
        EXPECT_TRUE(testjpeg::WriteFile(
            p, testjpeg::Encode(testjpeg::MakePattern(w, h, 3, seed), testjpeg::Sampled(85, {{2, 2}, {1, 1}, {1, 1}}))));
        return p;
    }
    // What `jpegtran -rotate 90 -trim` makes of the file.
    std::vector<uint8_t> Rotated(const fs::path& p)
    {
        const fs::path out = m_dir / ("jt_" + p.filename().string());
        EXPECT_EQ(testjpeg::Run("jpegtran -rotate 90 -trim -outfile '" + out.string() + "' '" + p.string() + "'"), 0);
        return testjpeg::ReadFile(out);
    }

    // Starts the application on `open` (empty: no image) in the pictures folder.
    void Start(const fs::path& open = {})
    {
        m_app = std::make_unique<CPixmendApp>();
        QStringList args{QStringLiteral("-nb")};
        if (!open.empty())
            args << Q(open);
        ASSERT_TRUE(m_app->InitInstance(args));
        m_app->m_strCurrentFolder = Q(Pics());
        m_app->GetMainFrame()->SetBrowserSelection(&m_browser);
    }
    // The program shown on `open` with its browser, as the user has it.
    void StartShown(const fs::path& open)
    {
        ASSERT_NE(testwin::StartProgram(m_app, {Q(open)}), nullptr);
    }
    CPixmendApp& App() { return *m_app; }

    IOperation* RotateRight()
    {
        auto* op = dynamic_cast<COperRotate*>(App().m_operRotate.Clone());
        op->SetTransform(1, 0, 0);
        return op;
    }
    std::vector<short> OpenCoefficients()
    {
        short* data = nullptr;
        int count = 0;
        App().m_image.GetLibraryObject()->GetCoefficients(&data, &count);
        return data ? std::vector<short>(data, data + count) : std::vector<short>();
    }
    // The coefficients the program holds for a JPEG in memory.
    std::vector<short> LoadedCoefficients(const std::vector<uint8_t>& jpeg)
    {
        const fs::path p = m_dir / "loaded.jpg";
        testjpeg::WriteFile(p, jpeg);
        CKsImage image(App().m_jpegLib);
        EXPECT_TRUE(image.Load(Q(p), 0));
        short* data = nullptr;
        int count = 0;
        image.GetLibraryObject()->GetCoefficients(&data, &count);
        return data ? std::vector<short>(data, data + count) : std::vector<short>();
    }

    CScopedConfigHome m_config;
    testjpeg::TempDir m_dir;
    CTestBrowser m_browser;
    CRunBoxes m_boxes;
    std::unique_ptr<CPixmendApp> m_app;
};

TEST_F(RunTest, TheOpenImageAloneIsEditedWithUndoAndNeverWritten)
{
    const fs::path a = Write("a.jpg");
    const FileState before = StateOf(a);
    Start(a);
    const std::vector<short> original = OpenCoefficients();
    m_browser.Select({{"a.jpg", 0}});

    App().RunOperation(RotateRight());

    EXPECT_TRUE(m_boxes.confirms.isEmpty());
    EXPECT_EQ(OpenCoefficients(), LoadedCoefficients(Rotated(a)));
    EXPECT_TRUE(App().m_image.GetUndoMan()->IsModified());
    EXPECT_TRUE(App().m_image.HasDib());
    EXPECT_EQ(App().GetMainFrame()->windowTitle(), QStringLiteral("Pixmend - [a.jpg] *"));
    EXPECT_EQ(StateOf(a), before);
    EXPECT_EQ(m_browser.requeued, 1);
    EXPECT_EQ(m_browser.shown, QStringList{Q(Pics()) + " 2"});

    App().m_image.GetUndoMan()->Undo();
    EXPECT_EQ(OpenCoefficients(), original);
}

// Open a.jpg, then within the browser's opening delay a click on b.jpg, or a
// Ctrl+click taking a.jpg out of the selection and one adding b.jpg, and R:
// after a question naming it, b.jpg alone is turned and saved, the open
// image is left alone.
TEST_F(RunTest, OneOtherFileChosenInTheBrowserIsSavedAfterTheEdit)
{
    for (const bool withCtrl : {false, true}) {
        const fs::path a = Write("a.jpg", 100, 60, 1);
        const fs::path b = Write("b.jpg", 120, 80, 2);
        const auto rotatedB = Rotated(b);
        const FileState beforeA = StateOf(a);
        StartShown(a);
        CBrowseDlg& list = App().GetBrowser()->GetBrowseDlg();
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return App().GetBrowser()->IsListingComplete() && list.FindName("b.jpg") >= 0; }));
        CFileListCtrl* view = list.GetListCtrl();
        const auto click = [&](const char* name, Qt::KeyboardModifiers modifiers) {
            const QModelIndex item = list.GetModel()->index(list.FindName(name));
            QTest::mouseClick(view->viewport(), Qt::LeftButton, modifiers, view->visualRect(item).center());
        };
        if (withCtrl) {
            click("a.jpg", Qt::ControlModifier);
            click("b.jpg", Qt::ControlModifier);
        } else {
            click("b.jpg", {});
        }
        const std::vector<FileListEntry> chosen = App().GetBrowserSelection().GetSelectedEntries();
        ASSERT_EQ(chosen.size(), 1u);
        ASSERT_EQ(chosen[0].name, "b.jpg");

        QTest::keyClick(App().GetMainFrame()->windowHandle(), Qt::Key_R);

        ASSERT_EQ(App().m_image.GetPath(), Q(a)) << "b.jpg opened before R";
        EXPECT_TRUE(m_boxes.confirms.isEmpty());
        EXPECT_EQ(m_boxes.questions, QStringList{"Rotate|Rotate will change b.jpg on disk. Do you want to continue?"});
        m_boxes.questions.clear();
        EXPECT_EQ(Blocks(testjpeg::ReadFile(b)), Blocks(rotatedB)) << withCtrl;
        EXPECT_EQ(StateOf(a), beforeA);
        EXPECT_FALSE(App().m_image.GetUndoMan()->CanUndo());
        TearDown();
    }
}

// A macro that would edit files without saving or sending them asks first;
// one that saves asks before it writes a file the user did not open; on the
// open image nothing is asked.
TEST_F(RunTest, AMacroAsksBeforeItEditsOrWritesAFileOtherThanTheOpenImage)
{
    const QString noSave = "Turn|This macro action has no \"Save\" step: the selected files it edits will not be "
                           "saved.\n\nDo you want to run it anyway?";
    const QString writes = "Turn|Turn will change b.jpg on disk. Do you want to continue?";
    struct Case {
        const char* selected;
        std::string step; // a second step: none, "Save" or "Email"
        bool answer;
        const QString* question;
        bool runs;
    };
    const Case cases[] = {
        {"b.jpg", "", false, &noSave, false},
        {"b.jpg", "", true, &noSave, true},
        {"b.jpg", "Save", false, &writes, false},
        {"b.jpg", "Save", true, &writes, true},
        {"b.jpg", "Email", false, nullptr, true},
        {"a.jpg", "", false, nullptr, true},
        {"a.jpg", "Save", false, nullptr, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.selected) + " " + c.step + (c.answer ? " yes" : " no"));
        const fs::path a = Write("a.jpg", 100, 60, 1);
        const fs::path b = Write("b.jpg", 120, 80, 2);
        const FileState beforeB = StateOf(b);
        Start(a);
        m_boxes.questions.clear();
        m_boxes.yesNoAnswer = c.answer;
        m_browser.Select({{c.selected, 0}});
        CBatch macro(QStringLiteral("Turn"));
        CCountingOperation* counter = AddCounter(macro);
        if (c.step == "Save")
            macro.GetOperations().push_back(App().m_operSave.Clone());
        else if (!c.step.empty())
            AddCounter(macro)->SetName(QString::fromStdString(c.step));
        App().RunMacro(&macro);
        EXPECT_EQ(m_boxes.questions, c.question ? QStringList{*c.question} : QStringList{});
        EXPECT_EQ(counter->seen.size(), c.runs ? 1 : 0);
        EXPECT_EQ(counter->finished, c.runs ? 1 : 0);
        if (c.step.empty() || !c.runs)
            EXPECT_EQ(StateOf(b), beforeB);
        TearDown();
        m_browser = CTestBrowser();
    }
}

TEST_F(RunTest, TwoSelectedFilesAskOnce)
{
    struct Case {
        IMessageBoxes::BatchChoice answer;
        bool filesWritten;
        bool openEdited;
    };
    const Case cases[] = {
        {IMessageBoxes::BatchChoice::AllSelected, true, true},
        {IMessageBoxes::BatchChoice::CurrentOnly, false, true},
        {IMessageBoxes::BatchChoice::Cancel, false, false},
    };
    for (const Case& c : cases) {
        const fs::path a = Write("a.jpg", 100, 60, 1);
        const fs::path b = Write("b.jpg", 120, 80, 2);
        const auto rotatedA = Rotated(a);
        const auto rotatedB = Rotated(b);
        const FileState beforeA = StateOf(a), beforeB = StateOf(b);
        Start(a);
        const std::vector<short> original = OpenCoefficients();
        m_boxes.batchAnswer = c.answer;
        m_boxes.confirms.clear();
        m_browser.Select({{"a.jpg", 0}, {"b.jpg", 0}});

        App().RunOperation(RotateRight());

        EXPECT_EQ(m_boxes.confirms, QStringList{"Rotate 2 1"});
        if (c.filesWritten) {
            EXPECT_EQ(Blocks(testjpeg::ReadFile(a)), Blocks(rotatedA));
            EXPECT_EQ(Blocks(testjpeg::ReadFile(b)), Blocks(rotatedB));
            EXPECT_TRUE(App().m_image.GetUndoMan()->CanUndo());
            EXPECT_FALSE(App().m_image.GetUndoMan()->IsModified());
            EXPECT_EQ(m_browser.queued, (QStringList{Q(a), Q(b)}));
        } else {
            EXPECT_EQ(StateOf(a), beforeA);
            EXPECT_EQ(StateOf(b), beforeB);
        }
        if (c.openEdited) {
            EXPECT_EQ(OpenCoefficients(), LoadedCoefficients(rotatedA));
            App().m_image.GetUndoMan()->Undo();
        }
        EXPECT_EQ(OpenCoefficients(), original);
        TearDown();
        m_browser = CTestBrowser();
    }
}

TEST_F(RunTest, TheProgramAsksThroughTheBatchConfirmation)
{
    const fs::path a = Write("a.jpg");
    const fs::path b = Write("b.jpg", 120, 80, 2);
    const FileState beforeA = StateOf(a), beforeB = StateOf(b);
    Start(a);
    m_browser.Select({{"a.jpg", 0}, {"b.jpg", 0}});
    const QByteArray old = qgetenv("PIXMEND_NONINTERACTIVE");
    qunsetenv("PIXMEND_NONINTERACTIVE");
    CWidgetMessageBoxes widgets;
    IMessageBoxes* previous = SetMessageBoxes(&widgets);
    QString text;
    QTimer::singleShot(0, [&] {
        QWidget* dlg = QApplication::activeModalWidget();
        ASSERT_TRUE(qobject_cast<CBatchConfirm*>(dlg));
        text = GetWindowTextString(GetDlgItem(dlg, CBatchConfirm::IDC_TEXT));
        QTest::mouseClick(qobject_cast<QPushButton*>(GetDlgItem(dlg, CBatchConfirm::IDC_CURRENT_ONLY)),
                          Qt::LeftButton);
    });
    App().RunOperation(RotateRight());
    SetMessageBoxes(previous);
    if (!old.isNull())
        qputenv("PIXMEND_NONINTERACTIVE", old);
    EXPECT_EQ(text, QStringLiteral("2 images are selected.\n\nApply 'Rotate' action?"));
    EXPECT_TRUE(App().m_image.GetUndoMan()->CanUndo());
    EXPECT_EQ(StateOf(a), beforeA);
    EXPECT_EQ(StateOf(b), beforeB);
}

TEST_F(RunTest, CancelChangesNothingAndSkipsFinish)
{
    Write("a.jpg");
    Write("b.jpg");
    Start();
    m_boxes.batchAnswer = IMessageBoxes::BatchChoice::Cancel;
    m_browser.Select({{"a.jpg", 0}, {"b.jpg", 0}});
    CBatch macro(QStringLiteral("Count"));
    CCountingOperation* counter = AddCounter(macro);
    App().RunMacro(&macro);
    // No image open: "Current Only" is not offered.
    EXPECT_EQ(m_boxes.confirms, QStringList{"Count 2 0"});
    EXPECT_TRUE(counter->seen.isEmpty());
    EXPECT_EQ(counter->finished, 0);
    EXPECT_TRUE(m_browser.shown.isEmpty());
}

TEST_F(RunTest, AFolderIsScannedOnceForEveryFile)
{
    const fs::path a = Write("a.jpg");
    Write("shots/b.jpe", 40, 24, 2);
    Write("shots/deep/c.JPEG", 40, 24, 3);
    Write("shots/a.jpg.bak", 40, 24, 4);
    Write("shots/a.", 40, 24, 5);
    Write("shots/noext", 40, 24, 6);
    ASSERT_EQ(mkfifo((Pics() / "shots" / "x.jpg").c_str(), 0600), 0);
    fs::create_directory_symlink("..", Pics() / "shots" / "deep" / "loop");
    fs::create_symlink("b.jpe", Pics() / "shots" / "second.jpg");
    // The open image reached through a link.
    fs::create_symlink(a, Pics() / "shots" / "open.jpg");
    Start(a);
    m_boxes.batchAnswer = IMessageBoxes::BatchChoice::AllSelected;
    m_browser.Select({{"shots", 1}});

    CBatch macro(QStringLiteral("Count"));
    CCountingOperation* counter = AddCounter(macro);
    App().RunMacro(&macro);

    EXPECT_EQ(m_boxes.confirms, QStringList{"Count 3 1"});
    ASSERT_EQ(counter->seen.size(), 3) << counter->seen.join(u' ').toStdString();
    int open = 0;
    for (qsizetype i = 0; i < counter->seen.size(); ++i) {
        // The open image is edited where it is, never loaded a second time.
        if (counter->openImage[i]) {
            ++open;
            EXPECT_EQ(counter->seen[i], Q(a));
        }
    }
    EXPECT_EQ(open, 1);
    EXPECT_EQ(counter->finished, 1);
    // Only selected files get their thumbnails queued; the folder is listed.
    EXPECT_TRUE(m_browser.queued.isEmpty());
    EXPECT_EQ(m_browser.shown, QStringList{Q(Pics()) + " 2"});
}

TEST_F(RunTest, OneFileOfAFolderIsRunAsAFile)
{
    const fs::path a = Write("a.jpg");
    const fs::path b = Write("one/b.jpg", 120, 80, 2);
    const auto rotatedB = Rotated(b);
    const FileState beforeA = StateOf(a);
    Start(a);
    const std::vector<short> original = OpenCoefficients();
    m_browser.Select({{"one", 1}});

    App().RunOperation(RotateRight());

    EXPECT_TRUE(m_boxes.confirms.isEmpty());
    EXPECT_EQ(Blocks(testjpeg::ReadFile(b)), Blocks(rotatedB));
    EXPECT_EQ(OpenCoefficients(), original);
    EXPECT_FALSE(App().m_image.GetUndoMan()->CanUndo());
    EXPECT_EQ(StateOf(a), beforeA);
}

TEST_F(RunTest, OneFileWithNoImageOpenIsRunAsAFile)
{
    const fs::path b = Write("b.jpg", 120, 80, 2);
    const auto rotatedB = Rotated(b);
    Start();
    ASSERT_FALSE(App().m_image.IsLoaded());
    m_browser.Select({{"b.jpg", 0}});
    CBatch macro(QStringLiteral("Turn and save"));
    macro.GetOperations().push_back(RotateRight());
    macro.GetOperations().push_back(App().m_operSave.Clone());
    App().RunMacro(&macro);
    EXPECT_TRUE(m_boxes.confirms.isEmpty());
    EXPECT_EQ(Blocks(testjpeg::ReadFile(b)), Blocks(rotatedB));
    EXPECT_FALSE(App().m_image.IsLoaded());
    EXPECT_EQ(m_browser.queued, QStringList{Q(b)});
}

TEST_F(RunTest, AFolderWithoutImagesChangesNothing)
{
    const fs::path a = Write("a.jpg");
    fs::create_directory(Pics() / "empty");
    Start(a);
    m_browser.Select({{"empty", 1}});
    CBatch macro(QStringLiteral("Count"));
    CCountingOperation* counter = AddCounter(macro);
    App().RunMacro(&macro);
    EXPECT_EQ(m_boxes.warnings, QStringList{"Count|No Images to process."});
    EXPECT_TRUE(counter->seen.isEmpty());
    EXPECT_EQ(counter->finished, 0);
    EXPECT_FALSE(App().m_image.GetUndoMan()->CanUndo());
}

TEST_F(RunTest, AFileThatDoesNotLoadIsNamedAtTheEnd)
{
    Write("a.jpg");
    ASSERT_TRUE(testjpeg::WriteFile(Pics() / "bad.jpg", {0xFF, 0xD8, 0xFF, 0xE0, 0x00}));
    Write("c.jpg", 40, 24, 3);
    Start();
    m_browser.Select({{"a.jpg", 0}, {"bad.jpg", 0}, {"c.jpg", 0}});
    CBatch macro(QStringLiteral("Count"));
    CCountingOperation* counter = AddCounter(macro);
    App().RunMacro(&macro);
    EXPECT_EQ(counter->seen, (QStringList{Q(Pics() / "a.jpg"), Q(Pics() / "c.jpg")}));
    EXPECT_EQ(counter->progress, (QStringList{"Processing Image 1 of 3.", "Processing Image 3 of 3."}));
    EXPECT_TRUE(ProgressText().isEmpty());
    EXPECT_EQ(counter->finished, 1);
    EXPECT_EQ(m_boxes.warnings,
              QStringList{"Count|1 of 3 files could not be opened and were left unchanged:\n" + Q(Pics() / "bad.jpg")});
}

TEST_F(RunTest, AbortInTheSaveErrorStopsBeforeTheNextFile)
{
    Write("a.jpg");
    Write("b.jpg");
    // A file where the destination folder should be: no save can succeed.
    ASSERT_TRUE(testjpeg::WriteFile(m_dir / "blocker", {1}));
    Start();
    m_boxes.saveErrorAnswer = IMessageBoxes::SaveErrorChoice::Abort;
    m_browser.Select({{"a.jpg", 0}, {"b.jpg", 0}});
    CBatch macro(QStringLiteral("Count"));
    CCountingOperation* counter = AddCounter(macro);
    auto* save = new COperSave;
    save->GetSettings().UseDstFolder = 1;
    save->GetSettings().DstFolder = Q(m_dir / "blocker" / "out");
    macro.GetOperations().push_back(save);
    App().RunMacro(&macro);
    EXPECT_EQ(m_boxes.saveErrors.size(), 1);
    EXPECT_EQ(counter->seen.size(), 1);
    EXPECT_EQ(counter->finished, 1);
}

TEST_F(RunTest, QuitAfterSaveClosesOnlyAfterAWrittenFile)
{
    struct Case {
        bool confirm;  // ConfirmSave set on the prototype, answered Cancel
        bool blocked;  // the target cannot be written (Skip)
        bool closes;
    };
    const Case cases[] = {{false, false, true}, {true, false, false}, {false, true, false}};
    for (const Case& c : cases) {
        const fs::path a = Write("a.jpg");
        Start(a);
        App().m_bQuitAfterSave = 1;
        App().m_operSave.GetSettings().ConfirmSave = c.confirm ? 1 : 0;
        m_boxes.okAnswer = false;
        m_boxes.saveErrorAnswer = IMessageBoxes::SaveErrorChoice::Skip;
        const QString target = c.blocked ? Q(m_dir / "nofolder" / "x.jpg") : QString();
        EXPECT_EQ(App().SaveImage(target), c.closes);
        QCoreApplication::processEvents();
        EXPECT_EQ(App().GetMainFrame()->isVisible(), !c.closes);
        TearDown();
    }
}

TEST_F(RunTest, TheCloseQuerySavesThroughSaveImage)
{
    const fs::path a = Write("a.jpg");
    Start(a);
    m_browser.Select({{"a.jpg", 0}});
    App().RunOperation(RotateRight());
    const auto rotated = Rotated(a);
    struct Answering final : CRunBoxes {
        Answer AskYesNoCancel(const QString&, const QString&) override { return Answer::Yes; }
    } yes;
    EXPECT_TRUE(App().QuerySaveModified());
    EXPECT_EQ(Blocks(testjpeg::ReadFile(a)), Blocks(rotated));
    EXPECT_FALSE(App().m_image.GetUndoMan()->IsModified());
    EXPECT_EQ(m_browser.requeued, 2);
    EXPECT_EQ(m_browser.shown.size(), 2);
}

TEST_F(RunTest, AMacroSaveNeverEndsTheProgram)
{
    const fs::path a = Write("a.jpg");
    const fs::path b = Write("b.jpg");
    const FileState beforeB = StateOf(b);
    Start(a);
    App().m_bQuitAfterSave = 1;
    m_browser.Select({{"a.jpg", 0}, {"b.jpg", 0}});
    App().RunOperation(RotateRight());
    QCoreApplication::processEvents();
    // Both saved by the macro's save step, the open image in place.
    EXPECT_FALSE(StateOf(b) == beforeB);
    EXPECT_FALSE(App().m_image.GetUndoMan()->IsModified());
    EXPECT_TRUE(App().m_image.GetUndoMan()->CanUndo());
    EXPECT_TRUE(App().GetMainFrame()->isVisible());
}

TEST_F(RunTest, TheSampleMacroFromTheMenuWritesACopy)
{
    const fs::path a = Write("a.jpg", 300, 200);
    const FileState before = StateOf(a);
    Start(a);
    ASSERT_FALSE(App().m_batches.GetBatches().empty());
    EXPECT_TRUE(App().GetCommands().Query(ID_MACRO_FIRST).m_bEnabled);
    ASSERT_TRUE(App().GetCommands().Execute(ID_MACRO_FIRST));
    EXPECT_TRUE(fs::exists(Pics() / "a_crop4x6.jpg"));
    EXPECT_EQ(StateOf(a), before);
}

TEST_F(RunTest, MacroCommandsNeedAnImageOrASelection)
{
    Write("a.jpg");
    Start();
    EXPECT_FALSE(App().GetCommands().Query(ID_MACRO_FIRST).m_bEnabled);
    m_browser.Select({{"a.jpg", 0}});
    EXPECT_TRUE(App().GetCommands().Query(ID_MACRO_FIRST).m_bEnabled);
}

} // namespace
