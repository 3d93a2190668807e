// The library's undo list: every coefficient edit is a CDllAction run through
// the image's CDllUndoMan.
#pragma once

#include "Kestrel.h"

#include <vector>

class CDllImage;

class CDllAction {
public:
    virtual ~CDllAction() = default;
    virtual int Execute() = 0;
    virtual void Revert() = 0;

    CDllImage* m_image = nullptr;
    IUndoStore* m_store = nullptr;
    int m_done = 0;
};

class CDllUndoMan {
public:
    explicit CDllUndoMan(CDllImage* owner) : m_owner(owner) {}
    virtual ~CDllUndoMan();
    CDllUndoMan(const CDllUndoMan&) = delete;
    CDllUndoMan& operator=(const CDllUndoMan&) = delete;

    // Takes ownership of the action; returns its Execute result.
    int Do(CDllAction* action);
    int Undo();
    void Clear();
    void SetStore(IUndoStore* store) { m_store = store; }

    CDllImage* m_owner;
    IUndoStore* m_store = nullptr;
    std::vector<CDllAction*> m_actions;
};
