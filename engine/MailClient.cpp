// xdg-email as the mail client. The QProcess has no parent and deletes
// itself once the program has ended: a QProcess destroyed while running
// kills its program, and the mail program must outlive whatever started it.
#include "MailClient.h"

#include "FileNames.h"

#include <QProcess>
#include <QStandardPaths>

namespace {

int g_pending = 0; // UI thread only

} // namespace

int PendingMailSends()
{
    return g_pending;
}

QString MapiErrorName(int result)
{
    static const char* const kNames[] = {
        nullptr,                    // 0
        "USER_ABORT",               // 1
        "FAILURE",                  // 2
        "LOGON_FAILURE",            // 3
        "DISK_FULL",                // 4
        "INSUFFICIENT_MEMORY",      // 5
        "ACCESS_DENIED",            // 6
        nullptr,                    // 7
        "TOO_MANY_SESSIONS",        // 8
        "TOO_MANY_FILES",           // 9
        "TOO_MANY_RECIPIENTS",      // 10
        "ATTACHMENT_NOT_FOUND",     // 11
        "ATTACHMENT_OPEN_FAILURE",  // 12
        "ATTACHMENT_WRITE_FAILURE", // 13
        "UNKNOWN_RECIPIENT",        // 14
        "BAD_RECIPTYPE",            // 15
        "NO_MESSAGES",              // 16
        "INVALID_MESSAGE",          // 17
        "TEXT_TOO_LARGE",           // 18
        "INVALID_SESSION",          // 19
        "TYPE_NOT_SUPPORTED",       // 20
        "AMBIGUOUS_RECIPIENT",      // 21
        "MESSAGE_IN_USE",           // 22
        "NETWORK_FAILURE",          // 23
        "INVALID_EDITFIELDS",       // 24
        "INVALID_RECIPS",           // 25
        "NOT_SUPPORTED",            // 26
    };
    constexpr int kCount = int(sizeof kNames / sizeof kNames[0]);
    if (result > 0 && result < kCount && kNames[result])
        return QString::fromLatin1(kNames[result]);
    return QStringLiteral("UNKNOWN_ERROR");
}

QStringList XdgEmailArguments(const MailMessage& message)
{
    QStringList args{QStringLiteral("--utf8")};
    // xdg-email rejects an empty value, so empty fields are left out.
    if (!message.subject.isEmpty())
        args << QStringLiteral("--subject") << message.subject;
    if (!message.body.isEmpty()) {
        QString body = message.body;
        args << QStringLiteral("--body") << body.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    }
    for (const QString& path : message.attachments) {
        // A path holding a NUL would attach another file.
        if (IsUsablePath(path))
            args << QStringLiteral("--attach") << path;
    }
    // The prefix keeps an address starting with "-" from reading as an
    // option; the encoding keeps "?", "&" and "=" from adding fields.
    if (!message.recipients.isEmpty()) {
        const QByteArray encoded = message.recipients.toUtf8().toPercentEncoding("@,", "~");
        args << QStringLiteral("mailto:") + QString::fromLatin1(encoded);
    }
    return args;
}

int MapXdgEmailExitCode(int exitCode)
{
    switch (exitCode) {
    case 0: return kMapiSuccess;
    case 1: return kMapiInvalidMessage;
    case 2: return kMapiAttachmentNotFound;
    case 3: // no mail program
    case 4: return kMapiFailure;
    case 5: return kMapiAttachmentOpenFailure;
    default: return kMapiUnknownError;
    }
}

void SendMapiMail(const MailMessage& message, std::function<void(int result)> onEnd)
{
    const QString program = QStandardPaths::findExecutable(QStringLiteral("xdg-email"));
    if (program.isEmpty()) {
        onEnd(kMapiFailure);
        return;
    }
    auto* process = new QProcess;
    process->setProgram(program);
    process->setArguments(XdgEmailArguments(message));
    process->setStandardInputFile(QProcess::nullDevice());
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    QObject::connect(process, &QProcess::finished, process,
                     [process, onEnd](int exitCode, QProcess::ExitStatus status) {
                         process->deleteLater();
                         --g_pending;
                         onEnd(status == QProcess::NormalExit ? MapXdgEmailExitCode(exitCode) : kMapiFailure);
                     });
    // A program that ran reports through finished; only a failed start ends here.
    QObject::connect(process, &QProcess::errorOccurred, process, [process, onEnd](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart)
            return;
        process->deleteLater();
        --g_pending;
        onEnd(kMapiFailure);
    });
    ++g_pending;
    process->start();
}
