// engine/: the library binding, actions, undo, operations, macros, settings,
// the command ids and the program's web addresses. QtCore and QtGui only, no
// widgets; it may include KestrelLib/include and platform/, nothing above.
//
// Operations: parameterised, reusable descriptions of one edit. An operation
// is not undoable itself; for one image it makes an edit (IAction) that the
// undo manager records.
//
// Every kind registers its parameters once (OperationParam: key, address of
// the member, kind of value), "ManualInput" and "Auto" first. Three forms are
// derived from that one list without code of the kind's own:
//   - the one-line operation text, a record "name,length,body" where the body
//     is "key,value,key,value..." with string values escaped
//     (EscapeListValue) and the length counted in UTF-16 code units;
//   - the registry section of the profile, one value per parameter;
//   - the editor page, bound to the kind's parameter block.
// A member that is not registered is neither persisted nor copied.
//
// Operations live on the user-interface thread only.
#pragma once

#include <QString>

#include <memory>
#include <vector>

class CKsImage;
class COperation;
class IAction;
class IOperationPage;
class IPageSheet;

// One registered parameter. `value` points at a member of the operation that
// registered it, so records are never shared or copied between operations.
struct OperationParam {
    enum Kind { kString = 0, kInt = 1 };
    QString key;
    void* value = nullptr; // QString* for kString, int* for kInt
    int kind = kInt;       // any other kind is ignored by every routine
};

class IOperation {
public:
    virtual ~IOperation() = default;
    // A new operation of the same kind with equal parameters; caller owns it.
    virtual IOperation* Clone() const = 0;
    virtual QString SaveToString() const = 0;
    // Reads "key,value" pairs into the parameters; always 1.
    virtual int LoadFromString(const QString& text) = 0;
    virtual void SaveToRegistry() const = 0;
    virtual void LoadFromRegistry() = 0;
    virtual QString GetName() const = 0;
    // A new edit for `image`, owned by the caller, or null. A kind may set
    // *stopFlag to 1 to ask the caller to stop a run over several files.
    virtual IAction* CreateAction(CKsImage* image, int* stopFlag) = 0;
    // Called once after the last image of a run.
    virtual void Finish() = 0;
    // Binds the editor page and shows it in `sheet`; 0 when there is none.
    virtual int AddPage(IPageSheet* sheet, int batchMode) = 0;
    // Whether the page's window exists (may create the page object, never
    // its window). The argument is ignored.
    virtual int HasPageWindow(int ignored = 0) = 0;
    virtual void RemovePage(IPageSheet* sheet) = 0;
    virtual void CopyParamsTo(COperation* target) const = 0;
    virtual int GetManualInput() const = 0;
    virtual void SetManualInput(int value) = 0;
    virtual int GetAuto() const = 0;
    virtual void SetAuto(int value) = 0;
    // Offered in the macro editor.
    virtual int IsBatchOperation() const = 0;
    // Offered on the "Defaults" preference page.
    virtual int IsDefaultOperation() const = 0;
};

class COperation : public IOperation {
public:
    ~COperation() override;
    COperation(const COperation&) = delete;
    COperation& operator=(const COperation&) = delete;

    // CreateNew, then CopyParamsTo the new operation. The clone has no page;
    // unregistered members keep what the kind's CreateNew gives them.
    COperation* Clone() const override;
    QString SaveToString() const override;
    int LoadFromString(const QString& text) override;
    // Nothing for a kind without a section (paste): it never touches the profile.
    void SaveToRegistry() const override;
    void LoadFromRegistry() override;
    QString GetName() const override { return m_strName; }
    void SetName(const QString& name) { m_strName = name; }
    QString GetRegistrySection() const { return m_strSection; }
    void Finish() override {}
    int AddPage(IPageSheet* sheet, int batchMode) override;
    int HasPageWindow(int ignored = 0) override;
    void RemovePage(IPageSheet* sheet) override;
    // Copies value by value into the target's matching entry. A target whose
    // list differs (another kind) gets nothing.
    void CopyParamsTo(COperation* target) const override;
    int GetManualInput() const override { return m_nManualInput; }
    void SetManualInput(int value) override { m_nManualInput = value; }
    int GetAuto() const override { return m_nAuto; }
    void SetAuto(int value) override { m_nAuto = value; }
    int IsBatchOperation() const override { return 1; }
    int IsDefaultOperation() const override { return 1; }

    // Deletes the page object, if any, and forgets it.
    void DeletePage();
    // The page if it was created already; never creates one.
    IOperationPage* GetExistingPage() const { return m_pPage; }

    const std::vector<std::unique_ptr<OperationParam>>& GetParams() const { return m_params; }

    // A new default-constructed operation of the same kind; caller owns it.
    virtual COperation* CreateNew() const = 0;
    // Hands the page the address of this operation's parameter block.
    virtual void UpdatePage() = 0;
    // The editor page, created on the first call and kept; null for a kind
    // without one. Kinds usually answer with CreatePageOnce().
    virtual IOperationPage* GetPage() = 0;

protected:
    // Takes the display name and the registry section; registers
    // "ManualInput" and "Auto".
    COperation(const char* name, const char* section);

    void AddIntParam(const QString& key, int* member);
    void AddStringParam(const QString& key, QString* member);
    // The page from the factory registered for this kind's section, created
    // on the first call; null when none is registered.
    IOperationPage* CreatePageOnce();

    IOperationPage* m_pPage = nullptr;

private:
    std::vector<std::unique_ptr<OperationParam>> m_params;
    QString m_strName;
    QString m_strSection;
    int m_nManualInput = 0;
    int m_nAuto = 0;
};

// One record cut off the front of an operation or macro text.
struct ListRecord {
    QString name;
    QString body;
};

// Cuts "name,length,body" (and the one separator after the body) off the
// front of `text`. The length is read leniently; a length of 0 or less gives
// an empty body, a length past the end takes what is left. A wrong length is
// not detected: the next record then starts inside or after the real one.
ListRecord PopListRecord(QString& text);

// Reads one operation record off the front of `text`: a clone of the
// prototype whose display name equals the record's name, loaded from the
// body and set to Auto 1; null (the record consumed) when no name matches.
std::unique_ptr<IOperation> PopOperationRecord(QString& text, const std::vector<IOperation*>& prototypes);
