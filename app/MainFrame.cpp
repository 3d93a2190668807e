#include "MainFrame.h"

#include "ChildBrowseView.h"

#include "CommandIds.h"
#include "CommandTable.h"
#include "CropPresets.h"
#include "CustomStatusBar.h"
#include "MenuBuilder.h"
#include "MenuResources.h"
#include "PixmendApp.h"
#include "ReconstructProgress.h"
#include "UxTheme.h"

#ifdef PIXMEND_HAVE_CHILD_VIEW
#include "ChildView.h"
#include "ChildViewHost.h"
#endif

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDockWidget>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QSplitter>
#include <QStatusTipEvent>
#include <QToolBar>
#include <QWidgetAction>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <initializer_list>

namespace {

CPixmendApp* App()
{
    return CPixmendApp::Instance();
}

CMainFrame* Frame()
{
    CPixmendApp* app = App();
    return app ? app->GetMainFrame() : nullptr;
}

#ifdef PIXMEND_HAVE_CHILD_VIEW
// The view reaches the frame through its host: the current mode, context
// menus and zoom changes.
class CFrameViewHost : public CViewHost {
public:
    explicit CFrameViewHost(CMainFrame* frame) : m_frame(frame) {}

    int CurrentModeId() const override { return m_frame ? m_frame->GetCurrentModeId() : -1; }
    bool ModeKeepsSelection() const override
    {
        const IMode* mode = Mode();
        return mode && mode->KeepsSelection();
    }
    void ModeResetSelection(CChildView&) override
    {
        if (IMode* mode = Mode())
            mode->ResetSelection();
    }
    int ModeOnClick(CChildView& view, int x, int y) override
    {
        IMode* mode = Mode();
        return mode ? mode->OnClick(&view, x, y) : 0;
    }
    int ModeCursorId() const override { return m_frame ? m_frame->GetModeCursorId() : -1; }
    int ModeContextMenuIndex(const CChildView&) const override
    {
        return m_frame ? m_frame->GetModeContextMenuIndex() : 1;
    }
    void ModeCancel(CChildView&, bool lastOnly) override
    {
        if (m_frame)
            m_frame->CancelModeSelection(lastOnly);
    }
    void ModeApply(CChildView&) override
    {
        if (m_frame)
            m_frame->ApplyCurrentMode();
    }
    QImage ModeDisplayImage(CChildView& view, CKsImage& image) override
    {
        IMode* mode = Mode();
        return mode ? mode->SelectDisplayBitmap(&view) : CViewHost::ModeDisplayImage(view, image);
    }
    void ModeDrawOverlay(QPainter& painter, CChildView& view) override
    {
        if (IMode* mode = Mode())
            mode->DrawOverlay(painter, &view);
    }
    int CropRuleKind() const override
    {
        const CropRule* rule = m_frame ? m_frame->GetCurrentCropRule() : nullptr;
        return rule ? rule->kind : -1;
    }

    // The red-eye mode's eyes count for the view only while it is current:
    // elsewhere the arrow keys and the wheel keep their own meaning.
    int RedEyeCount() const override
    {
        const CModeRedEye* mode = RedEyeMode();
        return mode ? mode->GetEyeCount() : 0;
    }
    void RedEyeMoveLast(int dx, int dy) override
    {
        if (CModeRedEye* mode = RedEyeMode())
            mode->MoveLastEye(dx, dy);
    }
    void RedEyeRefreshPreview(CChildView& view) override
    {
        if (CModeRedEye* mode = RedEyeMode())
            mode->RefreshPreview(&view);
    }
    int RedEyeRadius() const override
    {
        return m_frame ? m_frame->GetRedEyeMode().GetRadius() : CViewHost::RedEyeRadius();
    }
    void SetRedEyeRadius(int radius) override
    {
        if (m_frame)
            m_frame->GetRedEyeMode().SetRadius(radius);
    }

    bool TextModeHasText() const override { return m_frame && m_frame->GetTextMode().HasText(); }
    void TextModeDrawFrame(QPainter& painter, int originX, int originY, unsigned zoom) override
    {
        if (m_frame)
            m_frame->GetTextMode().DrawFrame(painter, originX, originY, zoom);
    }
    QRegion TextModeFrameRegion(int originX, int originY, unsigned zoom) const override
    {
        return m_frame ? m_frame->GetTextMode().FrameRegion(originX, originY, zoom) : QRegion();
    }
    void TextModeEditTextAndFont(CChildView&) override
    {
        if (m_frame)
            m_frame->GetTextMode().EditTextAndFont();
    }

    void OnViewChanged(CChildView&) override
    {
        // Forced: the box holds its last step as its selection, so a step
        // taken by a key, the wheel or a button must replace it.
        if (m_frame)
            m_frame->OnZoomChanged(true);
    }
    void ShowContextMenu(int index, QPoint globalPos) override
    {
        if (m_frame)
            m_frame->ShowContextMenu(index, globalPos);
    }

private:
    IMode* Mode() const { return m_frame ? m_frame->GetCurrentMode() : nullptr; }
    CModeRedEye* RedEyeMode() const
    {
        return m_frame && m_frame->GetCurrentModeId() == ID_EDIT_RED_EYE ? &m_frame->GetRedEyeMode() : nullptr;
    }

    QPointer<CMainFrame> m_frame;
};
#else
// Paints the open image's display bitmap scaled to fit, until the image view
// takes its place. The bitmap is read at every paint, never kept.
class CImagePreview : public QWidget {
public:
    explicit CImagePreview(QWidget* parent) : QWidget(parent) {}

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.fillRect(rect(), palette().window());
        CPixmendApp* app = App();
        if (!app || !app->m_image.IsLoaded() || !app->m_image.HasDib())
            return;
        // The bitmap is padded to whole blocks; show only the image.
        const QImage dib = app->m_image.GetDibImage();
        const QRect source(0, 0, std::min(app->m_image.GetWidth(), dib.width()),
                           std::min(app->m_image.GetHeight(), dib.height()));
        QSize size = source.size();
        if (size.width() > width() || size.height() > height())
            size.scale(this->size(), Qt::KeepAspectRatio);
        const QRect target(QPoint((width() - size.width()) / 2, (height() - size.height()) / 2), size);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.drawImage(target, dib, source);
    }
};
#endif

} // namespace

CMainFrame::CMainFrame()
{
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("MainFrame"));

    m_strSkinFolder = QCoreApplication::applicationDirPath() + QStringLiteral("/Styles/");
    for (const char* module : {"userenv.dll", "netapi32.dll", "ole32.dll"})
        CSkinManager::ExcludeModule(QLatin1String(module));
    // No skin exists here; the result is ignored as it always was.
    CSkinManager::LoadSkin(m_strSkinFolder + QStringLiteral("Office2010.cjstyles"), QStringLiteral("NormalBlack.ini"));

    CPixmendApp* app = App();
    const int scale = app ? app->GetDpiScale() : 100;
    CreateBars(scale);
    CreateModePane(scale);
    CreateClient(scale);
    setWindowIcon(QIcon(QLatin1String(kProgramIcon)));
    RegisterFrameCommands();
    CreateModes();
    SetMode(ID_EDIT_DRAG);
    ShowImage();
}

CMainFrame::~CMainFrame()
{
    // The browser goes with the child widgets, after this body.
    SetBrowserSelection(nullptr);
    if (CPixmendApp* app = App()) {
        // The frame's position and its client size: what move() and resize()
        // restore. A minimised window keeps its normal geometry in Qt.
        app->m_settings.PozX = x();
        app->m_settings.PozY = y();
        app->m_settings.SzX = width();
        app->m_settings.SzY = height();
    }
#ifdef PIXMEND_HAVE_CHILD_VIEW
    // The host dies with the frame; the view must not call it afterwards.
    if (CChildView* view = GetView()) {
        if (CPixmendApp* app = App(); app && app->m_image.GetView() == view)
            app->m_image.SetView(nullptr);
        view->AttachImage(nullptr);
        view->SetHost(nullptr);
    }
#endif
}

void CMainFrame::CreateBars(int scale)
{
    CPixmendApp* app = App();
    if (app) {
        CMenuBuilder builder(app->GetCommands(), [this](QMenu* menu) {
            connect(menu, &QMenu::aboutToShow, this, [this, menu] { FillMacroMenu(menu); });
        });
        builder.FillMenuBar(menuBar(), MainMenuTemplate());

        m_toolBar = new QToolBar(QStringLiteral("Standard"), this);
        m_toolBar->setObjectName(QStringLiteral("MainToolbar"));
        m_toolBar->setIconSize(QSize(20 * scale / 100, 20 * scale / 100));
        m_toolBar->setToolButtonStyle(Qt::ToolButtonIconOnly);
        builder.FillToolBar(m_toolBar, MainToolbarTemplate(),
                            [this, scale](int id) { return id == ID_ZOOM_COMBO ? CreateZoomComboAction(scale) : nullptr; });
    } else {
        m_toolBar = new QToolBar(QStringLiteral("Standard"), this);
    }
    addToolBar(Qt::TopToolBarArea, m_toolBar);
    m_toolBar->setVisible(!app || app->m_settings.MainToolbarVisible != 0);
    // The window's own bar menu hides and shows the toolbar too: keep the
    // setting (and so the View item and the next start) in step with it.
    connect(m_toolBar->toggleViewAction(), &QAction::triggered, this, [](bool visible) {
        if (CPixmendApp* a = App())
            a->m_settings.MainToolbarVisible = visible ? 1 : 0;
    });

    m_statusBar = new CCustomStatusBar(scale, this);
    // A JPEG is at most 65535 pixels wide and high: five digits in every field.
    constexpr int kMaxSide = 65535;
    m_statusBar->SetWidestTexts(1, {SelectionStatusText(10000, 10000, kMaxSide, kMaxSide),
                                    ImageSizeStatusText(kMaxSide, kMaxSide)});
    setStatusBar(m_statusBar);
    m_statusBar->setVisible(!app || app->m_settings.StatusbarVisible != 0);
}

const QStringList& CMainFrame::ZoomComboItems()
{
    static const QStringList items = {
        QStringLiteral("3%"),    QStringLiteral("4%"),    QStringLiteral("6%"),    QStringLiteral("8%"),
        QStringLiteral("12%"),   QStringLiteral("20%"),   QStringLiteral("33%"),   QStringLiteral("50%"),
        QStringLiteral("67%"),   QStringLiteral("100%"),  QStringLiteral("150%"),  QStringLiteral("200%"),
        QStringLiteral("300%"),  QStringLiteral("500%"),  QStringLiteral("700%"),  QStringLiteral("1000%"),
        QStringLiteral("1500%"), QStringLiteral("2000%"), QStringLiteral("3000%"), QStringLiteral("5000%"),
    };
    return items;
}

QAction* CMainFrame::CreateZoomComboAction(int scale)
{
    m_zoomCombo = new QComboBox(this);
    m_zoomCombo->setObjectName(QStringLiteral("ZoomCombo"));
    m_zoomCombo->setEditable(true);
    m_zoomCombo->setInsertPolicy(QComboBox::NoInsert);
    m_zoomCombo->addItems(ZoomComboItems());
    m_zoomCombo->setCurrentIndex(-1);
    m_zoomCombo->setMaxVisibleItems(ZoomComboItems().size());
    // Wide enough for "5000%" next to the drop-down button.
    m_zoomCombo->setFixedWidth(std::max(65 * scale / 100, m_zoomCombo->fontMetrics().horizontalAdvance(QStringLiteral("5000%")) + 36));
    if (CPixmendApp* app = App()) {
        const QAction* a = app->GetCommands().Action(ID_ZOOM_COMBO);
        if (a) {
            m_zoomCombo->setEnabled(a->isEnabled());
            connect(a, &QAction::changed, m_zoomCombo, [this, a] {
                const bool wasEnabled = m_zoomCombo->isEnabled();
                m_zoomCombo->setEnabled(a->isEnabled());
                // The zoom of an image opened while the box was disabled was
                // not shown; show it as soon as the box comes alive.
                if (!wasEnabled && m_zoomCombo->isEnabled())
                    UpdateZoomCombo(true);
            });
            m_zoomCombo->setToolTip(a->toolTip());
        }
    }
    // A choice from the list is a command; typed text is not taken as a zoom.
    // Each edit puts the view's zoom back at once (its percent at a free
    // zoom, where the box has no selection), and there is no completer, so
    // Return never finds a list entry in what was typed.
    m_zoomCombo->setCompleter(nullptr);
    connect(m_zoomCombo, &QComboBox::activated, this, [] {
        if (CPixmendApp* app = App())
            app->GetCommands().Execute(ID_ZOOM_COMBO);
    });
    connect(m_zoomCombo->lineEdit(), &QLineEdit::textEdited, this, [this] { UpdateZoomCombo(true); });
    auto* action = new QWidgetAction(this);
    action->setDefaultWidget(m_zoomCombo);
    action->setData(int(ID_ZOOM_COMBO));
    return action;
}

void CMainFrame::CreateModePane(int scale)
{
    m_modePane = new CModePane(this);
    addDockWidget(Qt::RightDockWidgetArea, m_modePane);
    m_modePane->SetOwnSize(QSize(168 * scale / 100, 300 * scale / 100 / 2));
}

void CMainFrame::CreateClient(int scale)
{
    CPixmendApp* app = App();
#ifdef PIXMEND_HAVE_CHILD_VIEW
    CChildView* view = CChildView::CreateView(nullptr);
    view->SetHost(new CFrameViewHost(this));
    // The host is owned by the frame and outlives every call the view makes.
    auto* host = &view->Host();
    connect(this, &QObject::destroyed, [host] { delete host; });
    m_view = view;
#else
    m_view = new CImagePreview(nullptr);
#endif
    m_view->setObjectName(QStringLiteral("ImageView"));

    if (!app || app->m_bShowBrowser) {
        m_splitter = new QSplitter(Qt::Horizontal, this);
        m_splitter->setObjectName(QStringLiteral("Splitter"));
        m_browser = new CChildBrowseView(m_splitter);
        m_splitter->addWidget(m_browser);
        m_splitter->addWidget(m_view);
        m_splitter->setStretchFactor(1, 1);
        // The splitter gives the view no less than this, whatever pane width
        // the settings hold; the browser then stores the width it got.
        m_view->setMinimumWidth(kMinViewWidth * scale / 100);
        const int paneWidth = app ? app->m_settings.PreviewPaneWidth : 245;
        m_splitter->setSizes({paneWidth, std::max(1, width() - paneWidth)});
        setCentralWidget(m_splitter);
    } else {
        setCentralWidget(m_view);
        // The browser exists without being shown, so its commands keep their list.
        m_browser = new CChildBrowseView(this);
        m_browser->hide();
    }
    SetBrowserSelection(m_browser);
    setFocusProxy(m_view);
    // Recorded even before the window is shown or active: activation then
    // gives the keyboard to the view, not to the first control that takes
    // focus (the toolbar's zoom box).
    m_view->setFocus();
}

QWidget* CMainFrame::GetBrowserView() const
{
    return m_browser;
}

CChildView* CMainFrame::GetView() const
{
#ifdef PIXMEND_HAVE_CHILD_VIEW
    return static_cast<CChildView*>(m_view);
#else
    return nullptr;
#endif
}

void CMainFrame::RegisterFrameCommands()
{
    CPixmendApp* app = App();
    if (!app)
        return;
    CCommandTable& commands = app->GetCommands();
    // The handlers find the frame of the moment: the table outlives frames.
    commands.SetHandler(ID_VIEW_TOOLBAR, [] {
        if (CMainFrame* f = Frame())
            f->OnViewToolbar();
    });
    commands.SetUpdate(ID_VIEW_TOOLBAR, [](CCmdUI& ui) {
        CPixmendApp* a = App();
        ui.SetCheck(a && a->m_settings.MainToolbarVisible ? 1 : 0);
    });
    commands.SetHandler(ID_VIEW_STATUS_BAR, [] {
        if (CMainFrame* f = Frame())
            f->OnViewStatusBar();
    });
    commands.SetUpdate(ID_VIEW_STATUS_BAR, [](CCmdUI& ui) {
        CPixmendApp* a = App();
        ui.SetCheck(a && a->m_settings.StatusbarVisible ? 1 : 0);
    });
#ifdef PIXMEND_HAVE_CHILD_VIEW
    commands.SetHandler(ID_ZOOM_COMBO, [] {
        CMainFrame* f = Frame();
        CChildView* view = f ? f->GetView() : nullptr;
        if (!view || !f->m_zoomCombo)
            return;
        const int index = f->m_zoomCombo->currentIndex();
        if (index >= 0)
            view->SetZoomIndex(index);
        view->setFocus();
    });
    commands.SetUpdate(ID_ZOOM_COMBO, [](CCmdUI& ui) {
        CMainFrame* f = Frame();
        CPixmendApp* a = App();
        ui.Enable(f && f->GetView() && a && a->m_image.IsLoaded());
    });
#endif
    connect(&commands, &CCommandTable::commandExecuted, this, &CMainFrame::RefreshAfterCommand);
}

bool CMainFrame::ShowPreview(const QImage& picture, QSize imageSize)
{
#ifdef PIXMEND_HAVE_CHILD_VIEW
    if (CChildView* view = GetView(); view && view->ShowPreview(picture, imageSize)) {
        view->viewport()->repaint();
        return true;
    }
#endif
    return false;
}

void CMainFrame::ShowImage()
{
    CPixmendApp* app = App();
#ifdef PIXMEND_HAVE_CHILD_VIEW
    if (CChildView* view = GetView()) {
        CKsImage* image = app && app->m_image.IsLoaded() ? &app->m_image : nullptr;
        if (app)
            app->m_image.SetView(view);
        view->AttachImage(image);
    }
#endif
    m_view->update();
    // A new image is for the keyboard to move through, unless the user is
    // working in the folder browser.
    const QWidget* focus = QApplication::focusWidget();
    if (!focus || !m_browser || !m_browser->isAncestorOf(focus))
        m_view->setFocus();
    if (app)
        UpdateStatusTexts();
}

void CMainFrame::CreateModes()
{
    // The modes that edit through an operation work on the application's prototypes.
    if (CPixmendApp* app = App()) {
        m_modeCrop.SetParams(&app->m_operCrop.Params());
        m_modeRedEye.SetOperation(&app->m_operRedEye);
        m_modeText.SetOperation(&app->m_operText);
        m_modeColor.SetOperation(&app->m_operColor);
        m_modeResize.SetOperation(&app->m_operResize);
        m_modeReconstruct.SetOperation(&app->m_operReconstruct);
    }
    for (IMode* mode : std::initializer_list<IMode*>{&m_modeDefault, &m_modeCrop, &m_modeRedEye, &m_modeText,
                                                     &m_modeCopy, &m_modePaste, &m_modeColor, &m_modeResize,
                                                     &m_modeReconstruct})
        AddMode(mode);
}

const CropRule* CMainFrame::GetCurrentCropRule() const
{
    return GetCurrentModeId() == ID_EDIT_CROP ? m_modeCrop.GetCurrentRule() : nullptr;
}

int CMainFrame::GetCurrentModeId() const
{
    const IMode* mode = GetCurrentMode();
    return mode ? mode->GetCommandId() : -1;
}

int CMainFrame::SetMode(int id)
{
    if (id != GetCurrentModeId())
        m_modeList.SetMode(id);
    return id;
}

void CMainFrame::ActivateCurrentMode(CKsImage* image)
{
    IMode* mode = GetCurrentMode();
    if (mode && mode->IsAvailable(image))
        mode->Activate();
    else if (mode)
        // An image the mode cannot take (opened while it was active) leaves it inactive.
        mode->Deactivate();
}

void CMainFrame::DeactivateCurrentMode()
{
    if (IMode* mode = GetCurrentMode())
        mode->Deactivate();
}

void CMainFrame::ApplyCurrentMode()
{
    if (IMode* mode = GetCurrentMode())
        mode->Apply();
}

void CMainFrame::CancelModeSelection(bool lastOnly)
{
    if (IMode* mode = GetCurrentMode())
        mode->Cancel(lastOnly);
}

int CMainFrame::GetModeContextMenuIndex() const
{
    const IMode* mode = GetCurrentMode();
    return mode ? mode->GetContextMenuIndex() : 1;
}

int CMainFrame::GetModeCursorId() const
{
    const IMode* mode = GetCurrentMode();
    return mode ? mode->GetCursorId() : -1;
}

void CMainFrame::ShowModePanel(CPropertyPage* page, const QString& caption)
{
    if (!page)
        return;
    m_modePane->ShowPanel(page, caption);
    setFocus();
}

void CMainFrame::ShowEmptyPanel()
{
    m_modePane->ShowEmpty();
}

void CMainFrame::SetStatusText(const QString& text)
{
    m_strStatusText = text;
    m_statusBar->SetPaneText(0, text);
}

QString CMainFrame::SelectionStatusText(int left, int top, int right, int bottom)
{
    return QString::asprintf("%d:%d - %d:%d  [%d x %d]", left, top, right, bottom, std::abs(right - left),
                             std::abs(bottom - top));
}

QString CMainFrame::ImageSizeStatusText(int width, int height)
{
    return QString::asprintf("Image size: %5d x %d", width, height);
}

int CMainFrame::PrintResolution(int left, int top, int right, int bottom, double ruleWidth, double ruleHeight,
                                int units)
{
    if (units != 1 && units != 2)
        return -2;
    const double d = std::max(ruleWidth, ruleHeight);
    // A rule without a printed size has no resolution (and no division by 0).
    if (!(d > 0) || !std::isfinite(d))
        return -2;
    const int p = std::max(right - left, bottom - top);
    double resolution = std::fabs(p / d);
    if (units == 1)
        resolution *= 2.54;
    // Truncated like the integer the status bar takes; absurd values saturate.
    return resolution >= 2147483647.0 ? 2147483647 : static_cast<int>(resolution);
}

void CMainFrame::UpdateStatusTexts()
{
    CPixmendApp* app = App();
    QString text;
    int resolution = -2;
    if (app && app->m_image.IsLoaded()) {
#ifdef PIXMEND_HAVE_CHILD_VIEW
        CChildView* view = GetView();
        if (view && view->IsSelectionShown()) {
            const CropParams& s = view->Host().Selection();
            text = SelectionStatusText(s.Left, s.Top, s.Right, s.Bottom);
            if (const CropRule* rule = GetCurrentCropRule())
                resolution = PrintResolution(s.Left, s.Top, s.Right, s.Bottom, rule->width, rule->height, rule->units);
        } else
#endif
            text = ImageSizeStatusText(app->m_image.GetWidth(), app->m_image.GetHeight());
    }
    // Every update pass of the crop mode lands here: an unchanged text is
    // not drawn again.
    if (m_statusBar->GetPaneText(1) != text)
        m_statusBar->SetPaneText(1, text);
    const CropParams* crop = app ? &app->m_operCrop.Params() : nullptr;
    m_statusBar->SetDpi(resolution, crop ? crop->ImgLowQuality : 0, crop ? crop->ImgMediumQuality : 0);
}

void CMainFrame::UpdateZoomCombo(bool force)
{
#ifdef PIXMEND_HAVE_CHILD_VIEW
    CChildView* view = GetView();
    if (!m_zoomCombo || !m_zoomCombo->isEnabled() || !view)
        return;
    if (view->ZoomIndex() < 0) {
        const QString percent = QString::asprintf("%i", static_cast<int>(view->Zoom() * 100 / 256)) + QLatin1Char('%');
        if (m_zoomCombo->currentText() != percent)
            m_zoomCombo->setEditText(percent);
    } else if (force || m_zoomCombo->currentIndex() < 0)
        m_zoomCombo->setCurrentIndex(view->ZoomIndex());
#else
    (void)force;
#endif
}

void CMainFrame::OnZoomChanged(bool force)
{
    UpdateZoomCombo(force);
    UpdateStatusTexts();
    if (IMode* mode = GetCurrentMode())
        mode->RefreshPanel();
}

QMenu* CMainFrame::CreateContextMenu(int index)
{
    CPixmendApp* app = App();
    if (!app || index < 0)
        return nullptr;
    CMenuBuilder builder(app->GetCommands(), [this](QMenu* menu) {
        connect(menu, &QMenu::aboutToShow, this, [this, menu] { FillMacroMenu(menu); });
    });
    QMenu* menu = builder.BuildPopup(ContextMenuTemplate(), index, this);
    if (menu)
        app->GetCommands().UpdateActions(menu->actions());
    return menu;
}

void CMainFrame::ShowContextMenu(int index, const QPoint& globalPos)
{
    QMenu* menu = CreateContextMenu(index);
    if (!menu)
        return;
    menu->exec(globalPos);
    delete menu;
}

void CMainFrame::FillMacroMenu(QMenu* menu)
{
    CPixmendApp* app = App();
    if (!menu || !app)
        return;
    CCommandTable& commands = app->GetCommands();
    // Items made here belong to the menu; the table's shared actions do not.
    for (QAction* a : menu->actions()) {
        menu->removeAction(a);
        if (a->parent() == menu)
            delete a;
    }
    const QStringList names = m_macroNames ? m_macroNames() : QStringList();
    // Only the ids the application routes: more macros would collide with other commands.
    const int count = std::min<int>(names.size(), ID_MACRO_LAST - ID_MACRO_FIRST + 1);
    for (int i = 0; i < count; ++i) {
        const int id = ID_MACRO_FIRST + i;
        auto* a = new QAction(names[i], menu);
        a->setData(id);
        a->setEnabled(commands.Query(id).m_bEnabled);
        connect(a, &QAction::triggered, &commands, [&commands, id] { commands.Execute(id); });
        menu->addAction(a);
    }
    menu->addSeparator();
    if (QAction* manager = commands.Action(ID_MACRO_MANAGER)) {
        menu->addAction(manager);
        commands.UpdateActions({manager});
    }
}

void CMainFrame::RefreshAfterCommand()
{
    UpdateStatusTexts();
    if (CPixmendApp* app = App()) {
        // The open image or folder may have changed outside any menu or idle
        // step (the browser's focus timer): the commands follow at once.
        app->GetCommands().UpdateAll();
        app->UpdateTitle();
    }
}

void CMainFrame::OnViewToolbar()
{
    CPixmendApp* app = App();
    if (!app)
        return;
    app->m_settings.MainToolbarVisible = app->m_settings.MainToolbarVisible ? 0 : 1;
    m_toolBar->setVisible(app->m_settings.MainToolbarVisible != 0);
}

void CMainFrame::OnViewStatusBar()
{
    CPixmendApp* app = App();
    if (!app)
        return;
    app->m_settings.StatusbarVisible = app->m_settings.StatusbarVisible ? 0 : 1;
    m_statusBar->setVisible(app->m_settings.StatusbarVisible != 0);
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    // A reconstruct pass is on the stack (its progress loop delivered this):
    // neither ask to save nor close under it.
    if (CReconstructProgress::IsRunning()) {
        event->ignore();
        return;
    }
    CPixmendApp* app = App();
    if (app && !app->QuerySaveModified()) {
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

bool CMainFrame::event(QEvent* event)
{
    // Prompts of menu items and buttons go to pane 0 and give way to the
    // status text again; the status bar's own message line is never used.
    if (event->type() == QEvent::StatusTip) {
        const QString tip = static_cast<QStatusTipEvent*>(event)->tip();
        if (m_statusBar)
            m_statusBar->SetPaneText(0, tip.isEmpty() ? m_strStatusText : tip);
        return true;
    }
    return QMainWindow::event(event);
}
