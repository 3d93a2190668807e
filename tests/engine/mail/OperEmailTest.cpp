// The e-mail operation through a stand-in xdg-email that records its
// arguments (NUL-separated) and exits with a chosen code; no mail is sent.
#include "EngineTest.h"
#include "SaveBoxes.h"

#include "Batch.h"
#include "MailClient.h"
#include "OperEmail.h"
#include "OperSave.h"
#include "TextUtil.h"

#include "WebAddresses.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QTimer>

#include <filesystem>
#include <fstream>

using namespace etest;
using savetest::CScriptedBoxes;
using testjpeg::TempDir;
namespace fs = std::filesystem;

namespace {

// Runs events until `done` holds or 10 s pass.
template <typename F>
bool WaitFor(F done)
{
    const QDeadlineTimer deadline(10000);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 20);
    }
    return true;
}

// A folder holding the stand-in, first on PATH for the test's scope.
class StandIn {
public:
    explicit StandIn(bool install = true)
        : m_oldPath(qgetenv("PATH"))
    {
        if (install) {
            const fs::path script = m_dir / "xdg-email";
            std::ofstream(script) << "#!/bin/sh\n"
                                     "[ -n \"$MAIL_STANDIN_SLEEP\" ] && sleep \"$MAIL_STANDIN_SLEEP\"\n"
                                     "printf '%s\\0' \"$@\" > \"$MAIL_STANDIN_RECORD.part\"\n"
                                     "mv \"$MAIL_STANDIN_RECORD.part\" \"$MAIL_STANDIN_RECORD\"\n"
                                     "exit \"${MAIL_STANDIN_EXIT:-0}\"\n";
            fs::permissions(script, fs::perms::owner_all);
            qputenv("PATH", QByteArray(m_dir.path().c_str()) + ':' + m_oldPath);
        } else {
            qputenv("PATH", QByteArray(m_dir.path().c_str()));
        }
        qputenv("MAIL_STANDIN_RECORD", QByteArray((m_dir / "record").c_str()));
        qputenv("MAIL_STANDIN_EXIT", "0");
        qunsetenv("MAIL_STANDIN_SLEEP");
    }
    ~StandIn() { qputenv("PATH", m_oldPath); }

    fs::path Record() const { return m_dir / "record"; }
    bool HasRecord() const { return fs::exists(Record()); }
    // The recorded arguments, after waiting for them.
    QStringList WaitArguments() const
    {
        if (!WaitFor([this] { return HasRecord(); }))
            return {QStringLiteral("<no record>")};
        QFile f(QString::fromStdString(Record().string()));
        f.open(QIODevice::ReadOnly);
        QStringList args = QString::fromUtf8(f.readAll()).split(QChar(0));
        args.removeLast(); // after the last NUL
        fs::remove(Record());
        return args;
    }
    const TempDir& Dir() const { return m_dir; }

private:
    TempDir m_dir;
    QByteArray m_oldPath;
};

QString Body(const COperEmail& op)
{
    return QString(op.Params().MsgBody).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

} // namespace

TEST(OperEmail, KeysDefaultsAndErrorNames)
{
    COperEmail op;
    EXPECT_EQ(op.GetName(), QStringLiteral("Email"));
    EXPECT_EQ(op.GetRegistrySection(), QStringLiteral("Email"));
    EXPECT_EQ(op.IsBatchOperation(), 1);
    EXPECT_EQ(op.IsDefaultOperation(), 1);
    const QString body = QStringLiteral("Hello,\r\n\r\n\r\n\r\n-----\r\nImages attached by Pixmend\r\n") +
                         QString::fromLatin1(kHomePageAddress);
    EXPECT_EQ(op.Params().MsgBody, body);
    const QString text = QStringLiteral("ManualInput,0,Auto,0,Recipients,,Subject,Photos,MsgBody,") + EscapeListValue(body);
    EXPECT_EQ(op.SaveToString(), QStringLiteral("Email,%1,").arg(text.size()) + text);

    const std::pair<int, const char*> names[] = {
        {1, "USER_ABORT"}, {2, "FAILURE"}, {6, "ACCESS_DENIED"}, {7, "UNKNOWN_ERROR"},
        {8, "TOO_MANY_SESSIONS"}, {11, "ATTACHMENT_NOT_FOUND"}, {17, "INVALID_MESSAGE"},
        {26, "NOT_SUPPORTED"}, {27, "UNKNOWN_ERROR"}, {0, "UNKNOWN_ERROR"}, {-1, "UNKNOWN_ERROR"}};
    for (const auto& [result, name] : names)
        EXPECT_EQ(MapiErrorName(result), QString::fromLatin1(name)) << result;
}

TEST(OperEmail, ArgumentsReachTheMailProgramExactly)
{
    StandIn standIn;
    CScriptedBoxes boxes;
    const QString a = QStringLiteral("/photos/a.jpg");
    const QString b = QStringLiteral("/photos/a b;$(touch pwned)'x.jpg");
    struct Row {
        const char* name;
        QString recipients, subject, body;
        QStringList expectedTail; // after the attachments
        bool defaults;
    };
    const Row rows[] = {
        {"defaults", {}, {}, {}, {}, true},
        {"two recipients", QStringLiteral("a@example.org, b@example.org"), QStringLiteral("Photos"), QStringLiteral("x"),
         {QStringLiteral("mailto:a@example.org,%20b@example.org")}, false},
        {"fields stay in one argument", QStringLiteral("x@y.z?attach=/etc/passwd&cc=-q~"), QStringLiteral("Photos"),
         QStringLiteral("x"), {QStringLiteral("mailto:x@y.z%3Fattach%3D%2Fetc%2Fpasswd%26cc%3D-q%7E")}, false},
        {"option-like recipient", QStringLiteral("--help"), QStringLiteral("Photos"), QStringLiteral("x"),
         {QStringLiteral("mailto:--help")}, false},
        {"all empty", {}, {}, {}, {}, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        auto op = std::make_unique<COperEmail>();
        if (!row.defaults) {
            op->Params().Recipients = row.recipients;
            op->Params().Subject = row.subject;
            op->Params().MsgBody = row.body;
        }
        CKsImage image(RealLib());
        // A path holding a NUL would attach another file: it is left out.
        for (const QString& path : {a, QString(), b, QStringLiteral("/photos/notes.txt") + QChar(0)}) {
            image.SetPath(path);
            EXPECT_EQ(op->CreateAction(&image, nullptr), nullptr);
        }
        QStringList expected{QStringLiteral("--utf8")};
        if (!op->Params().Subject.isEmpty())
            expected << QStringLiteral("--subject") << op->Params().Subject;
        if (!op->Params().MsgBody.isEmpty())
            expected << QStringLiteral("--body") << Body(*op);
        expected << QStringLiteral("--attach") << a << QStringLiteral("--attach") << b << row.expectedTail;
        if (row.defaults) {
            EXPECT_EQ(expected.mid(1, 4), (QStringList{QStringLiteral("--subject"), QStringLiteral("Photos"),
                                                       QStringLiteral("--body"), Body(*op)}));
            EXPECT_FALSE(expected[4].contains(u'\r'));
        }
        op->Finish();
        EXPECT_TRUE(op->GetCollectedFiles().isEmpty());
        EXPECT_EQ(standIn.WaitArguments(), expected);
    }
    EXPECT_TRUE(boxes.messages.isEmpty());
    EXPECT_FALSE(fs::exists("pwned"));
    EXPECT_FALSE(fs::exists(standIn.Dir() / "pwned"));
}

TEST(OperEmail, ExitStatusShowsTheErrorText)
{
    struct Row {
        const char* exitCode;
        bool onPath;
        const char* name; // null: no message
    };
    const Row rows[] = {
        {"0", true, nullptr},
        {"1", true, "INVALID_MESSAGE"},
        {"2", true, "ATTACHMENT_NOT_FOUND"},
        {"3", true, "FAILURE"},
        {"4", true, "FAILURE"},
        {"5", true, "ATTACHMENT_OPEN_FAILURE"},
        {"9", true, "UNKNOWN_ERROR"},
        {"0", false, "FAILURE"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.exitCode) + (row.onPath ? "" : " (none on PATH)"));
        StandIn standIn(row.onPath);
        qputenv("MAIL_STANDIN_EXIT", row.exitCode);
        CScriptedBoxes boxes;
        bool ended = false;
        {
            COperEmail op;
            op.Finish();
        }
        // A second, silent send marks when the first one's report is due.
        if (row.onPath)
            standIn.WaitArguments();
        SendMapiMail({}, [&ended](int) { ended = true; });
        ASSERT_TRUE(WaitFor([&] { return ended; }));
        if (row.onPath)
            standIn.WaitArguments();
        if (!row.name) {
            EXPECT_TRUE(boxes.messages.isEmpty());
            continue;
        }
        ASSERT_TRUE(WaitFor([&] { return !boxes.messages.isEmpty(); }));
        EXPECT_EQ(boxes.messages, QStringList{COperEmail::kErrorText.arg(QString::fromLatin1(row.name))});
        EXPECT_TRUE(boxes.messages[0].endsWith(QStringLiteral("\n\nError code: ") + QString::fromLatin1(row.name)));
    }
}

TEST(OperEmail, TheUserInterfaceGoesOnWhileTheMailProgramRuns)
{
    StandIn standIn;
    CScriptedBoxes boxes;
    qputenv("MAIL_STANDIN_SLEEP", "1");
    qputenv("MAIL_STANDIN_EXIT", "3");
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&ticks] { ++ticks; });
    timer.start(10);
    {
        auto op = std::make_unique<COperEmail>();
        op->Finish();
        EXPECT_FALSE(standIn.HasRecord()); // Finish did not wait
    } // deleted while the program runs
    ASSERT_TRUE(WaitFor([&] { return standIn.HasRecord(); }));
    EXPECT_GE(ticks, 5);
    ASSERT_TRUE(WaitFor([&] { return !boxes.messages.isEmpty(); }));
    EXPECT_TRUE(boxes.messages[0].endsWith(QStringLiteral("Error code: FAILURE")));
}

TEST(OperEmail, AMacroAttachesOnlyThisRunsSavedFiles)
{
    StandIn standIn;
    CScriptedBoxes boxes;
    COperSave saveProto;
    COperEmail emailProto;
    const std::vector<IOperation*> prototypes{&saveProto, &emailProto};
    COperSave settings;
    settings.GetSettings().UseSaveSuffix = 1;
    settings.GetSettings().SaveSuffix = QStringLiteral("_mail");
    settings.GetSettings().ConfirmSave = 0;
    CBatch macro(QStringLiteral("Save, Email"));
    ASSERT_EQ(macro.LoadFromString(settings.SaveToString() + u',' + emailProto.SaveToString(), &prototypes), 1);
    ASSERT_EQ(macro.GetOperations().size(), 2u);

    TempDir dir;
    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(run);
        const std::string names[] = {"r" + std::to_string(run) + "a", "r" + std::to_string(run) + "b"};
        QStringList expected;
        for (const std::string& name : names) {
            WriteJpeg(dir / (name + ".jpg"), 32, 16);
            CKsImage image(RealLib());
            ASSERT_EQ(image.Load(Q(dir / (name + ".jpg")), 0), 1);
            int stop = 0;
            macro.Apply(&image, 0, &stop, nullptr);
            expected << QStringLiteral("--attach") << image.GetPath();
            EXPECT_TRUE(image.GetPath().endsWith(QStringLiteral("_mail.jpg")));
            EXPECT_TRUE(fs::exists(image.GetPath().toStdString()));
        }
        macro.Finish();
        const QStringList args = standIn.WaitArguments();
        EXPECT_EQ(args.mid(args.indexOf(QStringLiteral("--attach"))), expected);
    }
    EXPECT_TRUE(boxes.messages.isEmpty());
}
