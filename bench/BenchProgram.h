// For benchmarks of the program's own code: the large photo opened as the
// program opens it, headless.
#pragma once

#include "BenchUtil.h"
#include "JPEGlib.h"
#include "KsImage.h"

#include <QByteArray>

#include <cstdio>

namespace bench {

// Qt draws offscreen unless the caller chose a platform.
inline void UseOffscreenPlatform()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

// Makes the large photo in `dir` and loads it with its display bitmap into
// `image`; its path, or empty (the reason printed) when the library or the
// file fails.
inline std::filesystem::path OpenLargePhoto(const CJPEGlib& lib, CKsImage& image, const std::filesystem::path& dir)
{
    const auto path = MakeLargePhoto(dir);
    if (!lib.IsLoaded()) {
        std::fprintf(stderr, "%s\n", qPrintable(lib.GetLoadError()));
        return {};
    }
    if (!image.Load(QString::fromStdString(path.string()), 1)) {
        std::fprintf(stderr, "cannot open %s\n", path.c_str());
        return {};
    }
    return path;
}

} // namespace bench
