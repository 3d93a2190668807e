// Stand-ins for the COM types that cross the library boundary. The layout of
// every type here is part of the binary contract between Pixmend and Kestrel28.
#pragma once

#include <cstdint>

using HRESULT = int32_t;
using ULONG = uint32_t;
using BYTE = uint8_t;
using LCID = uint32_t;
using BSTR = char16_t*;
using LPCBSTR = const char16_t*;

constexpr HRESULT S_OK = 0;
constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003u);
constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);

struct GUID {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
};
using REFIID = const GUID&;

inline bool IsEqualGUID(REFIID a, REFIID b)
{
    if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3)
        return false;
    for (int i = 0; i < 8; ++i)
        if (a.Data4[i] != b.Data4[i])
            return false;
    return true;
}

// {00000000-0000-0000-C000-000000000046}
inline constexpr GUID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

// Interfaces are classes of pure virtual functions without a virtual
// destructor, so the vtable order is exactly the slot order.
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
#endif
struct IUnknown {
    virtual HRESULT QueryInterface(REFIID riid, void** object) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;
};
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif
