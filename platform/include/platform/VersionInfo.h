// Version information of a built file. The block is our own: a tree of nodes
// (length, value length in bytes, type, UTF-16 key, value, children, each part
// 4-byte aligned from the block start) whose root "VS_VERSION_INFO" holds the
// fixed record, with "StringFileInfo" (one table per language and code page,
// named by eight hex digits) and "VarFileInfo\Translation" (pairs of 16-bit
// language and code page) below it. The build places it in the ELF section
// "pixmend_version" of the program and of the library; nothing is exported.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The thirteen 32-bit fields of the fixed record, in their order.
struct VS_FIXEDFILEINFO {
    uint32_t dwSignature;
    uint32_t dwStrucVersion;
    uint32_t dwFileVersionMS;
    uint32_t dwFileVersionLS;
    uint32_t dwProductVersionMS;
    uint32_t dwProductVersionLS;
    uint32_t dwFileFlagsMask;
    uint32_t dwFileFlags;
    uint32_t dwFileOS;
    uint32_t dwFileType;
    uint32_t dwFileSubtype;
    uint32_t dwFileDateMS;
    uint32_t dwFileDateLS;
};
static_assert(sizeof(VS_FIXEDFILEINFO) == 52);

inline constexpr uint32_t kVsFixedFileInfoSignature = 0xFEEF04BD;
inline constexpr char kVersionSectionName[] = "pixmend_version";
// Larger sections are taken as damage: a real block is a few hundred bytes.
inline constexpr uint64_t kMaxVersionBlockSize = 64 * 1024;

struct VersionTranslation {
    uint16_t language;
    uint16_t codePage;
};

// What the build puts in the block.
struct VersionBlockContents {
    VS_FIXEDFILEINFO fixed{};
    std::vector<VersionTranslation> translations; // none: no "VarFileInfo"
    std::u16string stringTable;                   // e.g. u"040904b0"
    std::vector<std::pair<std::u16string, std::u16string>> strings;
};

// The fixed record of a version major.minor.patch.tweak (file and product).
VS_FIXEDFILEINFO MakeFixedFileInfo(uint32_t major, uint32_t minor, uint32_t patch, uint32_t tweak);
std::vector<uint8_t> BuildVersionBlock(const VersionBlockContents& contents);

// The value under `subBlock` ("\\", "\\VarFileInfo\\Translation",
// "\\StringFileInfo\\040904b0\\ProductVersion"; keys compare without ASCII
// case). Every node is checked against `size`; false when there is none.
bool VerQueryValueW(const uint8_t* block, size_t size, std::u16string_view subBlock,
                    const uint8_t** value, size_t* valueBytes);

// Reads `length` bytes at `offset`; false when it cannot.
using ByteReader = std::function<bool(uint64_t offset, void* out, size_t length)>;

// Finds a section by name in a 64-bit little-endian ELF file of `fileSize`
// bytes. Every header, table, name and the section itself are checked against
// the size; anything else (damaged, truncated, foreign) gives false.
bool FindElfSection(const ByteReader& read, uint64_t fileSize, std::string_view name,
                    uint64_t* offset, uint64_t* length);

// The file of a loaded module: a module whose file name (or full path) is
// `moduleName`, found through dl_iterate_phdr; null names the program itself.
// Empty when no such module is loaded.
std::string GetModuleFileNameW(const char16_t* moduleName);

// Size of the version block in `path`; 0 when the file has none or is damaged.
uint32_t GetFileVersionInfoSizeW(const std::string& path);
// Reads the version block into `data` (`size` bytes at most); false on failure.
bool GetFileVersionInfoW(const std::string& path, uint32_t size, void* data);
