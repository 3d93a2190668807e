// The file commands of the application object: opening an image or a folder,
// stepping through the folder, closing, and copying, moving and deleting
// files. They keep the current folder, DefaultPath and DefaultPathSave in
// step with the browser's list. Paths use "/" only; a backslash is an
// ordinary character of a file name. Names are compared exactly.
#include "PixmendApp.h"

#include "ChildBrowseView.h"
#include "CommandIds.h"
#include "DialogHost.h"
#include "FileDialogs.h"
#include "FileCollector.h"
#include "FileNames.h"
#include "FileOperation.h"
#include "MainFrame.h"
#include "MessageBoxes.h"
#include "UndoMan.h"

#ifdef PIXMEND_HAVE_CHILD_VIEW
#include "ChildView.h"
#endif

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>

#include <set>

std::function<bool(QString& folder, const QString& title)>& CPixmendApp::s_browseForFolderHook = BrowseForFolderHook();

namespace {

QString StripTrailingSlashes(QString folder)
{
    while (folder.size() > 1 && folder.endsWith(QLatin1Char('/')))
        folder.chop(1);
    return folder;
}

// The view's count of image changes; 0 without a view.
unsigned ImageChanges(const CMainFrame* frame)
{
#ifdef PIXMEND_HAVE_CHILD_VIEW
    if (frame && frame->GetView())
        return frame->GetView()->ImageChangeCount();
#endif
    (void)frame;
    return 0;
}

// Saves the open image under `path` (empty: its own). A new path takes the
// browser's selection along, so that the next command goes to the file shown.
void SaveFollowed(CPixmendApp& app, const QString& path)
{
    const QString before = app.m_image.GetPath();
    if (app.SaveImage(path) && app.m_image.GetPath() != before)
        app.GetBrowserSelection().FollowOpenImage(app.m_image.GetPath());
}

} // namespace

CChildBrowseView* CPixmendApp::GetBrowser() const
{
    return m_pMainFrame ? m_pMainFrame->GetBrowser() : nullptr;
}

void CPixmendApp::OpenImage(const QString& path, int showMode)
{
    // A folder is no image: it neither closes the open one nor becomes
    // DefaultPath. Folders are entered through ChangeFolder.
    if (QFileInfo(path).isDir())
        return;
#ifdef PIXMEND_HAVE_CHILD_VIEW
    if (m_pMainFrame && m_pMainFrame->GetView())
        m_pMainFrame->GetView()->OnImageChanged();
#endif
    SetCurrentFolderFromPath(path);
    m_bOpenFirstImage = 0;
    // The caller has given up the previous image: a path that fails to load
    // (a folder, a file removed meanwhile) leaves no image, so view, title
    // and browser agree.
    if (!m_image.Load(path, 1))
        m_image.Close();
    m_settings.DefaultPath = path;
    if (m_pMainFrame)
        m_pMainFrame->ShowImage();
    CChildBrowseView* browser = GetBrowser();
    if (browser) {
        if (showMode != 1)
            browser->ShowFolder(m_strCurrentFolder, showMode);
        browser->SelectOrRemember(path);
    }
    if (m_image.IsLoaded()) {
        if (m_bCropOnOpen)
            m_commands.Execute(ID_EDIT_CROP);
        else if (m_pMainFrame)
            m_pMainFrame->ActivateCurrentMode(&m_image);
        if (browser)
            browser->GetBrowseDlg().AddFolderHistory(m_strCurrentFolder);
    }
    if (m_pMainFrame)
        m_pMainFrame->RefreshAfterCommand();
    UpdateTitle();
}

void CPixmendApp::ChangeFolder(const QString& folder, int openFirst)
{
#ifdef PIXMEND_HAVE_CHILD_VIEW
    if (m_pMainFrame && m_pMainFrame->GetView())
        m_pMainFrame->GetView()->OnImageChanged();
#endif
    SetCurrentFolderFromPath(folder);
    if (!folder.isEmpty()) {
        m_settings.DefaultPath = folder;
        m_strCurrentFolder = StripTrailingSlashes(folder);
        if (!m_settings.DefaultPath.endsWith(QLatin1Char('/')))
            m_settings.DefaultPath += QLatin1Char('/');
        m_bOpenFirstImage = openFirst;
        m_nChangesGivenUp = ImageChanges(m_pMainFrame);
        if (CChildBrowseView* browser = GetBrowser()) {
            browser->ShowFolder(m_strCurrentFolder, 0);
            browser->GetBrowseDlg().ShowFolderText(folder);
        }
    }
    if (m_pMainFrame)
        m_pMainFrame->RefreshAfterCommand();
    UpdateTitle();
}

void CPixmendApp::ListingComplete(const QString& firstImage)
{
    // The flag is for one listing: a folder without photos leaves the open
    // image alone, also at the next refresh.
    if (!m_bOpenFirstImage)
        return;
    m_bOpenFirstImage = 0;
    if (firstImage.isEmpty())
        return;
    // Edits made while the folder was listed were never asked about.
    if (ImageChanges(m_pMainFrame) != m_nChangesGivenUp && !QuerySaveModified())
        return;
    OpenImage(firstImage, 1);
}

void CPixmendApp::PathRenamed(const QString& from, const QString& to)
{
    const QString path = m_image.GetPath();
    if (!m_image.IsLoaded() || (path != from && !path.startsWith(from + QLatin1Char('/'))))
        return;
    // The old path kept would make the next save write where the file is no
    // longer; the edits stay as they are.
    m_image.SetPath(to + path.mid(from.size()));
    if (m_settings.DefaultPath == path)
        m_settings.DefaultPath = m_image.GetPath();
    UpdateTitle();
}

void CPixmendApp::OpenDroppedFile(const QString& path)
{
    if (QuerySaveModified() && !path.isEmpty())
        OpenImage(path, 0);
}

bool CPixmendApp::BrowseForFolder(QString& folder, const QString& title, QWidget* owner)
{
    return ::BrowseForFolder(folder, title, owner);
}

void CPixmendApp::OnFileOpen()
{
    if (!QuerySaveModified())
        return;
    QString folder = m_settings.DefaultPath;
    const QString path = ShowJpegFileDialog(true, folder, QString(), QString());
    if (!path.isEmpty())
        OpenImage(path, 0);
}

void CPixmendApp::OnFileSave()
{
    SaveFollowed(*this, QString());
}

void CPixmendApp::SaveAs()
{
    if (!m_image.IsLoaded())
        return;
    const SaveSettings& save = m_operSave.GetSettings();
    const QString suffix = save.UseSaveAsSuffix ? save.SaveAsSuffix : QString();
    QString folder = save.OriginalSaveAsFolder ? m_settings.DefaultPath : m_settings.DefaultPathSave;
    // The dialog returns the final name (extension added): the question and
    // the save both use it as it stands.
    const QString path = ShowSaveAsDialog(m_image.GetPath(), folder, suffix);
    if (path.isEmpty())
        return;
    if (FileExists(path) && !MessageBoxes().AskYesNo(OverwriteQuestionText(path), QStringLiteral("Overwrite warning"), true))
        return;
    m_settings.DefaultPathSave = path.left(path.lastIndexOf(QLatin1Char('/')) + 1);
    SaveFollowed(*this, path);
}

namespace {

// Closing without a question: the caller has asked already.
void CloseImageNow(CPixmendApp& app)
{
    CMainFrame* frame = app.GetMainFrame();
#ifdef PIXMEND_HAVE_CHILD_VIEW
    if (frame && frame->GetView())
        frame->GetView()->CancelSelection(false);
#endif
    app.m_image.Close();
    if (frame)
        frame->ShowImage();
    if (CChildBrowseView* browser = app.GetBrowser())
        browser->ClearCurrent();
    if (frame)
        frame->RefreshAfterCommand();
    else
        app.UpdateTitle();
}

} // namespace

void CPixmendApp::OnFileClose()
{
    if (QuerySaveModified())
        CloseImageNow(*this);
}

void CPixmendApp::StepToImage(int command)
{
    if (!QuerySaveModified())
        return;
    CChildBrowseView* browser = GetBrowser();
    if (!browser)
        return;
    // Shift or Ctrl extends the selection while stepping.
    if (!(QGuiApplication::keyboardModifiers() & (Qt::ShiftModifier | Qt::ControlModifier)))
        browser->GetBrowseDlg().SetAllSelected(false);
    // Folders are passed over: only files are stepped onto.
    const auto fileName = [browser](int index) { return index >= 0 ? browser->GetNameAt(index) : QString(); };
    QString name;
    switch (command) {
    case ID_FILE_NEXT_IMAGE:
        name = browser->GetNextName();
        break;
    case ID_FILE_PREV_IMAGE:
        name = browser->GetPrevName();
        break;
    case ID_FILE_FIRST_IMAGE:
        name = fileName(browser->FindFile(-1, 1));
        break;
    default:
        name = fileName(browser->FindFile(browser->GetItemCount(), -1));
        break;
    }
    if (!name.isEmpty())
        OpenImage(JoinPath(m_strCurrentFolder, name), 1);
}

void CPixmendApp::OnFileNextImage()
{
    StepToImage(ID_FILE_NEXT_IMAGE);
}

void CPixmendApp::OnFilePrevImage()
{
    StepToImage(ID_FILE_PREV_IMAGE);
}

void CPixmendApp::OnFileFirstImage()
{
    StepToImage(ID_FILE_FIRST_IMAGE);
}

void CPixmendApp::OnFileLastImage()
{
    StepToImage(ID_FILE_LAST_IMAGE);
}

void CPixmendApp::OnFolderChange()
{
    const qsizetype slash = m_settings.DefaultPath.lastIndexOf(QLatin1Char('/'));
    QString folder = slash < 0 ? QString() : m_settings.DefaultPath.left(slash);
    if (!BrowseForFolder(folder, QStringLiteral("Select a folder"), m_pMainFrame))
        return;
    if (!QuerySaveModified())
        return;
    // Asked once: after Yes or No the image goes without a second question.
    CloseImageNow(*this);
    ChangeFolder(folder, 1);
}

void CPixmendApp::OnFolderUp()
{
    if (!QuerySaveModified())
        return;
    const QString from = m_strCurrentFolder;
    // No image stays open; the folder just left is selected in the listing.
    CloseImageNow(*this);
    ChangeFolder(QDir::cleanPath(from + QStringLiteral("/..")), 0);
    if (CChildBrowseView* browser = GetBrowser())
        browser->SelectOrRemember(from);
}

void CPixmendApp::OnFolderRefresh()
{
    if (CChildBrowseView* browser = GetBrowser())
        browser->ShowFolder(m_strCurrentFolder, 0);
}

void CPixmendApp::CopyMoveToFolder(int move)
{
    const qsizetype slash = m_settings.DefaultPathSave.lastIndexOf(QLatin1Char('/'));
    QString folder = slash < 0 ? QString() : m_settings.DefaultPathSave.left(slash + 1);
    const QString title = move ? QStringLiteral("Move files to folder") : QStringLiteral("Copy files to folder");
    if (!BrowseForFolder(folder, title, m_pMainFrame))
        return;
    folder = StripTrailingSlashes(folder);
    m_settings.DefaultPathSave = folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
    ShellFileOperation(int(move ? FileOperationCode::Move : FileOperationCode::Copy), 1, folder);
}

bool CPixmendApp::ShellFileOperation(int code, int allowUndo, const QString& destination)
{
    CChildBrowseView* browser = GetBrowser();
    const QString imagePath = m_image.IsLoaded() ? m_image.GetPath() : QString();
    // The open image first, then the selected files and folders (a folder
    // whole), each once. With a folder focused the command is about the
    // selection: the open image goes along only when selected itself.
    QStringList files;
    const int focused = browser ? browser->GetBrowseDlg().GetFocusedIndex() : -1;
    if (!imagePath.isEmpty() && (focused < 0 || !browser->GetBrowseDlg().GetEntry(focused).directory))
        files << imagePath;
    if (browser) {
        for (const FileListEntry& entry : browser->GetSelectedEntries()) {
            const QString path = JoinPath(m_strCurrentFolder, entry.name);
            if (!files.contains(path))
                files << path;
        }
    }
    if (files.isEmpty())
        return false;

    const auto op = FileOperationCode(code);
    QString holder; // the selected folder the open image lies in
    for (const QString& file : files)
        if (imagePath.startsWith(file + QLatin1Char('/')))
            holder = file;
    // A modified open image is saved (or its edits given up) only when the
    // run reaches it: a move of it or of its folder (nothing goes onto
    // itself), or a delete of its folder, whose question does not name it.
    const QString reached = holder.isEmpty() ? imagePath : holder;
    const bool reaches = op == FileOperationCode::Move
                             ? files.contains(reached) && !IsSameFile(QFileInfo(reached).path(), destination)
                             : op == FileOperationCode::Delete && !holder.isEmpty();
    if (reaches && !QuerySaveModified())
        return false;

    const FileOperationResult result = RunFileOperation(op, files, allowUndo != 0, destination);
    // The open image inside a selected folder that went: it follows the
    // folder to its new place, or it is gone with it.
    bool imageGone = false;
    if (!holder.isEmpty() && !QFileInfo::exists(imagePath)) {
        const QString to = JoinPath(destination, QFileInfo(holder).fileName());
        if (op == FileOperationCode::Move && QFileInfo::exists(to + imagePath.mid(holder.size())))
            PathRenamed(holder, to);
        else
            imageGone = true;
    }
    if (op != FileOperationCode::Copy && browser) {
        // A folder that went is no place to go back to.
        for (const QString& gone : result.done)
            browser->GetBrowseDlg().RemoveFolderHistory(gone);
    }
    if (op != FileOperationCode::Copy && !result.done.isEmpty()) {
        if (imagePath.isEmpty() || imageGone || result.done.contains(imagePath)) {
            // The neighbours of its item; saved elsewhere, it has none here
            // and the photo it came from stands for it.
            const QString listed = holder.isEmpty() ? imagePath : holder;
            const QString name = QFileInfo(listed).fileName();
            const int index = !browser ? -1
                              : JoinPath(m_strCurrentFolder, name) == listed ? browser->GetBrowseDlg().FindName(name)
                                                                             : browser->GetStepIndex();
            // The file is gone: nothing is left to save.
            m_image.GetUndoMan()->ClearHistory();
            CloseImageNow(*this);
            OpenNeighbour(index, result.done);
        } else if (browser) {
            // The open image stayed (the trash refused it): only the list changes.
            browser->ShowFolder(m_strCurrentFolder, 3);
            browser->SelectOrRemember(imagePath);
        }
        return true;
    }
    if (!m_image.IsLoaded() && browser) {
        const QString name = browser->GetNameAt(-1);
        if (!name.isEmpty())
            OpenImage(JoinPath(m_strCurrentFolder, name), 1);
    }
    return false;
}

void CPixmendApp::OpenNeighbour(int index, const QStringList& removed)
{
    CChildBrowseView* browser = GetBrowser();
    if (!browser)
        return;
    const std::set<QString> gone(removed.begin(), removed.end());
    // The list still holds the removed files: they are passed over, and the
    // items after the open image come before those ahead of it.
    const auto tryItem = [&](int i) {
        const FileListEntry& entry = browser->GetBrowseDlg().GetEntry(i);
        const QString path = JoinPath(m_strCurrentFolder, entry.name);
        if (entry.directory || gone.count(path))
            return false;
        OpenImage(path, 1);
        return m_image.IsLoaded() != 0;
    };
    const int count = browser->GetItemCount();
    bool opened = false;
    for (int i = index + 1; i < count && !opened; ++i)
        opened = tryItem(i);
    for (int i = std::min(index, count) - 1; i >= 0 && !opened; --i)
        opened = tryItem(i);
    if (!opened)
        CloseImageNow(*this);
    browser->ShowFolder(m_strCurrentFolder, 3);
    if (m_image.IsLoaded())
        browser->SelectOrRemember(m_image.GetPath());
    if (m_pMainFrame)
        m_pMainFrame->RefreshAfterCommand();
    UpdateTitle();
}

void CPixmendApp::RegisterFileCommands()
{
    const auto imageOpen = [this](CCmdUI& ui) { ui.Enable(m_image.IsLoaded() != 0); };
    // Whether a file item follows (step 1) or precedes (-1) the current item.
    const auto fileAfter = [this](int step) {
        CChildBrowseView* browser = GetBrowser();
        return browser && browser->FindStep(step) >= 0;
    };
    const auto anyFile = [this] {
        CChildBrowseView* browser = GetBrowser();
        return browser && browser->FindFile(-1, 1) >= 0;
    };
    const auto hasSelection = [this] {
        CChildBrowseView* browser = GetBrowser();
        return browser && browser->HasSelection();
    };

    m_commands.SetHandler(ID_FILE_OPEN, [this] { OnFileOpen(); });
    m_commands.SetHandler(ID_FILE_CLOSE, [this] { OnFileClose(); });
    m_commands.SetUpdate(ID_FILE_CLOSE, imageOpen);
    m_commands.SetHandler(ID_FILE_SAVE, [this] { OnFileSave(); });
    m_commands.SetUpdate(ID_FILE_SAVE, imageOpen);
    m_commands.SetHandler(ID_FILE_SAVE_AS, [this] { SaveAs(); });
    m_commands.SetUpdate(ID_FILE_SAVE_AS, imageOpen);

    m_commands.SetHandler(ID_FILE_NEXT_IMAGE, [this] { OnFileNextImage(); });
    m_commands.SetUpdate(ID_FILE_NEXT_IMAGE, [fileAfter](CCmdUI& ui) { ui.Enable(fileAfter(1)); });
    m_commands.SetHandler(ID_FILE_PREV_IMAGE, [this] { OnFilePrevImage(); });
    m_commands.SetUpdate(ID_FILE_PREV_IMAGE, [fileAfter](CCmdUI& ui) { ui.Enable(fileAfter(-1)); });
    m_commands.SetHandler(ID_FILE_FIRST_IMAGE, [this] { OnFileFirstImage(); });
    m_commands.SetUpdate(ID_FILE_FIRST_IMAGE, [anyFile](CCmdUI& ui) { ui.Enable(anyFile()); });
    m_commands.SetHandler(ID_FILE_LAST_IMAGE, [this] { OnFileLastImage(); });
    m_commands.SetUpdate(ID_FILE_LAST_IMAGE, [anyFile](CCmdUI& ui) { ui.Enable(anyFile()); });

    m_commands.SetHandler(ID_FOLDER_CHANGE, [this] { OnFolderChange(); });
    m_commands.SetHandler(ID_FOLDER_REFRESH, [this] { OnFolderRefresh(); });
    m_commands.SetHandler(ID_FOLDER_UP, [this] { OnFolderUp(); });
    m_commands.SetUpdate(ID_FOLDER_UP, [this](CCmdUI& ui) {
        ui.Enable(!m_strCurrentFolder.isEmpty() && m_strCurrentFolder != QLatin1String("/")
                  && QFileInfo(m_strCurrentFolder).isDir());
    });

    const auto imageOrSelection = [this, hasSelection](CCmdUI& ui) { ui.Enable(m_image.IsLoaded() || hasSelection()); };
    m_commands.SetHandler(ID_FILE_DELETE, [this] { ShellFileOperation(int(FileOperationCode::Delete), 1, QString()); });
    m_commands.SetUpdate(ID_FILE_DELETE, imageOrSelection);
    m_commands.SetHandler(ID_FILE_DELETE_CURRENT,
                          [this] { ShellFileOperation(int(FileOperationCode::Delete), 0, QString()); });
    m_commands.SetUpdate(ID_FILE_DELETE_CURRENT, imageOrSelection);

    const auto selection = [hasSelection](CCmdUI& ui) { ui.Enable(hasSelection()); };
    m_commands.SetHandler(ID_FILE_COPY_TO_FOLDER, [this] { CopyMoveToFolder(0); });
    m_commands.SetUpdate(ID_FILE_COPY_TO_FOLDER, selection);
    m_commands.SetHandler(ID_FILE_MOVE_TO_FOLDER, [this] { CopyMoveToFolder(1); });
    m_commands.SetUpdate(ID_FILE_MOVE_TO_FOLDER, selection);
}
