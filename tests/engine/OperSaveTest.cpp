// The save operation: its keys, the mapping into the library's options
// (checked on the written files with exiftool and libjpeg), where a save
// goes, the confirmation and the save-error loop.
#include "EngineTest.h"
#include "SaveBoxes.h"
#include "ScopedTmpfs.h"

#include "Batch.h"
#include "FolderScan.h"
#include "OperRotate.h"
#include "OperSave.h"
#include "OperationStandIn.h"

#include <QDir>


#include <chrono>
#include <fstream>
#include <map>
#include <set>

using namespace etest;
using savetest::CScriptedBoxes;
using testjpeg::TempDir;
namespace fs = std::filesystem;

namespace {

using Choice = IMessageBoxes::SaveErrorChoice;
using Outcome = COperSave::SaveOutcome;

// Installs a current folder for the save operation for one scope.
class ScopedCurrentFolder {
public:
    explicit ScopedCurrentFolder(const QString& folder)
    {
        COperSave::SetCurrentFolderSource([folder] { return folder; });
    }
    ~ScopedCurrentFolder() { COperSave::SetCurrentFolderSource(nullptr); }
};

std::string Exif(const fs::path& file, const std::string& tag)
{
    std::string out;
    testjpeg::Run("exiftool -s -s -s -" + tag + " '" + file.string() + "'", &out);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r'))
        out.pop_back();
    return out;
}

// Every regular file below `dir`, relative, with its contents.
std::map<std::string, std::vector<uint8_t>> Files(const fs::path& dir)
{
    std::map<std::string, std::vector<uint8_t>> files;
    for (const auto& e : fs::recursive_directory_iterator(dir))
        if (e.is_regular_file())
            files[fs::relative(e.path(), dir).string()] = testjpeg::ReadFile(e.path());
    return files;
}

TEST(OperSave, KeysDefaultsAndClone)
{
    COperSave op;
    const QString body = QStringLiteral(
        "ManualInput,0,Auto,0,CurTab,0,CompressionMode,0,Quality,75,ColorSampling,1,OptHuffmanTable,1,"
        "UseSaveAsSuffix,1,SaveAsSuffix,_copy,RetainOriginalTime,1,OriginalSaveAsFolder,1,AutoSave,0,"
        "ConfirmSave,0,SaveComments,1,SaveEXIF,1,GenerateEXIFThumb,2,EXIFThumbSize,160,UseSaveSuffix,0,"
        "SaveSuffix,_copy,UseDstFolder,0,DstFolder,");
    EXPECT_EQ(op.SaveToString(), QStringLiteral("Save,%1,").arg(body.size()) + body);
    EXPECT_EQ(op.GetRegistrySection(), QStringLiteral("Saving"));
    EXPECT_EQ(op.IsBatchOperation(), 1);
    EXPECT_EQ(op.IsDefaultOperation(), 1);

    // The target travels with one save only: not in the text, not cloned.
    op.GetSettings().DstFolder = QStringLiteral("a,b\\c");
    op.GetSettings().Quality = 42;
    op.SetTargetPath(QStringLiteral("/tmp/x.jpg"));
    EXPECT_FALSE(op.SaveToString().contains(QStringLiteral("x.jpg")));
    std::unique_ptr<COperation> clone(op.Clone());
    auto* saveClone = dynamic_cast<COperSave*>(clone.get());
    ASSERT_NE(saveClone, nullptr);
    EXPECT_TRUE(saveClone->GetSettings().TargetPath.isEmpty());
    EXPECT_EQ(saveClone->GetSettings().DstFolder, QStringLiteral("a,b\\c"));
    EXPECT_EQ(saveClone->SaveToString(), op.SaveToString());
}

TEST(OperSave, MappingByMeaning)
{
    SaveSettings s;
    s.CompressionMode = 11;
    s.Quality = 12;
    s.ColorSampling = 13;
    s.OptHuffmanTable = 14;
    s.RetainOriginalTime = 15;
    s.AutoSave = 90;
    s.ConfirmSave = 91;
    s.SaveComments = 16;
    s.SaveEXIF = 17;
    s.GenerateEXIFThumb = 18;
    s.EXIFThumbSize = 19;
    const auto fields = [](const SaveOptions& o) {
        return std::vector<int>{o.CompressionMode, o.Quality, o.ColorSampling, o.RetainOriginalTime,
                                o.OptHuffmanTable, o.SaveComments, o.SaveEXIF, o.GenerateEXIFThumb,
                                o.EXIFThumbSize, o.BitmapStride};
    };
    const SaveOptions o = SaveOptionsFromSettings(&s);
    EXPECT_EQ(fields(o), (std::vector<int>{11, 12, 13, 15, 14, 16, 17, 18, 19, 0}));
    EXPECT_EQ(o.Bitmap, nullptr);
    EXPECT_EQ(fields(SaveOptionsFromSettings(nullptr)), fields(DefaultSaveOptions()));
}

// Saves corpus photos with one setting changed and reads the result back
// with exiftool and libjpeg.
TEST(OperSave, SettingsReachTheWrittenFile)
{
    const fs::path iphone = testjpeg::CorpusFile("gox_iphone4s_orient6.jpg");
    const fs::path gimp = testjpeg::CorpusFile("gox_orient6.jpg");
    if (!testjpeg::HaveTool("exiftool") || !testjpeg::HaveTool("cjpeg"))
        GTEST_SKIP() << "exiftool or cjpeg missing";
    TempDir dir;
    CScriptedBoxes boxes;

    struct Row {
        const char* name;
        const fs::path* source;
        std::function<void(SaveSettings&)> set;
        std::function<void(const fs::path& out)> check;
    };
    const auto old = fs::file_time_type::clock::now() - std::chrono::hours(24 * 400);
    const std::vector<Row> rows = {
        {"comments kept", &gimp, [](SaveSettings&) {},
         [](const fs::path& out) { EXPECT_EQ(Exif(out, "Comment"), "Created with GIMP"); }},
        {"comments dropped", &gimp, [](SaveSettings& s) { s.SaveComments = 0; },
         [](const fs::path& out) {
             EXPECT_EQ(Exif(out, "Comment"), "");
             EXPECT_EQ(Exif(out, "Orientation"), "Rotate 90 CW");
         }},
        {"EXIF dropped", &iphone, [](SaveSettings& s) { s.SaveEXIF = 0; },
         [](const fs::path& out) {
             EXPECT_EQ(Exif(out, "Orientation"), "");
             EXPECT_EQ(Exif(out, "Make"), "");
         }},
        {"thumbnail dropped", &iphone, [](SaveSettings& s) { s.GenerateEXIFThumb = 0; },
         [](const fs::path& out) {
             EXPECT_EQ(Exif(out, "Make"), "Apple");
             EXPECT_EQ(Exif(out, "ThumbnailLength"), "");
         }},
        {"thumbnail made anew", &iphone, [](SaveSettings& s) { s.GenerateEXIFThumb = 2; },
         [](const fs::path& out) {
             const std::string length = Exif(out, "ThumbnailLength");
             EXPECT_FALSE(length.empty());
             EXPECT_NE(length, "10875"); // not the loaded one
         }},
        {"file time kept", &iphone, [](SaveSettings& s) { s.RetainOriginalTime = 1; },
         [&](const fs::path& out) {
             EXPECT_EQ(std::chrono::duration_cast<std::chrono::seconds>(fs::last_write_time(out) - old).count(), 0);
         }},
        {"file time new", &iphone, [](SaveSettings& s) { s.RetainOriginalTime = 0; },
         [&](const fs::path& out) {
             EXPECT_GT(std::chrono::duration_cast<std::chrono::hours>(fs::last_write_time(out) - old).count(), 24);
         }},
        {"re-encoded at 50, 1x1", &iphone,
         [](SaveSettings& s) {
             s.CompressionMode = 1;
             s.Quality = 50;
             s.ColorSampling = 0;
         },
         [&](const fs::path& out) {
             const auto got = testjpeg::ReadCoefficients(testjpeg::ReadFile(out));
             ASSERT_TRUE(got.ok);
             ASSERT_EQ(got.components.size(), 3u);
             // The oracle: cjpeg at quality 50 over the same picture.
             const fs::path ppm = dir / "ref.ppm";
             const fs::path ref = dir / "ref.jpg";
             ASSERT_EQ(testjpeg::Run("djpeg -outfile '" + ppm.string() + "' '" + out.string() + "'"), 0);
             ASSERT_EQ(testjpeg::Run("cjpeg -quality 50 -sample 1x1 -outfile '" + ref.string() + "' '" + ppm.string() + "'"), 0);
             const auto want = testjpeg::ReadCoefficients(testjpeg::ReadFile(ref));
             ASSERT_TRUE(want.ok);
             for (size_t c = 0; c < 3; ++c) {
                 EXPECT_EQ(got.components[c].h, 1);
                 EXPECT_EQ(got.components[c].v, 1);
                 EXPECT_EQ(0, std::memcmp(got.components[c].quant, want.components[c].quant, sizeof got.components[c].quant)) << c;
             }
         }},
    };
    int n = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const fs::path source = dir / ("in" + std::to_string(n) + ".jpg");
        const fs::path out = dir / ("out" + std::to_string(n++) + ".jpg");
        fs::copy_file(*row.source, source);
        fs::last_write_time(source, old);
        CKsImage image(RealLib());
        ASSERT_EQ(image.Load(Q(source), 0), 1);
        COperSave op;
        op.SetAuto(1);
        row.set(op.GetSettings());
        op.SetTargetPath(Q(out));
        int stop = 0;
        EXPECT_EQ(op.CreateAction(&image, &stop), nullptr);
        ASSERT_EQ(op.GetLastOutcome(), Outcome::Saved);
        EXPECT_EQ(image.GetPath(), Q(out));
        EXPECT_TRUE(boxes.saveErrors.isEmpty());
        row.check(out);
    }
}

TEST(OperSave, Targets)
{
    TempDir dir;
    CScriptedBoxes boxes;
    const std::vector<uint8_t> original = testjpeg::ReadFile(WriteJpeg(dir / "a.jpg", 48, 32));
    const std::vector<uint8_t> other = testjpeg::ReadFile(WriteJpeg(dir / "other.jpg", 16, 16, {{1, 1}, {1, 1}, {1, 1}}, 5));

    struct Row {
        const char* name;
        bool currentFolder; // the hook gives <row>/cur
        QString targetPath; // relative to the row's folder
        int useSuffix;
        QString suffix;
        int useFolder;
        QString folder; // "@" stands for the row's folder
        std::vector<std::string> existing;
        std::string written;
    };
    const std::vector<Row> rows = {
        {"own file in place", true, {}, 0, {}, 0, {}, {}, "a.jpg"},
        {"suffix free", true, {}, 1, "_crop4x6", 0, {}, {}, "a_crop4x6.jpg"},
        {"suffix taken", true, {}, 1, "_crop4x6", 0, {}, {"a_crop4x6.jpg"}, "a_crop4x61.jpg"},
        {"relative folder below the current one", true, {}, 0, {}, 1, "out", {}, "cur/out/a.jpg"},
        {"absolute folder", true, {}, 0, {}, 1, "@/abs/deep/", {}, "abs/deep/a.jpg"},
        {"folder and suffix, name taken there", true, {}, 1, "_s", 1, "out", {"cur/out/a_s.jpg"}, "cur/out/a_s1.jpg"},
        {"folder and suffix, free there", true, {}, 1, "_s", 1, "out", {"a_s.jpg"}, "cur/out/a_s.jpg"},
        {"target path first", true, "explicit.jpg", 1, "_s", 1, "out", {}, "explicit.jpg"},
        {"relative folder without a current one", false, {}, 0, {}, 1, "rel", {}, "rel/a.jpg"},
        {"empty folder is the current one", true, {}, 0, {}, 1, "", {}, "cur/a.jpg"},
    };
    int n = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const fs::path rowDir = dir / ("row" + std::to_string(n++));
        fs::create_directories(rowDir / "cur");
        fs::copy_file(dir / "a.jpg", rowDir / "a.jpg");
        for (const std::string& e : row.existing) {
            fs::create_directories((rowDir / e).parent_path());
            fs::copy_file(dir / "other.jpg", rowDir / e);
        }
        std::optional<ScopedCurrentFolder> current;
        if (row.currentFolder)
            current.emplace(Q(rowDir / "cur"));

        CKsImage image(RealLib());
        ASSERT_EQ(image.Load(Q(rowDir / "a.jpg"), 0), 1);
        COperSave op;
        SaveSettings& s = op.GetSettings();
        s.UseSaveSuffix = row.useSuffix;
        s.SaveSuffix = row.suffix;
        s.UseDstFolder = row.useFolder;
        s.DstFolder = QString(row.folder).replace(QStringLiteral("@"), Q(rowDir));
        if (!row.targetPath.isEmpty())
            op.SetTargetPath(Q(rowDir) + u'/' + row.targetPath);
        int stop = 0;
        EXPECT_EQ(op.CreateAction(&image, &stop), nullptr);
        EXPECT_EQ(op.GetLastOutcome(), Outcome::Saved);
        EXPECT_EQ(stop, 0);
        EXPECT_EQ(op.GetLastTarget(), Q(rowDir / row.written));
        EXPECT_EQ(image.GetPath(), Q(rowDir / row.written));

        // Exactly the one file written; files that were there are untouched.
        const auto files = Files(rowDir);
        std::set<std::string> names;
        for (const auto& [name, bytes] : files)
            names.insert(name);
        std::set<std::string> want(row.existing.begin(), row.existing.end());
        want.insert("a.jpg");
        want.insert(row.written);
        EXPECT_EQ(names, want);
        for (const std::string& e : row.existing)
            EXPECT_EQ(files.at(e), other) << e;
        if (row.written != "a.jpg") {
            EXPECT_EQ(files.at("a.jpg"), original);
        }
        EXPECT_TRUE(testjpeg::ReadCoefficients(files.at(row.written)).ok);
    }
}

// A destination holding a NUL (the settings file and macro text can carry
// one) is no path: the save fails like an unwritable target, nothing is
// written or replaced, and the search for a free name ends.
TEST(OperSave, DestinationWithANulIsNoPath)
{
    TempDir dir;
    CScriptedBoxes boxes;
    WriteJpeg(dir / "a.jpg", 32, 32);
    std::ofstream(dir / "notes.txt") << "my notes";
    const auto before = Files(dir.path());
    const ScopedCurrentFolder current(Q(dir.path()));
    const QString nul(QChar(0));
    const QString folders[] = {nul + "out", "notes.txt" + nul, Q(dir / "notes.txt") + nul};
    for (const QString& folder : folders) {
        for (const int useSuffix : {1, 0}) {
            SCOPED_TRACE(folder.toStdString() + (useSuffix ? " with suffix" : ""));
            CKsImage image(RealLib());
            ASSERT_EQ(image.Load(Q(dir / "a.jpg"), 0), 1);
            COperSave op;
            SaveSettings& s = op.GetSettings();
            s.UseDstFolder = 1;
            s.DstFolder = folder;
            s.UseSaveSuffix = useSuffix;
            s.SaveSuffix = QStringLiteral("_s");
            boxes.saveErrors.clear();
            EXPECT_EQ(op.CreateAction(&image, nullptr), nullptr);
            EXPECT_EQ(op.GetLastOutcome(), Outcome::Skipped);
            EXPECT_EQ(boxes.saveErrors.size(), 1);
            EXPECT_EQ(Files(dir.path()), before);
            EXPECT_EQ(image.GetPath(), Q(dir / "a.jpg"));
        }
    }
}

TEST(OperSave, ConfirmationOnlyWhenInteractive)
{
    TempDir dir;
    CScriptedBoxes boxes;
    const fs::path file = WriteJpeg(dir / "a.jpg", 32, 32);

    struct Row {
        int autoFlag, confirm;
        bool answer;
        int asked;
        Outcome outcome;
    };
    for (const Row& row : {Row{0, 1, false, 1, Outcome::Declined}, Row{0, 1, true, 1, Outcome::Saved},
                           Row{1, 1, false, 0, Outcome::Saved}, Row{0, 0, false, 0, Outcome::Saved}}) {
        SCOPED_TRACE(testing::Message() << "auto " << row.autoFlag << " confirm " << row.confirm << " ok " << row.answer);
        // An old time that a save would replace: the file must stay as it is, time included.
        fs::last_write_time(file, fs::file_time_type::clock::now() - std::chrono::hours(48));
        const auto before = testjpeg::ReadFile(file);
        const auto time = fs::last_write_time(file);
        CKsImage image(RealLib());
        ASSERT_EQ(image.Load(Q(file), 0), 1);
        COperSave op;
        op.SetAuto(row.autoFlag);
        op.GetSettings().ConfirmSave = row.confirm;
        op.GetSettings().RetainOriginalTime = 0;
        boxes.okAnswer = row.answer;
        boxes.okCancel.clear();
        op.CreateAction(&image, nullptr);
        EXPECT_EQ(boxes.okCancel.size(), row.asked);
        if (row.asked) {
            EXPECT_EQ(boxes.okCancel.front(), QStringLiteral("Do you want to save the image?"));
        }
        EXPECT_EQ(op.GetLastOutcome(), row.outcome);
        if (row.outcome == Outcome::Declined) {
            EXPECT_EQ(testjpeg::ReadFile(file), before);
            EXPECT_EQ(fs::last_write_time(file), time);
        } else {
            EXPECT_NE(fs::last_write_time(file), time);
        }
    }
}

TEST(OperSave, SaveErrorRetrySkipAbort)
{
    TempDir dir;
    CScriptedBoxes boxes;
    const fs::path file = WriteJpeg(dir / "a.jpg", 32, 32);
    std::ofstream(dir / "plain") << "a regular file";
    const QString target = Q(dir / "plain" / "x.jpg");

    struct Row {
        std::deque<Choice> answers;
        bool nullFlag;
        int asked;
        int flag;
        Outcome outcome;
    };
    const std::vector<Row> rows = {
        {{Choice::Retry, Choice::Retry, Choice::Skip}, false, 3, 0, Outcome::Skipped},
        {{Choice::Retry, Choice::Abort}, false, 2, 1, Outcome::Aborted},
        {{Choice::Abort}, true, 1, 0, Outcome::Aborted},
    };
    for (const Row& row : rows) {
        CKsImage image(RealLib());
        ASSERT_EQ(image.Load(Q(file), 0), 1);
        COperSave op;
        op.SetTargetPath(target);
        boxes.saveErrorAnswers = row.answers;
        boxes.saveErrors.clear();
        int stop = 0;
        op.CreateAction(&image, row.nullFlag ? nullptr : &stop);
        EXPECT_EQ(boxes.saveErrors.size(), row.asked);
        EXPECT_TRUE(boxes.saveErrors.isEmpty() || boxes.saveErrors.front() == target);
        EXPECT_EQ(stop, row.flag);
        EXPECT_EQ(op.GetLastOutcome(), row.outcome);
        EXPECT_EQ(image.GetPath(), Q(file));
        EXPECT_FALSE(fs::exists(dir / "plain" / "x.jpg.tmp"));
    }

    // A destination folder that cannot be made fails the same way.
    CKsImage image(RealLib());
    ASSERT_EQ(image.Load(Q(file), 0), 1);
    COperSave op;
    op.GetSettings().UseDstFolder = 1;
    op.GetSettings().DstFolder = Q(dir / "plain" / "sub");
    boxes.saveErrors.clear();
    op.CreateAction(&image, nullptr);
    EXPECT_EQ(boxes.saveErrors, QStringList{Q(dir / "plain" / "sub" / "a.jpg")});
    EXPECT_EQ(op.GetLastOutcome(), Outcome::Skipped);
}

// The save-error box says why, so that Retry is not pressed in vain: the
// system's text for the step that failed, or for a photo that cannot be
// re-encoded, that "Changes Only" saves it (and it does).
TEST(OperSave, SaveErrorNamesItsCause)
{
    testjpeg::ScopedTmpfs disk(256 * 1024);
    if (!disk.Available())
        GTEST_SKIP() << disk.Why();
    TempDir dir;
    CScriptedBoxes boxes;
    WriteJpeg(disk / "full.jpg", 256, 192);
    disk.Fill();
    testjpeg::EncodeParams cmyk;
    cmyk.inColorSpace = JCS_CMYK;
    testjpeg::WriteFile(dir / "cmyk.jpg", testjpeg::Encode(testjpeg::MakePattern(32, 32, 4), cmyk));
    const struct {
        fs::path photo;
        int compressionMode;
        QStringList causes; // of the boxes shown
    } rows[] = {
        {disk / "full.jpg", 0, {"No space left on device"}},
        {dir / "cmyk.jpg", 1, {"This photo cannot be recompressed (\"All\").\nIt can be saved with \"Changes Only\"."}},
        {dir / "cmyk.jpg", 0, {}},
    };
    for (const auto& row : rows) {
        CKsImage image(RealLib());
        ASSERT_EQ(image.Load(Q(row.photo), 0), 1);
        COperSave op;
        op.GetSettings().CompressionMode = row.compressionMode;
        boxes.saveErrorCauses.clear();
        op.CreateAction(&image, nullptr);
        EXPECT_EQ(boxes.saveErrorCauses.join(u'|').toStdString(), row.causes.join(u'|').toStdString());
        EXPECT_EQ(op.GetLastOutcome(), row.causes.isEmpty() ? Outcome::Saved : Outcome::Skipped);
    }
}

TEST(OperSave, ImageNotLoadedAsksNothing)
{
    CScriptedBoxes boxes;
    CKsImage image(RealLib());
    COperSave op;
    op.GetSettings().ConfirmSave = 1;
    int stop = 0;
    EXPECT_EQ(op.CreateAction(&image, &stop), nullptr);
    EXPECT_EQ(op.CreateAction(nullptr, &stop), nullptr);
    EXPECT_EQ(op.GetLastOutcome(), Outcome::NotLoaded);
    EXPECT_TRUE(boxes.okCancel.isEmpty());
    EXPECT_TRUE(boxes.saveErrors.isEmpty());
    EXPECT_EQ(stop, 0);
}

} // namespace

namespace {

TEST(OperSave, PageThroughTheFrameworkSeam)
{
    int deletions = 0;
    RegisterOperationPageFactory(QStringLiteral("Saving"),
                                 [&](COperation&) { return new optest::CStandInPage(&deletions); });
    {
        COperSave op;
        optest::CStandInSheet sheet;
        EXPECT_EQ(op.AddPage(&sheet, 1), 1);
        auto* page = static_cast<optest::CStandInPage*>(op.GetExistingPage());
        ASSERT_NE(page, nullptr);
        EXPECT_EQ(page->params, &op.GetSettings());
        EXPECT_EQ(page->batch, 1);
        std::unique_ptr<COperation> clone(op.Clone());
        EXPECT_EQ(clone->GetExistingPage(), nullptr);
    }
    RegisterOperationPageFactory(QStringLiteral("Saving"), {});
    EXPECT_EQ(deletions, 1);
}

} // namespace

// A macro run that rewrites ten photos in place, killed while it saves
// photo 2 * round, when its new file has 0 bytes, 1, 100,000 and all but the
// last byte: the photos before it are new, the others old, and nothing else
// is left in the folder (the new file has no name until it is whole).
TEST(OperSave, KilledMacroRunLeavesEachPhotoOldOrNew)
{
    TempDir dir;
    CBatch macro(QStringLiteral("turn"));
    auto* rotate = new COperRotate;
    rotate->SetTransform(1, 0, 0);
    macro.GetOperations() = {rotate, new COperSave};
    const auto runOn = [&macro](const fs::path& photo) {
        CKsImage image(RealLib());
        int stop = 0;
        if (image.Load(Q(photo), 0))
            macro.Apply(&image, 0, &stop, nullptr);
    };

    std::vector<std::string> names;
    std::vector<std::vector<uint8_t>> oldBytes, newBytes;
    fs::create_directory(dir / "expected");
    for (unsigned i = 0; i < 10; ++i) {
        names.push_back("photo" + std::to_string(i) + ".jpg");
        const fs::path expected = WriteJpeg(dir / "expected" / names.back(), 1024, 768, {{2, 2}, {1, 1}, {1, 1}}, i + 1);
        oldBytes.push_back(testjpeg::ReadFile(expected));
        runOn(expected);
        newBytes.push_back(testjpeg::ReadFile(expected));
        ASSERT_NE(newBytes.back(), oldBytes.back());
    }

    const fs::path folder = dir / "photos";
    for (int round = 0; round < 4; ++round) {
        SCOPED_TRACE(round);
        const size_t killed = 2 * static_cast<size_t>(round);
        const off_t size = std::vector<off_t>{0, 1, 100000, off_t(newBytes[killed].size() - 1)}[size_t(round)];
        fs::remove_all(folder);
        fs::create_directory(folder);
        for (size_t i = 0; i < names.size(); ++i)
            ASSERT_TRUE(testjpeg::WriteFile(folder / names[i], oldBytes[i]));
        // The photos before it are done; the run goes on from it.
        for (size_t i = 0; i < killed; ++i)
            runOn(folder / names[i]);
        ASSERT_TRUE(testjpeg::KilledAtFileSize(size, [&] {
            for (size_t i = killed; i < names.size(); ++i)
                runOn(folder / names[i]);
        }));

        std::set<std::string> left;
        for (const auto& e : fs::directory_iterator(folder))
            left.insert(e.path().filename().string());
        EXPECT_EQ(left, std::set<std::string>(names.begin(), names.end()));
        for (size_t i = 0; i < names.size(); ++i)
            EXPECT_EQ(testjpeg::ReadFile(folder / names[i]), i < killed ? newBytes[i] : oldBytes[i]) << names[i];
    }
}
