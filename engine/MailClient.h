// Hands one message with attachments to the user's mail program through
// xdg-email, in place of Simple MAPI. The program is started with an
// argument list (never through a shell) and not waited for: it may run until
// the mail program ends. Its exit status is reported on the UI thread as a
// Simple MAPI result number.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>

struct MailMessage {
    QString recipients;      // one text, several addresses as typed
    QString subject;
    QString body;            // CR LF or LF line breaks
    QStringList attachments; // in order; empty entries are skipped
};

// Simple MAPI result numbers the mail client reports.
enum MapiResult : int {
    kMapiSuccess = 0,
    kMapiUserAbort = 1,
    kMapiFailure = 2,
    kMapiAttachmentNotFound = 11,
    kMapiAttachmentOpenFailure = 12,
    kMapiInvalidMessage = 17,
    kMapiUnknownError = -1,
};

// The result's name ("FAILURE", ...); "UNKNOWN_ERROR" for a number without one.
QString MapiErrorName(int result);

// xdg-email's arguments for `message`: --utf8, --subject and --body when not
// empty, --attach per attachment, then the percent-encoded mailto: address.
QStringList XdgEmailArguments(const MailMessage& message);

// xdg-email's exit code as a result number.
int MapXdgEmailExitCode(int exitCode);

// Starts xdg-email (found on PATH) for `message` and returns at once.
// `onEnd` runs once on the UI thread with the result when the program ends,
// or before this returns when it cannot be found. Neither the caller's end
// nor the application's quitting stops the program. Needs a running event
// loop for the report.
void SendMapiMail(const MailMessage& message, std::function<void(int result)> onEnd);

// How many started mail programs have not reported yet.
int PendingMailSends();
