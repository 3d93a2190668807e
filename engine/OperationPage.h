// The editor page of an operation and the sheet that shows it, as the engine
// sees them: two small interfaces without widgets. The dialogs' COperationDlg
// and CPropertySheet implement them; the engine only binds, shows and frees.
//
// Ownership: an operation owns its page (created once through the factory
// below, deleted with the operation or by COperation::DeletePage). A sheet
// never deletes a page it shows: removing a page, or destroying the sheet,
// hands the page back alive. A page deleted while a sheet still shows it
// leaves that sheet by itself (the widget's own destruction takes care of it).
#pragma once

#include <QString>

#include <functional>

class COperation;

class IOperationPage {
public:
    virtual ~IOperationPage() = default;

    // The macro-context flag: 1 in the macro editor, 0 elsewhere.
    virtual void SetBatchMode(int flag) = 0;
    virtual int IsBatchMode() const = 0;
    // Binds the page to its kind's parameter block (the kind decides the
    // type); from then on every control change is written there at once.
    virtual void BindParams(void* params) = 0;
    // Forgets the block; the page touches it no more.
    virtual void ReleaseParams() = 0;
    // Reloads the controls from the bound block (when the window exists).
    virtual void Refill() = 0;
    // Whether the page's window exists now.
    virtual int HasWindow() const = 0;
};

class IPageSheet {
public:
    virtual ~IPageSheet() = default;

    // Makes the page the sheet's current one; 0 when the sheet does not hold it.
    virtual int SetActivePage(IOperationPage* page) = 0;
    // Appends the page (not owned); the sheet creates its window when needed.
    virtual void AddPage(IOperationPage* page) = 0;
    // Takes the page out of the sheet without deleting it; nothing when absent.
    virtual void RemovePage(IOperationPage* page) = 0;
};

// Editor pages are created per kind through factories that the dialogs
// register at start-up. A kind is named by its registry section ("Rotate_Flip",
// "Crop", "Resize", "Color", "Grayscale", "RedEye", "Text", "Reconstruct",
// "Save", "Email"). The factory returns a new page owned by the caller.
using OperationPageFactory = std::function<IOperationPage*(COperation& operation)>;

// Registers (or, with an empty factory, removes) the factory of one kind;
// a later registration replaces an earlier one.
void RegisterOperationPageFactory(const QString& kind, OperationPageFactory factory);
// A new page of the kind, or null when no factory is registered for it.
IOperationPage* CreateOperationPage(const QString& kind, COperation& operation);
