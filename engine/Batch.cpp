// Macros and the macro list: running, the macro text and the profile value.
//
// The readers take text a user may have edited by hand; they cut records
// with the operation framework's lenient, bounded record reader, so a
// length that does not match its body shifts the reading but never reads
// outside the text.
#include "Batch.h"

#include "Action.h"
#include "KsImage.h"
#include "Operation.h"
#include "Profile.h"
#include "TextUtil.h"
#include "UndoMan.h"

#include <QRect>

#include <deque>

namespace {

const QString kSection = QStringLiteral("Macros");
const QString kEntry = QStringLiteral("List");

// "name,length,body", the form of macro records; the name escaped.
QString MacroRecord(const QString& name, const QString& body)
{
    return EscapeListValue(name) + u',' + IntToString(static_cast<int>(body.size())) + u',' + body;
}

// A list text as its macro records, each named by its macro's name.
std::vector<NamedEntry> MacroEntries(const QString& text)
{
    std::vector<NamedEntry> entries;
    QString rest = text;
    while (!rest.isEmpty()) {
        const ListRecord record = PopListRecord(rest);
        entries.emplace_back(UnescapeListValue(record.name), MacroRecord(UnescapeListValue(record.name), record.body));
    }
    return entries;
}

QString JoinMacroEntries(const std::vector<NamedEntry>& entries)
{
    QStringList records;
    for (const NamedEntry& entry : entries)
        records << entry.second;
    return records.join(u',');
}

const std::vector<IOperation*>& NoPrototypes()
{
    static const std::vector<IOperation*> none;
    return none;
}

} // namespace

// ---------------------------------------------------------------- CBatch

CBatch::CBatch(const QString& name)
    : m_strName(name)
{
}

CBatch::CBatch(const CBatch& other)
    : m_strName(other.m_strName)
{
    for (const IOperation* op : other.m_operations)
        if (IOperation* clone = op ? op->Clone() : nullptr)
            m_operations.push_back(clone);
}

CBatch& CBatch::operator=(const CBatch& other)
{
    if (this == &other)
        return *this;
    DeleteOperations();
    m_strName = other.m_strName;
    for (const IOperation* op : other.m_operations)
        if (IOperation* clone = op ? op->Clone() : nullptr)
            m_operations.push_back(clone);
    return *this;
}

CBatch::~CBatch()
{
    DeleteOperations();
}

void CBatch::DeleteOperations()
{
    for (IOperation* op : m_operations)
        delete op;
    m_operations.clear();
}

void CBatch::Apply(CKsImage* image, int withUndo, int* stopFlag, const QRect* keepClear)
{
    for (IOperation* op : m_operations) {
        // Checked per step: an edit that failed may have left nothing loaded.
        if (!image || !image->IsLoaded())
            return;
        if (!withUndo)
            op->SetAuto(1);
        IAction* edit = op->CreateAction(image, stopFlag);
        if (!edit)
            continue;
        if (withUndo) {
            // A step refused (no room for its undo data) ends the run: the
            // steps after it were meant for its result.
            if (!image->GetUndoMan()->AddAction(edit, keepClear))
                return;
        } else {
            edit->Do(image, 0, nullptr, keepClear);
            delete edit;
        }
    }
}

void CBatch::Finish()
{
    for (IOperation* op : m_operations)
        op->Finish();
}

QString CBatch::SaveToString() const
{
    QString body;
    for (const IOperation* op : m_operations) {
        if (!body.isEmpty())
            body += u',';
        body += op->SaveToString();
    }
    return body;
}

int CBatch::LoadFromString(const QString& body, const std::vector<IOperation*>* prototypes)
{
    DeleteOperations();
    QString rest = body;
    while (!rest.isEmpty()) {
        std::unique_ptr<IOperation> op = PopOperationRecord(rest, prototypes ? *prototypes : NoPrototypes());
        if (op)
            m_operations.push_back(op.release());
    }
    return 1;
}

// ------------------------------------------------------------ CBatchList

CBatchList::CBatchList()
    : m_stored(kSection, kEntry, MacroEntries, JoinMacroEntries)
{
}

CBatchList::~CBatchList()
{
    DeleteBatches();
}

void CBatchList::DeleteBatches()
{
    for (CBatch* batch : m_batches)
        delete batch;
    m_batches.clear();
}

QStringList CBatchList::GetNames() const
{
    QStringList names;
    for (const CBatch* batch : m_batches)
        names.append(batch->GetName());
    return names;
}

int CBatchList::Load(const std::vector<IOperation*>* prototypes)
{
    // A missing value gives the sample macro; an empty one (the user deleted
    // every macro) gives none.
    m_pPrototypes = prototypes;
    LoadFromString(m_stored.Load(GetDefaultList()), prototypes);
    m_strStored = SaveToString();
    return 1;
}

void CBatchList::Refresh()
{
    // Changes made here stay changes until they are saved.
    const QString mine = SaveToString();
    const bool changed = mine != m_strStored;
    LoadFromString(m_stored.Refresh(mine, changed, GetDefaultList()), m_pPrototypes);
    if (!changed) {
        m_strStored = SaveToString();
        return;
    }
    CBatchList stored;
    stored.LoadFromString(m_stored.Stored(), m_pPrototypes);
    m_strStored = stored.SaveToString();
}

void CBatchList::Save()
{
    const QString text = SaveToString();
    if (text == m_strStored)
        return;
    const QString merged = m_stored.Save(text, GetDefaultList());
    if (merged != text)
        LoadFromString(merged, m_pPrototypes);
    m_strStored = SaveToString();
}

QString CBatchList::SaveToString() const
{
    QString text;
    for (const CBatch* batch : m_batches) {
        if (!text.isEmpty())
            text += u',';
        text += MacroRecord(batch->GetName(), batch->SaveToString());
    }
    return text;
}

void CBatchList::LoadFromString(const QString& text, const std::vector<IOperation*>* prototypes)
{
    DeleteBatches();
    QString rest = text;
    while (!rest.isEmpty()) {
        const ListRecord record = PopListRecord(rest);
        auto* batch = new CBatch(UnescapeListValue(record.name));
        batch->LoadFromString(record.body, prototypes);
        m_batches.push_back(batch);
    }
}

// ---------------------------------------------------------- default list

namespace {

// One record of the sample macro, written by the operations' own record
// writer (COperation::SaveToString) from a key/value list, so every length
// is the one the rules give.
class CSampleRecord : public COperation {
public:
    explicit CSampleRecord(const char* name)
        : COperation(name, "")
    {
        SetAuto(1);
    }
    CSampleRecord& Int(const char* key, int value)
    {
        AddIntParam(QString::fromUtf8(key), &m_ints.emplace_back(value));
        return *this;
    }
    CSampleRecord& Str(const char* key, const char* value)
    {
        AddStringParam(QString::fromUtf8(key), &m_strings.emplace_back(QString::fromUtf8(value)));
        return *this;
    }

    COperation* CreateNew() const override { return nullptr; }
    void UpdatePage() override {}
    IOperationPage* GetPage() override { return nullptr; }
    IAction* CreateAction(CKsImage*, int*) override { return nullptr; }

private:
    std::deque<int> m_ints; // deques: the registered addresses stay put
    std::deque<QString> m_strings;
};

void TextStyleKeys(CSampleRecord& r, const char* prefix, std::initializer_list<int> ints,
                   std::initializer_list<const char*> strings)
{
    static const char* const intKeys[] = {"AntiAlias", "Bold", "Italic", "Manual", "Use", "UseBG", "Color",
                                          "ColorBG", "ColorSh", "Effect", "EffWidth", "FontSize", "Margin",
                                          "Opacity", "OpacityBG", "PaddingX", "PaddingY", "Placement"};
    static const char* const stringKeys[] = {"Font", "Name1", "Name2", "Name3", "Template"};
    const std::string p(prefix);
    size_t i = 0;
    for (int value : ints)
        r.Int((p + intKeys[i++]).c_str(), value);
    i = 0;
    for (const char* value : strings)
        r.Str((p + stringKeys[i++]).c_str(), value);
}

} // namespace

QString CBatchList::GetDefaultList()
{
    CSampleRecord rotate("Rotate/Flip");
    rotate.Int("Rotate", 1).Int("Flip", 0).Int("Automatic", 1);

    CSampleRecord text("Insert Text");
    text.Int("CurTab", 1).Int("LocaleEX", 1033).Int("LocaleCT", 1033);
    text.Str("DateFormat", "M/d/yyyy").Str("TimeFormat", "h:mm tt");
    text.Int("UseFileTime", 1).Int("ScaleSizes", 1);
    TextStyleKeys(text, "exif_", {1, 0, 0, 1, 1, 0, 65535, 0, 0, 2, 1, 48, 5, 100, 48, 10, 10, 8},
                  {"Arial", "Date", "", "", "%d"});
    TextStyleKeys(text, "cust_", {1, 1, 0, 1, 0, 0, 8454143, 16744448, 0, 3, 1, 200, 0, 67, 5, 0, 0, 4},
                  {"Arial", "<Custom Text>", "<Custom Text>", "<Custom Text>", "%C Pixmend"});

    CSampleRecord crop("Crop");
    crop.Int("AlignSelectionByBlock", 0).Int("AlignSelectionByBlockSE", 0).Int("AllowOutwardSel", 1);
    crop.Int("AutoCancelSelection", 1).Int("AutoFlipAspect", 1).Int("FadeOutsideArea", 1);
    crop.Int("FlipAspect", 1).Int("RunningAnts", 1).Int("CanvasColor", 16777215);
    crop.Str("CropPreset", "0;6.00;4.00;4\"x6\";2");
    crop.Int("PartialBlocksMode", 2).Int("Position", 2);
    crop.Int("Left", 416).Int("Top", 16).Int("Right", 733).Int("Bottom", 489).Int("CurTab", 0);

    CSampleRecord save("Save");
    save.Int("CurTab", 0).Int("CompressionMode", 0).Int("Quality", 100).Int("ColorSampling", 0);
    save.Int("OptHuffmanTable", 1).Int("UseSaveAsSuffix", 1).Str("SaveAsSuffix", "_upd");
    save.Int("RetainOriginalTime", 1).Int("OriginalSaveAsFolder", 1).Int("AutoSave", 0);
    save.Int("ConfirmSave", 0).Int("SaveComments", 1).Int("SaveEXIF", 1).Int("GenerateEXIFThumb", 2);
    save.Int("EXIFThumbSize", 160).Int("UseSaveSuffix", 1).Str("SaveSuffix", "_crop4x6");

    const QString body = rotate.SaveToString() + u',' + text.SaveToString() + u',' + crop.SaveToString() + u','
        + save.SaveToString();
    return MacroRecord(QStringLiteral("Sample - 4x6 Fit-in Crop + Datestamp"), body);
}
