// The colour, resize and reconstruct modes. Each edits the whole image
// through a working clone of the application's operation, which its panel
// edits in place; Apply hands the values back to the prototype and edits.
//
// The colour mode previews live: at every change of a value it shifts the
// image's coefficients, renders them into its own display bitmap and takes
// the shift back at once, so the open image never stays changed. The
// preview's undo bytes go to an in-memory undo store of its own, never to
// the image's history. Apply adds the edit to the image's own history
// directly, without the operation runner.
#pragma once

#include "Mode.h"
#include "PanelColor.h"
#include "PanelReconstruct.h"
#include "PanelResize.h"

#include <memory>

class COperColor;
class COperReconstruct;
class COperResize;
class COperation;
class CUndoMan;
struct ColorParams;
struct ReconstructParams;
struct ResizeParams;

// Told by the colour panel after each change of a value.
class IListener {
public:
    virtual void OnChanged() = 0;

protected:
    ~IListener() = default;
};

class CModeColor : public COperationMode, public IListener {
public:
    CModeColor();
    ~CModeColor() override;

    // The levels edit takes only some colour spaces.
    bool IsAvailable(CKsImage* image) const override;
    // A fresh working clone carrying the prototype's shifts; the panel.
    void Activate() override;
    // The shifts go back to the prototype; the preview is dropped.
    void Deactivate() override;
    // One "Brightness/Color" step in the image's history; the shifts return to 0.
    void Apply() override;
    void RefreshPanel() override;
    // The preview while there is one, else the image's own bitmap.
    QImage SelectDisplayBitmap(CChildView* view) override;

    // Redraws the preview from the working shifts.
    void OnChanged() override;

    // The working shifts (brightness, yellow to blue, cyan to red), edited
    // in place by the panel; null while the mode is inactive.
    ColorParams* GetColorValues();
    // What the panel calls after a change (CPanelColor::SetListener).
    IListener* GetListener() { return this; }

    bool IsPreviewShown() const { return HasDisplayBitmap(); }
    // The preview store; null until the first preview.
    const CUndoMan* GetPreviewUndoMan() const { return m_previewUndo.get(); }

private:
    COperColor* Prototype() const;
    // Shifts the image by the working values, renders the shifted picture
    // into the display bitmap and takes the shift back. False (and no
    // preview) when the shift could not be recorded in full.
    bool RenderPreview(CKsImage* image);
    void UndoPreview();

    std::unique_ptr<COperColor> m_working;
    int m_bPreviewApplied = 0;
    std::unique_ptr<CUndoMan> m_previewUndo;
    CPanelColor m_panel{this};

protected:
    CModePanel* Panel() override { return &m_panel; }
};

// A mode whose panel edits a working clone of the application's operation;
// Apply copies the values back and runs a clone through the operation runner.
class CWorkingCloneMode : public COperationMode {
public:
    using COperationMode::COperationMode;
    ~CWorkingCloneMode() override;

    void Activate() override;
    void Deactivate() override;
    void Apply() override;
    void RefreshPanel() override;

protected:
    COperation* Working() const { return m_working.get(); }

private:
    std::unique_ptr<COperation> m_working;
};

class CModeResize : public CWorkingCloneMode {
public:
    CModeResize();
    // The working values the panel edits; null while the mode is inactive.
    ResizeParams* GetWorkingValues() const;

protected:
    CModePanel* Panel() override { return &m_panel; }

private:
    CPanelResize m_panel{this};
};

class CModeReconstruct : public CWorkingCloneMode {
public:
    CModeReconstruct();
    // The working values the panel edits; null while the mode is inactive.
    ReconstructParams* GetWorkingValues() const;

protected:
    CModePanel* Panel() override { return &m_panel; }

private:
    CPanelReconstruct m_panel{this};
};
