// The undo file's write buffer and read-ahead against a plain model of the
// file: same bytes at the same offsets whatever the mix of calls.
#include "EngineTest.h"

#include <csignal>
#include <fstream>
#include <random>

#include <sys/resource.h>

using namespace etest;

namespace {

// The file's bytes as another reader sees them.
std::vector<char> FileBytes(const CUndoFile& file)
{
    std::ifstream in(file.GetFilePath().toStdString(), std::ios::binary | std::ios::ate);
    std::vector<char> bytes(static_cast<size_t>(in.tellg()));
    in.seekg(0);
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return bytes;
}

TEST(UndoFileBuffer, RandomCallsMatchAModel)
{
    testjpeg::TempDir dir;
    CUndoFile file;
    ASSERT_TRUE(file.Create(Q(dir.path())));
    std::vector<char> model;
    int64_t pos = 0;
    std::mt19937 rng(5);
    // Sizes from tiny records to more than the buffer.
    const int sizes[] = {1, 12, 128, 140, 4000, 70000, 300000};
    for (int step = 0; step < 600; ++step) {
        const int op = static_cast<int>(rng() % 10);
        const int size = sizes[rng() % 7] + static_cast<int>(rng() % 5);
        if (op < 5) {
            std::vector<char> data(static_cast<size_t>(size));
            const unsigned seed = rng();
            for (size_t i = 0; i < data.size(); ++i)
                data[i] = static_cast<char>(seed + i * 7 + (i >> 8));
            ASSERT_TRUE(file.Write(data.data(), size));
            if (model.size() < static_cast<size_t>(pos + size))
                model.resize(static_cast<size_t>(pos + size), 0);
            std::copy(data.begin(), data.end(), model.begin() + pos);
            pos += size;
        } else if (op < 8) {
            std::vector<char> got(static_cast<size_t>(size));
            const int64_t n = file.Read(got.data(), size);
            const int64_t want = std::max<int64_t>(0, std::min<int64_t>(size, static_cast<int64_t>(model.size()) - pos));
            ASSERT_EQ(n, want) << "step " << step;
            ASSERT_TRUE(std::equal(got.begin(), got.begin() + n, model.begin() + pos)) << "step " << step;
            pos += n;
        } else if (op == 8) {
            pos = model.empty() ? 0 : static_cast<int64_t>(rng() % (model.size() + 1));
            ASSERT_TRUE(file.Seek(pos));
        } else {
            ASSERT_EQ(file.GetLength(), static_cast<int64_t>(model.size()));
            if (rng() % 4 == 0 || model.size() > (1u << 20)) {
                const int64_t length = model.empty() ? 0 : static_cast<int64_t>(rng() % model.size());
                ASSERT_TRUE(file.SetLength(length));
                model.resize(static_cast<size_t>(length));
            }
            ASSERT_EQ(FileBytes(file), model) << "step " << step;
        }
        ASSERT_EQ(file.GetPosition(), pos);
    }
}

// A write the disk refuses (here: a file size limit), in a flush of the
// buffer or as one write of more than the buffer, after some bytes reached
// the file or before any did, loses no byte: the refused bytes and every
// write after them are held in memory and read back as written, Flush
// reports that the file is not whole, and cutting the file back to before
// where the disk failed makes it whole again.
TEST(UndoFileBuffer, FailedFlushIsNotHidden)
{
    struct Case {
        const char* name;
        rlim_t limit;
        int records; // of 140 bytes each, before one write of 300,000
    };
    const Case cases[] = {
        {"records, then a large write", 100000, 4000},
        {"a large write", 100000, 0},
        {"records on a full disk", 0, 4000},
        {"a large write on a full disk", 0, 0},
    };
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testjpeg::TempDir dir;
        CUndoFile file;
        ASSERT_TRUE(file.Create(Q(dir.path())));
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = old;
        small.rlim_cur = c.limit;
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);

        std::vector<char> model;
        for (int i = 0; i < c.records; ++i) {
            const std::vector<char> record(140, static_cast<char>(i % 251));
            EXPECT_TRUE(file.Write(record.data(), 140));
            model.insert(model.end(), record.begin(), record.end());
        }
        std::vector<char> big(300000);
        for (size_t i = 0; i < big.size(); ++i)
            big[i] = static_cast<char>(i * 7);
        EXPECT_TRUE(file.Write(big.data(), static_cast<int64_t>(big.size())));
        model.insert(model.end(), big.begin(), big.end());
        EXPECT_FALSE(file.Flush());
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, oldHandler);

        EXPECT_FALSE(file.Flush());
        EXPECT_EQ(file.GetLength(), static_cast<int64_t>(model.size()));
        std::vector<char> back(model.size() + 10);
        ASSERT_TRUE(file.Seek(0));
        EXPECT_EQ(file.Read(back.data(), static_cast<int64_t>(back.size())), static_cast<int64_t>(model.size()));
        back.resize(model.size());
        EXPECT_EQ(back, model);

        const int64_t cut = static_cast<int64_t>(c.limit / 2);
        ASSERT_TRUE(file.SetLength(cut));
        ASSERT_TRUE(file.Seek(cut));
        const std::vector<char> record(140, 'x');
        EXPECT_TRUE(file.Write(record.data(), 140));
        EXPECT_TRUE(file.Flush());
        EXPECT_EQ(file.GetLength(), cut + 140);
        model.resize(static_cast<size_t>(cut));
        model.insert(model.end(), record.begin(), record.end());
        EXPECT_EQ(FileBytes(file), model);
    }
}

} // namespace
