// LoadFile of a large photo against `jpegtran -copy none` of the same file.
#include "BenchUtil.h"
#include "DllImage.h"
#include "platform/Bstr.h"

int main()
{
    testjpeg::TempDir dir;
    const auto path = bench::MakeLargePhoto(dir.path());
    IKestrel* k = nullptr;
    CreateKestrelObject(&k);
    CBstr p(testjpeg::ToU16(path.string()));
    const double ours = bench::TimeMs([&] {
        if (!k->LoadFile(p, 0))
            std::abort();
    });
    k->Release();
    const double tool = bench::TimeCommandMs("jpegtran -copy none -outfile /dev/null '" + path.string() + "'");
    bench::Report("LoadFile 6000x4000 4:2:0", ours, "jpegtran -copy none", tool);
    return 0;
}
