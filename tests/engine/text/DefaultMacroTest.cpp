// The sample macro end to end through the real operation kinds and the real
// library: on copies of two corpus photos without undo (a file run), and on
// an open image with undo, where every step undoes back to the original
// coefficients.
#include "EngineTest.h"

#include "Batch.h"
#include "LocaleManager.h"
#include "OperCrop.h"
#include "OperRotate.h"
#include "OperSave.h"
#include "OperText.h"

#include <QDir>

#include <algorithm>

using namespace etest;
using testjpeg::TempDir;
namespace fs = std::filesystem;

namespace {

struct Prototypes {
    CLocaleManager locales;
    COperRotate rotate;
    COperCrop crop;
    COperText text{locales};
    COperSave save;
    std::vector<IOperation*> list{&rotate, &crop, &text, &save};
};

CBatch SampleMacro(const Prototypes& prototypes)
{
    CBatchList list;
    list.LoadFromString(CBatchList::GetDefaultList(), &prototypes.list);
    EXPECT_EQ(list.GetBatches().size(), 1u);
    return list.GetBatches().empty() ? CBatch() : *list.GetBatches()[0];
}

std::string ExifNumber(const fs::path& file, const std::string& tag)
{
    std::string out;
    testjpeg::Run("exiftool -n -s -s -s -" + tag + " '" + file.string() + "'", &out);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r'))
        out.pop_back();
    return out;
}

// Runs `macro` as a run over files does: a temporary image, no undo.
void RunOnFile(CBatch& macro, const fs::path& path)
{
    CKsImage image(RealLib());
    ASSERT_EQ(image.Load(Q(path), 0), 1) << path;
    int stop = 0;
    macro.Apply(&image, 0, &stop, nullptr);
    EXPECT_EQ(stop, 0);
}

TEST(DefaultMacro, FileRunWritesCroppedDatedCopies)
{
    if (!testjpeg::HaveTool("exiftool"))
        GTEST_SKIP() << "exiftool missing";
    Prototypes prototypes;
    TempDir dir;
    for (const char* name : {"gox_iphone4s_orient6.jpg", "syn_420_1001x667.jpg"}) {
        SCOPED_TRACE(name);
        const fs::path source = testjpeg::CorpusFile(name);
        const fs::path copy = dir / name;
        fs::copy_file(source, copy);
        const auto original = testjpeg::ReadFile(copy);

        CBatch macro = SampleMacro(prototypes);
        ASSERT_EQ(macro.GetOperations().size(), 4u);
        RunOnFile(macro, copy);
        const std::string stem = fs::path(name).stem().string();
        const fs::path out = dir / (stem + "_crop4x6.jpg");
        ASSERT_TRUE(fs::exists(out));
        EXPECT_EQ(testjpeg::ReadFile(copy), original);

        // The same steps without the text, to find what the text changed.
        CBatch plain = SampleMacro(prototypes);
        auto& ops = plain.GetOperations();
        delete ops[1];
        ops.erase(ops.begin() + 1);
        const fs::path plainOut = dir / (stem + "_plain.jpg");
        static_cast<COperSave*>(ops.back())->SetTargetPath(Q(plainOut));
        RunOnFile(plain, copy);
        EXPECT_EQ(testjpeg::ReadFile(copy), original);

        const auto dated = testjpeg::Decode(testjpeg::ReadFile(out));
        const auto bare = testjpeg::Decode(testjpeg::ReadFile(plainOut));
        ASSERT_GT(dated.width, 0);
        ASSERT_EQ(dated.width, bare.width);
        ASSERT_EQ(dated.height, bare.height);
        const double ratio = double(std::max(dated.width, dated.height)) / std::min(dated.width, dated.height);
        EXPECT_NEAR(ratio, 1.5, 0.06) << dated.width << " x " << dated.height;

        int left = dated.width, top = dated.height, right = -1, bottom = -1;
        for (int y = 0; y < dated.height; ++y)
            for (int x = 0; x < dated.width * 3; ++x)
                if (std::abs(int(dated.row(y)[x]) - int(bare.row(y)[x])) > 48) {
                    left = std::min(left, x / 3);
                    right = std::max(right, x / 3);
                    top = std::min(top, y);
                    bottom = std::max(bottom, y);
                }
        ASSERT_GE(right, 0) << "no text drawn";
        EXPECT_GT(left + right, dated.width) << left << ".." << right;   // right half
        EXPECT_GT(top + bottom, dated.height) << top << ".." << bottom;  // bottom half

        if (std::string(name) == "gox_iphone4s_orient6.jpg") {
            EXPECT_EQ(ExifNumber(out, "Orientation"), "1");
            EXPECT_GT(dated.height, dated.width); // turned upright
        }
        fs::create_directories(PIXMEND_ARTIFACTS_DIR);
        fs::copy_file(out, fs::path(PIXMEND_ARTIFACTS_DIR) / ("default_macro_" + stem + ".jpg"),
                      fs::copy_options::overwrite_existing);
    }
}

TEST(DefaultMacro, WithUndoEveryStepUndoesToTheOriginal)
{
    const fs::path source = testjpeg::CorpusFile("gox_iphone4s_orient6.jpg");
    Prototypes prototypes;
    TempDir dir;
    const fs::path copy = dir / "open.jpg";
    fs::copy_file(source, copy);

    CKsImage image(RealLib());
    ASSERT_EQ(image.Load(Q(copy), 1), 1);
    const std::vector<short> original = Coefficients(image);
    const int width = image.GetWidth(), height = image.GetHeight();

    CBatch macro = SampleMacro(prototypes);
    int stop = 0;
    macro.Apply(&image, 1, &stop, nullptr);
    CUndoMan* undo = image.GetUndoMan();
    EXPECT_EQ(undo->GetActionCount(), 3); // turn, text, crop; the save is no step
    EXPECT_TRUE(fs::exists(dir / "open_crop4x6.jpg"));
    EXPECT_NE(Coefficients(image), original);

    while (undo->CanUndo())
        undo->Undo();
    EXPECT_EQ(image.GetWidth(), width);
    EXPECT_EQ(image.GetHeight(), height);
    EXPECT_TRUE(Coefficients(image) == original);

    // And forward again to the same result as the file written.
    while (undo->CanRedo())
        undo->Redo();
    EXPECT_EQ(image.GetUndoMan()->GetCurrentIndex(), 2);
}

} // namespace
