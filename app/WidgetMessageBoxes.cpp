#include "WidgetMessageBoxes.h"

#include "BatchConfirm.h"
#include "FileSaveErrorDlg.h"
#include "MainFrame.h"
#include "PixmendApp.h"
#include "ProgressBarDlg.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QWidget>

#include <cstdio>

namespace {

const QString kCaption = QStringLiteral("Pixmend");

void PrintLine(const QString& text)
{
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
}

} // namespace

CWidgetMessageBoxes::CWidgetMessageBoxes()
    : m_bInteractive(qEnvironmentVariableIsEmpty("PIXMEND_NONINTERACTIVE"))
{
}

void CWidgetMessageBoxes::ShowMessage(const QString& text)
{
    if (!m_bInteractive) {
        PrintLine(text);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, kCaption, text, QMessageBox::Ok, QApplication::activeWindow());
    box.exec();
}

void CWidgetMessageBoxes::ShowWarning(const QString& text, const QString& caption)
{
    if (!m_bInteractive) {
        PrintLine(text);
        return;
    }
    QMessageBox box(QMessageBox::Warning, caption, text, QMessageBox::Ok, QApplication::activeWindow());
    box.exec();
}

IMessageBoxes::BatchChoice CWidgetMessageBoxes::AskBatchConfirm(const QString& macroName, int count,
                                                                bool currentOnly)
{
    if (!m_bInteractive) {
        PrintLine(CBatchConfirm::Text(count, macroName));
        return BatchChoice::Cancel;
    }
    CBatchConfirm dlg(QApplication::activeWindow(), macroName, count, currentOnly);
    switch (dlg.DoModal()) {
    case CBatchConfirm::IDC_ALL_SELECTED:
        return BatchChoice::AllSelected;
    case CBatchConfirm::IDC_CURRENT_ONLY:
        return BatchChoice::CurrentOnly;
    default:
        return BatchChoice::Cancel;
    }
}

IMessageBoxes::FailureChoice CWidgetMessageBoxes::AskRunFailure(const QString& text)
{
    if (!m_bInteractive) {
        PrintLine(text);
        return FailureChoice::Skip;
    }
    QMessageBox box(QMessageBox::Warning, kCaption, text, QMessageBox::NoButton, QApplication::activeWindow());
    QPushButton* skip = box.addButton(QStringLiteral("Skip"), QMessageBox::AcceptRole);
    QPushButton* skipAll = box.addButton(QStringLiteral("Skip All"), QMessageBox::AcceptRole);
    box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(skip);
    box.exec();
    // Esc and the window's close button stop the run, as Cancel does.
    return box.clickedButton() == skip ? FailureChoice::Skip
        : box.clickedButton() == skipAll ? FailureChoice::SkipAll
                                         : FailureChoice::Cancel;
}

bool CWidgetMessageBoxes::AskQuestion(const QString& text)
{
    if (!m_bInteractive) {
        PrintLine(text);
        return false;
    }
    QMessageBox box(QMessageBox::Question, kCaption, text, QMessageBox::Yes | QMessageBox::No,
                    QApplication::activeWindow());
    return box.exec() == QMessageBox::Yes;
}

IMessageBoxes::Answer CWidgetMessageBoxes::AskYesNoCancel(const QString& text, const QString& caption)
{
    if (!m_bInteractive) {
        PrintLine(text);
        return Answer::No;
    }
    QMessageBox box(QMessageBox::Warning, caption, text, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
                    QApplication::activeWindow());
    switch (box.exec()) {
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    default:
        return Answer::Cancel;
    }
}

bool CWidgetMessageBoxes::AskYesNo(const QString& text, const QString& caption, bool warning)
{
    if (!m_bInteractive) {
        PrintLine(text);
        return false;
    }
    QMessageBox box(warning ? QMessageBox::Warning : QMessageBox::Question, caption, text,
                    QMessageBox::Yes | QMessageBox::No, QApplication::activeWindow());
    box.setDefaultButton(warning ? QMessageBox::No : QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

bool CWidgetMessageBoxes::AskOkCancel(const QString& text)
{
    if (!m_bInteractive) {
        PrintLine(text);
        return false;
    }
    QMessageBox box(QMessageBox::Warning, kCaption, text, QMessageBox::Ok | QMessageBox::Cancel,
                    QApplication::activeWindow());
    return box.exec() == QMessageBox::Ok;
}

IMessageBoxes::SaveErrorChoice CWidgetMessageBoxes::AskSaveError(const QString& path, const QString& cause)
{
    if (!m_bInteractive) {
        PrintLine(CFileSaveErrorDlg::MessageFor(path, cause));
        return SaveErrorChoice::Abort;
    }
    CFileSaveErrorDlg dlg(QApplication::activeWindow());
    switch (dlg.DoModal(path, cause)) {
    case CFileSaveErrorDlg::IDC_SKIP:
        return SaveErrorChoice::Skip;
    case CFileSaveErrorDlg::IDC_ABORT:
        return SaveErrorChoice::Abort;
    default: // Retry, and Esc too: another try
        return SaveErrorChoice::Retry;
    }
}

std::unique_ptr<IProgressWindow> CWidgetMessageBoxes::CreateProgressWindow()
{
    if (!m_bInteractive)
        return CreateSilentProgressWindow();
    CPixmendApp* app = CPixmendApp::Instance();
    return CreateProgressBarWindow(app ? app->GetMainFrame() : nullptr);
}

bool CWidgetMessageBoxes::ReportProgress(int)
{
    // Other long work keeps the window painted and is never cancelled.
    if (m_bInteractive)
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    return true;
}

void CWidgetMessageBoxes::ShowError(const QString& text)
{
    if (!m_bInteractive) {
        PrintLine(text);
        return;
    }
    QMessageBox box(QMessageBox::Critical, kCaption, text, QMessageBox::Ok, QApplication::activeWindow());
    box.exec();
}
