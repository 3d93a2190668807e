// The module version reader over the built files: this test program, the
// loaded library, a library without a block, a module that is not loaded.
// The block it reads must be the bytes objcopy finds in the file.
#include "ModuleVersion.h"
#include "PixmendVersion.h"
#include "TestJpeg.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>

#include <dlfcn.h>

#include <gtest/gtest.h>

namespace {

QString RunTool(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(30000) || process.exitCode() != 0)
        return QStringLiteral("<%1 failed>").arg(program);
    return QString::fromLocal8Bit(process.readAllStandardOutput());
}

std::vector<uint8_t> SectionBytes(const std::string& file)
{
    testjpeg::TempDir tmp;
    const QString out = QString::fromStdString((tmp / "section").string());
    RunTool(QStringLiteral("objcopy"), {QStringLiteral("-O"), QStringLiteral("binary"),
                                    QStringLiteral("--only-section=pixmend_version"),
                                    QString::fromStdString(file), out});
    QFile f(out);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = f.readAll();
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

void ExpectProjectVersion(const VS_FIXEDFILEINFO& f)
{
    EXPECT_EQ(f.dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(f.dwProductVersionMS, uint32_t(PIXMEND_VERSION_MAJOR << 16 | PIXMEND_VERSION_MINOR));
    EXPECT_EQ(f.dwProductVersionLS, uint32_t(PIXMEND_VERSION_PATCH << 16 | PIXMEND_VERSION_TWEAK));
    EXPECT_EQ(f.dwFileVersionMS, f.dwProductVersionMS);
    EXPECT_EQ(f.dwFileVersionLS, f.dwProductVersionLS);
}

} // namespace

TEST(ModuleVersionTest, LoadedModulesAnswerFromTheirOwnFiles)
{
    void* library = dlopen(KESTREL28_SO, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    const struct {
        const char16_t* name;
        bool ok;
    } cases[] = {
        {nullptr, true},
        {u"libKestrel28.so", true},
        {u"libjpeg.so.62", false},      // loaded with the library, no block
        {u"libNotLoaded.so", false},
        {u"libKestrel28", false},        // names are whole file names
    };
    CModuleVersion version;
    for (const auto& c : cases) {
        const std::string label = c.name ? QString::fromUtf16(c.name).toStdString() : "(program)";
        ASSERT_EQ(version.GetFileVersionInfo(c.name), c.ok) << label;
        if (c.ok) {
            ExpectProjectVersion(version);
            EXPECT_EQ(version.GetLanguage(), 0x0409);
            EXPECT_EQ(version.GetCodePage(), 1200);
            EXPECT_EQ(version.GetValue(u"ProductVersion"), QStringLiteral(PIXMEND_VERSION_TEXT)) << label;
            EXPECT_EQ(version.GetValue(u"FileDescription"), QString());
            const std::string file = c.name ? std::string(KESTREL28_SO)
                                            : QCoreApplication::applicationFilePath().toStdString();
            EXPECT_EQ(version.GetVersionData(), SectionBytes(file)) << label;
        } else {
            // Nothing of the earlier module is left to answer.
            EXPECT_EQ(version.dwSignature, 0u) << label;
            EXPECT_EQ(version.dwProductVersionMS, 0u) << label;
            EXPECT_EQ(version.GetValue(u"ProductVersion"), QString()) << label;
            EXPECT_TRUE(version.GetVersionData().empty()) << label;
        }
    }
    dlclose(library);
}

// The program cannot be loaded into the tests: its file is read as the
// reader reads any module's file.
TEST(ModuleVersionTest, ProgramCarriesTheBlockAndLibraryExportsOneName)
{
    const uint32_t size = GetFileVersionInfoSizeW(PIXMEND_EXE);
    ASSERT_GT(size, 0u);
    std::vector<uint8_t> block(size);
    ASSERT_TRUE(GetFileVersionInfoW(PIXMEND_EXE, size, block.data()));
    EXPECT_EQ(block, SectionBytes(PIXMEND_EXE));
    CModuleVersion version;
    ASSERT_TRUE(version.TakeVersionData(block));
    ExpectProjectVersion(version);
    EXPECT_EQ(version.GetValue(u"ProductVersion"), QStringLiteral(PIXMEND_VERSION_TEXT));

    const QStringList exports = RunTool(QStringLiteral("nm"), {QStringLiteral("-D"), QStringLiteral("--defined-only"),
                                                           QStringLiteral(KESTREL28_SO)})
                                    .split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(exports.size(), 1) << exports.join(u'\n').toStdString();
    EXPECT_TRUE(exports[0].endsWith(QStringLiteral(" T CreateKestrelObject")));
}

TEST(ModuleVersionTest, MadeUpBlocks)
{
    // Without a translation the table of language 0, code page 1252 answers.
    VersionBlockContents contents;
    contents.fixed = MakeFixedFileInfo(9, 8, 7, 6);
    contents.stringTable = u"000004e4";
    contents.strings = {{u"ProductVersion", u"9, 8, 7, 6"}};
    CModuleVersion version;
    ASSERT_TRUE(version.TakeVersionData(BuildVersionBlock(contents)));
    EXPECT_EQ(version.GetLanguage(), 0);
    EXPECT_EQ(version.GetCodePage(), 1252);
    EXPECT_EQ(version.GetValue(u"ProductVersion"), QStringLiteral("9, 8, 7, 6"));

    // A wrong signature is no version.
    contents.fixed.dwSignature = 0xFEEF04BC;
    EXPECT_FALSE(version.TakeVersionData(BuildVersionBlock(contents)));
    EXPECT_EQ(version.GetValue(u"ProductVersion"), QString());
    EXPECT_EQ(version.dwProductVersionMS, 0u);
    EXPECT_FALSE(version.TakeVersionData({1, 2, 3}));
}
