// Operation framework: text form, record reader, registry form, clones, pages.
#include "OperationStandIn.h"

#include "Profile.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <climits>

using namespace optest;

namespace {

QString U(const char16_t* s) { return QString::fromUtf16(s); }

QString Record(const QString& name, const QString& body)
{
    return name + u',' + QString::number(body.size()) + u',' + body;
}

TEST(Operation, WritesTheRecordOfTheDefaultMacro)
{
    CStandInRotate op;
    op.SetAuto(1);
    op.rotate = 1;
    op.automatic = 1;
    EXPECT_EQ(op.SaveToString(), QStringLiteral("Rotate/Flip,48,ManualInput,0,Auto,1,Rotate,1,Flip,0,Automatic,1"));
    EXPECT_EQ(op.IsBatchOperation(), 1);
    EXPECT_EQ(op.IsDefaultOperation(), 1);
}

TEST(Operation, ValuesComeBackThroughTheRecordReader)
{
    const QString values[] = {
        U(u"a,b,c"), U(u"back\\slash"), U(u"trailing\\"), U(u"\\,\\\\,"), U(u"line1\r\nline2"),
        U(u"\U0001F600 outside the basic plane"), U(u""), U(u",")};
    CStandInText proto;
    const std::vector<IOperation*> prototypes{&proto};
    for (const QString& v : values) {
        CStandInText first;
        first.block.note = v;
        first.block.title = v + u'\\';
        first.block.count = INT_MIN;
        CStandInText second;
        second.block.note = u'\\' + v;
        second.block.count = INT_MAX;
        second.SetManualInput(1);

        // Two records in a row, as a macro holds them.
        QString text = first.SaveToString() + u',' + second.SaveToString();
        const QString body = first.SaveToString().section(u',', 2);
        EXPECT_TRUE(first.SaveToString().startsWith(QStringLiteral("Stand-in,") + QString::number(body.size()) + u','));

        auto a = PopOperationRecord(text, prototypes);
        auto b = PopOperationRecord(text, prototypes);
        ASSERT_TRUE(a && b) << v.toStdString();
        EXPECT_TRUE(text.isEmpty()) << text.toStdString();
        const auto& ta = static_cast<CStandInText&>(*a).block;
        const auto& tb = static_cast<CStandInText&>(*b).block;
        EXPECT_EQ(ta.note, v);
        EXPECT_EQ(ta.title, v + u'\\');
        EXPECT_EQ(ta.count, INT_MIN);
        EXPECT_EQ(tb.note, u'\\' + v);
        EXPECT_EQ(tb.title, QStringLiteral("default title"));
        EXPECT_EQ(tb.count, INT_MAX);
        EXPECT_EQ(a->GetAuto(), 1);
        EXPECT_EQ(b->GetManualInput(), 1);
    }
    // The surrogate pair counts as two code units.
    CStandInText op;
    op.block.note = U(u"\U0001F600");
    op.block.title.clear();
    EXPECT_EQ(op.SaveToString(), QStringLiteral("Stand-in,43,ManualInput,0,Auto,0,Note,") + U(u"\U0001F600") +
                                     QStringLiteral(",Count,3,Title,"));
}

TEST(Operation, DamagedRecords)
{
    CStandInRotate rotate;
    rotate.flip = 5; // the clone starts from the prototype's values
    CStandInText text;
    const std::vector<IOperation*> prototypes{&text, &rotate};
    struct Case {
        QString record;
        bool found;
        int rotate, flip;
        QString rest;
    } cases[] = {
        {QStringLiteral("X"), false, 0, 0, {}},
        {QStringLiteral("X,"), false, 0, 0, {}},
        {QStringLiteral("Rotate/Flip"), true, 0, 5, {}},
        {QStringLiteral("Rotate/Flip,"), true, 0, 5, {}},
        // A non-numeric length reads as 0: no body, one separator dropped.
        {QStringLiteral("Rotate/Flip,abc,Rotate,3"), true, 0, 5, QStringLiteral("otate,3")},
        // A negative length: no body, nothing dropped.
        {QStringLiteral("Rotate/Flip,-5,Rotate,3"), true, 0, 5, QStringLiteral("Rotate,3")},
        {QStringLiteral("Rotate/Flip,-2147483648,Rotate,3"), true, 0, 5, QStringLiteral("Rotate,3")},
        // Lengths past the end, up to beyond int, take what is left.
        {QStringLiteral("Rotate/Flip,99999999999,Rotate,3"), true, 3, 5, {}},
        {QStringLiteral("Rotate/Flip,2147483647,Rotate,3"), true, 3, 5, {}},
        {QStringLiteral("Rotate/Flip,100,Rotate,3,Flip,1"), true, 3, 1, {}},
        {QStringLiteral(" +15,x"), false, 0, 0, {}},
        // A short length: the rest starts inside the real body.
        {QStringLiteral("Rotate/Flip,8,Rotate,1,Flip,2"), true, 1, 5, QStringLiteral("Flip,2")},
        {Record(QStringLiteral("Rotate"), QStringLiteral("Rotate,1")) + QStringLiteral(",next"), false, 0, 0,
         QStringLiteral("next")},
        {Record(QStringLiteral("Rotate/Flip"), QStringLiteral("Bogus,1,Rotate,1,Rotate,2,rotate,9")), true, 2, 5, {}},
        {Record(QStringLiteral("Rotate/Flip"), QStringLiteral("Rotate,1,Flip")), true, 1, 0, {}},
        {Record(QStringLiteral("Rotate/Flip"), QStringLiteral("Rotate,abc,Flip, 12x")), true, 0, 12, {}},
        {Record(QStringLiteral("Rotate/Flip"), QStringLiteral("Rotate,-99999999999")), true, INT_MIN, 5, {}},
    };
    for (const Case& c : cases) {
        QString t = c.record;
        const auto op = PopOperationRecord(t, prototypes);
        EXPECT_EQ(bool(op), c.found) << c.record.toStdString();
        EXPECT_EQ(t, c.rest) << c.record.toStdString();
        if (op && c.found) {
            const auto& r = dynamic_cast<const CStandInRotate&>(*op);
            EXPECT_EQ(r.rotate, c.rotate) << c.record.toStdString();
            EXPECT_EQ(r.flip, c.flip) << c.record.toStdString();
            EXPECT_EQ(r.GetAuto(), 1);
        }
    }
    // The prototypes themselves are untouched.
    EXPECT_EQ(rotate.rotate, 0);
    EXPECT_EQ(rotate.GetAuto(), 0);
}

class OperationRegistry : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_path = m_dir.filePath(QStringLiteral("profile.ini"));
    }
    void TearDown() override { CProfile::Close(); }
    void WriteFile(const QByteArray& content)
    {
        QFile f(m_path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    QByteArray ReadFile()
    {
        QFile f(m_path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    QTemporaryDir m_dir;
    QString m_path;
};

TEST_F(OperationRegistry, RoundTrip)
{
    CProfile::SetFilePath(m_path);
    CStandInText out;
    out.block.note = U(u"first line\r\nsecond, with a comma \\ and \U0001F600");
    out.block.count = INT_MIN;
    out.block.title = QString(QLatin1String("")); // empty, not missing
    out.SetAuto(1);
    out.SaveToRegistry();
    CProfile::Close();

    CProfile::SetFilePath(m_path);
    CStandInText in;
    in.LoadFromRegistry();
    EXPECT_EQ(in.block.note, out.block.note);
    EXPECT_EQ(in.block.count, INT_MIN);
    EXPECT_TRUE(in.block.title.isEmpty());
    EXPECT_EQ(in.GetAuto(), 1);
    EXPECT_EQ(in.GetManualInput(), 0);
}

TEST_F(OperationRegistry, MissingAndMalformedEntriesKeepDefaults)
{
    WriteFile("[StandIn]\nCount=12abc\nTitle=\nAuto=\nManualInput=2147483648\n"
              "[Rotate_Flip]\nRotate=3\nFlip= 2 \n");
    CProfile::SetFilePath(m_path);
    CStandInText text;
    text.LoadFromRegistry();
    EXPECT_EQ(text.block.count, 3);                             // malformed
    EXPECT_EQ(text.block.note, QStringLiteral("default note")); // missing
    EXPECT_TRUE(text.block.title.isEmpty());                    // present and empty
    EXPECT_EQ(text.GetAuto(), 0);
    EXPECT_EQ(text.GetManualInput(), 0);
    CStandInRotate rotate;
    rotate.LoadFromRegistry();
    EXPECT_EQ(rotate.rotate, 3);
    EXPECT_EQ(rotate.flip, 2);
    EXPECT_EQ(rotate.automatic, 0);
}

TEST_F(OperationRegistry, EmptySectionNeverTouchesTheProfile)
{
    WriteFile("[General]\nAuto=1\n");
    const QByteArray before = ReadFile();
    CProfile::SetFilePath(m_path);
    CStandInText paste("");
    paste.block.count = 99;
    paste.SaveToRegistry();
    paste.LoadFromRegistry();
    EXPECT_EQ(paste.block.count, 99);
    EXPECT_EQ(paste.GetAuto(), 0);
    CProfile::Close();
    EXPECT_EQ(ReadFile(), before);
}

TEST(Operation, CloneAndCopy)
{
    CStandInRotate proto;
    proto.rotate = 2;
    proto.flip = -1;
    proto.unregistered = 42;
    proto.SetManualInput(1);
    std::unique_ptr<COperation> clone(proto.Clone());
    auto& c = dynamic_cast<CStandInRotate&>(*clone);
    EXPECT_EQ(c.rotate, 2);
    EXPECT_EQ(c.flip, -1);
    EXPECT_EQ(c.GetManualInput(), 1);
    EXPECT_EQ(c.unregistered, 7); // not registered: the constructor's value
    EXPECT_EQ(c.SaveToString(), proto.SaveToString());
    EXPECT_EQ(c.GetName(), QStringLiteral("Rotate/Flip"));
    c.SetName(QStringLiteral("Rotate"));
    EXPECT_EQ(c.GetName(), QStringLiteral("Rotate"));
    EXPECT_EQ(proto.GetName(), QStringLiteral("Rotate/Flip"));

    // Another kind's list differs: nothing is copied either way.
    CStandInText text;
    text.block.count = 11;
    proto.CopyParamsTo(&text);
    text.CopyParamsTo(&proto);
    EXPECT_EQ(text.block.count, 11);
    EXPECT_EQ(text.block.note, QStringLiteral("default note"));
    EXPECT_EQ(text.GetManualInput(), 0);
    EXPECT_EQ(proto.rotate, 2);
    proto.CopyParamsTo(nullptr);
    proto.CopyParamsTo(&proto);
    EXPECT_EQ(proto.rotate, 2);
}

TEST(Operation, PagesAreCreatedOnceBoundAndFreedOnce)
{
    int deletions = 0;
    CStandInPage* created = nullptr;
    struct Registration {
        Registration(int* deletions, CStandInPage** created)
        {
            RegisterOperationPageFactory(QStringLiteral("StandIn"), [=](COperation&) {
                *created = new CStandInPage(deletions);
                return *created;
            });
        }
        ~Registration() { RegisterOperationPageFactory(QStringLiteral("StandIn"), {}); }
    };
    auto registration = std::make_unique<Registration>(&deletions, &created);
    {
        CStandInText op;
        EXPECT_EQ(op.GetExistingPage(), nullptr);
        EXPECT_EQ(op.HasPageWindow(), 0); // creates the page object, no window
        ASSERT_NE(created, nullptr);
        EXPECT_EQ(op.GetExistingPage(), created);

        CStandInSheet sheet;
        EXPECT_EQ(op.AddPage(&sheet, 1), 1);
        EXPECT_EQ(sheet.pages.size(), 1u);
        EXPECT_EQ(sheet.active, created);
        EXPECT_EQ(created->params, &op.block);
        EXPECT_EQ(created->batch, 1);
        const int activations = sheet.activations;
        // Twice on the same sheet: the existing page is activated, not added again.
        EXPECT_EQ(op.AddPage(&sheet, 0), 1);
        EXPECT_EQ(sheet.pages.size(), 1u);
        EXPECT_EQ(sheet.activations, activations + 1);
        EXPECT_EQ(created->batch, 0);

        created->window = 1;
        EXPECT_EQ(op.HasPageWindow(), 1);

        // The clone of an operation whose page is open has none.
        std::unique_ptr<COperation> clone(op.Clone());
        EXPECT_EQ(clone->GetExistingPage(), nullptr);
        EXPECT_EQ(clone->SaveToString(), op.SaveToString());

        op.RemovePage(&sheet);
        EXPECT_TRUE(sheet.pages.empty());
        EXPECT_EQ(deletions, 0); // removing does not free it
        EXPECT_EQ(op.AddPage(&sheet, 0), 1);
        EXPECT_EQ(sheet.pages.front(), created); // the same page again
        EXPECT_EQ(op.AddPage(nullptr, 0), 0);

        op.DeletePage();
        EXPECT_EQ(deletions, 1);
        EXPECT_EQ(op.GetExistingPage(), nullptr);
        op.DeletePage();
        EXPECT_EQ(deletions, 1);
        EXPECT_EQ(op.HasPageWindow(), 0); // a fresh page object
    }
    EXPECT_EQ(deletions, 2); // the destructor frees the second page, once
    registration.reset();

    // Without a factory (or a kind without a page) there is nothing to show.
    CStandInText none;
    CStandInSheet sheet;
    EXPECT_EQ(none.GetPage(), nullptr);
    EXPECT_EQ(none.AddPage(&sheet, 1), 0);
    EXPECT_EQ(none.HasPageWindow(), 0);
    none.RemovePage(&sheet);
    EXPECT_TRUE(sheet.pages.empty());
    EXPECT_EQ(sheet.activations, 0);
}

} // namespace
