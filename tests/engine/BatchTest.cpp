// Macros and the macro list: the sample text, the profile value (missing,
// empty, hand-edited), round trips, running a macro with and without undo,
// and fuzzed list texts (meant to run clean under ASan/UBSan).
#include "EngineTest.h"
#include "SaveBoxes.h"

#include "Batch.h"
#include "OperSave.h"
#include "Operation.h"
#include "Profile.h"
#include "TextUtil.h"

#include <QRect>

#include <deque>
#include <random>

using namespace etest;
using testjpeg::TempDir;
namespace fs = std::filesystem;

namespace {

struct Log {
    std::vector<std::string> events;
    std::vector<const void*> args;
};

class CArgAction : public CAction {
public:
    CArgAction(std::string name, Log* log)
        : m_name(std::move(name))
        , m_log(log)
    {
    }
    ~CArgAction() override { m_log->events.push_back("delete " + m_name); }
    IAction* Clone() const override { return new CArgAction(m_name, m_log); }
    QString GetName() const override { return QString::fromStdString(m_name); }
    int IsBitmapEdit() const override { return 0; }

protected:
    void Apply(const void* arg) override
    {
        m_log->events.push_back("do " + m_name + (m_recordUndo ? " undo" : ""));
        m_log->args.push_back(arg);
    }
    void Revert() override {}

private:
    std::string m_name;
    Log* m_log;
};

// A stand-in operation kind with any keys. It can make an edit, or set the
// stop flag, and logs its calls.
class CKind : public COperation {
public:
    CKind(const std::string& name, std::vector<QString> ints, std::vector<QString> strings, Log* log = nullptr)
        : COperation(name.c_str(), "")
        , m_name(name)
        , m_intKeys(std::move(ints))
        , m_stringKeys(std::move(strings))
        , m_log(log)
    {
        for (const QString& k : m_intKeys)
            AddIntParam(k, &m_ints.emplace_back(0));
        for (const QString& k : m_stringKeys)
            AddStringParam(k, &m_strings.emplace_back());
    }
    COperation* CreateNew() const override
    {
        auto* op = new CKind(m_name, m_intKeys, m_stringKeys, m_log);
        op->makesEdit = makesEdit;
        op->setsStop = setsStop;
        return op;
    }
    void UpdatePage() override {}
    IOperationPage* GetPage() override { return nullptr; }
    IAction* CreateAction(CKsImage*, int* stopFlag) override
    {
        if (m_log)
            m_log->events.push_back("create " + m_name + " auto " + std::to_string(GetAuto()));
        if (setsStop && stopFlag)
            *stopFlag = 1;
        return makesEdit ? new CArgAction(m_name, m_log) : nullptr;
    }
    void Finish() override
    {
        if (m_log)
            m_log->events.push_back("finish " + m_name);
    }

    bool makesEdit = false;
    bool setsStop = false;

private:
    std::string m_name;
    std::vector<QString> m_intKeys, m_stringKeys;
    std::deque<int> m_ints;
    std::deque<QString> m_strings;
    Log* m_log;
};

// A parameter's value as text ("" when the key is not registered).
QString Param(const IOperation* op, const QString& key)
{
    const auto* c = dynamic_cast<const COperation*>(op);
    for (const auto& p : c->GetParams()) {
        if (p->key != key)
            continue;
        return p->kind == OperationParam::kInt ? IntToString(*static_cast<const int*>(p->value))
                                               : *static_cast<const QString*>(p->value);
    }
    return QStringLiteral("<none>");
}

std::vector<QString> Keys(std::initializer_list<const char*> keys, const char* prefix = "")
{
    std::vector<QString> out;
    for (const char* k : keys)
        out.push_back(QString::fromUtf8(prefix) + QString::fromUtf8(k));
    return out;
}

// Stand-ins for the kinds of the sample macro with their keys, AntiAlias
// not among the text kind's; the real save operation.
struct SampleKinds {
    CKind rotate{"Rotate/Flip", Keys({"Rotate", "Flip", "Automatic"}), {}};
    CKind text{"Insert Text", TextInts(), TextStrings()};
    CKind crop{"Crop",
               Keys({"AlignSelectionByBlock", "AlignSelectionByBlockSE", "AllowOutwardSel", "AutoCancelSelection",
                     "AutoFlipAspect", "FadeOutsideArea", "FlipAspect", "RunningAnts", "CanvasColor",
                     "PartialBlocksMode", "Position", "Left", "Top", "Right", "Bottom", "CurTab"}),
               Keys({"CropPreset"})};
    COperSave save;
    std::vector<IOperation*> prototypes{&rotate, &crop, &text, &save};

    static std::vector<QString> TextInts()
    {
        auto keys = Keys({"CurTab", "LocaleEX", "LocaleCT", "UseFileTime", "ScaleSizes"});
        for (const char* prefix : {"exif_", "cust_"})
            for (const QString& k : Keys({"Bold", "Italic", "Manual", "Use", "UseBG", "Color", "ColorBG", "ColorSh",
                                          "Effect", "EffWidth", "FontSize", "Margin", "Opacity", "OpacityBG",
                                          "PaddingX", "PaddingY", "Placement"},
                                         prefix))
                keys.push_back(k);
        return keys;
    }
    static std::vector<QString> TextStrings()
    {
        auto keys = Keys({"DateFormat", "TimeFormat"});
        for (const char* prefix : {"exif_", "cust_"})
            for (const QString& k : Keys({"Font", "Name1", "Name2", "Name3", "Template"}, prefix))
                keys.push_back(k);
        return keys;
    }
};

// A profile in a temporary file for one test; Restart closes and reopens it
// as a new start of the program would.
class BatchListTest : public testing::Test {
protected:
    void SetUp() override { CProfile::SetFilePath(File()); }
    void TearDown() override { CProfile::Close(); }
    QString File() const { return Q(m_dir / "Pixmend.conf"); }
    void Restart()
    {
        CProfile::Close();
        CProfile::SetFilePath(File());
    }
    static bool Stored() { return CProfile::HasProfileValue(QStringLiteral("Macros"), QStringLiteral("List")); }
    static QString StoredText() { return CProfile::GetProfileString(QStringLiteral("Macros"), QStringLiteral("List")); }
    static void Store(const QString& text)
    {
        CProfile::WriteProfileString(QStringLiteral("Macros"), QStringLiteral("List"), text);
    }

    TempDir m_dir;
};

TEST(Batch, DefaultListIsBuiltByTheRules)
{
    QString list = CBatchList::GetDefaultList();
    EXPECT_EQ(list.size(), 1609);
    QString copy = list;
    const ListRecord macro = PopListRecord(copy);
    EXPECT_TRUE(copy.isEmpty());
    EXPECT_EQ(macro.name, QStringLiteral("Sample - 4x6 Fit-in Crop + Datestamp"));
    EXPECT_EQ(macro.body.size(), 1567);
    EXPECT_TRUE(list.startsWith(QStringLiteral("Sample - 4x6 Fit-in Crop + Datestamp,1567,")));

    QString body = macro.body;
    const std::vector<std::pair<QString, int>> want = {
        {"Rotate/Flip", 48}, {"Insert Text", 868}, {"Crop", 301}, {"Save", 298}};
    for (const auto& [name, length] : want) {
        const QString before = body;
        const ListRecord r = PopListRecord(body);
        EXPECT_EQ(r.name, name);
        EXPECT_EQ(r.body.size(), length) << name.toStdString();
        EXPECT_TRUE(r.body.startsWith(QStringLiteral("ManualInput,0,Auto,1,")));
        EXPECT_TRUE(before.startsWith(name + u',' + IntToString(length) + u',' + r.body));
    }
    EXPECT_TRUE(body.isEmpty());
    EXPECT_TRUE(macro.body.startsWith(QStringLiteral("Rotate/Flip,48,ManualInput,0,Auto,1,Rotate,1,Flip,0,Automatic,1,")));
    EXPECT_TRUE(list.contains(QStringLiteral(",exif_AntiAlias,1,exif_Bold,0,")));
    EXPECT_TRUE(list.contains(QStringLiteral(",CropPreset,0;6.00;4.00;4\"x6\";2,")));
    EXPECT_TRUE(list.endsWith(QStringLiteral(",UseSaveSuffix,1,SaveSuffix,_crop4x6")));
}

TEST_F(BatchListTest, MissingValueGivesTheSampleEmptyValueNone)
{
    SampleKinds kinds;
    CBatchList list;
    ASSERT_FALSE(Stored());
    EXPECT_EQ(list.Load(&kinds.prototypes), 1);
    ASSERT_EQ(list.GetNames(), QStringList{QStringLiteral("Sample - 4x6 Fit-in Crop + Datestamp")});
    const auto& ops = list.GetBatches()[0]->GetOperations();
    ASSERT_EQ(ops.size(), 4u);
    std::vector<QString> names;
    for (const IOperation* op : ops) {
        names.push_back(op->GetName());
        EXPECT_EQ(op->GetAuto(), 1);
    }
    EXPECT_EQ(names, (std::vector<QString>{"Rotate/Flip", "Insert Text", "Crop", "Save"}));
    EXPECT_EQ(Param(ops[0], "Automatic"), "1");
    EXPECT_EQ(Param(ops[1], "exif_FontSize"), "48");
    EXPECT_EQ(Param(ops[1], "exif_Name1"), "Date");
    EXPECT_EQ(Param(ops[1], "cust_Template"), "%C Pixmend");
    EXPECT_EQ(Param(ops[1], "exif_AntiAlias"), "<none>");
    EXPECT_EQ(Param(ops[2], "CropPreset"), "0;6.00;4.00;4\"x6\";2");
    EXPECT_EQ(Param(ops[2], "Bottom"), "489");
    const auto* save = dynamic_cast<const COperSave*>(ops[3]);
    ASSERT_NE(save, nullptr);
    EXPECT_EQ(save->GetSettings().SaveSuffix, QStringLiteral("_crop4x6"));
    EXPECT_EQ(save->GetSettings().Quality, 100);
    EXPECT_EQ(save->GetSettings().GenerateEXIFThumb, 2);

    // Unchanged, the list is not written: the value stays missing.
    list.Save();
    EXPECT_FALSE(Stored());

    // Deleting every macro stores an empty value, and the next start shows none.
    for (CBatch* b : list.GetBatches())
        delete b;
    list.GetBatches().clear();
    list.Save();
    EXPECT_TRUE(Stored());
    EXPECT_EQ(StoredText(), QString());
    Restart();
    CBatchList next;
    next.Load(&kinds.prototypes);
    EXPECT_TRUE(next.GetBatches().empty());
    next.Save();
    Restart();
    next.Load(&kinds.prototypes);
    EXPECT_TRUE(next.GetBatches().empty());

    // Null prototypes: the macro stays, with no operations.
    Restart();
    CProfile::Close();
    CProfile::SetFilePath(Q(m_dir / "other.conf"));
    next.Load(nullptr);
    ASSERT_EQ(next.GetBatches().size(), 1u);
    EXPECT_TRUE(next.GetBatches()[0]->GetOperations().empty());
}

TEST_F(BatchListTest, SaveAndLoadKeepNamesOrderAndParameters)
{
    SampleKinds kinds;
    CBatchList list;
    const QStringList names = {"Plain", "a,b\\c", "ends in \\", "Third"};
    for (int i = 0; i < names.size(); ++i) {
        auto* b = new CBatch(names[i]);
        auto* crop = static_cast<COperation*>(kinds.crop.Clone());
        crop->LoadFromString(QStringLiteral("Left,%1,CropPreset,x\\,y\\\\z").arg(i));
        auto* save = static_cast<COperSave*>(kinds.save.Clone());
        save->GetSettings().DstFolder = QStringLiteral("out,%1\\").arg(i);
        save->SetManualInput(1);
        if (i % 2)
            b->GetOperations() = {save, crop};
        else
            b->GetOperations() = {crop, save};
        for (IOperation* op : b->GetOperations())
            op->SetAuto(1);
        list.GetBatches().push_back(b);
    }
    const QString text = list.SaveToString();
    list.Save();
    EXPECT_EQ(StoredText(), text);
    // Names without "," or "\" are written as they stand.
    EXPECT_TRUE(text.startsWith(QStringLiteral("Plain,")));
    EXPECT_TRUE(text.contains(QStringLiteral(",a\\,b\\\\c,")));

    Restart();
    CBatchList loaded;
    loaded.Load(&kinds.prototypes);
    EXPECT_EQ(loaded.GetNames(), names);
    ASSERT_EQ(loaded.GetBatches().size(), list.GetBatches().size());
    for (size_t i = 0; i < list.GetBatches().size(); ++i) {
        const auto& a = list.GetBatches()[i]->GetOperations();
        const auto& b = loaded.GetBatches()[i]->GetOperations();
        ASSERT_EQ(a.size(), b.size());
        for (size_t j = 0; j < a.size(); ++j)
            EXPECT_EQ(a[j]->SaveToString(), b[j]->SaveToString());
    }
    EXPECT_EQ(Param(loaded.GetBatches()[1]->GetOperations()[1], "CropPreset"), "x,y\\z");
    EXPECT_EQ(loaded.SaveToString(), text);
}

TEST_F(BatchListTest, HandEditedListIsRewrittenOnlyAfterAChange)
{
    SampleKinds kinds;
    // A damaged length and a kind that does not exist: read leniently.
    const QString hand = QStringLiteral("Mine,999,Nothing,3,a,b,Crop,9,Left,7,x");
    Store(hand);
    CBatchList list;
    list.Load(&kinds.prototypes);
    ASSERT_EQ(list.GetNames(), QStringList{"Mine"});
    list.Save();
    EXPECT_EQ(StoredText(), hand);

    list.GetBatches()[0]->SetName(QStringLiteral("Renamed"));
    list.Save();
    EXPECT_TRUE(StoredText().startsWith(QStringLiteral("Renamed,")));
    EXPECT_EQ(StoredText(), list.SaveToString());
}

TEST_F(BatchListTest, FileRunSetsAutoInTheSavedList)
{
    TempDir dir;
    CKsImage image(RealLib());
    ASSERT_EQ(image.Load(Q(WriteJpeg(dir / "a.jpg", 32, 32)), 0), 1);
    SampleKinds kinds;
    CBatchList list;
    auto* b = new CBatch(QStringLiteral("Run"));
    b->GetOperations() = {kinds.rotate.Clone(), kinds.crop.Clone()};
    list.GetBatches().push_back(b);
    list.Save();
    EXPECT_TRUE(StoredText().contains(QStringLiteral("Auto,0")));

    int stop = 0;
    b->Apply(&image, 0, &stop, nullptr);
    list.Save();
    EXPECT_FALSE(StoredText().contains(QStringLiteral("Auto,0")));
    EXPECT_EQ(StoredText().count(QStringLiteral("ManualInput,0,Auto,1,")), 2);
}

TEST(Batch, ApplyWithAndWithoutUndo)
{
    Log log; // outlives the image, whose undo manager keeps logging actions
    TempDir dir;
    CKsImage image(RealLib());
    ASSERT_EQ(image.Load(Q(WriteJpeg(dir / "a.jpg", 32, 32)), 0), 1);
    CKind edit("Edit", {}, {}, &log);
    edit.makesEdit = true;
    CKind stopper("Stop", {}, {}, &log);
    stopper.setsStop = true;

    CBatch batch(QStringLiteral("m"));
    batch.GetOperations() = {edit.Clone(), stopper.Clone(), edit.Clone()};
    const QRect keepClear(10, 20, 300, 100);

    int stop = 0;
    batch.Apply(&image, 1, &stop, &keepClear);
    EXPECT_EQ(log.events, (std::vector<std::string>{"create Edit auto 0", "do Edit undo", "create Stop auto 0",
                                                    "create Edit auto 0", "do Edit undo"}));
    EXPECT_EQ(log.args, (std::vector<const void*>{&keepClear, &keepClear}));
    EXPECT_EQ(stop, 1); // set by the second step, read by the caller only
    EXPECT_EQ(image.GetUndoMan()->GetActionCount(), 2);

    log = {};
    stop = 0;
    batch.Apply(&image, 0, &stop, nullptr);
    EXPECT_EQ(log.events, (std::vector<std::string>{"create Edit auto 1", "do Edit", "delete Edit",
                                                    "create Stop auto 1", "create Edit auto 1", "do Edit",
                                                    "delete Edit"}));
    EXPECT_EQ(log.args, (std::vector<const void*>{nullptr, nullptr}));
    EXPECT_EQ(image.GetUndoMan()->GetActionCount(), 2);

    log = {};
    batch.Finish();
    EXPECT_EQ(log.events, (std::vector<std::string>{"finish Edit", "finish Stop", "finish Edit"}));

    // An image that is not loaded gets nothing.
    log = {};
    CKsImage closed(RealLib());
    batch.Apply(&closed, 0, &stop, nullptr);
    batch.Apply(nullptr, 1, nullptr, nullptr);
    EXPECT_TRUE(log.events.empty());
}

TEST(Batch, CopiesCloneTheOperations)
{
    SampleKinds kinds;
    CBatch a(QStringLiteral("A"));
    a.GetOperations() = {kinds.rotate.Clone(), kinds.save.Clone()};
    a.GetOperations()[0]->LoadFromString(QStringLiteral("Rotate,3"));

    CBatch b(a);
    EXPECT_EQ(b.GetName(), QStringLiteral("A"));
    ASSERT_EQ(b.GetOperations().size(), 2u);
    EXPECT_NE(b.GetOperations()[0], a.GetOperations()[0]);
    EXPECT_EQ(b.SaveToString(), a.SaveToString());

    CBatch c(QStringLiteral("C"));
    c.GetOperations() = {kinds.crop.Clone()};
    c = a;
    EXPECT_EQ(c.GetName(), QStringLiteral("A"));
    EXPECT_EQ(c.SaveToString(), a.SaveToString());
    EXPECT_NE(c.GetOperations()[1], a.GetOperations()[1]);
    CBatch& self = c;
    c = self;
    EXPECT_EQ(c.SaveToString(), a.SaveToString());

    // Reading a body replaces the operations (read ones have Auto 1).
    for (IOperation* op : a.GetOperations())
        op->SetAuto(1);
    CBatch d(QStringLiteral("D"));
    d.GetOperations() = {kinds.crop.Clone()};
    EXPECT_EQ(d.LoadFromString(a.SaveToString(), &kinds.prototypes), 1);
    EXPECT_EQ(d.SaveToString(), a.SaveToString());
}

// Mutated list texts through the reader, the writer and the reader again.
TEST(Batch, FuzzedListTextsReadCleanly)
{
    SampleKinds kinds;
    const QString sample = CBatchList::GetDefaultList();
    std::mt19937 rng(22);
    const auto next = [&](unsigned n) { return n ? static_cast<unsigned>(rng() % n) : 0u; };
    static const QString pieces[] = {",", "\\", ",,", "0", "-1", "1567", "2147483647", "-2147483648",
                                     "99999999999", "Save", "Crop", "Rotate/Flip", "Insert Text", " ",
                                     QString(QChar(0xD800)), QString::fromUtf16(u"\U0001F600")};
    for (int round = 0; round < 3000; ++round) {
        QString text = next(4) ? sample : QString();
        for (unsigned e = 0, edits = 1 + next(10); e < edits; ++e) {
            const qsizetype at = next(static_cast<unsigned>(text.size() + 1));
            if (next(2))
                text.insert(at, pieces[next(std::size(pieces))]);
            else
                text.remove(at, 1 + next(40));
        }
        CBatchList list;
        list.LoadFromString(text, &kinds.prototypes);
        const QString written = list.SaveToString();
        CBatchList again;
        again.LoadFromString(written, &kinds.prototypes);
        // What we write reads back to itself.
        ASSERT_EQ(again.SaveToString(), written) << text.toStdString();
    }
}

} // namespace
