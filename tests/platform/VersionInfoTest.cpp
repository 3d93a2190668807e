// Version blocks: the tree and its queries, this program's own block as the
// build wrote it, and the ELF walk over good, cut and mutated files.
#include "PixmendVersion.h"
#include "TestJpeg.h"
#include "platform/VersionInfo.h"

#include <elf.h>
#include <unistd.h>

#include <climits>
#include <cstring>
#include <fstream>
#include <random>

#include <gtest/gtest.h>

namespace {

VersionBlockContents Contents()
{
    VersionBlockContents c;
    c.fixed = MakeFixedFileInfo(1, 2, 3, 4);
    c.translations = {{0x0409, 1200}, {0x0407, 1252}};
    c.stringTable = u"040904b0";
    c.strings = {{u"ProductVersion", u"1.2.3"}, {u"Comments", u""}};
    return c;
}

// The text of a string value, as far as it goes.
std::u16string Text(const uint8_t* value, size_t bytes)
{
    std::u16string text;
    for (size_t i = 0; i + 1 < bytes && (value[i] | value[i + 1]); i += 2)
        text.push_back(char16_t(value[i] | value[i + 1] << 8));
    return text;
}

ByteReader MemoryReader(const std::vector<uint8_t>& bytes)
{
    return [&bytes](uint64_t offset, void* out, size_t length) {
        if (offset > bytes.size() || length > bytes.size() - offset)
            return false;
        std::memcpy(out, bytes.data() + offset, length);
        return true;
    };
}

// A small ELF file: header, section name table, the version section, and the
// section headers at the end, as linkers lay them out.
std::vector<uint8_t> MakeElf(const std::vector<uint8_t>& block)
{
    const std::string names = std::string("\0.shstrtab\0pixmend_version\0", 27);
    const size_t namesAt = sizeof(Elf64_Ehdr);
    const size_t blockAt = (namesAt + names.size() + 3) & ~size_t(3);
    const size_t headersAt = (blockAt + block.size() + 7) & ~size_t(7);
    std::vector<uint8_t> file(headersAt + 3 * sizeof(Elf64_Shdr), 0);
    std::memcpy(file.data() + namesAt, names.data(), names.size());
    std::memcpy(file.data() + blockAt, block.data(), block.size());

    Elf64_Shdr sh[3] = {};
    sh[1].sh_name = 1;
    sh[1].sh_type = SHT_STRTAB;
    sh[1].sh_offset = namesAt;
    sh[1].sh_size = names.size();
    sh[2].sh_name = 11;
    sh[2].sh_type = SHT_PROGBITS;
    sh[2].sh_flags = SHF_ALLOC;
    sh[2].sh_offset = blockAt;
    sh[2].sh_size = block.size();
    std::memcpy(file.data() + headersAt, sh, sizeof sh);

    Elf64_Ehdr eh = {};
    std::memcpy(eh.e_ident, ELFMAG, SELFMAG);
    eh.e_ident[EI_CLASS] = ELFCLASS64;
    eh.e_ident[EI_DATA] = ELFDATA2LSB;
    eh.e_ident[EI_VERSION] = EV_CURRENT;
    eh.e_type = ET_DYN;
    eh.e_machine = EM_X86_64;
    eh.e_version = EV_CURRENT;
    eh.e_shoff = headersAt;
    eh.e_ehsize = sizeof eh;
    eh.e_shentsize = sizeof(Elf64_Shdr);
    eh.e_shnum = 3;
    eh.e_shstrndx = 1;
    std::memcpy(file.data(), &eh, sizeof eh);
    return file;
}

} // namespace

TEST(VersionBlockTest, QueriesFindEveryNodeOfTheTree)
{
    const std::vector<uint8_t> block = BuildVersionBlock(Contents());
    const struct {
        std::u16string_view path;
        bool found;
        size_t bytes;
    } cases[] = {
        {u"\\", true, sizeof(VS_FIXEDFILEINFO)},
        {u"", true, sizeof(VS_FIXEDFILEINFO)},
        {u"\\VarFileInfo\\Translation", true, 8},
        {u"\\StringFileInfo\\040904b0\\ProductVersion", true, 12},
        {u"\\stringfileinfo\\040904B0\\PRODUCTVERSION", true, 12},
        {u"\\StringFileInfo\\040904b0\\Comments", true, 2},
        {u"\\StringFileInfo\\040904b0\\Product", false, 0},
        {u"\\StringFileInfo\\000004e4\\ProductVersion", false, 0},
        {u"\\VarFileInfo\\Translation\\More", false, 0},
    };
    for (const auto& c : cases) {
        const uint8_t* value = nullptr;
        size_t bytes = 0;
        ASSERT_EQ(VerQueryValueW(block.data(), block.size(), c.path, &value, &bytes), c.found)
            << std::string(c.path.begin(), c.path.end());
        if (c.found) {
            EXPECT_EQ(bytes, c.bytes);
        }
    }
    const uint8_t* value = nullptr;
    size_t bytes = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), block.size(), u"\\StringFileInfo\\040904b0\\ProductVersion", &value, &bytes));
    EXPECT_EQ(Text(value, bytes), u"1.2.3");
    ASSERT_TRUE(VerQueryValueW(block.data(), block.size(), u"\\", &value, &bytes));
    VS_FIXEDFILEINFO fixed;
    std::memcpy(&fixed, value, sizeof fixed);
    EXPECT_EQ(fixed.dwSignature, kVsFixedFileInfoSignature);
    EXPECT_EQ(fixed.dwProductVersionMS, 0x00010002u);
    EXPECT_EQ(fixed.dwProductVersionLS, 0x00030004u);
}

// Cut and mutated blocks are answered from what is inside them, or not at all.
TEST(VersionBlockTest, DamagedBlocksNeverReadPastTheirEnd)
{
    const std::vector<uint8_t> good = BuildVersionBlock(Contents());
    const std::u16string_view paths[] = {u"\\", u"\\VarFileInfo\\Translation",
                                         u"\\StringFileInfo\\040904b0\\ProductVersion"};
    auto probe = [&](const std::vector<uint8_t>& block) {
        for (std::u16string_view path : paths) {
            const uint8_t* value = nullptr;
            size_t bytes = 0;
            if (VerQueryValueW(block.data(), block.size(), path, &value, &bytes)) {
                ASSERT_GE(value, block.data());
                ASSERT_LE(size_t(value - block.data()) + bytes, block.size());
            }
        }
    };
    for (size_t n = 0; n < good.size(); ++n) {
        const std::vector<uint8_t> cut(good.begin(), good.begin() + long(n));
        probe(cut);
    }
    std::mt19937 random(36);
    for (int i = 0; i < 3000; ++i) {
        std::vector<uint8_t> block = good;
        for (int k = int(random() % 4); k >= 0; --k)
            block[random() % block.size()] = uint8_t(random());
        probe(block);
    }
}

// The build wrote this program's block from the project's version.
TEST(VersionFileTest, OwnBlockIsTheProjectVersion)
{
    const std::string self = GetModuleFileNameW(nullptr);
    char buffer[PATH_MAX] = {};
    ASSERT_GT(readlink("/proc/self/exe", buffer, sizeof buffer - 1), 0);
    EXPECT_EQ(self, buffer);

    const uint32_t size = GetFileVersionInfoSizeW(self);
    ASSERT_GT(size, 0u);
    std::vector<uint8_t> block(size);
    ASSERT_TRUE(GetFileVersionInfoW(self, size, block.data()));

    VersionBlockContents expected;
    expected.fixed = MakeFixedFileInfo(PIXMEND_VERSION_MAJOR, PIXMEND_VERSION_MINOR, PIXMEND_VERSION_PATCH,
                                       PIXMEND_VERSION_TWEAK);
    expected.translations = {{0x0409, 1200}};
    expected.stringTable = u"040904b0";
    const std::string text = PIXMEND_VERSION_TEXT;
    expected.strings = {{u"ProductVersion", std::u16string(text.begin(), text.end())}};
    EXPECT_EQ(block, BuildVersionBlock(expected));
}

TEST(VersionFileTest, ModulesAreFoundByFileNameOnlyWhenLoaded)
{
    const std::string libc = GetModuleFileNameW(u"libc.so.6");
    EXPECT_NE(libc.find("libc.so.6"), std::string::npos);
    EXPECT_EQ(GetModuleFileNameW(u""), "");
    EXPECT_EQ(GetModuleFileNameW(u"libnot-loaded-here.so"), "");
    // The C library has no block; neither have a cut copy of this program
    // nor a file that is not ELF.
    EXPECT_EQ(GetFileVersionInfoSizeW(libc), 0u);
    testjpeg::TempDir tmp;
    std::ifstream in("/proc/self/exe", std::ios::binary);
    std::vector<char> self((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::string cut = (tmp.path() / "cut").string();
    std::ofstream(cut, std::ios::binary).write(self.data(), long(self.size() / 2));
    EXPECT_EQ(GetFileVersionInfoSizeW(cut), 0u);
    const std::string text = (tmp.path() / "text").string();
    std::ofstream(text) << "not an ELF file";
    EXPECT_EQ(GetFileVersionInfoSizeW(text), 0u);
    EXPECT_EQ(GetFileVersionInfoSizeW((tmp.path() / "missing").string()), 0u);
    EXPECT_EQ(GetFileVersionInfoSizeW(tmp.path().string()), 0u);
}

TEST(ElfWalkTest, CutAndMutatedFilesAreCheckedAgainstTheirSize)
{
    const std::vector<uint8_t> block = BuildVersionBlock(Contents());
    const std::vector<uint8_t> good = MakeElf(block);
    uint64_t offset = 0;
    uint64_t length = 0;
    ASSERT_TRUE(FindElfSection(MemoryReader(good), good.size(), kVersionSectionName, &offset, &length));
    EXPECT_EQ(std::vector<uint8_t>(good.begin() + long(offset), good.begin() + long(offset + length)), block);
    EXPECT_FALSE(FindElfSection(MemoryReader(good), good.size(), "pixmend", &offset, &length));
    EXPECT_FALSE(FindElfSection(MemoryReader(good), good.size(), "pixmend_version_x", &offset, &length));

    // The section headers come last: every cut loses them.
    for (size_t n = 0; n < good.size(); ++n) {
        const std::vector<uint8_t> cut(good.begin(), good.begin() + long(n));
        EXPECT_FALSE(FindElfSection(MemoryReader(cut), cut.size(), kVersionSectionName, &offset, &length)) << n;
    }
    std::mt19937 random(2836);
    for (int i = 0; i < 5000; ++i) {
        std::vector<uint8_t> file = good;
        for (int k = int(random() % 4); k >= 0; --k)
            file[random() % file.size()] = uint8_t(random());
        if (FindElfSection(MemoryReader(file), file.size(), kVersionSectionName, &offset, &length)) {
            ASSERT_LE(offset, file.size());
            ASSERT_LE(length, file.size() - offset);
        }
    }
}
