// COperEmail: sends the images of a run as attachments of one message. During
// the run it only collects each image's path; Finish hands them to the mail
// program (MailClient) and forgets them, sent or not, so an e-mail step kept
// inside a macro never attaches an earlier run's images again.
#pragma once

#include "EmailParams.h"
#include "Operation.h"

#include <QStringList>

class COperEmail : public COperation {
public:
    COperEmail();

    COperation* CreateNew() const override { return new COperEmail; }
    void UpdatePage() override;
    IOperationPage* GetPage() override { return CreatePageOnce(); }
    // Collects the image's path; returns no edit.
    IAction* CreateAction(CKsImage* image, int* stopFlag) override;
    // Starts the mail program with the collected paths and does not wait for
    // it; a failure is reported when it ends, without touching this object.
    void Finish() override;

    EmailParams& Params() { return m_params; }
    const EmailParams& Params() const { return m_params; }
    const QStringList& GetCollectedFiles() const { return m_files; }

    // The default message text, ending with the program's web address.
    static QString DefaultBody();
    // The failure text; %1 is the result's name.
    static const QString kErrorText;

private:
    EmailParams m_params;
    QStringList m_files;
};
