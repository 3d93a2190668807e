// A stand-in library file whose export never creates an object.
#include "Kestrel.h"

extern "C" __attribute__((visibility("default"))) HRESULT CreateKestrelObject(IKestrel** out)
{
    if (out)
        *out = nullptr;
    return E_POINTER;
}
