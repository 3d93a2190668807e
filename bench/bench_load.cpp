// LoadFile of a large photo against `jpegtran -copy none` of the same file.
#include "BenchUtil.h"

int main()
{
    testjpeg::TempDir dir;
    const auto path = bench::MakeLargePhoto(dir.path());
    const double ours = bench::TimeMs([&] { bench::NewImage(path)->Release(); });
    const double tool = bench::TimeCommandMs("jpegtran -copy none -outfile /dev/null '" + path.string() + "'");
    bench::Report("LoadFile 6000x4000 4:2:0", ours, "jpegtran -copy none", tool);
    return 0;
}
