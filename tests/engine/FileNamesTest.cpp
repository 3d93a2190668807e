// File names on real files in a temporary folder: the ".jpg" extension, the
// unique names with their suffix and number, and entries that are not plain
// files (a FIFO, a dangling link) counting as taken without being opened.
#include "FileNames.h"
#include "TestJpeg.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QString>

#include <fstream>

#include <sys/stat.h>
#include <unistd.h>

namespace {

QString Q(const std::filesystem::path& p)
{
    return QString::fromStdString(p.string());
}

void Touch(const std::filesystem::path& path)
{
    std::ofstream(path) << "x";
}

TEST(FileNamesTest, EnsureJpgExtension)
{
    const struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"/a/photo", "/a/photo.jpg"},
        {"/a/photo.JPEG", "/a/photo.JPEG"},
        {"/a/photo.Jpg", "/a/photo.Jpg"},
        {"/a/photo.jpe", "/a/photo.jpe.jpg"},
        {".jpe", ".jpe.jpg"},
        {"/a.b/photo", "/a.b/photo.jpg"},
        {"photo", "photo.jpg"},
        {"a\\b.jpg", "a\\b.jpg"},
        {"a.jpg\\b", "a.jpg\\b.jpg"}, // a backslash is part of the extension
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(EnsureJpgExtension(QString::fromUtf8(c.in)), QString::fromUtf8(c.out)) << c.in;
}

TEST(FileNamesTest, JpegExtensions)
{
    for (const char* yes : {"a.jpg", "/x/IMG_1.JPG", "b.Jpeg", "c.jpe"})
        EXPECT_TRUE(HasJpegExtension(QString::fromUtf8(yes))) << yes;
    for (const char* no : {"a.png", "jpg", "/x.jpg/name", "a.jp", "a.jpeg,", "a.", ""})
        EXPECT_FALSE(HasJpegExtension(QString::fromUtf8(no))) << no;
}

TEST(FileNamesTest, UniqueNamesOnDisk)
{
    testjpeg::TempDir dir;
    const QString folder = Q(dir.path()); // no trailing "/"
    for (const char* name : {"IMG_12_copy.jpg", "IMG_12_copy1.jpg", "scan_s.jpg", "a\\b_c.jpg", "doc_x"})
        Touch(dir / name);
    // Named like candidates, and neither may be opened: a FIFO would block
    // a reader, a dangling link has nothing to open.
    ASSERT_EQ(::mkfifo((dir / "pipe_p.jpg").c_str(), 0600), 0);
    std::filesystem::create_symlink(dir / "nowhere.jpg", dir / "link_l.jpg");
    std::filesystem::create_directory(dir / "dir_d.jpg");
    // An entry nobody may read is there all the same.
    Touch(dir / "locked_k.jpg");
    std::filesystem::permissions(dir / "locked_k.jpg", std::filesystem::perms::none);

    const struct {
        const char* name;
        const char* suffix;
        const char* unique;
    } cases[] = {
        {"IMG_12.jpg", "_copy", "IMG_12_copy2.jpg"},
        {"IMG_12_copy3.jpg", "_copy", "IMG_12_copy2.jpg"}, // old suffix and number replaced
        {"IMG_7_copy.jpg", "_copy", "IMG_7_copy.jpg"},
        {"my_copy_of_x.jpg", "_copy", "my_copy_of_x_copy.jpg"},
        {"_copy.jpg", "_copy", "_copy_copy.jpg"}, // the suffix at the start is the name
        {"IMG_12.jpg", "", "IMG_12.jpg"},         // no suffix: the disk is not asked
        {"IMG_12_copy.jpg", "", "IMG_12_copy.jpg"},
        {"scan", "_s", "scan_s1"},                // scan_s.jpg is taken
        {"doc", "_x", "doc_x1"},                  // so is doc_x itself
        {"a\\b.jpg", "_c", "a\\b_c1.jpg"},
        {"pipe.jpg", "_p", "pipe_p1.jpg"},
        {"link.jpg", "_l", "link_l1.jpg"},
        {"dir.jpg", "_d", "dir_d1.jpg"},
        {"locked.jpg", "_k", "locked_k1.jpg"},
        {"x.jpg", "/up", "x_up.jpg"}, // never another folder
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " " + c.suffix);
        const QString suffix = QString::fromUtf8(c.suffix);
        EXPECT_EQ(MakeUniqueFileName(QString::fromUtf8(c.name), folder, suffix), QString::fromUtf8(c.unique));
        EXPECT_EQ(MakeUniqueFileName(QString::fromUtf8(c.name), folder + "/", suffix), QString::fromUtf8(c.unique));
        EXPECT_EQ(MakeUniquePath(folder + "/" + QString::fromUtf8(c.name), suffix),
                  folder + "/" + QString::fromUtf8(c.unique));
    }
    EXPECT_TRUE(FileExists(Q(dir / "link_l.jpg")));
    EXPECT_TRUE(FileExists(Q(dir / "pipe_p.jpg")));
    EXPECT_FALSE(FileExists(Q(dir / "absent.jpg")));
    EXPECT_FALSE(FileExists(QString()));
    std::filesystem::permissions(dir / "locked_k.jpg", std::filesystem::perms::owner_all);
}

TEST(FileNamesTest, BareNamesAreMadeUniqueInTheCurrentFolder)
{
    testjpeg::TempDir dir;
    Touch(dir / "p_s.jpg");
    const QString old = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(Q(dir.path())));
    EXPECT_EQ(MakeUniquePath(QStringLiteral("p.jpg"), QStringLiteral("_s")), QStringLiteral("p_s1.jpg"));
    EXPECT_EQ(MakeUniquePath(QStringLiteral("q.jpg"), QStringLiteral("_s")), QStringLiteral("q_s.jpg"));
    QDir::setCurrent(old);
    // The root keeps its one "/".
    EXPECT_TRUE(MakeUniquePath(QStringLiteral("/pixmend-none.jpg"), QStringLiteral("_s")).startsWith("/pixmend-none_s"));
}

} // namespace
