// Running an operation or a macro over the open image or over the files
// selected in the browser, and the single-image save.
//
// A run is one synchronous call on the UI thread that dispatches no events
// of its own once the progress window is exposed (it waits for that, letting
// no user input through): the window is painted directly after each change.
// Commands stop the browser's focus timer, so no other image opens behind
// the questions; whether a file is the open image is still decided for each
// file as the run reaches it.
//
// Where a run lands:
//   - no collected file: the open image (a selection of folders that holds
//     no image changes nothing);
//   - one file: the open image when it is that file (same device and inode),
//     else that file alone, as a run over files;
//   - more: the user chooses all of them or the open image.
// The save that RunOperation appends belongs to runs over files only: a
// one-operation command on the open image edits it with undo and writes
// nothing, while every file a run goes over is saved. No file but the open
// image is written without a question: the confirmation asks for several
// files, a Yes/No question naming it for one. A macro's own save steps
// always run; a macro that neither saves nor sends asks before it goes over
// files. When a run or a save command gives the open image a new path, the
// browser's selection follows it.
#include "PixmendApp.h"

#include "BatchProgress.h"
#include "CommandIds.h"
#include "FileCollector.h"
#include "MainFrame.h"
#include "MessageBoxes.h"
#include "Operation.h"

#include <QMetaObject>

#include <algorithm>
#include <functional>
#include <memory>

namespace {

CNoBrowserSelection g_noSelection;

// The display name of the e-mail kind: a one-operation e-mail run collects
// the files and sends them at Finish, with nothing to save.
const QString kEmailName = QStringLiteral("Email");

// At most this many names in the message about files that did not load.
constexpr int kMaxFailedNames = 20;

// Whether the macro holds a step of the kind `name`.
bool HasStep(const CBatch& macro, const QString& name)
{
    const std::vector<IOperation*>& ops = macro.GetOperations();
    return std::any_of(ops.begin(), ops.end(), [&](const IOperation* op) { return op->GetName() == name; });
}

// The macro saves what it edits, sends it by e-mail, or edits nothing.
bool SavesWhatItEdits(const CBatch& macro, const QString& saveName)
{
    return macro.GetOperations().empty() || HasStep(macro, saveName) || HasStep(macro, kEmailName);
}

// `path` below `folder` as the browser shows it: relative when inside it.
QString NameInFolder(const QString& path, const QString& folder)
{
    const QString prefix = folder.endsWith(u'/') ? folder : folder + u'/';
    return !folder.isEmpty() && path.startsWith(prefix) ? path.mid(prefix.size()) : path;
}

// Takes `save` out of the macro for its lifetime and puts it back at the
// same place, so the caller's macro still owns (and deletes) it.
class CSaveLeftOut {
public:
    CSaveLeftOut(CBatch* macro, IOperation* save)
        : m_ops(macro->GetOperations())
        , m_save(save)
    {
        const auto it = std::find(m_ops.begin(), m_ops.end(), save);
        if (save && it != m_ops.end()) {
            m_index = it - m_ops.begin();
            m_ops.erase(it);
        } else {
            m_save = nullptr;
        }
    }
    ~CSaveLeftOut()
    {
        if (m_save)
            m_ops.insert(m_ops.begin() + m_index, m_save);
    }
    CSaveLeftOut(const CSaveLeftOut&) = delete;
    CSaveLeftOut& operator=(const CSaveLeftOut&) = delete;

private:
    std::vector<IOperation*>& m_ops;
    IOperation* m_save;
    std::ptrdiff_t m_index = 0;
};

// Runs `macro` over every collected file, one after another, with the
// progress window up: the open image in place with undo, every other file
// in a temporary image without undo, saved only by the macro's own save.
// Ends early when the stop flag is set. Returns the files that did not load.
QStringList RunOverFiles(CBatch* macro, const CFileCollector& files, const std::function<bool(int)>& isOpenImage,
                         CKsImage& openImage, const CJPEGlib& lib, QWidget* mainWindow, int* stop)
{
    // Painted before the busy loop: no events are dispatched until the end.
    if (mainWindow)
        mainWindow->repaint();
    const QStringList& paths = files.Paths();
    const int n = int(paths.size());
    CBatchProgress progress;
    progress.Open(n, mainWindow);
    const QRect keepClear = progress.GetWindowRect();
    QStringList failed;
    for (int i = 0; i < n && *stop == 0; ++i) {
        progress.SetPosition(i + 1);
        if (isOpenImage(i)) {
            macro->Apply(&openImage, 1, stop, &keepClear);
        } else {
            CKsImage image(lib);
            if (image.Load(paths[i], 0) && image.IsLoaded())
                macro->Apply(&image, 0, stop, &keepClear);
            else
                failed << paths[i];
        }
        // An untouched open image keeps its bitmap: rebuilding a large photo
        // after every file would cost more than many a file's edit.
        if (openImage.IsLoaded() && !openImage.HasDib())
            openImage.CreateDib();
    }
    return failed;
}

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

void CPixmendApp::RunOperation(IOperation* operation)
{
    if (!operation)
        return;
    CBatch macro(operation->GetName());
    macro.GetOperations().push_back(operation);
    // Whether the run lands on the open image is known only in RunMacro,
    // which leaves this save out there.
    IOperation* save = nullptr;
    if (operation->GetName() != kEmailName) {
        save = m_operSave.Clone();
        macro.GetOperations().push_back(save);
    }
    RunMacro(&macro, save);
}

void CPixmendApp::RunMacro(CBatch* macro)
{
    RunMacro(macro, nullptr);
}

void CPixmendApp::RunMacro(CBatch* macro, IOperation* fileRunSave)
{
    if (!macro)
        return;
    IBrowserSelection& browser = GetBrowserSelection();
    const std::vector<FileListEntry> selection = browser.GetSelectedEntries();
    CFileCollector files;
    bool folders = false;
    for (const FileListEntry& entry : selection) {
        const QString path = JoinPath(m_strCurrentFolder, entry.name);
        if (entry.directory) {
            folders = true;
            files.AddFolder(path, true);
        } else {
            files.AddFile(path);
        }
    }
    const QStringList& paths = files.Paths();
    const int n = int(paths.size());
    const bool imageOpen = m_image.IsLoaded() != 0;
    const QString name = macro->GetName();
    if (n == 0 && (!imageOpen || folders)) {
        MessageBoxes().ShowWarning(QStringLiteral("No Images to process."), name);
        return;
    }

    // Asked anew for every file: the open image is whatever it is when the
    // run reaches the file.
    const auto isOpenImage = [&](int i) {
        if (!m_image.IsLoaded())
            return false;
        const std::optional<FileId>& id = files.Id(i);
        if (!id)
            return paths[i] == m_image.GetPath();
        const std::optional<FileId> openId = IdentityOf(m_image.GetPath());
        return openId && *id == *openId;
    };

    bool onOpenImage = true;
    if (n > 1) {
        switch (MessageBoxes().AskBatchConfirm(name, n, imageOpen)) {
        case IMessageBoxes::BatchChoice::Cancel:
            return;
        case IMessageBoxes::BatchChoice::AllSelected:
            onOpenImage = false;
            break;
        case IMessageBoxes::BatchChoice::CurrentOnly:
            if (!imageOpen)
                return;
            break;
        }
    } else if (n == 1) {
        onOpenImage = isOpenImage(0);
        if (!onOpenImage && (fileRunSave || HasStep(*macro, m_operSave.GetName()))
            && !MessageBoxes().AskYesNo(QStringLiteral("%1 will change %2 on disk. Do you want to continue?")
                                            .arg(name, NameInFolder(paths[0], m_strCurrentFolder)),
                                        name, true))
            return;
    }
    if (!onOpenImage && !fileRunSave && !SavesWhatItEdits(*macro, m_operSave.GetName())) {
        bool otherFiles = false;
        for (int i = 0; i < n && !otherFiles; ++i)
            otherFiles = !isOpenImage(i);
        if (otherFiles
            && !MessageBoxes().AskYesNo(QStringLiteral("This macro action has no \"Save\" step: the selected files it "
                                                       "edits will not be saved.\n\nDo you want to run it anyway?"),
                                        name, true))
            return;
    }

    const QString openPath = m_image.GetPath();
    int stop = 0;
    QStringList failed;
    if (onOpenImage) {
        {
            CSaveLeftOut noSave(macro, fileRunSave);
            macro->Apply(&m_image, 1, &stop, nullptr);
        }
        if (!m_image.HasDib())
            m_image.CreateDib();
        browser.RequeueCurrentThumbnail();
    } else {
        failed = RunOverFiles(macro, files, isOpenImage, m_image, m_jpegLib, m_pMainFrame, &stop);
        for (const FileListEntry& entry : selection) {
            if (!entry.directory)
                browser.QueueThumbnail(JoinPath(m_strCurrentFolder, entry.name));
        }
    }

    browser.ShowFolder(m_strCurrentFolder, 2);
    if (m_image.IsLoaded() && m_image.GetPath() != openPath)
        browser.FollowOpenImage(m_image.GetPath());
    macro->Finish();
    UpdateTitle();
    if (!failed.isEmpty()) {
        QString text = QString::asprintf("%d of %d files could not be opened and were left unchanged:",
                                         int(failed.size()), n);
        for (qsizetype i = 0; i < std::min<qsizetype>(failed.size(), kMaxFailedNames); ++i)
            text += u'\n' + failed[i];
        if (failed.size() > kMaxFailedNames)
            text += QStringLiteral("\n...");
        MessageBoxes().ShowWarning(text, name);
    }
}

bool CPixmendApp::SaveImage(const QString& path)
{
    if (!m_image.IsLoaded() || (path.isEmpty() && m_image.GetPath().isEmpty()))
        return false;
    std::unique_ptr<IOperation> clone(m_operSave.Clone());
    auto* save = dynamic_cast<COperSave*>(clone.get());
    if (!save)
        return false;
    save->SetTargetPath(path);
    int stop = 0;
    delete save->CreateAction(&m_image, &stop);
    // Only a written file counts: a declined confirmation or a Skip leaves
    // the stop flag at 0 too.
    if (save->GetLastOutcome() != COperSave::SaveOutcome::Saved)
        return false;
    GetBrowserSelection().RequeueCurrentThumbnail();
    if (m_bQuitAfterSave) {
        // Posted: this save may run inside the close query of the window
        // the exit command closes.
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (m_pMainFrame && m_pMainFrame->isVisible())
                    m_commands.Execute(ID_APP_EXIT);
            },
            Qt::QueuedConnection);
    } else {
        GetBrowserSelection().ShowFolder(m_strCurrentFolder, 2);
    }
    return true;
}

void CPixmendApp::OnMacroCommand(int id)
{
    const std::vector<CBatch*>& batches = m_batches.GetBatches();
    const int index = id - ID_MACRO_FIRST;
    if (index >= 0 && index < int(batches.size()))
        RunMacro(batches[size_t(index)]);
}

void CPixmendApp::RegisterRunCommands()
{
    for (int id = ID_MACRO_FIRST; id <= ID_MACRO_LAST; ++id) {
        CommandEntry entry;
        entry.id = id;
        entry.handler = [this, id] { OnMacroCommand(id); };
        entry.update = [this](CCmdUI& ui) { ui.Enable(m_image.IsLoaded() || GetBrowserSelection().HasSelection()); };
        m_commands.Add(std::move(entry));
    }
    m_saveImageHook = [this] { return SaveImage(QString()); };
}
