// The macro-manager command.
#include "BatchManagerDlg.h"
#include "MainFrame.h"
#include "PixmendApp.h"

void CPixmendApp::OnMacroManager()
{
    CBatchManagerDlg dlg(m_batches, m_operations, m_pMainFrame);
    dlg.exec();
}
