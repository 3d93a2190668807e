#include "TestJpeg.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cerrno>
#include <csetjmp>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <random>
#include <stdexcept>

#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <linux/capability.h>
#include <sys/syscall.h>

#include "platform/Utf.h"

#include <gtest/gtest.h>

namespace testjpeg {

namespace {

struct ErrorMgr {
    jpeg_error_mgr pub;
    jmp_buf jump;
};

[[noreturn]] void ErrorExit(j_common_ptr cinfo)
{
    std::longjmp(reinterpret_cast<ErrorMgr*>(cinfo->err)->jump, 1);
}

void Silent(j_common_ptr) {}

jpeg_error_mgr* InitErrors(ErrorMgr* err)
{
    jpeg_std_error(&err->pub);
    err->pub.error_exit = ErrorExit;
    err->pub.output_message = Silent;
    return &err->pub;
}

} // namespace

Pixels MakePattern(int width, int height, int channels, unsigned seed)
{
    Pixels p;
    p.width = width;
    p.height = height;
    p.channels = channels;
    p.data.resize(static_cast<size_t>(width) * height * channels);
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> noise(-12, 12);
    const double cx = width * 0.4, cy = height * 0.6;
    for (int y = 0; y < height; ++y) {
        uint8_t* row = p.row(y);
        for (int x = 0; x < width; ++x) {
            const double r = std::hypot(x - cx, y - cy);
            for (int c = 0; c < channels; ++c) {
                double v = 128 + 90 * std::sin(r / (9.0 + 3 * c) + c)
                    + 60.0 * (x - width / 2.0) / std::max(1, width) * (c % 2 ? 1 : -1)
                    + 40.0 * (y - height / 2.0) / std::max(1, height);
                if (((x / 13) + (y / 11) + c) % 7 == 0)
                    v += 50;
                v += noise(rng);
                row[x * channels + c] = static_cast<uint8_t>(std::clamp(static_cast<int>(v), 0, 255));
            }
        }
    }
    return p;
}

std::vector<uint8_t> Encode(const Pixels& pixels, const EncodeParams& params)
{
    jpeg_compress_struct cinfo{};
    ErrorMgr err;
    cinfo.err = InitErrors(&err);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    if (setjmp(err.jump)) {
        jpeg_destroy_compress(&cinfo);
        std::free(buffer);
        throw std::runtime_error("encode failed");
    }
    jpeg_create_compress(&cinfo);
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = static_cast<JDIMENSION>(pixels.width);
    cinfo.image_height = static_cast<JDIMENSION>(pixels.height);
    cinfo.input_components = pixels.channels;
    cinfo.in_color_space = params.inColorSpace;
    jpeg_set_defaults(&cinfo);
    if (params.jpegColorSpace != JCS_UNKNOWN)
        jpeg_set_colorspace(&cinfo, params.jpegColorSpace);
    jpeg_set_quality(&cinfo, params.quality, TRUE);
    for (size_t c = 0; c < params.sampling.size() && c < static_cast<size_t>(cinfo.num_components); ++c) {
        cinfo.comp_info[c].h_samp_factor = params.sampling[c].first;
        cinfo.comp_info[c].v_samp_factor = params.sampling[c].second;
    }
    if (params.progressive)
        jpeg_simple_progression(&cinfo);
    cinfo.arith_code = params.arithmetic ? TRUE : FALSE;
    cinfo.restart_interval = static_cast<unsigned int>(params.restartInterval);
    cinfo.optimize_coding = params.optimize ? TRUE : FALSE;
    cinfo.write_JFIF_header = params.writeJfif && cinfo.write_JFIF_header ? TRUE : FALSE;
    jpeg_start_compress(&cinfo, TRUE);
    for (const auto& [code, data] : params.markers)
        jpeg_write_marker(&cinfo, code, data.data(), static_cast<unsigned>(data.size()));
    std::vector<uint8_t> row;
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW r = const_cast<JSAMPROW>(pixels.row(static_cast<int>(cinfo.next_scanline)));
        jpeg_write_scanlines(&cinfo, &r, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::vector<uint8_t> out(buffer, buffer + size);
    std::free(buffer);
    return out;
}

EncodeParams Sampled(int quality, std::vector<std::pair<int, int>> sampling)
{
    EncodeParams p;
    p.quality = quality;
    p.sampling = std::move(sampling);
    return p;
}

Coefficients ReadCoefficients(const std::vector<uint8_t>& jpeg)
{
    Coefficients result;
    jpeg_decompress_struct cinfo{};
    ErrorMgr err;
    cinfo.err = InitErrors(&err);
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&cinfo);
        result.ok = false;
        result.components.clear();
        return result;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, jpeg.data(), static_cast<unsigned long>(jpeg.size()));
    jpeg_read_header(&cinfo, TRUE);
    jvirt_barray_ptr* arrays = jpeg_read_coefficients(&cinfo);
    result.width = static_cast<int>(cinfo.image_width);
    result.height = static_cast<int>(cinfo.image_height);
    result.colorSpace = cinfo.jpeg_color_space;
    result.maxH = cinfo.max_h_samp_factor;
    result.maxV = cinfo.max_v_samp_factor;
    for (int c = 0; c < cinfo.num_components; ++c) {
        jpeg_component_info* comp = &cinfo.comp_info[c];
        Component out;
        out.h = comp->h_samp_factor;
        out.v = comp->v_samp_factor;
        out.widthInBlocks = static_cast<int>(comp->width_in_blocks);
        out.heightInBlocks = static_cast<int>(comp->height_in_blocks);
        out.quantTableNo = comp->quant_tbl_no;
        for (int i = 0; i < 64; ++i)
            out.quant[i] = comp->quant_table ? comp->quant_table->quantval[i] : 0;
        out.blocks.resize(static_cast<size_t>(out.widthInBlocks) * out.heightInBlocks * 64);
        for (int r = 0; r < out.heightInBlocks; ++r) {
            JBLOCKARRAY rows = (*cinfo.mem->access_virt_barray)(reinterpret_cast<j_common_ptr>(&cinfo), arrays[c],
                                                                 static_cast<JDIMENSION>(r), 1, FALSE);
            for (int k = 0; k < out.widthInBlocks; ++k)
                std::copy(rows[0][k], rows[0][k] + 64, out.blocks.begin() + (static_cast<size_t>(r) * out.widthInBlocks + k) * 64);
        }
        result.components.push_back(std::move(out));
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    result.ok = true;
    return result;
}

Pixels Decode(const std::vector<uint8_t>& jpeg)
{
    Pixels p;
    jpeg_decompress_struct cinfo{};
    ErrorMgr err;
    cinfo.err = InitErrors(&err);
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&cinfo);
        return Pixels{};
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, jpeg.data(), static_cast<unsigned long>(jpeg.size()));
    jpeg_read_header(&cinfo, TRUE);
    cinfo.dct_method = JDCT_ISLOW;
    cinfo.do_fancy_upsampling = FALSE;
    jpeg_start_decompress(&cinfo);
    p.width = static_cast<int>(cinfo.output_width);
    p.height = static_cast<int>(cinfo.output_height);
    p.channels = cinfo.output_components;
    p.data.resize(static_cast<size_t>(p.width) * p.height * p.channels);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW r = p.row(static_cast<int>(cinfo.output_scanline));
        jpeg_read_scanlines(&cinfo, &r, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return p;
}

std::vector<uint8_t> ReadFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

bool WriteFile(const std::filesystem::path& path, const std::vector<uint8_t>& data)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
    return static_cast<bool>(out);
}

int Run(const std::string& command, std::string* output)
{
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return -1;
    std::array<char, 4096> buf;
    size_t n;
    while ((n = fread(buf.data(), 1, buf.size(), pipe)) > 0)
        if (output)
            output->append(buf.data(), n);
    const int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool HaveTool(const std::string& name)
{
    const bool found = Run("command -v " + name + " >/dev/null 2>&1") == 0;
    if (!found && std::getenv("PIXMEND_REQUIRE_TOOLS"))
        ADD_FAILURE() << name << " is not installed (scripts/install-deps.sh installs it)";
    return found;
}

namespace {

// The exit code of the child `pid`, or -1 when there is none or it did not exit normally.
int ExitCodeOf(pid_t pid)
{
    int status = 0;
    return pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

int InOtherCopy(const std::function<int(const Meet&)>& body, const std::function<void(const Meet&)>& meanwhile)
{
    // Each keeps its own end only: a side gone before meeting is an end of file.
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0)
        return -1;
    const auto meeting = [](int fd, bool child) {
        return [fd, child] {
            char byte = 0;
            if ((::send(fd, "m", 1, MSG_NOSIGNAL) != 1 || TEMP_FAILURE_RETRY(::recv(fd, &byte, 1, 0)) != 1) && child)
                _exit(98);
        };
    };
    const pid_t pid = fork();
    if (pid == 0) {
        ::close(ends[0]);
        _exit(body(meeting(ends[1], true)));
    }
    ::close(ends[1]);
    if (meanwhile && pid > 0)
        meanwhile(meeting(ends[0], false));
    ::close(ends[0]);
    return ExitCodeOf(pid);
}

int RunInChild(const std::function<int()>& body)
{
    const pid_t pid = fork();
    if (pid == 0)
        _exit(body());
    return ExitCodeOf(pid);
}

int RunWithoutRoot(const std::function<int()>& body)
{
    return RunInChild([&] {
        // Root of a user namespace of the process's own (after ScopedTmpfs)
        // cannot become nobody; it gives up its capabilities instead.
        __user_cap_header_struct header {_LINUX_CAPABILITY_VERSION_3, 0};
        __user_cap_data_struct none[2] {};
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)
            && ::syscall(SYS_capset, &header, none) != 0)
            return 125;
        return body();
    });
}

bool KilledAtFileSize(off_t bytes, const std::function<void()>& body)
{
    const pid_t pid = fork();
    if (pid < 0)
        return false;
    if (pid == 0) {
        // The write that would pass the limit raises SIGXFSZ.
        std::signal(SIGXFSZ, [](int) { ::kill(::getpid(), SIGKILL); });
        rlimit limit{};
        ::getrlimit(RLIMIT_FSIZE, &limit);
        limit.rlim_cur = static_cast<rlim_t>(bytes);
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
            _exit(125);
        ::alarm(120);
        body();
        _exit(0);
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0)
        if (errno != EINTR)
            return false;
    return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
}

TempDir::TempDir()
{
    std::string tmpl = (std::filesystem::temp_directory_path() / "pxmtest-XXXXXX").string();
    if (!mkdtemp(tmpl.data()))
        throw std::runtime_error("mkdtemp failed");
    m_path = tmpl;
}

TempDir::~TempDir()
{
    std::error_code ec;
    std::filesystem::permissions(m_path, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
    for (auto& e : std::filesystem::recursive_directory_iterator(m_path, ec))
        std::filesystem::permissions(e.path(), std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(m_path, ec);
}

std::filesystem::path CorpusDir()
{
    return PIXMEND_TEST_DATA_DIR;
}

std::vector<std::filesystem::path> CorpusFiles()
{
    std::vector<std::filesystem::path> files;
    for (const auto& e : std::filesystem::directory_iterator(CorpusDir()))
        if (e.path().extension() == ".jpg")
            files.push_back(e.path());
    std::sort(files.begin(), files.end());
    EXPECT_FALSE(files.empty()) << "no photos in " << CorpusDir();
    return files;
}

std::filesystem::path CorpusFile(const std::string& name)
{
    const auto path = CorpusDir() / name;
    EXPECT_TRUE(std::filesystem::is_regular_file(path)) << "missing test photo " << path;
    return path;
}

std::vector<std::filesystem::path> WriteMadeKinds(const std::filesystem::path& dir)
{
    struct Kind {
        const char* name;
        int channels;
        EncodeParams params;
    };
    const std::vector<std::pair<int, int>> s420 = {{2, 2}, {1, 1}, {1, 1}};
    EncodeParams rgb, gray, restart = Sampled(85, s420), progressive = Sampled(85, s420);
    rgb.jpegColorSpace = JCS_RGB;
    gray.inColorSpace = JCS_GRAYSCALE;
    restart.restartInterval = 13;
    progressive.progressive = true;
    const Kind kinds[] = {
        {"made_422.jpg", 3, Sampled(85, {{2, 1}, {1, 1}, {1, 1}})},
        {"made_440.jpg", 3, Sampled(85, {{1, 2}, {1, 1}, {1, 1}})},
        {"made_asymmetric.jpg", 3, Sampled(85, {{2, 2}, {2, 1}, {1, 2}})},
        {"made_luma_subsample.jpg", 3, Sampled(85, {{1, 1}, {2, 2}, {2, 2}})},
        {"made_rgb.jpg", 3, rgb},
        {"made_gray.jpg", 1, gray},
        {"made_420_restart13.jpg", 3, restart},
        {"made_420_progressive.jpg", 3, progressive},
    };
    std::vector<std::filesystem::path> files;
    unsigned seed = 1;
    for (const Kind& k : kinds) {
        files.push_back(dir / k.name);
        EXPECT_TRUE(WriteFile(files.back(), Encode(MakePattern(227, 149, k.channels, seed++), k.params)));
    }
    return files;
}

std::vector<std::filesystem::path> CorpusAndMadeKinds(const std::filesystem::path& dir)
{
    std::vector<std::filesystem::path> files = CorpusFiles();
    for (auto& made : WriteMadeKinds(dir))
        files.push_back(std::move(made));
    return files;
}

SYSTEMTIME At(int year, int month, int day, int hour, int minute, int second, int ms)
{
    SYSTEMTIME t{};
    t.wYear = static_cast<uint16_t>(year);
    t.wMonth = static_cast<uint16_t>(month);
    t.wDay = static_cast<uint16_t>(day);
    t.wHour = static_cast<uint16_t>(hour);
    t.wMinute = static_cast<uint16_t>(minute);
    t.wSecond = static_cast<uint16_t>(second);
    t.wMilliseconds = static_cast<uint16_t>(ms);
    return t;
}

std::u16string ToU16(const std::string& text)
{
    return Utf8ToUtf16(text);
}

} // namespace testjpeg
