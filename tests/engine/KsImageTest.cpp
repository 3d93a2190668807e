// The library binding and the image document.
#include "EngineTest.h"
#include "FakeKestrel.h"

#include "TextUtil.h"

#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>

using namespace etest;
using testjpeg::TempDir;

namespace {

// Runs `body` with the current folder set to `dir`.
template <typename F>
void InFolder(const std::filesystem::path& dir, F&& body)
{
    const std::filesystem::path old = std::filesystem::current_path();
    std::filesystem::current_path(dir);
    body();
    std::filesystem::current_path(old);
}

TEST(JPEGlib, LoadsFromTheProgramFolderOnly)
{
    ASSERT_TRUE(RealLib().IsLoaded()) << RealLib().GetLoadError().toStdString();
    EXPECT_NE(RealLib().GetCreateFunction(), nullptr);

    // A working library in the current folder must not be taken when the
    // program folder has none.
    TempDir empty, cwd;
    std::filesystem::copy_file(std::filesystem::path(RealLib().ProgramFolder().toStdString()) / CJPEGlib::LibraryFileName(),
                               cwd / CJPEGlib::LibraryFileName());
    InFolder(cwd.path(), [&] {
        CJPEGlib lib(Q(empty.path()));
        EXPECT_FALSE(lib.IsLoaded());
        EXPECT_EQ(lib.GetModule(), nullptr);
        EXPECT_EQ(lib.GetCreateFunction(), nullptr);
        CJPEGlib relative(QStringLiteral("no-such-folder"));
        EXPECT_FALSE(relative.IsLoaded());
    });
    CJPEGlib none{QString()};
    EXPECT_FALSE(none.IsLoaded());

    // A file of that name that is no library fails cleanly.
    TempDir broken;
    std::ofstream(broken / CJPEGlib::LibraryFileName()) << "not a shared object";
    CJPEGlib bad(Q(broken.path()));
    EXPECT_FALSE(bad.IsLoaded());
    EXPECT_FALSE(bad.GetLoadError().isEmpty());

    // Without a library an image has no object and every operation fails.
    CKsImage image(bad);
    EXPECT_EQ(image.GetLibraryObject(), nullptr);
    TempDir d;
    EXPECT_EQ(image.Load(Q(WriteJpeg(d / "a.jpg", 16, 16)), 1), 0);
    EXPECT_EQ(image.IsLoaded(), 0);
    EXPECT_EQ(image.CreateDib(), 0);
    EXPECT_EQ(image.Save(Q(d / "b.jpg")), 0);
    image.Close();
}

TEST(KsImage, DisplayBitmapIsTopDownAndWholeMcus)
{
    // 4:4:4 so the library's rendering equals the reference decoder's.
    TempDir d;
    const auto path = WriteJpeg(d / "a.jpg", 21, 13, {{1, 1}, {1, 1}, {1, 1}});
    CKsImage image(RealLib());
    ASSERT_EQ(image.Load(Q(path), 0), 1);
    EXPECT_FALSE(image.HasDib());
    ASSERT_EQ(image.CreateDib(), 1);
    EXPECT_EQ(image.GetDibWidth(), 24);
    EXPECT_EQ(image.GetDibHeight(), 16);
    EXPECT_EQ(image.GetStride(), 72);
    EXPECT_EQ(image.GetFirstRow(), image.GetDib().Bits());

    const testjpeg::Pixels ref = testjpeg::Decode(testjpeg::ReadFile(path));
    for (int y = 0; y < 13; ++y)
        for (int x = 0; x < 21; ++x) {
            const BYTE* p = image.GetFirstRow() + y * image.GetStride() + x * 3;
            const uint8_t* r = ref.row(y) + x * 3;
            ASSERT_EQ((std::array<int, 3>{p[2], p[1], p[0]}), (std::array<int, 3>{r[0], r[1], r[2]})) << x << "," << y;
        }
    // The QImage shares the memory.
    const QImage view = image.GetDibImage();
    EXPECT_EQ(view.constBits(), image.GetFirstRow());
    EXPECT_EQ(view.pixel(3, 5), qRgb(ref.row(5)[9], ref.row(5)[10], ref.row(5)[11]));

    EXPECT_EQ(image.DeleteDib(), 1);
    EXPECT_EQ(image.DeleteDib(), 0);
    EXPECT_EQ(image.GetFirstRow(), nullptr);
}

TEST(KsImage, LoadFailures)
{
    TempDir d;
    const auto good = WriteJpeg(d / "good.jpg", 40, 30);
    CKsImage image(RealLib());
    ASSERT_EQ(image.Load(Q(good), 0), 1);
    const std::vector<short> before = Coefficients(image);
    ASSERT_TRUE(image.GetUndoMan()->AddAction(new CPatternAction(10, 1)));

    // A missing file changes nothing: image, history and path stay.
    EXPECT_EQ(image.Load(Q(d / "missing.jpg"), 1), 0);
    EXPECT_EQ(image.IsLoaded(), 1);
    EXPECT_EQ(image.GetPath(), Q(good));
    EXPECT_TRUE(image.GetUndoMan()->CanUndo());
    EXPECT_EQ(Coefficients(image), before);

    // An existing file that is no JPEG closes the image and takes its path.
    const struct {
        const char* name;
        std::string bytes;
    } broken[] = {{"text.jpg", "hello"}, {"empty.jpg", ""}, {"cut.jpg", std::string("\xFF\xD8\xFF\xE0\x00\x10JFIF", 10)}};
    for (const auto& b : broken) {
        std::ofstream(d / b.name, std::ios::binary) << b.bytes;
        ASSERT_EQ(image.Load(Q(good), 0), 1);
        EXPECT_EQ(image.Load(Q(d / b.name), 1), 0) << b.name;
        EXPECT_EQ(image.IsLoaded(), 0);
        EXPECT_FALSE(image.HasDib());
        EXPECT_EQ(image.GetPath(), Q(d / b.name));
        EXPECT_FALSE(image.GetUndoMan()->CanUndo());
        EXPECT_FALSE(image.GetUndoMan()->IsModified());
    }
    // A folder is not an image either.
    EXPECT_EQ(image.Load(Q(d.path()), 0), 0);
    EXPECT_EQ(image.IsLoaded(), 0);
}

// A load begun on its own thread is the one the next Load of that path
// takes; any other Load, or the image's end, waits for it and goes its way.
TEST(KsImage, StartedLoadIsTakenByLoadOfThatPath)
{
    TempDir d;
    const auto a = WriteJpeg(d / "a.jpg", 40, 30);
    const auto b = WriteJpeg(d / "b.jpg", 24, 16);
    std::ofstream(d / "text.jpg") << "hello";
    CKsImage direct(RealLib());
    ASSERT_EQ(direct.Load(Q(a), 1), 1);

    CKsImage image(RealLib());
    image.StartLoad(Q(a));
    // Not loaded to anyone but the thread until Load takes it.
    EXPECT_EQ(image.IsLoaded(), 0);
    EXPECT_EQ(image.GetWidth(), 0);
    EXPECT_EQ(image.CreateDib(), 0);
    ASSERT_EQ(image.Load(Q(a), 1), 1);
    EXPECT_EQ(image.GetPath(), Q(a));
    EXPECT_EQ(Coefficients(image), Coefficients(direct));
    ASSERT_EQ(image.GetDibImage(), direct.GetDibImage());

    // A missing file starts nothing; the open image stays.
    image.StartLoad(Q(d / "missing.jpg"));
    EXPECT_EQ(image.IsLoaded(), 1);
    // Another path is loaded as Load always does.
    image.StartLoad(Q(a));
    ASSERT_EQ(image.Load(Q(b), 0), 1);
    EXPECT_EQ(image.GetWidth(), 24);
    EXPECT_EQ(image.GetPath(), Q(b));
    // A file that is no JPEG fails as Load fails: closed, its path taken.
    image.StartLoad(Q(d / "text.jpg"));
    EXPECT_EQ(image.Load(Q(d / "text.jpg"), 1), 0);
    EXPECT_EQ(image.IsLoaded(), 0);
    EXPECT_EQ(image.GetPath(), Q(d / "text.jpg"));
    // An image ending with a load under way waits for it.
    CKsImage(RealLib()).StartLoad(Q(a));
}

std::map<std::string, bool> CorpusLoadable()
{
    std::map<std::string, bool> loadable;
    std::ifstream manifest(testjpeg::CorpusDir() / "MANIFEST.tsv");
    std::string line;
    std::getline(manifest, line);
    while (std::getline(manifest, line)) {
        std::istringstream cols(line);
        std::string name;
        std::getline(cols, name, '\t');
        loadable[name] = line.find("load fails") == std::string::npos;
    }
    return loadable;
}

TEST(KsImage, CorpusRoundTrip)
{
    TempDir out;
    const auto files = testjpeg::CorpusAndMadeKinds(out.path());
    const auto loadable = CorpusLoadable();
    for (const auto& file : files) {
        const std::string name = file.filename().string();
        SCOPED_TRACE(name);
        CKsImage image(RealLib());
        const bool expectLoad = !loadable.count(name) || loadable.at(name);
        if (!expectLoad) {
            EXPECT_EQ(image.Load(Q(file), 1), 0);
            EXPECT_EQ(image.IsLoaded(), 0);
            EXPECT_FALSE(image.HasDib());
            continue;
        }
        ASSERT_EQ(image.Load(Q(file), 1), 1);
        ASSERT_TRUE(image.HasDib());
        const int w = image.GetWidth(), h = image.GetHeight();
        IKestrel* k = image.GetLibraryObject();
        EXPECT_EQ(image.GetDibWidth(), RoundUpToMultiple(w, k->GetMcuWidth()));
        EXPECT_EQ(image.GetDibHeight(), RoundUpToMultiple(h, k->GetMcuHeight()));

        const QString target = Q(out / ("copy_" + name));
        ASSERT_EQ(image.Save(target), 1);
        EXPECT_EQ(image.GetPath(), target);
        EXPECT_FALSE(image.GetUndoMan()->IsModified());

        CKsImage again(RealLib());
        ASSERT_EQ(again.Load(target, 1), 1);
        ASSERT_EQ(again.GetWidth(), w);
        ASSERT_EQ(again.GetHeight(), h);
        for (int y = 0; y < h; ++y)
            ASSERT_EQ(std::memcmp(image.GetFirstRow() + y * image.GetStride(),
                                  again.GetFirstRow() + y * again.GetStride(), static_cast<size_t>(w) * 3),
                      0)
                << "row " << y;
        std::filesystem::remove(target.toStdString());
    }
}

TEST(KsImage, SaveToOwnPathClearsModified)
{
    TempDir d;
    const auto path = WriteJpeg(d / "a.jpg", 48, 32);
    CKsImage image(RealLib());
    ASSERT_EQ(image.Load(Q(path), 0), 1);
    ASSERT_TRUE(image.GetUndoMan()->AddAction(new CPatternAction(4, 2)));
    EXPECT_TRUE(image.GetUndoMan()->IsModified());
    std::filesystem::remove(path);
    ASSERT_EQ(image.Save(QString()), 1);
    EXPECT_TRUE(std::filesystem::exists(path));
    EXPECT_EQ(image.GetPath(), Q(path));
    EXPECT_FALSE(image.GetUndoMan()->IsModified());
}

// The failure paths, through a stand-in library.
class KsImageFake : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_lib.IsLoaded()) << m_lib.GetLoadError().toStdString();
        auto get = reinterpret_cast<FakeKestrelGetControlFn>(dlsym(m_lib.GetModule(), "FakeKestrelGetControl"));
        ASSERT_NE(get, nullptr);
        c = get();
        *c = FakeKestrelControl{};
        m_file = WriteJpeg(m_dir / "x.jpg", 8, 8);
    }
    CJPEGlib m_lib{QStringLiteral(FAKE_KESTREL_DIR)};
    FakeKestrelControl* c = nullptr;
    TempDir m_dir;
    std::filesystem::path m_file;
};

TEST_F(KsImageFake, FailedRenderDropsTheBitmap)
{
    CKsImage image(m_lib);
    ASSERT_EQ(image.Load(Q(m_file), 1), 1);
    // 17 x 9 with 16 x 16 MCUs: 32 x 16, stride 96, rendered from the top row down.
    EXPECT_EQ(image.GetDibWidth(), 32);
    EXPECT_EQ(image.GetDibHeight(), 16);
    EXPECT_EQ(c->lastRenderRow, image.GetFirstRow());
    EXPECT_EQ(c->lastRenderStride, 96);
    EXPECT_EQ(c->lastRenderPad, 1);
    EXPECT_EQ(image.GetFirstRow()[0], 0x5A);

    c->renderResult = 0;
    EXPECT_EQ(image.CreateDib(), 0);
    EXPECT_FALSE(image.HasDib());
    EXPECT_EQ(image.GetFirstRow(), nullptr);
    EXPECT_EQ(image.Load(Q(m_file), 1), 0);
    EXPECT_EQ(image.Load(Q(m_file), 0), 1);
}

// The load begun on its own thread is the only one: Load takes its result.
TEST_F(KsImageFake, AStartedLoadIsNotDoneAgain)
{
    CKsImage image(m_lib);
    image.StartLoad(Q(m_file));
    ASSERT_EQ(image.Load(Q(m_file), 0), 1);
    EXPECT_EQ(c->loadCalls, 1);
}

TEST_F(KsImageFake, RedrawnBitmapStartsBlankInTheSameMemory)
{
    CKsImage image(m_lib);
    ASSERT_EQ(image.Load(Q(m_file), 1), 1);
    BYTE* const first = image.GetFirstRow();
    first[50] = 0x77; // what an edit painted into the old bitmap
    EXPECT_EQ(image.DeleteDib(), 1);
    // The fake draws only the first pixel: the rest must be blank again.
    ASSERT_EQ(image.CreateDib(), 1);
    EXPECT_EQ(image.GetFirstRow(), first);
    EXPECT_EQ(image.GetFirstRow()[0], 0x5A);
    EXPECT_EQ(std::count(image.GetFirstRow() + 3, image.GetFirstRow() + image.GetDib().ByteSize(), 0),
              static_cast<long>(image.GetDib().ByteSize() - 3));
    EXPECT_EQ(image.GetDibWidth(), 32);
    EXPECT_EQ(image.GetDibHeight(), 16);
}

TEST_F(KsImageFake, SaveHandsTheBitmapTopRowFirst)
{
    CKsImage image(m_lib);
    ASSERT_EQ(image.Load(Q(m_file), 0), 1);
    // Without a bitmap a transcode sends none.
    ASSERT_EQ(image.Save(Q(m_dir / "y.jpg")), 1);
    const SaveOptions def = DefaultSaveOptions();
    EXPECT_EQ(c->lastSave.CompressionMode, def.CompressionMode);
    EXPECT_EQ(c->lastSave.Quality, def.Quality);
    EXPECT_EQ(c->lastSave.EXIFThumbSize, def.EXIFThumbSize);
    EXPECT_EQ(c->lastSave.Bitmap, nullptr);
    EXPECT_EQ(c->lastSave.BitmapStride, 0);
    // With one, even a transcode gets it, top row first with a positive stride.
    ASSERT_EQ(image.CreateDib(), 1);
    ASSERT_EQ(image.Save(QString()), 1);
    EXPECT_EQ(c->lastSave.Bitmap, image.GetFirstRow());
    EXPECT_EQ(c->lastSave.BitmapStride, 96);
    EXPECT_EQ(image.GetPath(), Q(m_dir / "y.jpg"));

    // A failed save leaves the path and the modified state.
    ASSERT_TRUE(image.GetUndoMan()->AddAction(new CPatternAction(4, 3)));
    c->saveResult = 0;
    EXPECT_EQ(image.Save(Q(m_dir / "z.jpg")), 0);
    EXPECT_EQ(image.GetPath(), Q(m_dir / "y.jpg"));
    EXPECT_TRUE(image.GetUndoMan()->IsModified());
}

TEST_F(KsImageFake, ObjectsAreReleased)
{
    {
        CKsImage a(m_lib), b(m_lib);
        EXPECT_EQ(c->objects, 2);
        EXPECT_NE(a.GetLibraryObject(), b.GetLibraryObject());
    }
    EXPECT_EQ(c->objects, 0);
}

} // namespace
