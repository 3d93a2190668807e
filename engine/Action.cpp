// The action base: doing, undoing, the undo store over the undo file, and
// the record of where each kept library edit started writing.
#include "Action.h"

#include "KsImage.h"
#include "UndoFile.h"

#include <algorithm>

void CAction::Do(CKsImage* image, int recordUndo, CUndoFile* undoFile, const void* arg)
{
    if (m_applied || !image)
        return;
    m_image = image;
    m_recordUndo = recordUndo;
    m_undoFile = undoFile;
    m_undoPositions.clear();
    IKestrel* lib = image->GetLibraryObject();
    if (lib && recordUndo)
        lib->SetUndoStore(this);
    Apply(arg);
    if (lib)
        lib->SetUndoStore(nullptr);
    m_applied = 1;
}

int CAction::Undo()
{
    if (!CanUndo() || !m_image)
        return 0;
    IKestrel* lib = m_image->GetLibraryObject();
    if (lib)
        lib->SetUndoStore(this);
    Revert();
    if (lib)
        lib->SetUndoStore(nullptr);
    m_applied = 0;
    return 1;
}

int CAction::Write(const void* data, int size)
{
    if (!m_undoFile || size < 0)
        return 0;
    return m_undoFile->Write(data, size) ? 1 : 0;
}

int CAction::Read(void* data, int size)
{
    if (!m_undoFile || size < 0)
        return 0;
    return m_undoFile->Read(data, size) == size ? 1 : 0;
}

void CAction::PushUndoPosition()
{
    m_undoPositions.push_back(m_undoFile ? m_undoFile->GetPosition() : -1);
}

void CAction::PopUndoPosition()
{
    if (m_undoPositions.empty())
        return;
    const int64_t position = m_undoPositions.back();
    m_undoPositions.pop_back();
    if (m_undoFile && position >= 0)
        m_undoFile->Seek(position);
}

void CAction::RevertLibraryEdits()
{
    IKestrel* lib = Library();
    while (!m_undoPositions.empty()) {
        PopUndoPosition();
        if (lib)
            lib->Undo();
    }
}

IKestrel* CAction::Library() const
{
    return m_image ? m_image->GetLibraryObject() : nullptr;
}

void CAction::FillRect24(int left, int top, int right, int bottom, QRgb colour)
{
    if (!m_image || !m_image->HasDib())
        return;
    CDib24& dib = m_image->GetDib();
    left = std::max(left, 0);
    top = std::max(top, 0);
    right = std::min(right, dib.Width());
    bottom = std::min(bottom, dib.Height());
    const BYTE b = static_cast<BYTE>(qBlue(colour));
    const BYTE g = static_cast<BYTE>(qGreen(colour));
    const BYTE r = static_cast<BYTE>(qRed(colour));
    for (int y = top; y < bottom; ++y) {
        BYTE* p = dib.Row(y) + static_cast<size_t>(left) * 3;
        for (int x = left; x < right; ++x, p += 3) {
            p[0] = b;
            p[1] = g;
            p[2] = r;
        }
    }
}
