// Running an operation or a macro over the open image or over the files
// selected in the browser, and the single-image save.
//
// A run is one synchronous call on the UI thread; it dispatches no events
// (the progress window is painted directly), so nothing else can touch the
// open image while it runs.
#include "PixmendApp.h"

#include "FileCollector.h"
#include "MainFrame.h"

namespace {

CNoBrowserSelection g_noSelection;

} // namespace

IBrowserSelection& CPixmendApp::GetBrowserSelection()
{
    CMainFrame* frame = GetMainFrame();
    return frame ? frame->GetBrowserSelection() : g_noSelection;
}

void CPixmendApp::CollectFiles(QStringList* out, const QString& folder, int recursive)
{
    CFileCollector files;
    files.AddFolder(folder, recursive != 0);
    out->append(files.Paths());
}
