// The text mode: its table values and bare panel. Its panel, preview and
// edit come later.
#pragma once

#include "Mode.h"

class CModeText : public COperationMode {
public:
    CModeText();
    // 6 while a text is shown, else 1.
    int GetContextMenuIndex() const override;
};
