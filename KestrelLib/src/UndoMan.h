// The library's undo list. Every coefficient edit is a CDllAction run through
// the image's CDllUndoMan. The library keeps no undo data of its own: while an
// action executes it writes what it needs to the caller's IUndoStore, and its
// revert reads the same spans back in the same order. That byte stream is a
// contract with the program's undo file, so every action documents it.
#pragma once

#include "Kestrel.h"

#include <cstdint>
#include <vector>

class CDllImage;

// A rectangle of whole MCUs of the current image; right and bottom exclusive.
struct McuRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
};

class CDllAction {
public:
    virtual ~CDllAction() = default;
    // Performs the edit on m_image; non-zero on success. An action that fails
    // must leave the image as it was.
    virtual int Execute() = 0;
    // Takes the edit back, reading from m_store what Execute wrote.
    virtual void Revert() = 0;

    // Records image and store and executes once; the result is the done flag.
    int Do(CDllImage* image, IUndoStore* store);
    // Reverts when a store was attached and the action is done; 1 when it did.
    int Undo();
    bool CanUndo() const { return m_store != nullptr && m_done != 0; }

    // One store call per block row of each component, covering the MCU columns
    // left .. right - 1: component order, then block rows top to bottom.
    // Return 1, or 0 at the first store call that fails (and when no store is
    // attached or the rectangle does not lie inside the current grid).
    int SaveRegion(const McuRect& rect);
    int RestoreRegion(const McuRect& rect);
    // SaveRegion of the whole grid when a store is attached (1 without one).
    int SaveWholeImage();
    int RestoreWholeImage();
    McuRect WholeImage() const;

    CDllImage* m_image = nullptr;
    IUndoStore* m_store = nullptr;
    int m_done = 0;

private:
    int TransferRegion(const McuRect& rect, bool save);
};

class CDllUndoMan {
public:
    explicit CDllUndoMan(CDllImage* owner) : m_owner(owner) {}
    virtual ~CDllUndoMan();
    CDllUndoMan(const CDllUndoMan&) = delete;
    CDllUndoMan& operator=(const CDllUndoMan&) = delete;

    // Takes ownership of the action. Executes it with the attached store and
    // keeps it when it succeeds; returns its result (0: destroyed).
    int Do(CDllAction* action);
    // Reverts and destroys the newest action; 0 when there is none.
    int Undo();
    // Destroys every kept action without reverting.
    void Clear();
    void SetStore(IUndoStore* store) { m_store = store; }
    size_t Count() const { return m_actions.size(); }

    CDllImage* m_owner;
    IUndoStore* m_store = nullptr;
    std::vector<CDllAction*> m_actions;
};
