#include "platform/Bstr.h"

#include <cstdlib>
#include <cstring>

// A BSTR points just past a 32-bit byte-length prefix and is zero-terminated.

size_t Utf16Length(const char16_t* text)
{
    if (!text)
        return 0;
    size_t n = 0;
    while (text[n])
        ++n;
    return n;
}

BSTR SysAllocStringLen(const char16_t* text, uint32_t length)
{
    if (length > (UINT32_MAX - 8) / 2)
        return nullptr;
    auto* block = static_cast<char*>(std::malloc(sizeof(uint32_t) + (static_cast<size_t>(length) + 1) * sizeof(char16_t)));
    if (!block)
        return nullptr;
    uint32_t bytes = length * sizeof(char16_t);
    std::memcpy(block, &bytes, sizeof bytes);
    auto* str = reinterpret_cast<char16_t*>(block + sizeof(uint32_t));
    if (text)
        std::memcpy(str, text, length * sizeof(char16_t));
    else
        std::memset(str, 0, length * sizeof(char16_t));
    str[length] = 0;
    return str;
}

BSTR SysAllocString(const char16_t* text)
{
    if (!text)
        return nullptr;
    return SysAllocStringLen(text, static_cast<uint32_t>(Utf16Length(text)));
}

void SysFreeString(BSTR text)
{
    if (text)
        std::free(reinterpret_cast<char*>(text) - sizeof(uint32_t));
}

uint32_t SysStringLen(BSTR text)
{
    if (!text)
        return 0;
    uint32_t bytes;
    std::memcpy(&bytes, reinterpret_cast<char*>(text) - sizeof(uint32_t), sizeof bytes);
    return bytes / sizeof(char16_t);
}
