#include "FileSaveErrorDlg.h"

#include "DlgItems.h"
#include "DialogHost.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace {

QWidget* MainWindowOr(QWidget* parent)
{
    if (parent)
        return parent;
    const DialogHost& host = TheDialogHost();
    return host.mainWindow ? host.mainWindow() : nullptr;
}

} // namespace

CFileSaveErrorDlg::CFileSaveErrorDlg(QWidget* parent)
    : QDialog(MainWindowOr(parent), Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setWindowTitle(QStringLiteral("File Save Error"));
    m_icon = new QLabel(this);
    SetDlgItemId(m_icon, IDC_ICON);
    m_message = new QLabel(this);
    SetDlgItemId(m_message, IDC_MESSAGE);
    m_message->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_message->setMinimumWidth(300);

    auto* top = new QHBoxLayout;
    top->addWidget(m_icon, 0, Qt::AlignTop);
    top->addWidget(m_message, 1);
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    const struct {
        int id;
        const char* text;
    } kButtons[3] = {{IDC_RETRY, "Retry"}, {IDC_SKIP, "Skip"}, {IDC_ABORT, "Abort"}};
    for (int i = 0; i < 3; ++i) {
        auto* button = new QPushButton(QString::fromUtf8(kButtons[i].text), this);
        SetDlgItemId(button, kButtons[i].id);
        button->setDefault(false);
        // The focused button takes Enter; none is default otherwise.
        button->setAutoDefault(true);
        const int id = kButtons[i].id;
        connect(button, &QPushButton::clicked, this, [this, id] { done(id); });
        row->addWidget(button);
        m_buttons[i] = button;
    }
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(row);
}

QString CFileSaveErrorDlg::MessageFor(const QString& path, const QString& cause)
{
    const QString message = QStringLiteral("Cannot write to:\n\n") + path + QLatin1Char('.');
    return cause.isEmpty() ? message : message + QLatin1Char('\n') + cause;
}

QPushButton* CFileSaveErrorDlg::GetButton(int id) const
{
    for (QPushButton* button : m_buttons)
        if (GetDlgItem(this, id) == button)
            return button;
    return nullptr;
}

int CFileSaveErrorDlg::DoModal(const QString& path, const QString& cause)
{
    m_strMessage = MessageFor(path, cause);
    OnInitDialog();
    return exec();
}

bool CFileSaveErrorDlg::OnInitDialog()
{
    m_message->setText(m_strMessage);
    const int size = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
    m_icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxCritical, nullptr, this).pixmap(size, size));
    m_buttons[0]->setFocus();
    QApplication::beep();
    return true;
}

void CFileSaveErrorDlg::reject()
{
    done(IDCANCEL);
}
