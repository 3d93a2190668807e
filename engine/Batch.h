// Macros: CBatch, a named list of operations run one after another on one
// image, and CBatchList, all macros, kept in the profile as one text value
// (section "Macros", value "List").
//
// Macro text: name, ",", the length of the body in UTF-16 code units, ",",
// the body; the body is the operation records of the macro joined with ",".
// The list text joins the macro records with ",". A name is written through
// EscapeListValue, so one with "," or "\" survives; names without them read
// as they always did. Damaged text reads by the operation reader's lenient
// rules: records that match no operation kind are skipped.
//
// User-interface thread only.
#pragma once

#include "Profile.h"

#include <QString>
#include <QStringList>

#include <vector>

class CKsImage;
class IOperation;
class QRect;

class CBatch {
public:
    explicit CBatch(const QString& name = QString());
    // Copies clone every operation of `other`.
    CBatch(const CBatch& other);
    CBatch& operator=(const CBatch& other);
    virtual ~CBatch();

    QString GetName() const { return m_strName; }
    void SetName(const QString& name) { m_strName = name; }
    // The operations in run order, owned by the macro; the macro editor
    // changes this vector in place.
    std::vector<IOperation*>& GetOperations() { return m_operations; }
    const std::vector<IOperation*>& GetOperations() const { return m_operations; }

    // Runs every operation on `image`. withUndo 0 (a run over files) sets
    // Auto on each operation first and performs the edits directly; otherwise
    // they go to the image's undo manager. Operations that make no edit are
    // passed over. keepClear (screen coordinates, may be null) is the window
    // that edits with a progress window of their own keep clear of. The stop
    // flag is left to the caller: an operation that sets it does not stop
    // the rest on this image. An image that is not loaded gets no edit.
    void Apply(CKsImage* image, int withUndo, int* stopFlag, const QRect* keepClear);
    // Finish of every operation, in order, once after the last image.
    void Finish();

    // The body: the operation records joined with ",".
    QString SaveToString() const;
    // Replaces the operations by those read from `body`, each a clone of the
    // prototype of its name with Auto 1. Null prototypes match nothing.
    int LoadFromString(const QString& body, const std::vector<IOperation*>* prototypes);

private:
    void DeleteOperations();

    QString m_strName;
    std::vector<IOperation*> m_operations;
};

class CBatchList {
public:
    CBatchList();
    CBatchList(const CBatchList&) = delete;
    CBatchList& operator=(const CBatchList&) = delete;
    virtual ~CBatchList();

    // The macros in display order, owned by the list.
    std::vector<CBatch*>& GetBatches() { return m_batches; }
    const std::vector<CBatch*>& GetBatches() const { return m_batches; }
    QStringList GetNames() const;

    // Reads the list as the profile's file holds it now: the default list
    // when the value is missing, no macros when it is empty. Returns 1.
    int Load(const std::vector<IOperation*>* prototypes);
    // This list with what other copies changed in the file since the last
    // Load or Save folded in; its own changes are still to be saved.
    void Refresh();
    // Writes the list as it stands (its order, names and duplicates), with
    // what another running copy changed in the file since the last Load or
    // Save folded in (MergeIntoMine); afterwards the list is that merged
    // list. A list the user did not change keeps its stored (perhaps
    // hand-edited) value.
    void Save();

    // The list text of the macros as they are now.
    QString SaveToString() const;
    // Replaces the macros by those read from a list text.
    void LoadFromString(const QString& text, const std::vector<IOperation*>* prototypes);

    // The list text of the one sample macro used when the profile has none.
    static QString GetDefaultList();

private:
    void DeleteBatches();

    std::vector<CBatch*> m_batches;
    QString m_strStored; // list text of the macros as last loaded or saved
    const std::vector<IOperation*>* m_pPrototypes = nullptr; // as given to Load
    CProfileList m_stored;
};
