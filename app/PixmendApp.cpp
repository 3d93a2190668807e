#include "PixmendApp.h"

#include "BrowseDlg.h"
#include "ChildBrowseView.h"
#include "ChildView.h"
#include "CommandIds.h"
#include "CropPresets.h"
#include "DialogHost.h"
#include "FontHeight.h"
#include "MainFrame.h"
#include "MessageBoxes.h"
#include "Operation.h"
#include "OperationPages.h"
#include "SettingsDlg.h"
#include "ThumbJob.h"
#include "Profile.h"
#include "UndoMan.h"

#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QEventLoop>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <memory>

#include <climits>
#include <cstdint>
#include <cstdlib>

CPixmendApp* CPixmendApp::s_instance = nullptr;

namespace {

// The shortest time between two writes of a new last photo's path.
constexpr int kDefaultPathPauseMs = 3000;

int AppDpiScale()
{
    CPixmendApp* app = CPixmendApp::Instance();
    return app ? app->GetDpiScale() : 100;
}

// Input that may change what commands are possible restarts idle processing,
// as the end of every message does in an event loop with idle time.
class CInputWatcher : public QObject {
public:
    explicit CInputWatcher(CPixmendApp* app) : QObject(app), m_app(app) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::Wheel:
        case QEvent::WindowActivate:
        case QEvent::Drop:
            m_app->RequestIdle();
            break;
        default:
            break;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    CPixmendApp* m_app;
};

// Ends `loop` once the window it watches is exposed.
class CExposeWatch : public QObject {
public:
    CExposeWatch(QWindow* window, QEventLoop& loop) : m_window(window), m_loop(loop) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Expose && m_window->isExposed())
            m_loop.quit(); // after this exposure's paint
        return QObject::eventFilter(watched, event);
    }

private:
    QWindow* m_window;
    QEventLoop& m_loop;
};

// Runs the events, user input held back, until `window` is on screen (at
// most `ms`): a window mapped first shows while the photo loads.
void WaitUntilExposed(QWidget* window, int ms)
{
    QWindow* handle = window->windowHandle();
    if (!handle || handle->isExposed())
        return;
    QEventLoop loop;
    CExposeWatch watch(handle, loop);
    handle->installEventFilter(&watch);
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    handle->removeEventFilter(&watch);
}

} // namespace

CPixmendApp::CPixmendApp()
    : m_image(m_jpegLib)
{
    s_instance = this;
    SetBrowserHost(this);
    SetModeHost(this);
    CAppSettings::SetDpiScaleSource(AppDpiScale);
    SetCropAllowOutwardHook([this] { return m_operCrop.Params().AllowOutwardSel; });
    RegisterCommands();
    RegisterRunCommands();
    RegisterFileCommands();
    connect(&m_commands, &CCommandTable::commandExecuted, this, [this] { RequestIdle(); });
    m_idle.SetHandler([this](long count) { return OnIdle(count); });
    m_defaultPathPause.setSingleShot(true);
    m_defaultPathPause.setInterval(kDefaultPathPauseMs);
    connect(&m_defaultPathPause, &QTimer::timeout, this, &CPixmendApp::RequestIdle);
    // A relative destination folder of a save hangs below the folder shown.
    COperSave::SetCurrentFolderSource([this] { return m_strCurrentFolder; });
    TheDialogHost() = {
        .mainWindow = [this] { return static_cast<QWidget*>(GetMainFrame()); },
        .settings = [this] { return &m_settings; },
        .prototypes = [this] { return m_operations; },
        .openImage = [this] { return m_image.IsLoaded() ? &m_image : nullptr; },
        .locales = [this] { return &m_localeManager; },
        .dpiScale = [this] { return GetDpiScale(); },
        .applyFont = [this](QWidget* window, int height, const QString& face) { ApplyFont(window, height, face); },
        .currentFolder = [this] { return m_strCurrentFolder; },
        .refreshView = [this](bool resetSelection) {
            CChildView* view = GetMainFrame() ? GetMainFrame()->GetView() : nullptr;
            if (!view)
                return;
            if (resetSelection)
                view->ResetModeSelection();
            view->UpdateView(true);
        },
    };
    TheViewAppHooks() = {
        .commands = [this] { return &m_commands; },
        .cropOptions = [this] { return &m_operCrop.Params(); },
        .settings = [this] { return &m_settings; },
        .openDroppedFile = [this](const QString& path) { OpenDroppedFile(path); },
        .mainView = [this]() -> const CChildView* { return GetMainFrame() ? GetMainFrame()->GetView() : nullptr; },
        .viewDoubleClick = [this] { OnViewDoubleClick(); },
    };
}

CPixmendApp::~CPixmendApp()
{
    m_idle.Stop();
    delete m_pMainFrame;
    COperSave::SetCurrentFolderSource(nullptr);
    CAppSettings::SetDpiScaleSource(nullptr);
    SetCropAllowOutwardHook(nullptr);
    if (s_instance == this) {
        s_instance = nullptr;
        TheDialogHost() = {};
        TheViewAppHooks() = {};
        SetBrowserHost(nullptr);
        SetModeHost(nullptr);
    }
}

CMainFrame* CPixmendApp::GetMainFrame() const
{
    return m_pMainFrame.data();
}

QWidget* CPixmendApp::ImageViewWidget()
{
    return GetMainFrame() ? GetMainFrame()->GetViewWidget() : nullptr;
}

void CPixmendApp::ShowBrowserContextMenu(QPoint globalPos)
{
    if (CMainFrame* frame = GetMainFrame())
        frame->ShowContextMenu(8, globalPos);
}

QWidget* CPixmendApp::MainWindow()
{
    return GetMainFrame();
}

CChildView* CPixmendApp::ModeView()
{
    return GetMainFrame() ? GetMainFrame()->GetView() : nullptr;
}

IMode* CPixmendApp::CurrentMode()
{
    return GetMainFrame() ? GetMainFrame()->GetCurrentMode() : nullptr;
}

void CPixmendApp::UpdateStatusTexts()
{
    if (CMainFrame* frame = GetMainFrame())
        frame->UpdateStatusTexts();
}

void CPixmendApp::RefreshAfterCommand()
{
    if (CMainFrame* frame = GetMainFrame())
        frame->RefreshAfterCommand();
}

bool CPixmendApp::Fail(const QString& message)
{
    MessageBoxes().ShowMessage(message);
    m_nExitCode = 1;
    return false;
}

bool CPixmendApp::InitInstance(const QStringList& arguments)
{
    if (!m_image.HasUndoFile())
        return Fail(QString::fromUtf8(kUndoFileErrorText));
    if (!m_jpegLib.IsLoaded())
        return Fail(QStringLiteral("Kestrel library not found."));
    if (!m_image.GetLibraryObject())
        return Fail(QStringLiteral("Kestrel object not created."));

    // No profile access before this point: a failed start leaves the profile alone.
    CProfile::SetRegistryKey(QStringLiteral("Pixmend"));
    m_settings.Load();
    m_strStoredDefaultPath = m_settings.DefaultPath;
    // Each kind's editor page comes from the dialogs' factories.
    RegisterOperationPages();
    // The operation prototypes in the order rotate, crop, resize, colour,
    // grayscale, red eye, text, reconstruct, save, e-mail (the lists offer
    // them in this order); then each loads its parameters.
    m_operations = {&m_operRotate,    &m_operCrop,   &m_operResize, &m_operColor,
                    &m_operGrayscale, &m_operRedEye, &m_operText,   &m_operReconstruct,
                    &m_operSave,      &m_operEmail};
    for (IOperation* op : m_operations)
        op->LoadFromRegistry();

    const CommandLine cl = ParseCommandLine(arguments, QDir::currentPath());
    m_bQuitAfterSave = cl.quitAfterSave ? 1 : 0;
    m_bShowBrowser = cl.showBrowser ? 1 : 0;
    m_bCropOnOpen = cl.cropOnOpen ? 1 : 0;
    if (!cl.path.isEmpty())
        m_strCurrentFolder = cl.currentFolder;

    QRect desktop(0, 0, 1024, 768);
    if (QScreen* screen = QGuiApplication::primaryScreen())
        desktop = screen->geometry();
    const QRect placement = PlaceWindow(m_settings, desktop);

    // While the window is built, the photo to start on loads (OpenImage
    // takes it) and, when it opens shrunk to fit, a first picture of it is
    // decoded at about the window's scale.
    const QString startPath = cl.path.isEmpty() ? m_settings.DefaultPath : cl.path;
    std::unique_ptr<CThumbJob> preview;
    if (!startPath.isEmpty() && QFileInfo(startPath).isFile()) {
        if (m_settings.ScaleOnOpen == 1) {
            const int box = std::clamp(std::min(placement.width(), placement.height()), 1, CThumbLoader::kMaxBox);
            preview = std::make_unique<CThumbJob>(m_image.GetLibraryObject(), startPath, box,
                                                  static_cast<uint32_t>(m_settings.BackgroundColor));
        }
        m_image.StartLoad(startPath);
    }

    m_pMainFrame = new CMainFrame;
    m_commands.AddActionsTo(m_pMainFrame);
    qApp->installEventFilter(new CInputWatcher(this));

    m_pMainFrame->move(placement.topLeft());
    m_pMainFrame->resize(placement.size());
    m_pMainFrame->show();
    // The window goes on screen before the photo loads.
    WaitUntilExposed(m_pMainFrame, 1000);

    m_strAppTitle = QStringLiteral("Pixmend");

    m_batches.Load(&m_operations);
    m_pMainFrame->SetMacroNamesSource([this] { return m_batches.GetNames(); });

    // The first picture shows until the photo itself is attached.
    if (preview) {
        QSize imageSize;
        const QImage picture = preview->Take(&imageSize);
        m_pMainFrame->ShowPreview(picture, imageSize);
        preview.reset();
    }

    if (!cl.path.isEmpty()) {
        // An existing folder given is that folder, listed with its first photo open.
        if (QFileInfo(cl.path).isDir()) {
            ChangeFolder(cl.path, 1);
        } else {
            const bool missing = !QFileInfo::exists(cl.path);
            OpenImage(cl.path, 0);
            // The folder listed is named in the folder box, and a file not
            // there is said so.
            CChildBrowseView* browser = GetBrowser();
            if (browser && !m_image.IsLoaded())
                browser->GetBrowseDlg().ShowFolderText(m_strCurrentFolder);
            if (missing)
                MessageBoxes().ShowMessage(cl.path + QStringLiteral("\nThe file was not found."));
        }
    } else {
        OpenImage(m_settings.DefaultPath, 0);
        if (!m_image.IsLoaded()) {
            const qsizetype slash = m_settings.DefaultPath.lastIndexOf(QLatin1Char('/'));
            ChangeFolder(slash == 0 ? QStringLiteral("/") : m_settings.DefaultPath.left(slash), 1);
        }
    }

    UpdateTitle();
    RequestIdle();
    return true;
}

int CPixmendApp::ExitInstance(int exitCode)
{
    m_idle.Stop();
    m_defaultPathPause.stop();
    // The frame stores its placement as it goes.
    delete m_pMainFrame;
    m_settings.Save();
    // Then each operation prototype's parameters, in registration order.
    for (IOperation* op : m_operations)
        op->SaveToRegistry();
    CProfile::Close();
    return exitCode;
}

CPixmendApp::CommandLine CPixmendApp::ParseCommandLine(const QStringList& arguments, const QString& currentDirectory)
{
    CommandLine cl;
    for (const QString& arg : arguments) {
        if (arg == QLatin1String("-q")) {
            cl.quitAfterSave = true;
        } else if (arg == QLatin1String("-nb")) {
            cl.showBrowser = false;
        } else if (arg == QLatin1String("-mc")) {
            cl.cropOnOpen = true;
        } else if (cl.path.isEmpty() && !arg.isEmpty()) {
            cl.currentFolder = currentDirectory;
            // Any relative path, not only a bare name, is taken against the
            // current folder so the folder state always holds absolute paths.
            cl.path = QDir::isAbsolutePath(arg) ? arg : QDir::cleanPath(QDir(currentDirectory).filePath(arg));
        }
    }
    return cl;
}

QRect CPixmendApp::PlaceWindow(CAppSettings& s, const QRect& desktop)
{
    const int w = desktop.width();
    const int h = desktop.height();
    // The profile may hold any values: a rectangle whose far edges lie beyond
    // int cannot be formed, and cannot be on the desktop either.
    const auto edgeFits = [](int pos, int size) {
        const int64_t far = static_cast<int64_t>(pos) + size - 1;
        return far >= INT_MIN && far <= INT_MAX;
    };
    const bool representable = edgeFits(s.PozX, s.SzX) && edgeFits(s.PozY, s.SzY);
    // An empty or inverted rectangle intersects nothing (QRect::intersects
    // would normalise it first).
    if (s.SzX != 0 && w >= s.SzX && h >= s.SzY && representable) {
        const QRect saved(s.PozX, s.PozY, s.SzX, s.SzY);
        if (saved.isValid() && saved.intersects(desktop))
            return saved;
    }
    s.PozX = w * 10 / 100;
    s.PozY = h * 5 / 100;
    s.SzX = w * 8 / 10;
    s.SzY = h * 8 / 10;
    return QRect(s.PozX, s.PozY, s.SzX, s.SzY);
}

bool CPixmendApp::OnIdle(long count)
{
    // The folder browser's step first: it takes over entries and thumbnails.
    CChildBrowseView* browser = GetBrowser();
    const bool browserMore = browser && browser->OnIdle(count);
    return BaseOnIdle(count) || browserMore;
}

// The settings changed in the window reach the profile at the first idle
// moment, which writes only what changed; a kill loses nothing then. The
// last photo's path is the exception: paging through a folder changes it at
// every photo, and each write rewrites the file, so a new path is written at
// most once every kDefaultPathPauseMs (and at exit).
void CPixmendApp::StoreSettingsChanges()
{
    const QString imagePath = m_image.IsLoaded() ? m_image.GetPath() : QString();
    if (imagePath != m_strIdleImagePath) {
        if (!imagePath.isEmpty() && !m_strIdleImagePath.isEmpty() && m_settings.DefaultPath == m_strIdleImagePath)
            m_settings.DefaultPath = imagePath;
        m_strIdleImagePath = imagePath;
    }
    CAppSettings stored = m_settings;
    if (m_settings.DefaultPath != m_strStoredDefaultPath) {
        if (m_defaultPathPause.isActive()) {
            stored.DefaultPath = m_strStoredDefaultPath;
        } else {
            m_strStoredDefaultPath = m_settings.DefaultPath;
            m_defaultPathPause.start();
        }
    }
    stored.Save();
    if (CChildBrowseView* browser = GetBrowser())
        browser->GetBrowseDlg().SaveFolderHistory();
}

bool CPixmendApp::BaseOnIdle(long count)
{
    if (count <= 0) {
        m_commands.UpdateAll();
        StoreSettingsChanges();
    }
    return count < 1;
}

void CPixmendApp::RequestIdle()
{
    m_idle.Kick();
}

int CPixmendApp::GetDpiScale()
{
    if (m_nDpiScale == 0 && m_pMainFrame) {
        const int dpi = m_pMainFrame->logicalDpiX();
        if (dpi > 0)
            m_nDpiScale = DpiScaleFromLogicalDpi(dpi);
    }
    return m_nDpiScale != 0 ? m_nDpiScale : 100;
}

void CPixmendApp::ApplyFont(QWidget* window, int height, const QString& faceName)
{
    QFont font(faceName);
    SetLogicalFontHeight(font, height);
    m_font = font;
    if (window) {
        window->setFont(font);
        window->update();
    }
}

QString CPixmendApp::SetCurrentFolderFromPath(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    // The root keeps its "/": an empty folder would mean none.
    m_strCurrentFolder = slash < 0 ? QString() : slash == 0 ? QStringLiteral("/") : path.left(slash);
    return m_strCurrentFolder;
}

bool CPixmendApp::QuerySaveModified()
{
    if (!m_image.IsLoaded() || !m_image.GetUndoMan()->IsModified())
        return true;
    const QString text = QStringLiteral("The image ") + m_image.GetPath() + QStringLiteral(" was modified.\nSave the image ?");
    // With AutoSave the answer is Yes without asking.
    const IMessageBoxes::Answer answer = m_operSave.GetSettings().AutoSave != 0
                                             ? IMessageBoxes::Answer::Yes
                                             : MessageBoxes().AskYesNoCancel(text, QStringLiteral("Save"));
    switch (answer) {
    case IMessageBoxes::Answer::Cancel:
        return false;
    case IMessageBoxes::Answer::Yes:
        if (!m_saveImageHook || !m_saveImageHook())
            return false;
        break;
    case IMessageBoxes::Answer::No:
        break;
    }
    if (m_pMainFrame)
        m_pMainFrame->DeactivateCurrentMode();
    return true;
}

void CPixmendApp::UpdateTitle()
{
    QString title = m_strAppTitle;
    if (m_image.IsLoaded()) {
        const QString path = m_image.GetPath();
        title += QStringLiteral(" - [") + path.mid(path.lastIndexOf(QLatin1Char('/')) + 1) + QLatin1Char(']');
        if (m_image.GetUndoMan()->IsModified())
            title += QStringLiteral(" *");
    }
    // Qt reads "[*]" as its modified-mark placeholder; doubled, it shows as
    // written, so a file named * keeps its name.
    title.replace(QStringLiteral("[*]"), QStringLiteral("[*][*]"));
    if (m_pMainFrame)
        m_pMainFrame->setWindowTitle(title);
}

void CPixmendApp::OnFilePreferences()
{
    {
        CSettingsDlg dlg(&m_settings, m_pMainFrame);
        dlg.DoModal();
    }
    if (SettingsBrowser().resort)
        SettingsBrowser().resort();
}
