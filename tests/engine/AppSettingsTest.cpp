// The profile layer over QSettings and the application settings record.
#include "AnswerBoxes.h"
#include "AppSettings.h"
#include "CropPresets.h"
#include "Profile.h"
#include "ScopedTmpfs.h"
#include "TestJpeg.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLockFile>
#include <QFile>
#include <QSettings>

#include <gtest/gtest.h>

#include <cstdarg>
#include <cstring>
#include <functional>
#include <random>
#include <tuple>
#include <utility>

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

// QLockFile makes the settings lock with open64 and only then takes its
// flock on it. This program's stand-in for the C library's open64 counts
// the locks made and can hold the process right after one is made.
namespace {
struct {
    int made = 0;
    std::function<void()> afterMade; // once
} g_settingsLock;
} // namespace

extern "C" int open64(const char* path, int flags, ...)
{
    mode_t mode = 0;
    if ((flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE) {
        va_list args;
        va_start(args, flags);
        mode = va_arg(args, mode_t);
        va_end(args);
    }
    static const auto next = reinterpret_cast<int (*)(const char*, int, ...)>(::dlsym(RTLD_NEXT, "open64"));
    const int fd = next(path, flags, mode);
    if (fd >= 0 && (flags & (O_CREAT | O_EXCL)) == (O_CREAT | O_EXCL) && QByteArray(path).endsWith(".conf.lock")) {
        ++g_settingsLock.made;
        if (const auto hold = std::exchange(g_settingsLock.afterMade, {}))
            hold();
    }
    return fd;
}

namespace {

QString Q(const std::filesystem::path& p)
{
    return QString::fromStdString(p.string());
}

using testjpeg::InOtherCopy;
using testjpeg::Meet;

class ProfileTest : public ::testing::Test {
protected:
    void SetUp() override { CProfile::SetFilePath(File()); }
    void TearDown() override { CProfile::Close(); }
    QString File() const { return Q(m_tmp / "Pixmend.conf"); }
    // Reopening reads what really reached the file.
    void Reopen()
    {
        ASSERT_TRUE(CProfile::Flush());
        CProfile::SetFilePath(File());
    }

    testjpeg::TempDir m_tmp;
};

TEST_F(ProfileTest, EmptyStringStaysDistinctFromMissing)
{
    ASSERT_TRUE(CProfile::WriteProfileString("View", "DefaultPathSave", ""));
    Reopen();
    EXPECT_TRUE(CProfile::HasProfileValue("View", "DefaultPathSave"));
    EXPECT_EQ(CProfile::GetProfileString("View", "DefaultPathSave", "fallback"), QString(""));
    EXPECT_FALSE(CProfile::HasProfileValue("View", "Other"));
    EXPECT_EQ(CProfile::GetProfileString("View", "Other", "fallback"), QString("fallback"));
}

TEST_F(ProfileTest, StringsSurviveTheFileUnchanged)
{
    const QStringList values = {
        "a, b, c",                        // would read back as a list unquoted
        "\"quoted\" and \\backslash\\",
        "  leading and trailing  ",
        "two\nlines",
        "@Variant(not really)",
        "=;#[section]",
        QString::fromUtf8("Bilder/Grüße/写真"),
        QString(QChar(0xFEFF)) + "BOM" + QChar(0xFEFF) + "f",
        "3,Rotate,12,Rotate=1\\,2",       // macro text uses commas and escapes
    };
    for (int i = 0; i < values.size(); ++i)
        ASSERT_TRUE(CProfile::WriteProfileString("Macros", QString("V%1").arg(i), values[i]));
    Reopen();
    for (int i = 0; i < values.size(); ++i)
        EXPECT_EQ(CProfile::GetProfileString("Macros", QString("V%1").arg(i)), values[i]) << i;
}

TEST_F(ProfileTest, IntegersRoundTripAndMalformedOnesGiveTheDefault)
{
    ASSERT_TRUE(CProfile::WriteProfileInt("View", "PozX", -1200));
    ASSERT_TRUE(CProfile::WriteProfileInt("View", "Max", 2147483647));
    Reopen();
    EXPECT_EQ(CProfile::GetProfileInt("View", "PozX", 5), -1200);
    EXPECT_EQ(CProfile::GetProfileInt("View", "Max", 5), 2147483647);
    EXPECT_EQ(CProfile::GetProfileInt("View", "Missing", 5), 5);

    CProfile::Close();
    {
        QFile f(File());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write("[View]\nA=abc\nB=12abc\nC=\nD=99999999999\nE=1, 2\nF=0x10\nG= 42 \n");
    }
    CProfile::SetFilePath(File());
    for (const char* name : {"A", "B", "C", "D", "E", "F"})
        EXPECT_EQ(CProfile::GetProfileInt("View", name, 7), 7) << name;
    EXPECT_EQ(CProfile::GetProfileInt("View", "G", 7), 42);
}

TEST_F(ProfileTest, SectionNamedGeneralRoundTrips)
{
    ASSERT_TRUE(CProfile::WriteProfileString("General", "FolderHistory", "/a|/b"));
    Reopen();
    EXPECT_EQ(CProfile::GetProfileString("General", "FolderHistory"), QString("/a|/b"));
}

TEST(ProfileClosed, ReadsGiveDefaultsAndWritesFail)
{
    CProfile::Close();
    EXPECT_FALSE(CProfile::IsOpen());
    EXPECT_EQ(CProfile::GetProfileInt("View", "SzX", 3), 3);
    EXPECT_EQ(CProfile::GetProfileString("View", "DefaultPath", "d"), QString("d"));
    EXPECT_FALSE(CProfile::WriteProfileInt("View", "SzX", 1));
    EXPECT_FALSE(CProfile::WriteProfileString("View", "DefaultPath", "x"));
    EXPECT_FALSE(CProfile::Flush());
}

// Whatever text a value or a name holds, QSettings reads the written file
// back to exactly the values written, and so does the profile itself.
TEST_F(ProfileTest, RandomTextReadsBackThroughQSettings)
{
    std::mt19937 rng(42);
    const char16_t pool[] = {u'a', u'Z', u'0', u'9', u'f', u' ', u',', u';', u'=', u'"', u'\\', u'/', u'@', u'%',
                             u'#', u'[', u']', u'\0', u'\n', u'\r', u'\t', 0x01, 0x1F, 0x7F, 0xE4, 0x5199,
                             0xD83D, 0xDE00, 0xFFFD, 0xFEFF};
    const auto text = [&](int maxLength) {
        QString t;
        const int n = static_cast<int>(rng() % maxLength);
        for (int i = 0; i < n; ++i)
            t += QChar(pool[rng() % std::size(pool)]);
        return t;
    };
    std::map<QString, QString> written;
    for (int i = 0; i < 300; ++i) {
        QString section = QString("S%1 ").arg(i % 7) + text(4).remove(u'/');
        if (i % 50 == 0)
            section = "General";
        const QString entry = QString("E%1").arg(i) + text(4).remove(u'/');
        const QString value = i % 3 == 0 ? "@" + text(12) : text(24);
        ASSERT_TRUE(CProfile::WriteProfileString(section, entry, value));
        written[section + "/" + entry] = value;
    }
    Reopen();
    const QSettings raw(File(), QSettings::IniFormat);
    for (const auto& [key, value] : written) {
        const qsizetype slash = key.indexOf(u'/');
        EXPECT_EQ(raw.value(key).toString(), value) << key.toStdString();
        EXPECT_EQ(CProfile::GetProfileString(key.left(slash), key.mid(slash + 1)), value) << key.toStdString();
    }
    EXPECT_EQ(raw.allKeys().size(), static_cast<qsizetype>(written.size()));
}

// On a full disk the profile is never replaced: the old file stays byte for
// byte, and the user is told once, writes while the message is open included.
TEST(ProfileFullDisk, OldFileStaysAndTheUserIsToldOnce)
{
    testjpeg::ScopedTmpfs disk(64 * 1024);
    if (!disk.Available())
        GTEST_SKIP() << disk.Why();
    const QString file = Q(disk / "Pixmend.conf");
    CProfile::SetFilePath(file);
    for (int i = 0; i < 200; ++i)
        ASSERT_TRUE(CProfile::WriteProfileString("Macros", QString("Macro%1").arg(i), QString(100, QChar(u'a' + i % 26))));
    CProfile::Close();
    const std::vector<uint8_t> before = testjpeg::ReadFile(disk / "Pixmend.conf");
    ASSERT_GT(before.size(), 20000u);

    struct : CAnswerBoxes { // a message whose event loop runs the idle writes
        void ShowMessage(const QString& text) override
        {
            const int made = g_settingsLock.made;
            if ((messages << text).size() < 3 && CProfile::WriteProfileInt("View", "SzX", messages.size()))
                CProfile::Flush();
            triesWhileShown += g_settingsLock.made - made;
        }
        int triesWhileShown = 0;
    } boxes;
    CProfile::SetFilePath(file);
    // Room for part of the new file only: a write that fails half-way.
    disk.Fill(20 * 1024);
    ASSERT_TRUE(CProfile::WriteProfileString("Macros", "Macro0", QString(3000, u'x')));
    EXPECT_FALSE(CProfile::Flush());
    CProfile::Close();
    EXPECT_EQ(testjpeg::ReadFile(disk / "Pixmend.conf"), before);
    EXPECT_EQ(boxes.messages.size(), 1);
    EXPECT_EQ(boxes.triesWhileShown, 0);
    EXPECT_TRUE(boxes.messages.value(0).contains(file));
    // Nothing else is left beside it.
    QStringList left = QDir(Q(disk.path())).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    left.sort();
    EXPECT_EQ(left, (QStringList{"Pixmend.conf", "filler"}));
}

// A settings file that is a FIFO is never opened, one that cannot be read
// (mode 0200) is not taken as empty, and one that the new file cannot
// replace (a mount point: rename refuses it to root too) stays: one message
// each, the file as it was, nothing left beside it. Every row is the same
// for root and a plain user.
TEST(ProfileFile, UnusableOrUnreplaceableFileIsKeptAndTheUserToldOnce)
{
    const bool root = ::geteuid() == 0;
    const std::vector<uint8_t> text{'[', 'V', ']', '\n', 'A', '=', '1', '\n'};
    for (const mode_t mode : {mode_t(S_IFIFO | 0600), mode_t(0200), mode_t(0666)}) {
        SCOPED_TRACE(mode);
        testjpeg::TempDir tmp;
        const auto path = tmp / "Pixmend.conf";
        ASSERT_EQ(::chmod(tmp.path().c_str(), 0777), 0);
        ASSERT_TRUE(S_ISFIFO(mode) ? ::mkfifo(path.c_str(), mode) == 0 : testjpeg::WriteFile(path, text));
        // The user's own 0200 file: only root could read it.
        ASSERT_EQ(::chmod(path.c_str(), mode & 07777), 0);
        ASSERT_EQ(mode == 0200 && root ? ::chown(path.c_str(), 65534, 65534) : 0, 0);
        const auto write = [&] {
            CAnswerBoxes boxes;
            CProfile::SetFilePath(Q(path));
            const int read = CProfile::GetProfileInt("V", "A", 0);
            const bool written = CProfile::WriteProfileInt("V", "A", 2) && CProfile::Flush();
            CProfile::Close();
            return read == (mode == 0666) && !written && boxes.messages.size() == 1 ? 1 : 0;
        };
        const int result = mode == 0666 ? testjpeg::WithMount(testjpeg::Mount::Bind, path, path, write)
                                        : testjpeg::RunWithoutRoot(write);
        EXPECT_EQ(result, 1);
        struct stat st {};
        ASSERT_EQ(::lstat(path.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & (S_IFMT | 07777), S_ISFIFO(mode) ? mode : (mode | S_IFREG));
        // Read back as its owner would after making it readable again.
        if (!S_ISFIFO(mode)) {
            ASSERT_EQ(::chmod(path.c_str(), 0600), 0);
            EXPECT_EQ(testjpeg::ReadFile(path), text);
        }
        EXPECT_EQ(QDir(Q(tmp.path())).entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot),
                  QStringList{"Pixmend.conf"});
    }
}

// Two running copies: each writes only what it changed into the file as it
// is then, so neither undoes the other's changes, removals included, even
// when both write at once; a key set back to what a copy first read, after
// the other changed it, is a change too. Neither waits for the other until
// it says the settings could not be saved.
TEST_F(ProfileTest, TwoRunningCopiesKeepEachOthersChanges)
{
    ASSERT_TRUE(CProfile::WriteProfileString("Macros", "List", "A,0,,B,0,"));
    ASSERT_TRUE(CProfile::WriteProfileString("Crop", "Presets", "p1|p2|"));
    ASSERT_TRUE(CProfile::WriteProfileInt("View", "SortType", 0));
    Reopen();
    ASSERT_EQ(CProfile::GetProfileInt("View", "SortType", -1), 0);
    // The other removes a macro, changes the order and, at exit, writes its
    // unchanged presets.
    EXPECT_EQ(InOtherCopy([&](const Meet&) {
                  CProfile::SetFilePath(File());
                  CProfile::WriteProfileString("Macros", "List", "B,0,");
                  CProfile::WriteProfileString("Crop", "Presets", "p1|p2|");
                  CProfile::WriteProfileInt("View", "SortType", 1);
                  CProfile::Close();
                  return 0;
              }),
              0);
    // This one removes a preset, then writes its unchanged macros; after the
    // write it holds the file's order and sets it back.
    ASSERT_TRUE(CProfile::WriteProfileString("Crop", "Presets", "p1|") && CProfile::Flush());
    ASSERT_TRUE(CProfile::WriteProfileString("Macros", "List", "A,0,,B,0,"));
    EXPECT_EQ(CProfile::GetProfileInt("View", "SortType", -1), 1);
    ASSERT_TRUE(CProfile::WriteProfileInt("View", "SortType", 0));
    const auto write = [](const char* section, const Meet& meet) {
        CAnswerBoxes boxes;
        meet();
        for (int i = 0; i < 40; ++i)
            if (!CProfile::WriteProfileInt(section, QString("K%1").arg(i), i) || !CProfile::Flush())
                return 1;
        CProfile::Close();
        return boxes.messages.isEmpty() ? 0 : 2;
    };
    int here = -1;
    EXPECT_EQ(InOtherCopy([&](const Meet& meet) { CProfile::SetFilePath(File()); return write("Other", meet); },
                          [&](const Meet& meet) { here = write("This", meet); }),
              0);
    EXPECT_EQ(here, 0);
    const QSettings file(File(), QSettings::IniFormat);
    EXPECT_EQ(file.value("Macros/List").toString(), QString("B,0,"));
    EXPECT_EQ(file.value("Crop/Presets").toString(), QString("p1|"));
    EXPECT_EQ(file.value("View/SortType").toInt(), 0);
    for (int i = 0; i < 40; ++i)
        EXPECT_TRUE(file.value(QString("Other/K%1").arg(i)) == i && file.value(QString("This/K%1").arg(i)) == i) << i;
}

// The crop presets of two copies: this copy's OK in the preset editor drops
// only the preset it dropped, and keeps the one the other added meanwhile.
TEST_F(ProfileTest, TwoCopiesEditingPresetsKeepEachOthersPresets)
{
    CCropPresets mine;
    mine.FromString("0;4;3;a;0|0;3;2;b;0|");
    mine.SaveToProfile();
    Reopen();
    mine.LoadFromProfile();
    EXPECT_EQ(testjpeg::InOtherCopy([&](const testjpeg::Meet&) {
                  CProfile::SetFilePath(File());
                  CCropPresets theirs;
                  theirs.LoadFromProfile();
                  theirs.AddUnique("1;10;20;new;0");
                  theirs.SaveToProfile();
                  CProfile::Close();
                  return 0;
              }),
              0);
    CCropPresets::SetEditor([](std::vector<CropRule>& rules) {
        rules.erase(rules.begin() + 1);
        return 1;
    });
    QString current;
    mine.EditPresets(current);
    CCropPresets::SetEditor({});
    EXPECT_EQ(QSettings(File(), QSettings::IniFormat).value("Crop/Presets").toString().toStdString(),
              "0;4.00;3.00;a;0|1;10.00;20.00;new;0|");
}

// A lock beside the file that cannot be taken now holds the UI thread a
// moment at most: an empty one no one holds is stale at 30 s, a folder is
// no lock (one message), and one another copy holds (or has made and not
// filled yet) stays and is tried again from a timer until it is let go, or
// until the write at exit, which waits for it a bounded time.
TEST_F(ProfileTest, NoWriteWaitsForTheLock)
{
    CProfile::Close();
    int argc = 1;
    char name[] = "engine_tests", *argv[] = {name, nullptr};
    QCoreApplication app(argc, argv); // runs the retries
    const std::string lock = (m_tmp / "Pixmend.conf.lock").string();
    struct Row {
        const char* what;
        std::function<void()> setUp;
        bool held; // by another copy until this one has flushed
        bool written;
        time_t filling = 0; // held by its writer's flock alone, made at the end of the second this many ago
    };
    const Row rows[] = {
        {"empty", [&] { testjpeg::WriteFile(lock, {}); struct timeval old[2] = {{::time(nullptr) - 40, 0}, {::time(nullptr) - 40, 0}}; ::utimes(lock.c_str(), old); }, false, true},
        {"folder", [&] { ::mkdir(lock.c_str(), 0700); }, false, false},
        {"held", [] {}, true, true},
        {"being filled", [] {}, true, true, 1},
        {"being filled, old", [] {}, true, true, 10},
    };
    int value = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        row.setUp();
        ++value;
        qint64 flushMs = -1, closeMs = -1;
        bool flushed = false;
        CAnswerBoxes boxes;
        const auto inFile = [&] { return QSettings(File(), QSettings::IniFormat).value("View/SzX").toInt() == value; };
        const auto writeAndClose = [&](const Meet& meet) {
            CProfile::SetFilePath(File());
            QElapsedTimer timer;
            timer.start();
            flushed = CProfile::WriteProfileInt("View", "SzX", value) && CProfile::Flush();
            flushMs = timer.restart();
            EXPECT_TRUE(!row.held || QFile::exists(QString::fromStdString(lock))); // not taken for a dead one's
            QCoreApplication::processEvents(); // the idle write comes while it is held
            meet();
            while (row.held && !inFile() && timer.elapsed() < 5000)
                QCoreApplication::processEvents();
            EXPECT_TRUE(!row.held || inFile()); // by the retry, before the write at exit
            timer.restart();
            CProfile::Close();
            closeMs = timer.elapsed();
        };
        if (row.held)
            EXPECT_EQ(InOtherCopy([&](const Meet& meet) {
                          QLockFile other(QString::fromStdString(lock));
                          const int fd = row.filling ? ::open(lock.c_str(), O_RDWR | O_CREAT | O_EXCL, 0644) : -1;
                          const timespec made[2] = {{0, UTIME_OMIT}, {::time(nullptr) - row.filling, 999999999}};
                          if (row.filling ? fd < 0 || ::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::futimens(fd, made) != 0
                                          : !other.tryLock(0))
                              return 1;
                          meet(); // held while the other copy flushes
                          meet();
                          return fd < 0 || ::unlink(lock.c_str()) == 0 ? 0 : 2;
                      },
                      [&](const Meet& meet) {
                          meet();
                          writeAndClose(meet);
                      }),
                      0);
        else
            writeAndClose([] {});
        EXPECT_LT(flushMs, 1000);
        EXPECT_LT(closeMs, row.held ? 3000 : 1000);
        EXPECT_EQ(flushed, row.written);
        EXPECT_EQ(QSettings(File(), QSettings::IniFormat).value("View/SzX").toInt() == value, row.written);
        EXPECT_EQ(boxes.messages.size(), row.written ? 0 : 1);
        ::rmdir(lock.c_str());
    }
}

// A copy stopped between making its lock and taking the flock on it (held
// there by the stand-in) for longer than a moment keeps its lock: the other
// copy tries again later rather than take the lock for dead, and both
// changes reach the file once the first goes on.
TEST_F(ProfileTest, ALockMadeButNotYetHeldIsKept)
{
    CProfile::Close();
    int argc = 1;
    char name[] = "engine_tests", *argv[] = {name, nullptr};
    QCoreApplication app(argc, argv); // runs the retries
    const QByteArray lock = QFile::encodeName(File() + ".lock");
    const auto inFile = [&](const char* line) {
        QFile file(File());
        return file.open(QIODevice::ReadOnly) && file.readAll().contains(line);
    };
    EXPECT_EQ(InOtherCopy(
                  [&](const Meet& meet) {
                      CProfile::SetFilePath(File());
                      g_settingsLock.afterMade = [&] {
                          meet(); // made, not yet held
                          meet(); // goes on
                      };
                      const bool written = CProfile::WriteProfileInt("View", "PozX", 1) && CProfile::Flush();
                      CProfile::Close();
                      return written ? 0 : 1;
                  },
                  [&](const Meet& meet) {
                      CAnswerBoxes boxes;
                      meet();
                      struct stat made {};
                      ASSERT_EQ(::stat(lock.constData(), &made), 0);
                      const timespec stopped[2] = {{0, UTIME_OMIT}, {::time(nullptr) - 10, 0}};
                      ASSERT_EQ(::utimensat(AT_FDCWD, lock.constData(), stopped, 0), 0);
                      CProfile::SetFilePath(File());
                      EXPECT_TRUE(CProfile::WriteProfileInt("View", "PozY", 2) && CProfile::Flush());
                      struct stat now {};
                      EXPECT_TRUE(::stat(lock.constData(), &now) == 0 && now.st_ino == made.st_ino);
                      EXPECT_FALSE(inFile("PozY=2\n"));
                      meet();
                      QElapsedTimer timer;
                      timer.start();
                      while (!inFile("PozY=2\n") && timer.elapsed() < 10000)
                          QCoreApplication::processEvents();
                      CProfile::Close();
                      EXPECT_TRUE(boxes.messages.isEmpty());
                  }),
              0);
    EXPECT_TRUE(inFile("PozX=1\n") && inFile("PozY=2\n"));
    EXPECT_EQ(QDir(Q(m_tmp.path())).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{"Pixmend.conf"});
}

// A file another copy put in place of one of the same size and time
// (written within the same millisecond) is read anew: a write keeps that
// copy's value, not the one read before.
TEST_F(ProfileTest, AFileReplacedAtTheSameSizeAndTimeIsReadAgain)
{
    const std::string path = File().toStdString();
    const timespec when[2] = {{0, UTIME_OMIT}, {::time(nullptr), 0}};
    const auto replace = [&](const char* text) {
        ASSERT_TRUE(testjpeg::WriteFile(path + ".new", std::vector<uint8_t>(text, text + std::strlen(text))));
        ASSERT_EQ(::utimensat(AT_FDCWD, (path + ".new").c_str(), when, 0), 0);
        ASSERT_EQ(::rename((path + ".new").c_str(), path.c_str()), 0);
    };
    replace("[View]\nPozX=1\n");
    CProfile::SetFilePath(File());
    ASSERT_EQ(CProfile::GetProfileInt("View", "PozX", 0), 1);
    replace("[View]\nPozX=2\n");
    ASSERT_TRUE(CProfile::WriteProfileInt("View", "PozY", 3) && CProfile::Flush());
    EXPECT_EQ(CProfile::GetProfileInt("View", "PozX", 0), 2);
    QFile file(File());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("[View]\nPozX=2\nPozY=3\n"));
}

TEST(ProfileKey, LivesInTheUserConfigurationFolder)
{
    testjpeg::TempDir tmp;
    const QByteArray old = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(Q(tmp.path())));
    CProfile::SetRegistryKey("Pixmend");
    EXPECT_EQ(CProfile::FilePath(), Q(tmp / "Pixmend" / "Pixmend.conf"));
    ASSERT_TRUE(CProfile::WriteProfileInt("Settings", "CurrentTab", 2));
    CProfile::Close();
    EXPECT_EQ(QSettings(Q(tmp / "Pixmend" / "Pixmend.conf"), QSettings::IniFormat).value("Settings/CurrentTab").toInt(), 2);
    if (old.isNull())
        qunsetenv("XDG_CONFIG_HOME");
    else
        qputenv("XDG_CONFIG_HOME", old);
}

TEST_F(ProfileTest, UnwritableFileIsReported)
{
    CProfile::Close();
    // The writes run in a child without root rights; the folders let it in,
    // and only the first lets it write. The message says the file is left
    // as it was only where there is one.
    const QFile::Permissions enter = QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther;
    QFile::setPermissions(Q(m_tmp.path()), enter | QFile::WriteOwner);
    const QString rw = Q(m_tmp / "rw"), ro = Q(m_tmp / "ro"), kept = Q(m_tmp / "kept");
    ASSERT_TRUE(QDir().mkpath(rw) && QDir().mkpath(ro) && QDir().mkpath(kept));
    ASSERT_TRUE(testjpeg::WriteFile(m_tmp / "kept/Pixmend.conf", {'[', 'V', ']', '\n'}));
    QFile::setPermissions(kept + "/Pixmend.conf", QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther);
    QFile::setPermissions(rw, enter | QFile::WriteOwner | QFile::WriteOther);
    QFile::setPermissions(ro, enter);
    QFile::setPermissions(kept, enter);
    enum { Written = 1, Kept, NotSaved };
    const auto written = [](const QString& dir) {
        return testjpeg::RunWithoutRoot([&] {
            CAnswerBoxes boxes;
            CProfile::SetFilePath(dir + "/Pixmend.conf");
            if (CProfile::WriteProfileInt("View", "SzX", 1) && CProfile::Flush())
                return int(Written);
            const QString said = "The settings could not be saved to " + dir + "/Pixmend.conf.";
            return boxes.messages == QStringList{said + " The file there is left as it was."} ? int(Kept)
                : boxes.messages == QStringList{said}                                        ? int(NotSaved)
                                                                                             : 0;
        });
    };
    EXPECT_EQ(written(rw), Written);
    EXPECT_EQ(written(ro), NotSaved);
    EXPECT_EQ(written(kept), Kept);
}

TEST_F(ProfileTest, SettingsRecordRoundTripsEveryField)
{
    CAppSettings out;
    int value = 1;
    for (int* field : {&out.CurrentTab, &out.CurDefaultOper, &out.BackgroundColor, &out.ScaleOnOpen, &out.PozX,
                       &out.PozY, &out.SzX, &out.SzY, &out.SortType, &out.MainToolbarVisible, &out.StatusbarVisible,
                       &out.PreviewPaneWidth, &out.ShowThumbFilename, &out.ThumbWidth, &out.ThumbSpace,
                       &out.ThumbBorder, &out.ThumbShadow, &out.DrawMode, &out.GuideLine})
        *field = 1000 + value++;
    out.DefaultPath = "/photos/2024/IMG_0001.JPG";
    out.DefaultPathSave = "";
    ASSERT_TRUE(out.Save());
    Reopen();

    CAppSettings in;
    in.DefaultPathSave = "not yet loaded";
    in.Load();
    EXPECT_EQ(in.CurrentTab, 1001);
    EXPECT_EQ(in.CurDefaultOper, 1002);
    EXPECT_EQ(in.BackgroundColor, 1003);
    EXPECT_EQ(in.PozX, 1005);
    EXPECT_EQ(in.SzY, 1008);
    EXPECT_EQ(in.StatusbarVisible, 1011);
    EXPECT_EQ(in.PreviewPaneWidth, 1012);
    EXPECT_EQ(in.DrawMode, 1018);
    EXPECT_EQ(in.GuideLine, 1019);
    EXPECT_EQ(in.DefaultPath, out.DefaultPath);
    EXPECT_EQ(in.DefaultPathSave, QString("")); // stored empty, not missing

    // The file uses the section and value names other tools and older files know.
    QSettings raw(File(), QSettings::IniFormat);
    EXPECT_EQ(raw.value("Settings/CurDefaultOper").toInt(), 1002);
    EXPECT_EQ(raw.value("View/ThumbShadow").toInt(), 1017);
    EXPECT_EQ(raw.value("SelCrop/GuideLine").toInt(), 1019);
}

TEST_F(ProfileTest, MissingOrMalformedValuesKeepTheDefaults)
{
    CProfile::Close();
    {
        QFile f(File());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write("[View]\nThumbWidth=wide\nThumbSpace=12\nSzX=\n");
    }
    CProfile::SetFilePath(File());
    CAppSettings s;
    const CAppSettings defaults;
    s.Load();
    EXPECT_EQ(s.ThumbWidth, 94);
    EXPECT_EQ(s.ThumbSpace, 12);
    EXPECT_EQ(s.SzX, 0);
    EXPECT_EQ(s.BackgroundColor, 0xE6E6E6);
    EXPECT_EQ(s.ScaleOnOpen, 1);
    EXPECT_EQ(s.PreviewPaneWidth, 245);
    EXPECT_EQ(s.DefaultPath, defaults.DefaultPath);
}

// Thumbnail sizes beyond what the pages allow are read as the nearest they
// allow, so every reader (the browser, the View page) gets the same.
TEST_F(ProfileTest, ThumbnailSizesAreClampedWhenRead)
{
    // Sizes beyond what the pages allow are read as the nearest they allow.
    for (const auto& [width, space, wantWidth, wantSpace] :
         {std::tuple{2147483647, -2147483647 - 1, 150, 3}, std::tuple{39, 31, 40, 30}, std::tuple{150, 3, 150, 3}}) {
        ASSERT_TRUE(CProfile::WriteProfileInt("View", "ThumbWidth", width));
        ASSERT_TRUE(CProfile::WriteProfileInt("View", "ThumbSpace", space));
        CAppSettings clamped;
        clamped.Load();
        EXPECT_EQ(clamped.ThumbWidth, wantWidth);
        EXPECT_EQ(clamped.ThumbSpace, wantSpace);
    }
}

TEST(AppSettings, DefaultFolderIsPicturesThenDocumentsWithTrailingSlash)
{
    testjpeg::TempDir tmp;
    const QByteArray old = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(Q(tmp.path())));
    const QString pics = Q(tmp / "Pics");
    const QString docs = Q(tmp / "Docs");
    auto writeDirs = [&] {
        QFile f(Q(tmp / "user-dirs.dirs"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(QString("XDG_PICTURES_DIR=\"%1\"\nXDG_DOCUMENTS_DIR=\"%2\"\n").arg(pics, docs).toUtf8());
    };
    writeDirs();
    ASSERT_TRUE(QDir().mkpath(docs));
    EXPECT_EQ(CAppSettings::DefaultFolder(), docs + "/"); // no pictures folder yet
    ASSERT_TRUE(QDir().mkpath(pics));
    EXPECT_EQ(CAppSettings::DefaultFolder(), pics + "/");
    EXPECT_EQ(CAppSettings().DefaultPath, pics + "/");
    if (old.isNull())
        qunsetenv("XDG_CONFIG_HOME");
    else
        qputenv("XDG_CONFIG_HOME", old);
}

int Scale150() { return 150; }
int Scale125() { return 125; }

TEST(AppSettings, ThumbLabelHeightFollowsTheScreenScale)
{
    const CAppSettings s;
    EXPECT_EQ(s.GetThumbLabelHeight(0), 12);
    CAppSettings::SetDpiScaleSource(Scale150);
    EXPECT_EQ(s.GetThumbLabelHeight(0), 18);
    EXPECT_EQ(s.GetThumbLabelHeight(1), 36);
    CAppSettings::SetDpiScaleSource(Scale125);
    EXPECT_EQ(s.GetThumbLabelHeight(0), 15);
    EXPECT_EQ(s.GetThumbLabelHeight(1), 30);
    CAppSettings::SetDpiScaleSource(nullptr);
}

TEST(AppSettings, SelfAssignmentKeepsTheRecord)
{
    CAppSettings s;
    s.ThumbWidth = 120;
    s.DefaultPath = "/x/";
    CAppSettings& same = s;
    s = same;
    EXPECT_EQ(s.ThumbWidth, 120);
    EXPECT_EQ(s.DefaultPath, QString("/x/"));
}

} // namespace
