// The library undo list.
#include "UndoMan.h"

#include "DllImage.h"

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
    action->m_image = m_owner;
    action->m_store = m_store;
    action->m_done = action->Execute();
    if (!action->m_done) {
        delete action;
        return 0;
    }
    m_actions.push_back(action);
    return action->m_done;
}

int CDllUndoMan::Undo()
{
    if (m_actions.empty())
        return 0;
    CDllAction* action = m_actions.back();
    m_actions.pop_back();
    if (action->m_store && action->m_done) {
        action->Revert();
        action->m_done = 0;
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
