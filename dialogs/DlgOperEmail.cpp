#include "DlgOperEmail.h"

#include "DlgItems.h"
#include "DlgOperControls.h"
#include "EmailParams.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSignalBlocker>

void CDlgOperEmail::CreateControls(QWidget* window)
{
    QGroupBox* box = MakeTitleBox(window, QStringLiteral("Email Images"));
    auto* grid = new QGridLayout(box);
    m_recipients = new QLineEdit(box);
    SetDlgItemId(m_recipients, 1138);
    m_subject = new QLineEdit(box);
    SetDlgItemId(m_subject, 1139);
    m_body = new QPlainTextEdit(box);
    SetDlgItemId(m_body, 1140);
    m_body->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_body->setTabChangesFocus(true);
    grid->addWidget(MakeLabel(QStringLiteral("Recipient(s):"), box), 0, 0);
    grid->addWidget(m_recipients, 0, 1);
    grid->addWidget(MakeLabel(QStringLiteral("Subject:"), box), 1, 0);
    grid->addWidget(m_subject, 1, 1);
    grid->addWidget(MakeLabel(QStringLiteral("Message text:"), box), 2, 0, Qt::AlignTop);
    grid->addWidget(m_body, 2, 1);
    connect(m_recipients, &QLineEdit::textEdited, this, [this](const QString& text) {
        if (EmailParams* p = Params())
            p->Recipients = text;
    });
    connect(m_subject, &QLineEdit::textEdited, this, [this](const QString& text) {
        if (EmailParams* p = Params())
            p->Subject = text;
    });
    connect(m_body, &QPlainTextEdit::textChanged, this, [this] {
        if (EmailParams* p = Params())
            p->MsgBody = m_body->toPlainText().replace(u'\n', QStringLiteral("\r\n"));
    });
}

void CDlgOperEmail::OnDestroyWindow()
{
    m_recipients = nullptr;
    m_subject = nullptr;
    m_body = nullptr;
}

void CDlgOperEmail::UpdateControls()
{
    const EmailParams* p = Params();
    m_recipients->setText(p->Recipients);
    m_subject->setText(p->Subject);
    // Filling is no edit: the stored body stays byte for byte as it was.
    const QSignalBlocker block(m_body);
    QString body = p->MsgBody;
    m_body->setPlainText(body.replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
}
