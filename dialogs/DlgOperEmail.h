// CDlgOperEmail: recipients, subject and message text of the e-mail
// operation (EmailParams). The message is shown with plain line breaks and
// stored with CR LF between its lines; only the user's edits store.
#pragma once

#include "OperationDlg.h"

class QLineEdit;
class QPlainTextEdit;
struct EmailParams;

class CDlgOperEmail : public COperationDlg {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 205;
    CDlgOperEmail() : COperationDlg(kTemplateId) {}

protected:
    void CreateControls(QWidget* window) override;
    void OnDestroyWindow() override;
    void UpdateControls() override;

private:
    EmailParams* Params() const { return static_cast<EmailParams*>(GetParams()); }

    QLineEdit* m_recipients = nullptr;
    QLineEdit* m_subject = nullptr;
    QPlainTextEdit* m_body = nullptr;
};
