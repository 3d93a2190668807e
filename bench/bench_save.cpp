// Lossless saving of a large photo side by side with jpegtran on the same
// file: load + quarter turn + save against `jpegtran -copy all -optimize
// -rotate 90 -trim`, and load + unedited save against `jpegtran -copy all
// -optimize`. Our side includes the temporary file's fsync and rename.
#include "BenchUtil.h"
#include "DllImage.h"
#include "platform/Bstr.h"

#include <cstdlib>

int main()
{
    testjpeg::TempDir dir;
    const auto path = bench::MakeLargePhoto(dir.path());
    const std::string in = path.string();
    const std::string out = (dir.path() / "ours.jpg").string();
    const std::string ref = (dir.path() / "ref.jpg").string();

    IKestrel* k = nullptr;
    CreateKestrelObject(&k);
    CBstr source(testjpeg::ToU16(in));
    CBstr target(testjpeg::ToU16(out));
    const SaveOptions options = DefaultSaveOptions();

    const double oursTurn = bench::TimeMs([&] {
        if (!k->LoadFile(source, 0) || !k->RotateRight(0) || !k->SaveFile(target, &options))
            std::abort();
    });
    const double toolTurn = bench::TimeCommandMs("jpegtran -copy all -optimize -rotate 90 -trim -outfile '" + ref
                                                 + "' '" + in + "'");

    const double oursPlain = bench::TimeMs([&] {
        if (!k->LoadFile(source, 0) || !k->SaveFile(target, &options))
            std::abort();
    });
    const double toolPlain = bench::TimeCommandMs("jpegtran -copy all -optimize -outfile '" + ref + "' '" + in + "'");
    k->Release();

    bench::Report("load + RotateRight + save 6000x4000", oursTurn, "jpegtran -copy all -optimize -rotate 90 -trim",
                  toolTurn);
    bench::Report("load + unedited save 6000x4000", oursPlain, "jpegtran -copy all -optimize", toolPlain);
    return 0;
}
