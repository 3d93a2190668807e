// Length-prefixed UTF-16 strings handed across the library boundary.
#pragma once

#include "platform/Com.h"

#include <cstddef>
#include <string>
#include <string_view>

// Allocates a copy of a zero-terminated string (null for null); free with SysFreeString.
BSTR SysAllocString(const char16_t* text);
BSTR SysAllocStringLen(const char16_t* text, uint32_t length);
void SysFreeString(BSTR text);
// Length in UTF-16 code units, from the prefix (0 for null).
uint32_t SysStringLen(BSTR text);

// Length of a zero-terminated UTF-16 string; 0 for null.
size_t Utf16Length(const char16_t* text);

// Owns one BSTR for the length of a call.
class CBstr {
public:
    CBstr() = default;
    explicit CBstr(std::u16string_view text) : m_text(SysAllocStringLen(text.data(), static_cast<uint32_t>(text.size()))) {}
    ~CBstr() { SysFreeString(m_text); }
    CBstr(const CBstr&) = delete;
    CBstr& operator=(const CBstr&) = delete;
    operator BSTR() const { return m_text; }

private:
    BSTR m_text = nullptr;
};
