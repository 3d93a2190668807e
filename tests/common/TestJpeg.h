// Helpers for tests: make JPEGs with libjpeg, read them back as libjpeg sees
// them, run libjpeg-turbo's command-line tools, and temporary folders.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <sys/types.h>

#include "platform/FileTime.h"

extern "C" {
#include <cstdio>
#include <jpeglib.h>
}

namespace testjpeg {

// Interleaved 8-bit samples, `channels` per pixel (1 gray, 3 RGB, 4 CMYK).
struct Pixels {
    int width = 0;
    int height = 0;
    int channels = 3;
    std::vector<uint8_t> data;
    uint8_t* row(int y) { return data.data() + static_cast<size_t>(y) * width * channels; }
    const uint8_t* row(int y) const { return data.data() + static_cast<size_t>(y) * width * channels; }
};

// A smooth, textured picture (gradients, circles and noise from `seed`).
Pixels MakePattern(int width, int height, int channels = 3, unsigned seed = 1);

struct EncodeParams {
    int quality = 85;
    // Sampling factors per component, e.g. {{2,2},{1,1},{1,1}}; empty = libjpeg default.
    std::vector<std::pair<int, int>> sampling;
    bool progressive = false;
    bool arithmetic = false;
    int restartInterval = 0;              // in MCUs
    J_COLOR_SPACE inColorSpace = JCS_RGB; // JCS_GRAYSCALE, JCS_RGB, JCS_CMYK
    J_COLOR_SPACE jpegColorSpace = JCS_UNKNOWN; // JCS_UNKNOWN = libjpeg default for the input
    bool optimize = false;
    bool writeJfif = true;
    std::vector<std::pair<int, std::vector<uint8_t>>> markers; // written after the headers
};

std::vector<uint8_t> Encode(const Pixels& pixels, const EncodeParams& params = {});
// Parameters with a quality and per-component sampling factors.
EncodeParams Sampled(int quality, std::vector<std::pair<int, int>> sampling);

// Quantised coefficients as libjpeg reads them.
struct Component {
    int h = 1, v = 1;
    int widthInBlocks = 0, heightInBlocks = 0;
    int quantTableNo = 0;
    uint16_t quant[64] = {};
    std::vector<int16_t> blocks; // heightInBlocks x widthInBlocks blocks, 64 values each
    const int16_t* block(int row, int col) const { return blocks.data() + (static_cast<size_t>(row) * widthInBlocks + col) * 64; }
};
struct Coefficients {
    bool ok = false;
    int width = 0, height = 0;
    J_COLOR_SPACE colorSpace = JCS_UNKNOWN;
    int maxH = 1, maxV = 1;
    std::vector<Component> components;
};
Coefficients ReadCoefficients(const std::vector<uint8_t>& jpeg);

// Full decode with the accurate integer IDCT and no fancy upsampling (as
// `djpeg -dct int -nosmooth`); RGB or gray output.
Pixels Decode(const std::vector<uint8_t>& jpeg);

std::vector<uint8_t> ReadFile(const std::filesystem::path& path);
bool WriteFile(const std::filesystem::path& path, const std::vector<uint8_t>& data);

// Runs a shell command; returns its exit status and fills `output` with stdout.
int Run(const std::string& command, std::string* output = nullptr);
// True when a program is on PATH. With PIXMEND_REQUIRE_TOOLS set (as
// test.sh sets it, having installed them all) a missing one fails the test.
bool HaveTool(const std::string& name);

// Runs `body` in a child process; returns its exit status (`body`'s
// result), or -1 when it did not exit normally.
int RunInChild(const std::function<int()>& body);
// Runs `body` in a child process, as the unprivileged user nobody when this
// process is root (root ignores permission bits); returns the child's exit
// status (`body`'s result), or -1 when it did not exit normally.
int RunWithoutRoot(const std::function<int()>& body);
// Runs `body` in a child process, another running copy of the program, and
// `meanwhile` here; each may call its `meet` to wait until the other has
// come to its own call. The child's exit code, or -1.
using Meet = std::function<void()>;
int InOtherCopy(const std::function<int(const Meet&)>& body, const std::function<void(const Meet&)>& meanwhile = {});
// Runs `body` in a child process that its own first write at or past byte
// `bytes` of any file kills (SIGKILL), as if it were killed right at that
// point of its work. True when it died so; false when it ended otherwise or
// still ran after two minutes.
bool KilledAtFileSize(off_t bytes, const std::function<void()>& body);

// A fresh temporary folder removed with the object.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return m_path; }
    std::filesystem::path operator/(const std::string& name) const { return m_path / name; }

private:
    std::filesystem::path m_path;
};

// The test photos kept with the sources (tests/data) and their JPEG files.
std::filesystem::path CorpusDir();
std::vector<std::filesystem::path> CorpusFiles();
// One test photo by name; a missing one fails the test.
std::filesystem::path CorpusFile(const std::string& name);

// Pictures of kinds no small test photo has (4:2:2, 4:4:0, mixed sampling
// factors, RGB and gray colour spaces, restart intervals that end inside a
// row, progressive scans), each with partial MCUs, written into `dir`.
std::vector<std::filesystem::path> WriteMadeKinds(const std::filesystem::path& dir);
// The test photos and, after them, the made kinds written into `dir`.
std::vector<std::filesystem::path> CorpusAndMadeKinds(const std::filesystem::path& dir);

std::u16string ToU16(const std::string& text);

// A calendar time (day of week left 0).
SYSTEMTIME At(int year, int month, int day, int hour = 0, int minute = 0, int second = 0, int ms = 0);

} // namespace testjpeg
