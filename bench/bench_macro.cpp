// A rotate + save macro run over ten copies of a 6000 x 4000 photo the way a
// run over selected files does it (a temporary image per file, CBatch::Apply
// without undo, a lossless save into a destination folder), against
// `jpegtran -copy all -optimize -rotate 90 -trim` over the same ten files in
// one shell loop.
#include "Batch.h"
#include "BenchProgram.h"
#include "JPEGlib.h"
#include "KsImage.h"
#include "OperRotate.h"
#include "OperSave.h"

#include <cstdio>
#include <cstdlib>
#include <string>

int main()
{
    constexpr int kFiles = 10;
    testjpeg::TempDir dir;
    const auto photo = bench::MakeLargePhoto(dir.path());
    std::filesystem::create_directories(dir / "ours");
    std::filesystem::create_directories(dir / "tool");
    std::vector<std::filesystem::path> files;
    std::string names;
    for (int i = 0; i < kFiles; ++i) {
        const auto path = dir / ("photo" + std::to_string(i) + ".jpg");
        std::filesystem::copy_file(photo, path);
        files.push_back(path);
        names += " '" + path.filename().string() + "'";
    }

    CJPEGlib lib;
    if (!lib.IsLoaded()) {
        std::fprintf(stderr, "%s\n", qPrintable(lib.GetLoadError()));
        return 1;
    }
    auto* save = new COperSave;
    save->GetSettings().UseDstFolder = 1;
    save->GetSettings().DstFolder = QString::fromStdString((dir / "ours").string());
    auto* rotate = new COperRotate;
    rotate->SetTransform(1, 0, 0); // a clockwise quarter turn
    CBatch macro(QStringLiteral("Rotate + Save"));
    macro.GetOperations() = {rotate, save};

    const double ours = bench::TimeMs(
        [&] {
            int stop = 0;
            for (const auto& path : files) {
                CKsImage image(lib);
                if (!image.Load(QString::fromStdString(path.string()), 0))
                    std::abort();
                macro.Apply(&image, 0, &stop, nullptr);
                if (save->GetLastOutcome() != COperSave::SaveOutcome::Saved)
                    std::abort();
            }
        },
        3);
    const double tool = bench::TimeCommandMs("cd '" + dir.path().string() + "' && for f in" + names
                                                 + "; do jpegtran -copy all -optimize -rotate 90 -trim -outfile tool/\"$f\" \"$f\"; done",
                                             3);
    bench::Report("rotate + save macro, 10 x 6000x4000", ours, "jpegtran -copy all -optimize -rotate 90 -trim", tool);
    return 0;
}
