// Control block of the stand-in image library used by the engine tests.
#pragma once

#include "Kestrel.h"

struct FakeKestrelControl {
    int width = 17, height = 9, mcuWidth = 16, mcuHeight = 16;
    int loadResult = 1;
    int loadCalls = 0;
    int renderResult = 1;
    int saveResult = 1;
    int renderCalls = 0;
    BYTE* lastRenderRow = nullptr;
    int lastRenderStride = 0;
    int lastRenderPad = 0;
    int saveCalls = 0;
    SaveOptions lastSave{};
    int objects = 0; // live objects
};

// Exported next to CreateKestrelObject.
extern "C" FakeKestrelControl* FakeKestrelGetControl();
using FakeKestrelGetControlFn = FakeKestrelControl* (*)();
