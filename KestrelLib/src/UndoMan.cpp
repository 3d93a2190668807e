// The library undo list and the region save and restore on the MCU grid.
//
// Invariants: a region is addressed in MCUs of the image's geometry at the
// time of the call; a restore must run against the same geometry and
// component layout that the matching save saw (the actions rebuild the old
// layout before they restore). Store failures never stop an edit: a failed
// write ends the region save, a failed read ends the region restore, and the
// action carries on with the rest of its work.
#include "UndoMan.h"

#include "DllImage.h"

#include <new>

int CDllAction::Do(CDllImage* image, IUndoStore* store)
{
    if (m_done)
        return 0;
    m_image = image;
    m_store = store;
    m_done = Execute();
    return m_done;
}

int CDllAction::Undo()
{
    if (!CanUndo())
        return 0;
    Revert();
    m_done = 0;
    return 1;
}

McuRect CDllAction::WholeImage() const
{
    McuRect r;
    if (m_image) {
        r.right = m_image->McusPerRow();
        r.bottom = m_image->McuRows();
    }
    return r;
}

int CDllAction::SaveWholeImage()
{
    return m_store ? SaveRegion(WholeImage()) : 1;
}

int CDllAction::RestoreWholeImage()
{
    return RestoreRegion(WholeImage());
}

int CDllAction::SaveRegion(const McuRect& rect)
{
    return TransferRegion(rect, true);
}

int CDllAction::RestoreRegion(const McuRect& rect)
{
    return TransferRegion(rect, false);
}

int CDllAction::TransferRegion(const McuRect& rect, bool save)
{
    if (!m_store || !m_image || !m_image->m_coef)
        return 0;
    const int mcusPerRow = m_image->McusPerRow();
    const int mcuRows = m_image->McuRows();
    if (rect.left < 0 || rect.top < 0 || rect.right > mcusPerRow || rect.bottom > mcuRows)
        return 0;
    if (rect.right <= rect.left || rect.bottom <= rect.top)
        return 1; // nothing to transfer
    for (int c = 0; c < m_image->NumComponents(); ++c) {
        ComponentGrid g;
        if (!m_image->GetComponentGrid(c, &g))
            return 0;
        if (g.offset + g.count() > static_cast<size_t>(m_image->m_coefCount))
            return 0;
        const int bytes = (rect.right - rect.left) * g.h * 64 * static_cast<int>(sizeof(short));
        for (int r = rect.top * g.v; r < rect.bottom * g.v; ++r) {
            short* span = m_image->m_coef + g.offset
                + (static_cast<size_t>(r) * g.blocksPerRow + static_cast<size_t>(rect.left) * g.h) * 64;
            const int ok = save ? m_store->Write(span, bytes) : m_store->Read(span, bytes);
            if (!ok)
                return 0;
        }
    }
    return 1;
}

CDllUndoMan::~CDllUndoMan()
{
    Clear();
}

int CDllUndoMan::Do(CDllAction* action)
{
    if (!action)
        return 0;
    if (!m_owner->HasCoefficients()) {
        delete action;
        return 0;
    }
    // Room to keep the action is made before it runs, so a done edit is never
    // lost for want of memory.
    try {
        m_actions.reserve(m_actions.size() + 1);
    } catch (...) {
        delete action;
        return 0;
    }
    int result = 0;
    try {
        result = action->Do(m_owner, m_store);
    } catch (...) {
        result = 0;
    }
    if (!result) {
        delete action;
        return 0;
    }
    m_actions.push_back(action);
    return result;
}

int CDllUndoMan::Undo()
{
    if (m_actions.empty())
        return 0;
    CDllAction* action = m_actions.back();
    m_actions.pop_back();
    try {
        action->Undo();
    } catch (...) {
    }
    delete action;
    return 1;
}

void CDllUndoMan::Clear()
{
    for (CDllAction* a : m_actions)
        delete a;
    m_actions.clear();
}

void CDllImage::SetUndoStore(IUndoStore* store) { m_undo.SetStore(store); }
int CDllImage::Undo() { return m_undo.Undo(); }
