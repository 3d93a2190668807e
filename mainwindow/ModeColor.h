// The colour, resize and reconstruct modes: their table values and bare
// panels. Their panels, previews and edits come later.
#pragma once

#include "Mode.h"

class CModeColor : public COperationMode {
public:
    CModeColor();
    // The levels edit takes only some colour spaces.
    bool IsAvailable(CKsImage* image) const override;
};

class CModeResize : public COperationMode {
public:
    CModeResize();
};

class CModeReconstruct : public COperationMode {
public:
    CModeReconstruct();
};
