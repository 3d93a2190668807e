// IAction and CAction: one undoable edit of an image.
//
// While an action runs it lends itself to the library as the IUndoStore:
// every library edit writes the coefficients it is about to change through
// it into the undo file, and on undo reads them back in the same order. So
// one action's undo bytes are one contiguous stretch of the undo file, which
// the undo manager positions before Do and Undo.
//
// Every library edit an action makes goes through LibraryEdit, which records
// the file position where that edit's bytes start and keeps the record only
// when the library kept the edit. RevertLibraryEdits takes back exactly the
// kept edits, newest first, each reading from where it started writing; a
// refused edit therefore never makes undo take back an older edit.
#pragma once

#include "Kestrel.h"

#include <QRgb>
#include <QString>

#include <cstdint>
#include <vector>

class CKsImage;
class CUndoFile;
class CDib24;

class IAction {
public:
    virtual ~IAction() = default;
    // A new action with the same parameters.
    virtual IAction* Clone() const = 0;
    // Performs the edit on `image` (ignored when already applied). With
    // recordUndo the undo bytes go to `undoFile`. `arg` belongs to the kind.
    virtual void Do(CKsImage* image, int recordUndo, CUndoFile* undoFile, const void* arg) = 0;
    // Takes the edit back; 0 when it was not applied with recording.
    virtual int Undo() = 0;
    virtual int CanUndo() const = 0;
    virtual QString GetName() const = 0;
    virtual int IsBitmapEdit() const = 0;
    virtual int IsRegularAction() const = 0;
};

class CAction : public IAction, public IUndoStore {
public:
    void Do(CKsImage* image, int recordUndo, CUndoFile* undoFile, const void* arg) override;
    int Undo() override;
    int CanUndo() const override { return m_applied && m_recordUndo; }
    int IsRegularAction() const override { return m_regular; }

    // IUndoStore, called by the library during Apply and Revert. Never
    // throw; 0 without an undo file, on a failed write or on a short read.
    int Write(const void* data, int size) override;
    int Read(void* data, int size) override;

    int IsApplied() const { return m_applied; }
    // How many library edits the last Apply kept.
    int GetLibraryEditCount() const { return static_cast<int>(m_undoPositions.size()); }

protected:
    CAction() = default;
    CAction(const CAction&) = default;
    CAction& operator=(const CAction&) = default;

    virtual void Apply(const void* arg) = 0;
    virtual void Revert() = 0;

    // Runs one library edit (anything returning the library's int result)
    // and keeps its start position when it succeeded. Returns its result.
    template <typename Edit>
    int LibraryEdit(Edit&& edit)
    {
        PushUndoPosition();
        const int result = edit();
        if (!result)
            m_undoPositions.pop_back();
        return result;
    }
    // Takes back every kept library edit, newest first.
    void RevertLibraryEdits();
    void PushUndoPosition();
    void PopUndoPosition();

    IKestrel* Library() const;

    // Fills x in [left, right), y in [top, bottom) of the image's display
    // bitmap with `colour`, clipped to the bitmap; nothing without a bitmap.
    void FillRect24(int left, int top, int right, int bottom, QRgb colour);

    CKsImage* m_image = nullptr;
    CUndoFile* m_undoFile = nullptr;
    int m_regular = 1;
    int m_recordUndo = 0;
    int m_applied = 0;
    // Start positions of the kept library edits (-1 without an undo file).
    std::vector<int64_t> m_undoPositions;
};
