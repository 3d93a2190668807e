// The text, colour, resize and reconstruct modes: their table values and
// bare panels. Their panels, previews and edits come later.
#pragma once

#include "Mode.h"

class IOperation;

// A mode that edits through one of the application's operation prototypes.
class COperationMode : public CMode {
public:
    COperationMode(int commandId, int contextMenuIndex, int cursorId, const char* panelName, const char* caption);
    void Activate() override;
    void Deactivate() override;
    bool UsesSelectionRect() const override { return false; }

    // The application's prototype (not owned).
    void SetOperation(IOperation* operation) { m_pOperation = operation; }
    IOperation* GetOperation() const { return m_pOperation; }

private:
    IOperation* m_pOperation = nullptr;
    const char* m_panelName;
    const char* m_caption;
};

class CModeText : public COperationMode {
public:
    CModeText();
    // 6 while a text is shown, else 1.
    int GetContextMenuIndex() const override;
};

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
