// The folder-listing worker and the listing rule it shares with the browser.
#include "FileListLoader.h"
#include "FolderScan.h"
#include "WorkerTest.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <set>

using namespace wtest;
using testjpeg::TempDir;
namespace fs = std::filesystem;

namespace {

// Everything the loader delivers for its current request, until it is done.
std::vector<FileListEntry> DrainAll(CFileListLoader& loader)
{
    std::vector<FileListEntry> all;
    for (;;) {
        loader.WaitForEntries();
        FileListEntry entry;
        while (loader.PopEntry(entry))
            all.push_back(entry);
        if (!loader.HasMore())
            return all;
    }
}

std::vector<QString> SortedNames(const std::vector<FileListEntry>& entries)
{
    std::vector<QString> names;
    for (const FileListEntry& e : entries)
        names.push_back(e.name);
    std::sort(names.begin(), names.end());
    return names;
}

void Touch(const fs::path& path, size_t bytes = 0)
{
    std::ofstream(path, std::ios::binary) << std::string(bytes, 'x');
}

// A folder of `count` empty JPEG-named files; their sorted names.
std::vector<QString> MakeFolder(const fs::path& dir, int count, const std::string& prefix)
{
    std::vector<QString> names;
    for (int i = 0; i < count; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "%s%05d.jpg", prefix.c_str(), i);
        Touch(dir / name);
        names.push_back(QString::fromLatin1(name));
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST(FolderListing, JpegNamesByExtension)
{
    const std::pair<const char*, bool> cases[] = {
        {"a.JPG", true},  {"b.jpeg", true}, {"c.Jpe", true},    {".x.jpg", true}, {"photo.tar.jpg", true},
        {"a.jp", false},  {"a.pe", false},  {"a.g", false},     {"README", false}, {"a.", false},
        {"jpg", false},   {"a.jpgx", false}, {"a.jpg.txt", false}, {"a.PEG", false}, {"a,jpg", false},
    };
    for (const auto& [name, jpeg] : cases)
        EXPECT_EQ(IsJpegFileName(QString::fromUtf8(name)), jpeg) << name;
}

TEST(FolderListing, DeliversFoldersAndJpegFilesWithTheirStatFields)
{
    TempDir dir;
    fs::create_directory(dir / "sub");
    int n = 1;
    for (const char* name : {"a.JPG", "b.jpeg", "c.Jpe", ".x.jpg", "a.jp", "a.pe", "a.g", "README"})
        Touch(dir / name, 100 * n++);
    // An older time than the rest, so times are really compared.
    const timespec times[2] = {{1000000000, 0}, {1000000000, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, (dir / "b.jpeg").c_str(), times, 0), 0);
    ASSERT_EQ(mkfifo((dir / "f.jpg").c_str(), 0600), 0);
    fs::create_symlink(dir / "missing.jpg", dir / "y.jpg");
    fs::create_symlink(dir / "a.JPG", dir / "l.jpg");
    fs::create_directory_symlink(dir / "sub", dir / "linked");
    Touch(dir / "bad\xff.jpg"); // not UTF-8

    CFileListLoader loader;
    loader.StartFolder(Q(dir.path()));
    const std::vector<FileListEntry> entries = DrainAll(loader);
    EXPECT_EQ(SortedNames(entries), (std::vector<QString>{".x.jpg", "a.JPG", "b.jpeg", "c.Jpe", "l.jpg", "linked", "sub"}));
    for (const FileListEntry& e : entries) {
        struct stat st;
        ASSERT_EQ(stat((dir / e.name.toStdString()).c_str(), &st), 0);
        const bool folder = S_ISDIR(st.st_mode);
        EXPECT_EQ(e.directory, folder ? 1 : 0) << e.name.toStdString();
        EXPECT_EQ(e.size, folder ? 0u : static_cast<uint64_t>(st.st_size)) << e.name.toStdString();
        EXPECT_EQ(e.lastWriteTime, st.st_mtim.tv_sec) << e.name.toStdString();
        EXPECT_EQ(e.width, 0);
        EXPECT_EQ(e.height, 0);
    }
}

TEST(FolderListing, WaitEndsForFoldersWithoutEntries)
{
    CFileListLoader loader;
    EXPECT_FALSE(loader.HasMore());
    loader.WaitForEntries();

    TempDir dir;
    Touch(dir / "README");
    Touch(dir / "notes.txt");
    for (const QString& folder : {Q(dir.path()), Q(dir / "missing"), QString()}) {
        loader.StartFolder(folder);
        loader.WaitForEntries();
        FileListEntry entry;
        EXPECT_FALSE(loader.PopEntry(entry)) << folder.toStdString();
        EXPECT_FALSE(loader.HasMore()) << folder.toStdString();
    }
}

// Memory-backed when the system has it: making 20,000 files on disk takes
// seconds.
class FastTempDir {
public:
    FastTempDir()
    {
        std::string tmpl = (fs::is_directory("/dev/shm") && access("/dev/shm", W_OK) == 0 ? fs::path("/dev/shm")
                                                                                          : fs::temp_directory_path())
                               .string() + "/pxmtest-XXXXXX";
        if (mkdtemp(tmpl.data()))
            m_path = tmpl;
    }
    ~FastTempDir()
    {
        std::error_code ec;
        fs::remove_all(m_path, ec);
    }
    const fs::path& path() const { return m_path; }

private:
    fs::path m_path;
};

TEST(FolderListing, GivesExactlyTheLastRequestsEntries)
{
    FastTempDir big;
    ASSERT_FALSE(big.path().empty());
    TempDir small;
    const std::vector<QString> bigNames = MakeFolder(big.path(), 20000, "p");
    const std::vector<QString> smallNames = MakeFolder(small.path(), 7, "s");

    CFileListLoader loader;
    loader.StartFolder(Q(big.path()));
    loader.StartFolder(Q(small.path()));
    EXPECT_EQ(SortedNames(DrainAll(loader)), smallNames);

    loader.StartFolder(Q(big.path()));
    loader.StartFolder(Q(big.path()));
    EXPECT_EQ(SortedNames(DrainAll(loader)), bigNames);

    // A request in the middle of taking entries over.
    loader.StartFolder(Q(big.path()));
    loader.WaitForEntries();
    FileListEntry entry;
    for (int i = 0; i < 10; ++i)
        loader.PopEntry(entry);
    loader.StartFolder(Q(small.path()));
    EXPECT_EQ(SortedNames(DrainAll(loader)), smallNames);
}

TEST(FolderListing, RandomRequestsPopsAndDestructionNeverHang)
{
    FastTempDir a, b, c;
    const std::vector<std::pair<QString, std::vector<QString>>> folders = {
        {Q(a.path()), MakeFolder(a.path(), 5, "a")},
        {Q(b.path()), MakeFolder(b.path(), 400, "b")},
        {Q(c.path()), MakeFolder(c.path(), 1, "c")},
        {Q(a.path() / "missing"), {}},
    };
    std::mt19937 rng(20261208);
    auto loader = std::make_unique<CFileListLoader>();
    int current = -1; // the folder asked for last, -1 for none
    std::vector<FileListEntry> popped;
    for (int step = 0; step < 3000; ++step) {
        const unsigned roll = rng() % 100;
        if (roll < 35) {
            current = static_cast<int>(rng() % folders.size());
            popped.clear();
            loader->StartFolder(folders[current].first);
        } else if (roll < 70) {
            FileListEntry entry;
            for (unsigned k = rng() % 8; k > 0 && loader->PopEntry(entry); --k)
                popped.push_back(entry);
        } else if (roll < 95) {
            const std::vector<FileListEntry> rest = DrainAll(*loader);
            popped.insert(popped.end(), rest.begin(), rest.end());
            // After a drain nothing more comes until the next request.
            const std::vector<QString> expected = current >= 0 ? folders[current].second : std::vector<QString>();
            ASSERT_EQ(SortedNames(popped), expected) << "step " << step;
            current = -1;
            popped.clear();
            ASSERT_FALSE(loader->HasMore());
        } else {
            loader = std::make_unique<CFileListLoader>();
            current = -1;
            popped.clear();
        }
    }
}

} // namespace
