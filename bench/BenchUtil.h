// Small helpers for the side-by-side benchmarks: a large test photo made once
// per run, wall-clock timing of a callable and of a command line.
#pragma once

#include "Kestrel.h"
#include "TestJpeg.h"
#include "platform/Bstr.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

namespace bench {

// Best of `runs` wall-clock times in milliseconds.
inline double TimeMs(const std::function<void()>& work, int runs = 5)
{
    double best = 1e300;
    for (int i = 0; i < runs; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        work();
        const auto t1 = std::chrono::steady_clock::now();
        best = std::min(best, std::chrono::duration<double, std::milli>(t1 - t0).count());
    }
    return best;
}

inline double TimeCommandMs(const std::string& command, int runs = 5)
{
    return TimeMs([&] { testjpeg::Run(command + " >/dev/null 2>&1"); }, runs);
}

// A 6000 x 4000 4:2:0 photo-like JPEG at quality 90 in `dir`.
inline std::filesystem::path MakeLargePhoto(const std::filesystem::path& dir, int width = 6000, int height = 4000)
{
    const auto path = dir / "large.jpg";
    auto jpeg = testjpeg::Encode(testjpeg::MakePattern(width, height, 3, 7), testjpeg::Sampled(90, {{2, 2}, {1, 1}, {1, 1}}));
    testjpeg::WriteFile(path, jpeg);
    return path;
}

// A new library object; with `path`, holding that photo (aborts when it does not load).
inline IKestrel* NewImage(const std::filesystem::path& path = {})
{
    IKestrel* k = nullptr;
    if (CreateKestrelObject(&k) != S_OK)
        std::abort();
    if (!path.empty()) {
        CBstr p(testjpeg::ToU16(path.string()));
        if (!k->LoadFile(p, 0))
            std::abort();
    }
    return k;
}

inline void Report(const char* what, double oursMs, const char* tool, double toolMs)
{
    std::printf("%-40s ours %9.2f ms   %-45s %9.2f ms   ratio %.2f\n", what, oursMs, tool, toolMs, oursMs / toolMs);
}

} // namespace bench
