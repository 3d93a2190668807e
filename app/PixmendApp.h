// app/: the top of the program: the application object and its start-up, the
// command table and handlers, the file commands, the runs over files, the
// main frame, its menus and status bar. It wires every folder below it; none
// of them may include it (browser/, view/ and modes/ still do and build with
// it).
//
// CPixmendApp: the program's one application object (`theApp`). It owns what
// lives for the whole run: the library loader, the open image, the operation
// prototypes, the settings record and the browser's path state. It checks the
// library at start-up, reads the profile, creates and places the main window,
// takes the command line and opens the first image; at exit it writes the
// profile back. Its idle handler drives background work.
//
// Qt needs its QApplication before any widget, so the object is built in
// main() after it, not as a static global; `theApp` names the one instance.
#pragma once

#include "AppSettings.h"
#include "Batch.h"
#include "BrowserHost.h"
#include "CommandTable.h"
#include "DashedLine.h"
#include "IdleDriver.h"
#include "JPEGlib.h"
#include "KsImage.h"
#include "LocaleManager.h"
#include "ModeHost.h"
#include "OperColor.h"
#include "OperConvertGrayscale.h"
#include "OperCrop.h"
#include "OperEmail.h"
#include "OperRedEye.h"
#include "OperReconstruct.h"
#include "OperResize.h"
#include "OperRotate.h"
#include "OperSave.h"
#include "OperText.h"

#include <QFont>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <vector>

class CBatch;
class CClipboardImage;
class CMainFrame;
class CPropertyPage;
class IBrowserSelection;
class IOperation;
class QWidget;
class CChildBrowseView;

class CPixmendApp : public QObject, public IBrowserHost, public IModeHost {
    Q_OBJECT
public:
    CPixmendApp();
    ~CPixmendApp() override;
    CPixmendApp(const CPixmendApp&) = delete;
    CPixmendApp& operator=(const CPixmendApp&) = delete;

    // The one instance; null outside its lifetime.
    static CPixmendApp* Instance() { return s_instance; }

    // The start-up sequence over the arguments after the program name. False
    // means the program must end with GetExitCode() (the user has been told).
    bool InitInstance(const QStringList& arguments);
    // Writes the settings and the prototypes' parameters; returns exitCode.
    int ExitInstance(int exitCode);
    int GetExitCode() const { return m_nExitCode; }

    // One idle step; true asks for another. count is 0 on the first call after
    // the program was busy and grows with each further call.
    bool OnIdle(long count);
    // Work appeared (a command ran, a loader got a request): idle steps resume.
    void RequestIdle() override;

    int GetDpiScale() override;
    void ApplyFont(QWidget* window, int height, const QString& faceName) override;
    CMainFrame* GetMainFrame() const;
    CCommandTable& GetCommands() override { return m_commands; }
    CLocaleManager& GetLocaleManager() { return m_localeManager; }

    // What the command handlers (Commands.cpp) share with the modes, the
    // view and the frame; each forwards to the frame or the view and does
    // nothing (or answers "none") without them.
    int GetCurrentModeId() const override;
    void SetMode(int id) override;
    // The default mode without cancelling the selection; the view's timers stop.
    void SwitchToDefaultMode() override;
    void InvalidateView() override;
    void ShowModePanel(CPropertyPage* page, const QString& caption) override;
    void HideModePanel() override;
    // The browser's selection is not empty, or else an image is open.
    bool HasImageOrSelectedFiles();
    // Enabled while an image is open, checked while the mode is current.
    void UpdateModeCommandUI(CCmdUI& ui);
    void UpdateZoomCombo(bool force);
    // The view's double click: edits the text mode's text, else applies the mode.
    void OnViewDoubleClick();
    void OnModeApply();
    void OnEditTextAndFont();
    // Takes the clipboard's picture as the paste bitmap, replacing the
    // previous one; false (nothing changed) when there is none to take.
    bool TakeClipboardBitmap();
    const CDib24& GetPasteBitmap() const { return m_pasteBitmap; }
    bool HasClipboardImage() const;
    // The help file: the program's path with its extension replaced by ".chm".
    static QString HelpFilePath(const QString& programPath);
    void OnHelpContents();
    void OnHelpWebPage();

    // The file routines (FileCommands.cpp): open a file into the view (a
    // folder path selects the folder's item), make a folder current and list
    // it. showMode 0 lists the folder, 1 keeps the listing as it is. With
    // openFirst the listing opens the folder's first photo: the caller has
    // asked about the open image already.
    void OpenImage(const QString& path, int showMode) override;
    void ChangeFolder(const QString& folder, int openFirst) override;
    QString SetCurrentFolderFromPath(const QString& path);
    void UpdateTitle() override;
    void OpenDroppedFile(const QString& path);

    // The browser's view of the application.
    CAppSettings& BrowserSettings() override { return m_settings; }
    QString BrowserFolder() const override { return m_strCurrentFolder; }
    CKsImage& BrowserImage() override { return m_image; }
    void ListingComplete(const QString& firstImage) override;
    // The open image follows its file or folder to its new path, with its
    // edits.
    void PathRenamed(const QString& from, const QString& to) override;
    QWidget* ImageViewWidget() override;
    void ShowBrowserContextMenu(QPoint globalPos) override;
    // The modes' view of the application.
    CAppSettings& ModeSettings() override { return m_settings; }
    CKsImage& ModeImage() override { return m_image; }
    COperCrop& CropOperation() override { return m_operCrop; }
    QWidget* MainWindow() override;
    CChildView* ModeView() override;
    IMode* CurrentMode() override;
    void UpdateStatusTexts() override;
    void RefreshAfterCommand() override;
    // Deletes (to the trash with allowUndo), copies or moves the open image
    // and the browser's selected files; after a delete or move the nearest
    // remaining file opens. True when files were removed.
    bool ShellFileOperation(int code, int allowUndo, const QString& destination);
    void CopyMoveToFolder(int move);
    // The browser's pane (null without a frame).
    CChildBrowseView* GetBrowser() const;
    // The folder picker; tests answer it through this hook when set.
    static bool BrowseForFolder(QString& folder, const QString& title, QWidget* owner);
    static std::function<bool(QString& folder, const QString& title)>& s_browseForFolderHook;

    void OnFileOpen();
    void OnFileSave();
    void SaveAs();
    void OnFileClose();
    void OnFileNextImage();
    void OnFilePrevImage();
    void OnFileFirstImage();
    void OnFileLastImage();
    void OnFolderChange();
    void OnFolderUp();
    void OnFolderRefresh();
    // Before the open image is given up: a modified image asks whether to
    // save it first. False means the caller must not go on (Cancel, or a
    // save that failed).
    bool QuerySaveModified() override;
    // Preferences: the sheet on the settings record, then the browser sorts
    // its listing again for a new sort order.
    void OnFilePreferences();
    // The close query's save of the open image under its own path; false
    // when no file was written. SaveImage, set at construction.
    std::function<bool()> m_saveImageHook;

    // Runs over the open image or the browser's selection (RunOperations.cpp).
    // RunOperation takes ownership of the operation; the macro stays the
    // caller's. SaveImage saves the open image under `path` (empty: its own)
    // and says whether the file was written.
    void RunOperation(IOperation* operation) override;
    void RunMacro(CBatch* macro);
    bool SaveImage(const QString& path);
    void OnMacroCommand(int id);
    // The macro manager over m_batches, modal (BatchManager.cpp).
    void OnMacroManager();
    // Appends the JPEG files of `folder` (and of its folders when recursive).
    static void CollectFiles(QStringList* out, const QString& folder, int recursive);
    // The browser's selection as the frame hands it out (empty without a frame).
    IBrowserSelection& GetBrowserSelection();

    struct CommandLine {
        bool quitAfterSave = false;
        bool showBrowser = true;
        bool cropOnOpen = false;
        QString currentFolder; // set with the path
        QString path;          // empty when none was given
    };
    // Switches are exact and case-sensitive; the first other argument is the
    // path, taken against `currentDirectory` when relative; later ones are ignored.
    static CommandLine ParseCommandLine(const QStringList& arguments, const QString& currentDirectory);
    // The saved placement when it fits `desktop`, else the default placement,
    // which is also written back into `settings`.
    static QRect PlaceWindow(CAppSettings& settings, const QRect& desktop);
    static int DpiScaleFromLogicalDpi(int logicalDpiX) { return logicalDpiX * 100 / 96; }

    // State reached through theApp, as the rest of the program expects it.
    QString m_strAppTitle;
    QFont m_font;
    // Before the operations: the text operation takes its defaults from it.
    CLocaleManager m_localeManager;
    std::vector<IOperation*> m_operations; // OperationPrototypes, not owned
    CBatchList m_batches;                   // all macros, loaded after the frame
    CAppSettings m_settings;
    QString m_strCurrentFolder;
    // The open photo's path at the last idle moment: DefaultPath follows it
    // when the photo is saved under a new name.
    QString m_strIdleImagePath;
    // DefaultPath as last handed to the profile; while the timer runs a new
    // one waits (paging through a folder changes it at every photo).
    QString m_strStoredDefaultPath;
    QTimer m_defaultPathPause;
    int m_bShowBrowser = 1;
    int m_bCropOnOpen = 0;
    int m_bQuitAfterSave = 0;
    int m_bOpenFirstImage = 0;
    // The view's image change count when m_bOpenFirstImage was set: the
    // edits the user gave up then.
    unsigned m_nChangesGivenUp = 0;
    int m_nDpiScale = 0;
    // The prototypes; m_operCrop's Left/Top/Right/Bottom are the program's
    // selection (SelectionRect).
    COperRotate m_operRotate;
    COperCrop m_operCrop;
    COperResize m_operResize;
    COperColor m_operColor;
    COperConvertGrayscale m_operGrayscale;
    COperRedEye m_operRedEye;
    COperText m_operText{m_localeManager};
    COperReconstruct m_operReconstruct;
    COperSave m_operSave;
    COperEmail m_operEmail;
    CJPEGlib m_jpegLib;
    CKsImage m_image;

private:
    bool Fail(const QString& message);
    // The macro commands and the single-image save handed to the close query.
    void RegisterRunCommands();
    // fileRunSave: the save RunOperation appended, left out when the run
    // lands on the open image.
    void RunMacro(CBatch* macro, IOperation* fileRunSave);
    void RegisterCommands();
    void RegisterFileCommands();
    void StepToImage(int which);
    void OpenNeighbour(int index, const QStringList& removed);
    // The idle work of the framework itself: the update pass.
    bool BaseOnIdle(long count);
    void StoreSettingsChanges();

    static CPixmendApp* s_instance;
    QPointer<CMainFrame> m_pMainFrame;
    CCommandTable m_commands;
    CIdleDriver m_idle;
    int m_nExitCode = 0;
    // The picture the paste command took from the clipboard; owned here so
    // the paste mode can keep showing it.
    CDib24 m_pasteBitmap;
    CClipboardImage* m_clipboardImage = nullptr;
};

#define theApp (*CPixmendApp::Instance())
