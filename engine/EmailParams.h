// The e-mail operation's parameter block: the three strings its editor page
// edits in place. Line breaks inside MsgBody are CR LF, as a mail body wants.
#pragma once

#include <QString>

struct EmailParams {
    QString Recipients;                        // as typed; several addresses stay in one text
    QString Subject = QStringLiteral("Photos");
    QString MsgBody = QStringLiteral("Hello,\r\n\r\n\r\n\r\n-----\r\nImages attached by Pixmend");
};
