// UTF-16 <-> UTF-8 conversion. Unpaired surrogates and malformed UTF-8 become U+FFFD.
#pragma once

#include <string>
#include <string_view>

std::string Utf16ToUtf8(std::u16string_view text);
std::u16string Utf8ToUtf16(std::string_view text);
// Zero-terminated UTF-16 (null gives an empty string).
std::string Utf16ToUtf8(const char16_t* text);
