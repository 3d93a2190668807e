// The rotate + save macro over ten copies of a 6000 x 4000 photo the way the
// program runs it over a selected folder: CPixmendApp::RunMacro (the folder
// scanned, a temporary image per file, the progress window painted per file,
// a lossless save into a destination folder), against
// `jpegtran -copy all -optimize -rotate 90 -trim` over the same ten files in
// one shell loop. The macro alone through CBatch::Apply is bench_macro.
#include "Batch.h"
#include "BenchProgram.h"
#include "BrowserSelection.h"
#include "MainFrame.h"
#include "MessageBoxes.h"
#include "OperRotate.h"
#include "OperSave.h"
#include "PixmendApp.h"

#include <QApplication>
#include <QFile>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

class CFolderSelection final : public IBrowserSelection {
public:
    std::vector<FileListEntry> GetSelectedEntries() override
    {
        FileListEntry folder;
        folder.name = QStringLiteral("src");
        folder.directory = 1;
        return {folder};
    }
    void RequeueCurrentThumbnail() override {}
    void QueueThumbnail(const QString&) override {}
    void ShowFolder(const QString&, int) override {}
};

// Runs over every file; a save error would abort the run.
class CBenchBoxes final : public IMessageBoxes {
public:
    void ShowMessage(const QString& text) override { std::fprintf(stderr, "%s\n", qPrintable(text)); }
    void ShowWarning(const QString& text, const QString&) override { ShowMessage(text); }
    BatchChoice AskBatchConfirm(const QString&, int, bool) override { return BatchChoice::AllSelected; }
    bool AskQuestion(const QString&) override { return false; }
    SaveErrorChoice AskSaveError(const QString& path, const QString&) override
    {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return SaveErrorChoice::Abort;
    }
    bool ReportProgress(int) override { return true; }
};

} // namespace

int main(int argc, char** argv)
{
    bench::UseOffscreenPlatform();
    QApplication qapp(argc, argv);
    constexpr int kFiles = 10;
    testjpeg::TempDir dir;
    // The profile of this run only.
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(QString::fromStdString((dir / "config").string())));
    const auto photo = bench::MakeLargePhoto(dir.path());
    for (const char* sub : {"src", "ours", "tool"})
        std::filesystem::create_directories(dir / sub);
    std::string names;
    for (int i = 0; i < kFiles; ++i) {
        const std::string name = "photo" + std::to_string(i) + ".jpg";
        std::filesystem::copy_file(photo, dir / "src" / name);
        names += " '" + name + "'";
    }

    CBenchBoxes boxes;
    SetMessageBoxes(&boxes);
    double ours = 0;
    {
        CPixmendApp app;
        if (!app.InitInstance({QStringLiteral("-nb")})) {
            std::fprintf(stderr, "the program did not start\n");
            return 1;
        }
        CFolderSelection selection;
        app.GetMainFrame()->SetBrowserSelection(&selection);
        app.m_strCurrentFolder = QString::fromStdString(dir.path().string());

        auto* rotate = dynamic_cast<COperRotate*>(app.m_operRotate.Clone());
        rotate->SetTransform(1, 0, 0);
        auto* save = dynamic_cast<COperSave*>(app.m_operSave.Clone());
        save->GetSettings().UseDstFolder = 1;
        save->GetSettings().DstFolder = QString::fromStdString((dir / "ours").string());
        CBatch macro(QStringLiteral("Rotate + Save"));
        macro.GetOperations() = {rotate, save};

        ours = bench::TimeMs([&] { app.RunMacro(&macro); }, 3);
        if (save->GetLastOutcome() != COperSave::SaveOutcome::Saved)
            return 1;
        app.GetMainFrame()->SetBrowserSelection(nullptr);
        app.ExitInstance(0);
    }
    SetMessageBoxes(nullptr);

    const double tool = bench::TimeCommandMs("cd '" + (dir / "src").string() + "' && for f in" + names
                                                 + "; do jpegtran -copy all -optimize -rotate 90 -trim -outfile ../tool/\"$f\" \"$f\"; done",
                                             3);
    bench::Report("RunMacro rotate + save, 10 x 6000x4000", ours, "jpegtran -copy all -optimize -rotate 90 -trim", tool);
    return 0;
}
