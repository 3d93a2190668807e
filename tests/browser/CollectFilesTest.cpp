// Expanding a folder into the JPEG files of a run.
#include "FileCollector.h"
#include "PixmendApp.h"
#include "TestJpeg.h"

#include <QFileInfo>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

namespace {

namespace fs = std::filesystem;

QString Q(const fs::path& p)
{
    return QString::fromStdString(p.string());
}

void Touch(const fs::path& p)
{
    ASSERT_TRUE(testjpeg::WriteFile(p, {0xFF, 0xD8}));
}

TEST(CollectFilesTest, TakesJpegNamesRecursivelyAndEachFileAndFolderOnce)
{
    testjpeg::TempDir tmp;
    const fs::path root = tmp / "pics";
    fs::create_directories(root / "sub" / "deeper");
    for (const char* name : {"a.jpg", "b.jpe", "c.JPEG", "d.Jpg", "a.jpg.bak", "a.", "noext", "e.png", ".jpg", "a.jpg,jpeg"})
        Touch(root / name);
    Touch(root / "sub" / "f.jpeg");
    Touch(root / "sub" / "deeper" / "g.JPE");
    // A FIFO named like a JPEG: skipped, never opened.
    ASSERT_EQ(mkfifo((root / "x.jpg").c_str(), 0600), 0);
    // A link loop and a second name for a folder: each folder is scanned once.
    fs::create_directory_symlink("..", root / "sub" / "up");
    fs::create_directory_symlink("sub", root / "alias");
    // A second link to a file and a dangling link.
    fs::create_symlink("a.jpg", root / "link.jpg");
    fs::create_symlink("missing.jpg", root / "dangling.jpg");
    // A folder named like a JPEG is still a folder.
    fs::create_directory(root / "folder.jpg");
    Touch(root / "folder.jpg" / "h.jpg");

    QStringList flat;
    CPixmendApp::CollectFiles(&flat, Q(root), 0);
    QStringList recursive;
    CPixmendApp::CollectFiles(&recursive, Q(root), 1);

    // a.jpg or link.jpg, whichever the folder lists first, stands for both.
    const auto names = [&](const QStringList& list) {
        QStringList out;
        for (const QString& path : list) {
            const QString rel = path.mid(Q(root).size() + 1);
            out << (rel == QLatin1String("link.jpg") ? QStringLiteral("a.jpg") : rel);
        }
        out.sort();
        return out;
    };
    EXPECT_EQ(names(flat), (QStringList{".jpg", "a.jpg", "b.jpe", "c.JPEG", "d.Jpg"}));
    const QStringList deep = names(recursive);
    EXPECT_EQ(deep.size(), 8) << deep.join(u' ').toStdString();
    for (const char* tail : {"/f.jpeg", "/deeper/g.JPE", "folder.jpg/h.jpg", "c.JPEG"})
        EXPECT_EQ(deep.filter(QLatin1String(tail)).size(), 1) << tail;
}

TEST(CollectFilesTest, FilesAreOneEachWhateverTheirName)
{
    testjpeg::TempDir tmp;
    Touch(tmp / "a.jpg");
    fs::create_symlink("a.jpg", tmp / "b.jpg");
    fs::create_directory(tmp / "dir");
    Touch(tmp / "dir" / "c.jpg");

    CFileCollector files;
    files.AddFile(Q(tmp / "a.jpg"));
    files.AddFolder(Q(tmp / "dir"), true);
    files.AddFile(Q(tmp / "b.jpg"));
    files.AddFile(Q(tmp / "dir" / "c.jpg"));
    files.AddFile(Q(tmp / "dir" / ".." / "a.jpg"));
    // Unreachable paths stay (their failure is reported), once per text.
    files.AddFile(Q(tmp / "gone.jpg"));
    files.AddFile(Q(tmp / "gone.jpg"));
    files.AddFolder(Q(tmp / "nofolder"), true);
    EXPECT_EQ(files.Paths(), (QStringList{Q(tmp / "a.jpg"), Q(tmp / "dir" / "c.jpg"), Q(tmp / "gone.jpg")}));
    EXPECT_TRUE(files.Id(0).has_value());
    EXPECT_FALSE(files.Id(2).has_value());
    EXPECT_EQ(IdentityOf(Q(tmp / "b.jpg")), files.Id(0));
    EXPECT_EQ(JoinPath(QStringLiteral("/"), QStringLiteral("x.jpg")), QStringLiteral("/x.jpg"));
}

} // namespace
