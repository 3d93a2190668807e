// Version blocks: building, querying, and finding them in ELF files.
//
// Invariants every reader here keeps: each length read from a block or a file
// is checked against the bytes that are really there before it is used, with
// 64-bit sums that cannot wrap; a reader that finds anything out of place
// answers false and reads nothing further.
#include "platform/VersionInfo.h"

#include "platform/Utf.h"

#include <elf.h>
#include <fcntl.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>

namespace {

constexpr size_t kNodeHeader = 6; // length, value length, type

size_t Align4(size_t n)
{
    return (n + 3) & ~size_t(3);
}

uint16_t ReadU16(const uint8_t* p)
{
    return uint16_t(p[0] | (p[1] << 8));
}

// Writes one node with its children; `children` appends them.
class CBlockWriter {
public:
    size_t Begin(std::u16string_view key, const void* value, size_t valueBytes, uint16_t type)
    {
        const size_t start = m_bytes.size();
        Put16(0); // patched by End
        Put16(uint16_t(valueBytes));
        Put16(type);
        for (char16_t c : key)
            Put16(uint16_t(c));
        Put16(0);
        Pad();
        const auto* v = static_cast<const uint8_t*>(value);
        m_bytes.insert(m_bytes.end(), v, v + valueBytes);
        Pad();
        return start;
    }
    void End(size_t start)
    {
        const size_t length = m_bytes.size() - start;
        m_bytes[start] = uint8_t(length);
        m_bytes[start + 1] = uint8_t(length >> 8);
        Pad();
    }
    std::vector<uint8_t> Take() { return std::move(m_bytes); }

private:
    void Put16(uint16_t v)
    {
        m_bytes.push_back(uint8_t(v));
        m_bytes.push_back(uint8_t(v >> 8));
    }
    void Pad()
    {
        m_bytes.resize(Align4(m_bytes.size()), 0);
    }

    std::vector<uint8_t> m_bytes;
};

// One node of a block, all of it inside the block.
struct Node {
    size_t start = 0;
    size_t end = 0; // start + length
    size_t keyStart = 0;
    size_t keyUnits = 0;
    size_t valueStart = 0;
    size_t valueBytes = 0;
    size_t childrenStart = 0;
};

bool ReadNode(const uint8_t* block, size_t limit, size_t start, Node* node)
{
    if (start > limit || limit - start < kNodeHeader)
        return false;
    const size_t length = ReadU16(block + start);
    if (length < kNodeHeader || length > limit - start)
        return false;
    node->start = start;
    node->end = start + length;
    node->keyStart = start + kNodeHeader;
    size_t pos = node->keyStart;
    for (;;) {
        if (node->end - pos < 2)
            return false; // key without its terminator
        if (ReadU16(block + pos) == 0)
            break;
        pos += 2;
    }
    node->keyUnits = (pos - node->keyStart) / 2;
    node->valueStart = std::min(Align4(pos + 2), node->end);
    node->valueBytes = ReadU16(block + start + 2);
    if (node->valueBytes > node->end - node->valueStart)
        return false;
    node->childrenStart = std::min(Align4(node->valueStart + node->valueBytes), node->end);
    return true;
}

char16_t AsciiLower(char16_t c)
{
    return (c >= u'A' && c <= u'Z') ? char16_t(c - u'A' + u'a') : c;
}

bool KeyEquals(const uint8_t* block, const Node& node, std::u16string_view key)
{
    if (node.keyUnits != key.size())
        return false;
    for (size_t i = 0; i < key.size(); ++i) {
        if (AsciiLower(char16_t(ReadU16(block + node.keyStart + 2 * i))) != AsciiLower(key[i]))
            return false;
    }
    return true;
}

bool FindChild(const uint8_t* block, const Node& parent, std::u16string_view key, Node* child)
{
    size_t pos = parent.childrenStart;
    while (pos < parent.end && parent.end - pos >= kNodeHeader) {
        if (!ReadNode(block, parent.end, pos, child))
            return false;
        if (KeyEquals(block, *child, key))
            return true;
        pos = Align4(child->end);
    }
    return false;
}

// pread until `length` bytes are in or the file ends early.
bool ReadAt(int fd, uint64_t offset, void* out, size_t length)
{
    auto* p = static_cast<uint8_t*>(out);
    while (length > 0) {
        if (offset > uint64_t(LLONG_MAX))
            return false;
        const ssize_t n = pread(fd, p, length, off_t(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        offset += uint64_t(n);
        length -= size_t(n);
    }
    return true;
}

bool InFile(uint64_t offset, uint64_t length, uint64_t fileSize)
{
    return offset <= fileSize && length <= fileSize - offset;
}

// The version section of a file: its offset and length, size-checked.
bool LocateVersionBlock(const std::string& path, int* fdOut, uint64_t* offset, uint64_t* length)
{
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return false;
    }
    const ByteReader read = [fd](uint64_t off, void* out, size_t n) { return ReadAt(fd, off, out, n); };
    if (!FindElfSection(read, uint64_t(st.st_size), kVersionSectionName, offset, length)
        || *length == 0 || *length > kMaxVersionBlockSize) {
        close(fd);
        return false;
    }
    *fdOut = fd;
    return true;
}

std::string ProgramPath()
{
    char buffer[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0)
        return "/proc/self/exe";
    return std::string(buffer, size_t(n));
}

std::string_view BaseName(std::string_view path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

} // namespace

VS_FIXEDFILEINFO MakeFixedFileInfo(uint32_t major, uint32_t minor, uint32_t patch, uint32_t tweak)
{
    VS_FIXEDFILEINFO f{};
    f.dwSignature = kVsFixedFileInfoSignature;
    f.dwStrucVersion = 0x00010000;
    f.dwFileVersionMS = (major & 0xFFFF) << 16 | (minor & 0xFFFF);
    f.dwFileVersionLS = (patch & 0xFFFF) << 16 | (tweak & 0xFFFF);
    f.dwProductVersionMS = f.dwFileVersionMS;
    f.dwProductVersionLS = f.dwFileVersionLS;
    f.dwFileFlagsMask = 0x3F;
    return f;
}

std::vector<uint8_t> BuildVersionBlock(const VersionBlockContents& contents)
{
    CBlockWriter w;
    const size_t root = w.Begin(u"VS_VERSION_INFO", &contents.fixed, sizeof contents.fixed, 0);
    if (!contents.stringTable.empty()) {
        const size_t info = w.Begin(u"StringFileInfo", nullptr, 0, 1);
        const size_t table = w.Begin(contents.stringTable, nullptr, 0, 1);
        for (const auto& [key, value] : contents.strings) {
            std::u16string text = value;
            text.push_back(u'\0');
            std::vector<uint8_t> bytes;
            for (char16_t c : text) {
                bytes.push_back(uint8_t(c));
                bytes.push_back(uint8_t(c >> 8));
            }
            w.End(w.Begin(key, bytes.data(), bytes.size(), 1));
        }
        w.End(table);
        w.End(info);
    }
    if (!contents.translations.empty()) {
        const size_t var = w.Begin(u"VarFileInfo", nullptr, 0, 1);
        std::vector<uint8_t> bytes;
        for (const VersionTranslation& t : contents.translations) {
            for (uint16_t v : {t.language, t.codePage}) {
                bytes.push_back(uint8_t(v));
                bytes.push_back(uint8_t(v >> 8));
            }
        }
        w.End(w.Begin(u"Translation", bytes.data(), bytes.size(), 0));
        w.End(var);
    }
    w.End(root);
    return w.Take();
}

bool VerQueryValueW(const uint8_t* block, size_t size, std::u16string_view subBlock,
                    const uint8_t** value, size_t* valueBytes)
{
    if (!block || !value || !valueBytes)
        return false;
    Node node;
    if (!ReadNode(block, size, 0, &node))
        return false;
    size_t pos = 0;
    while (pos < subBlock.size()) {
        while (pos < subBlock.size() && subBlock[pos] == u'\\')
            ++pos;
        if (pos == subBlock.size())
            break;
        size_t next = subBlock.find(u'\\', pos);
        if (next == std::u16string_view::npos)
            next = subBlock.size();
        Node child;
        if (!FindChild(block, node, subBlock.substr(pos, next - pos), &child))
            return false;
        node = child;
        pos = next;
    }
    *value = block + node.valueStart;
    *valueBytes = node.valueBytes;
    return true;
}

bool FindElfSection(const ByteReader& read, uint64_t fileSize, std::string_view name,
                    uint64_t* offset, uint64_t* length)
{
    Elf64_Ehdr eh;
    if (!InFile(0, sizeof eh, fileSize) || !read(0, &eh, sizeof eh))
        return false;
    if (std::memcmp(eh.e_ident, ELFMAG, SELFMAG) != 0 || eh.e_ident[EI_CLASS] != ELFCLASS64
        || eh.e_ident[EI_DATA] != ELFDATA2LSB)
        return false;
    // Extended numbering (0 sections, or the string table index escaped) is
    // not used by our builds; such files are foreign.
    if (eh.e_shnum == 0 || eh.e_shstrndx == SHN_UNDEF || eh.e_shstrndx >= eh.e_shnum
        || eh.e_shentsize < sizeof(Elf64_Shdr))
        return false;
    const uint64_t tableBytes = uint64_t(eh.e_shnum) * eh.e_shentsize;
    if (!InFile(eh.e_shoff, tableBytes, fileSize))
        return false;
    auto header = [&](unsigned index, Elf64_Shdr* sh) {
        return read(eh.e_shoff + uint64_t(index) * eh.e_shentsize, sh, sizeof *sh);
    };
    Elf64_Shdr strtab;
    if (!header(eh.e_shstrndx, &strtab) || strtab.sh_type == SHT_NOBITS
        || !InFile(strtab.sh_offset, strtab.sh_size, fileSize))
        return false;
    std::string candidate(name.size() + 1, '\0');
    for (unsigned i = 0; i < eh.e_shnum; ++i) {
        Elf64_Shdr sh;
        if (!header(i, &sh))
            return false;
        if (!InFile(sh.sh_name, candidate.size(), strtab.sh_size))
            continue;
        if (!read(strtab.sh_offset + sh.sh_name, candidate.data(), candidate.size()))
            return false;
        if (candidate.compare(0, name.size(), name) != 0 || candidate.back() != '\0')
            continue;
        if (sh.sh_type == SHT_NOBITS || !InFile(sh.sh_offset, sh.sh_size, fileSize))
            return false;
        *offset = sh.sh_offset;
        *length = sh.sh_size;
        return true;
    }
    return false;
}

std::string GetModuleFileNameW(const char16_t* moduleName)
{
    if (!moduleName)
        return ProgramPath();
    struct Search {
        std::string name;
        std::string found;
    } search{Utf16ToUtf8(moduleName), {}};
    if (search.name.empty())
        return {};
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* data) {
            auto* s = static_cast<Search*>(data);
            // The program itself is listed without a name.
            const std::string path = (info->dlpi_name && *info->dlpi_name) ? info->dlpi_name : ProgramPath();
            const bool match = s->name.find('/') != std::string::npos ? path == s->name
                                                                        : BaseName(path) == s->name;
            if (!match)
                return 0;
            s->found = path;
            return 1;
        },
        &search);
    return search.found;
}

uint32_t GetFileVersionInfoSizeW(const std::string& path)
{
    int fd = -1;
    uint64_t offset = 0;
    uint64_t length = 0;
    if (!LocateVersionBlock(path, &fd, &offset, &length))
        return 0;
    close(fd);
    return uint32_t(length);
}

bool GetFileVersionInfoW(const std::string& path, uint32_t size, void* data)
{
    int fd = -1;
    uint64_t offset = 0;
    uint64_t length = 0;
    if (!data || !LocateVersionBlock(path, &fd, &offset, &length))
        return false;
    const size_t n = size_t(std::min<uint64_t>(length, size));
    const bool ok = ReadAt(fd, offset, data, n);
    close(fd);
    return ok;
}
