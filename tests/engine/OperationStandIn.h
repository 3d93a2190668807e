// Stand-in operation kinds, page and sheet for the framework's tests.
#pragma once

#include "Operation.h"
#include "OperationPage.h"

#include <algorithm>
#include <vector>

namespace optest {

// Registers the parameters of the default macro's rotate step, and keeps one
// member unregistered.
class CStandInRotate : public COperation {
public:
    CStandInRotate()
        : COperation("Rotate/Flip", "Rotate_Flip")
    {
        AddIntParam(QStringLiteral("Rotate"), &rotate);
        AddIntParam(QStringLiteral("Flip"), &flip);
        AddIntParam(QStringLiteral("Automatic"), &automatic);
    }
    COperation* CreateNew() const override { return new CStandInRotate; }
    void UpdatePage() override {}
    IOperationPage* GetPage() override { return nullptr; }
    IAction* CreateAction(CKsImage*, int*) override { return nullptr; }

    int rotate = 0;
    int flip = 0;
    int automatic = 0;
    int unregistered = 7;
};

// Strings and ints mixed, a page from the factory of its section.
class CStandInText : public COperation {
public:
    struct Block {
        int count = 3;
        QString note = QStringLiteral("default note");
        QString title = QStringLiteral("default title");
    };
    explicit CStandInText(const char* section = "StandIn")
        : COperation("Stand-in", section)
    {
        AddStringParam(QStringLiteral("Note"), &block.note);
        AddIntParam(QStringLiteral("Count"), &block.count);
        AddStringParam(QStringLiteral("Title"), &block.title);
    }
    COperation* CreateNew() const override { return new CStandInText(GetRegistrySection().toUtf8().constData()); }
    void UpdatePage() override
    {
        if (m_pPage)
            m_pPage->BindParams(&block);
    }
    IOperationPage* GetPage() override { return CreatePageOnce(); }
    IAction* CreateAction(CKsImage*, int*) override { return nullptr; }

    Block block;
};

class CStandInPage : public IOperationPage {
public:
    explicit CStandInPage(int* deletions)
        : m_deletions(deletions)
    {
    }
    ~CStandInPage() override { ++*m_deletions; }
    void SetBatchMode(int flag) override { batch = flag; }
    int IsBatchMode() const override { return batch; }
    void BindParams(void* p) override { params = p; }
    void ReleaseParams() override { params = nullptr; }
    void Refill() override { ++refills; }
    int HasWindow() const override { return window; }

    int batch = -1;
    void* params = nullptr;
    int refills = 0;
    int window = 0;

private:
    int* m_deletions;
};

class CStandInSheet : public IPageSheet {
public:
    int SetActivePage(IOperationPage* page) override
    {
        ++activations;
        if (std::find(pages.begin(), pages.end(), page) == pages.end())
            return 0;
        active = page;
        return 1;
    }
    void AddPage(IOperationPage* page) override { pages.push_back(page); }
    void RemovePage(IOperationPage* page) override
    {
        pages.erase(std::remove(pages.begin(), pages.end(), page), pages.end());
        if (active == page)
            active = nullptr;
    }

    std::vector<IOperationPage*> pages;
    IOperationPage* active = nullptr;
    int activations = 0;
};

} // namespace optest
