#include "OperEmail.h"

#include "KsImage.h"
#include "MailClient.h"
#include "MessageBoxes.h"
#include "OperationPage.h"

#include "WebAddresses.h"

const QString COperEmail::kErrorText =
    QStringLiteral("An error occured when sending images through the MAPI interface.\nMake sure you have MAPI "
                   "email client installed and properly set up.\n\nError code: %1");

QString COperEmail::DefaultBody()
{
    return EmailParams{}.MsgBody + QStringLiteral("\r\n") + QString::fromLatin1(kHomePageAddress);
}

COperEmail::COperEmail()
    : COperation("Email", "Email")
{
    m_params.MsgBody = DefaultBody();
    AddStringParam(QStringLiteral("Recipients"), &m_params.Recipients);
    AddStringParam(QStringLiteral("Subject"), &m_params.Subject);
    AddStringParam(QStringLiteral("MsgBody"), &m_params.MsgBody);
}

void COperEmail::UpdatePage()
{
    if (m_pPage)
        m_pPage->BindParams(&m_params);
}

IAction* COperEmail::CreateAction(CKsImage* image, int* /*stopFlag*/)
{
    if (image)
        m_files << image->GetPath();
    return nullptr;
}

void COperEmail::Finish()
{
    MailMessage message{m_params.Recipients, m_params.Subject, m_params.MsgBody, m_files};
    m_files.clear();
    // The report captures nothing of this object: the run deletes a clone
    // right after Finish, long before the mail program ends.
    SendMapiMail(message, [](int result) {
        if (result != kMapiSuccess && result != kMapiUserAbort)
            MessageBoxes().ShowError(kErrorText.arg(MapiErrorName(result)));
    });
}
