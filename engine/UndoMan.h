// CUndoMan: the undo and redo history of one image. The actions are kept in
// order; their undo bytes lie one after another in one temporary file, with
// one 64-bit end offset per done step. After the current step the file holds
// nothing: redo writes a step's bytes anew.
#pragma once

#include "UndoFile.h"

#include <cstdint>
#include <vector>

class CKsImage;
class IAction;

// The message shown when the start-up image has no undo file.
inline constexpr const char* kUndoFileErrorText = "Cannot open a temporary file.";

class CUndoMan {
public:
    // Creates the undo file in the temporary folder; check IsFileOpen().
    explicit CUndoMan(CKsImage* owner);
    // The same in `folder` (tests).
    CUndoMan(CKsImage* owner, const QString& folder);
    // A history whose undo bytes stay in memory: no file is made.
    struct InMemory {};
    CUndoMan(CKsImage* owner, InMemory);
    virtual ~CUndoMan();
    CUndoMan(const CUndoMan&) = delete;
    CUndoMan& operator=(const CUndoMan&) = delete;

    bool IsFileOpen() const { return m_file.IsOpen(); }
    QString GetFilePath() const { return m_file.GetFilePath(); }
    // Makes room for the next step's `bytes` undo bytes, so that step is
    // recorded in full; false when the store cannot hold them.
    bool ReserveStep(int64_t bytes);
    // False once a write to the store failed: some step's undo bytes are
    // incomplete.
    bool IsStoreIntact() const { return m_file.Flush(); }

    // Performs `action` as the next step, cutting the redo tail. Takes
    // ownership: an action refused (no image loaded, no undo file) is deleted
    // and the result is false. So is one whose undo bytes the file did not
    // take (a full disk): it is taken back, the history stays as it was and
    // the user is told (NoRoomText).
    bool AddAction(IAction* action, const void* arg = nullptr);
    void Undo();
    // Refuses the same way when the file does not take the step's bytes: the
    // step stays undone.
    void Redo();
    bool CanUndo() const { return m_current >= 0; }
    bool CanRedo() const { return m_current + 1 < static_cast<int>(m_actions.size()); }
    bool IsModified() const { return m_saved != m_current; }
    void MarkSaved() { m_saved = m_current; }
    // Deletes every action and forgets the saved state; the file is cut to 0.
    void ClearHistory();

    int GetCurrentIndex() const { return m_current; }
    int GetSavedIndex() const { return m_saved; }
    int GetActionCount() const { return static_cast<int>(m_actions.size()); }
    const std::vector<int64_t>& GetStepEnds() const { return m_stepEnds; }
    int64_t GetFileLength() const { return m_file.GetLength(); }

    // The message for a step refused because `folder` has no room.
    static QString NoRoomText(const QString& folder);

private:
    int64_t FileEnd() const;
    // True when the step `action` just wrote from `start` on is all in the
    // file; otherwise takes it back, cuts the file there and tells the user.
    bool KeepStep(IAction* action, int64_t start);
    int64_t StepStart(int index) const { return index > 0 ? m_stepEnds[static_cast<size_t>(index - 1)] : 0; }

    CKsImage* m_owner;
    std::vector<IAction*> m_actions;
    std::vector<int64_t> m_stepEnds;
    CUndoFile m_file;
    int m_current = -1;
    int m_saved = -1; // -2: the saved step is gone
};
