// The main frame: bars and their toggles, the mode pane, the client layout
// with and without the browser, the status panes, context and macro menus,
// the close query and the placement kept across a restart.
#include "ActionRotateFlip.h"
#include "CommandIds.h"
#include "CustomStatusBar.h"
#include "ChildView.h"
#include "MainFrame.h"
#include "MenuBuilder.h"
#include "MenuResources.h"
#include "MessageBoxes.h"
#include "PixmendApp.h"
#include "Profile.h"
#include "ProgramWindow.h"
#include "Soon.h"
#include "TestJpeg.h"
#include "ToolbarLabel.h"
#include "UxTheme.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QDockWidget>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QScrollBar>
#include <QSettings>
#include <QSplitter>
#include <QTest>
#include <QToolBar>
#include <QWidgetAction>

#include <gtest/gtest.h>

namespace {

QString Q(const std::filesystem::path& p)
{
    return QString::fromStdString(p.string());
}

// Answers the close query as told and counts the questions.
class CAnsweringBoxes final : public IMessageBoxes {
public:
    void ShowMessage(const QString&) override {}
    bool AskQuestion(const QString&) override { return false; }
    Answer AskYesNoCancel(const QString& text, const QString& caption) override
    {
        ++asked;
        lastText = text;
        lastCaption = caption;
        return answer;
    }
    SaveErrorChoice AskSaveError(const QString&, const QString&) override { return SaveErrorChoice::Abort; }
    bool ReportProgress(int) override { return true; }

    Answer answer = Answer::Cancel;
    int asked = 0;
    QString lastText;
    QString lastCaption;
};

class MainFrameTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_oldConfig = qgetenv("XDG_CONFIG_HOME");
        std::filesystem::create_directories(m_tmp / "config");
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(Q(m_tmp / "config")));
        m_oldBoxes = SetMessageBoxes(&m_boxes);
    }
    void TearDown() override
    {
        SetMessageBoxes(m_oldBoxes);
        CProfile::Close();
        if (m_oldConfig.isNull())
            qunsetenv("XDG_CONFIG_HOME");
        else
            qputenv("XDG_CONFIG_HOME", m_oldConfig);
    }

    QString WritePhoto(int width = 40, int height = 24) const
    {
        const auto path = m_tmp / "photo.jpg";
        EXPECT_TRUE(testjpeg::WriteFile(path, testjpeg::Encode(testjpeg::MakePattern(width, height))));
        return Q(path);
    }

    static void Modify(CPixmendApp& app)
    {
        RotateParams p;
        p.Rotate = 2;
        ASSERT_TRUE(app.m_image.GetUndoMan()->AddAction(new CActionRotateFlip(p)));
        ASSERT_TRUE(app.m_image.GetUndoMan()->IsModified());
    }

    testjpeg::TempDir m_tmp;
    QByteArray m_oldConfig;
    CAnsweringBoxes m_boxes;
    IMessageBoxes* m_oldBoxes = nullptr;
};

QList<int> ToolbarIds(QToolBar* bar)
{
    QList<int> ids;
    for (QAction* a : bar->actions())
        ids.append(a->isSeparator() ? kMenuSeparator : a->data().toInt());
    return ids;
}

TEST_F(MainFrameTest, ToolbarHoldsTheButtonsInOrderWithIconsAndTheZoomBox)
{
    CPixmendApp app;
    ASSERT_TRUE(app.InitInstance({}));
    CMainFrame* frame = app.GetMainFrame();
    const std::span<const int> expected = MainToolbarTemplate();
    EXPECT_EQ(ToolbarIds(frame->GetToolBar()), QList<int>(expected.begin(), expected.end()));
    EXPECT_EQ(expected.size(), 38u);

    for (QAction* a : frame->GetToolBar()->actions()) {
        if (a->isSeparator() || a->data().toInt() == ID_ZOOM_COMBO)
            continue;
        SCOPED_TRACE(a->data().toInt());
        EXPECT_FALSE(a->icon().pixmap(20, 20).isNull());
        EXPECT_FALSE(a->icon().pixmap(40, 40).isNull());
        EXPECT_FALSE(a->toolTip().isEmpty());
    }

    QComboBox* zoom = frame->GetZoomCombo();
    ASSERT_NE(zoom, nullptr);
    EXPECT_EQ(zoom->count(), 20);
    EXPECT_EQ(zoom->itemText(0), "3%");
    EXPECT_EQ(zoom->itemText(9), "100%");
    EXPECT_EQ(zoom->itemText(19), "5000%");
    EXPECT_EQ(zoom->currentIndex(), -1);
    EXPECT_TRUE(zoom->isEditable());
    // No image: the box is disabled like every image command.
    EXPECT_FALSE(zoom->isEnabled());
    app.ExitInstance(0);
}

TEST_F(MainFrameTest, MenusComeFromTheCommandTable)
{
    CPixmendApp app;
    ASSERT_TRUE(app.InitInstance({}));
    QStringList titles;
    for (QAction* a : app.GetMainFrame()->menuBar()->actions())
        titles << a->text();
    EXPECT_EQ(titles, QStringList({"&File", "&Edit", "&View", "&Help"}));
    // Shared actions: a command's state shows the same in menus and toolbar.
    QMenu* file = app.GetMainFrame()->menuBar()->actions()[0]->menu();
    EXPECT_EQ(file->actions()[0], app.GetCommands().Action(ID_FILE_OPEN));
    EXPECT_EQ(file->actions()[0]->text(), "&Open...\tCtrl+O");
    // Commands whose handlers come later are present but disabled.
    EXPECT_FALSE(app.GetCommands().Action(ID_FILE_SAVE)->isEnabled());
    app.ExitInstance(0);
}

TEST_F(MainFrameTest, BarTogglesHideShowAndSurviveARestart)
{
    {
        CPixmendApp app;
        ASSERT_TRUE(app.InitInstance({}));
        CMainFrame* frame = app.GetMainFrame();
        QAction* toolbarItem = app.GetCommands().Action(ID_VIEW_TOOLBAR);
        QAction* statusItem = app.GetCommands().Action(ID_VIEW_STATUS_BAR);
        EXPECT_TRUE(frame->GetToolBar()->isVisible());
        EXPECT_TRUE(toolbarItem->isChecked());
        EXPECT_TRUE(statusItem->isChecked());

        ASSERT_TRUE(app.GetCommands().Execute(ID_VIEW_TOOLBAR));
        EXPECT_FALSE(frame->GetToolBar()->isVisible());
        EXPECT_EQ(app.m_settings.MainToolbarVisible, 0);
        EXPECT_FALSE(toolbarItem->isChecked());

        ASSERT_TRUE(app.GetCommands().Execute(ID_VIEW_STATUS_BAR));
        ASSERT_TRUE(app.GetCommands().Execute(ID_VIEW_STATUS_BAR));
        EXPECT_TRUE(frame->GetStatusBar()->isVisible());
        EXPECT_TRUE(statusItem->isChecked());
        ASSERT_TRUE(app.GetCommands().Execute(ID_VIEW_STATUS_BAR));
        EXPECT_FALSE(frame->GetStatusBar()->isVisible());
        app.ExitInstance(0);
    }
    CPixmendApp again;
    ASSERT_TRUE(again.InitInstance({}));
    EXPECT_TRUE(again.GetMainFrame()->GetToolBar()->isHidden());
    EXPECT_TRUE(again.GetMainFrame()->GetStatusBar()->isHidden());
    EXPECT_FALSE(again.GetCommands().Action(ID_VIEW_TOOLBAR)->isChecked());
    EXPECT_FALSE(again.GetCommands().Action(ID_VIEW_STATUS_BAR)->isChecked());
    again.ExitInstance(0);
}

// The window's own bar menu toggles the toolbar through its toggle action.
TEST_F(MainFrameTest, ToolbarHiddenFromTheBarMenuKeepsTheSettingInStep)
{
    CPixmendApp app;
    ASSERT_TRUE(app.InitInstance({}));
    QToolBar* bar = app.GetMainFrame()->GetToolBar();
    bar->toggleViewAction()->trigger();
    EXPECT_TRUE(bar->isHidden());
    EXPECT_EQ(app.m_settings.MainToolbarVisible, 0);
    EXPECT_FALSE(app.GetCommands().Query(ID_VIEW_TOOLBAR).m_bChecked);
    // The View item then shows it again in one step.
    ASSERT_TRUE(app.GetCommands().Execute(ID_VIEW_TOOLBAR));
    EXPECT_FALSE(bar->isHidden());
    EXPECT_EQ(app.m_settings.MainToolbarVisible, 1);
    app.ExitInstance(0);
}

TEST_F(MainFrameTest, ModePaneIsCaptionedEditOnTheRight)
{
    CPixmendApp app;
    ASSERT_TRUE(app.InitInstance({}));
    CMainFrame* frame = app.GetMainFrame();
    QDockWidget* pane = frame->GetModePane();
    EXPECT_EQ(pane->windowTitle(), "Edit");
    EXPECT_EQ(frame->dockWidgetArea(pane), Qt::RightDockWidgetArea);
    EXPECT_EQ(pane->allowedAreas(), Qt::RightDockWidgetArea);

    CPropertyPage panel(249);
    frame->ShowModePanel(&panel, "Crop");
    EXPECT_EQ(pane->windowTitle(), "Crop");
    ASSERT_TRUE(panel.GetSafeHwnd());
    EXPECT_TRUE(panel.GetSafeHwnd()->isVisibleTo(pane));
    frame->ShowModePanel(&panel, "Crop"); // a page already in the pane is reused
    frame->ShowEmptyPanel();
    EXPECT_EQ(pane->windowTitle(), "Edit");
    EXPECT_FALSE(panel.GetSafeHwnd()->isVisibleTo(pane));
    // The default mode is current from the start.
    EXPECT_EQ(frame->GetCurrentModeId(), ID_EDIT_DRAG);
    EXPECT_EQ(frame->SetMode(ID_EDIT_CROP), ID_EDIT_CROP);
    EXPECT_EQ(frame->GetCurrentModeId(), ID_EDIT_CROP);
    app.ExitInstance(0);
}

TEST_F(MainFrameTest, ClientAreaWithAndWithoutTheBrowser)
{
    {
        CPixmendApp app;
        ASSERT_TRUE(app.InitInstance({}));
        CMainFrame* frame = app.GetMainFrame();
        ASSERT_NE(frame->GetSplitter(), nullptr);
        EXPECT_EQ(frame->centralWidget(), frame->GetSplitter());
        EXPECT_EQ(frame->GetSplitter()->widget(0), frame->GetBrowserView());
        EXPECT_EQ(frame->GetSplitter()->widget(1), frame->GetViewWidget());
        app.ExitInstance(0);
    }
    CPixmendApp app;
    ASSERT_TRUE(app.InitInstance({"-nb"}));
    CMainFrame* frame = app.GetMainFrame();
    EXPECT_EQ(frame->GetSplitter(), nullptr);
    EXPECT_EQ(frame->centralWidget(), frame->GetViewWidget());
    // The browser still exists, hidden, for the commands that use its list.
    ASSERT_NE(frame->GetBrowserView(), nullptr);
    EXPECT_TRUE(frame->GetBrowserView()->isHidden());
    app.ExitInstance(0);
}

TEST_F(MainFrameTest, PlacementIsRestoredAfterARestart)
{
    {
        CPixmendApp app;
        ASSERT_TRUE(app.InitInstance({}));
        app.GetMainFrame()->move(33, 44);
        app.GetMainFrame()->resize(640, 420);
        app.ExitInstance(0);
    }
    CPixmendApp again;
    ASSERT_TRUE(again.InitInstance({}));
    EXPECT_EQ(again.GetMainFrame()->pos(), QPoint(33, 44));
    EXPECT_EQ(again.GetMainFrame()->size(), QSize(640, 420));
    again.ExitInstance(0);
}

TEST_F(MainFrameTest, CloseAsksToSaveAModifiedImage)
{
    const QString photo = WritePhoto();
    CPixmendApp app;
    ASSERT_TRUE(app.InitInstance({photo}));
    QPointer<CMainFrame> frame = app.GetMainFrame();

    // Unmodified: closes without a question.
    EXPECT_TRUE(app.QuerySaveModified());
    EXPECT_EQ(m_boxes.asked, 0);

    Modify(app);
    m_boxes.answer = IMessageBoxes::Answer::Cancel;
    EXPECT_FALSE(frame->close());
    EXPECT_EQ(m_boxes.asked, 1);
    EXPECT_EQ(m_boxes.lastText, "The image " + photo + " was modified.\nSave the image ?");
    EXPECT_EQ(m_boxes.lastCaption, "Save");
    EXPECT_TRUE(frame->isVisible());

    // Yes with a save that fails (or no save routine) keeps the edits and the window.
    m_boxes.answer = IMessageBoxes::Answer::Yes;
    app.m_saveImageHook = nullptr;
    EXPECT_FALSE(frame->close());
    int saves = 0;
    app.m_saveImageHook = [&] {
        ++saves;
        return false;
    };
    EXPECT_FALSE(frame->close());
    EXPECT_EQ(saves, 1);
    EXPECT_TRUE(frame->isVisible());

    app.m_saveImageHook = [&] {
        ++saves;
        return true;
    };
    EXPECT_TRUE(app.QuerySaveModified());
    EXPECT_EQ(saves, 2);

    // No closes and leaves the history modified.
    m_boxes.answer = IMessageBoxes::Answer::No;
    EXPECT_TRUE(frame->close());
    EXPECT_TRUE(app.m_image.GetUndoMan()->IsModified());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(frame.isNull());
    app.ExitInstance(0);
}

TEST_F(MainFrameTest, EveryCommandEndsWithStatusAndTitleRefresh)
{
    const QString photo = WritePhoto(48, 32); // whole blocks: a half turn keeps the size
    CPixmendApp app;
    ASSERT_TRUE(app.InitInstance({photo}));
    CMainFrame* frame = app.GetMainFrame();
    EXPECT_EQ(frame->GetStatusBar()->GetPaneText(1), "Image size:    48 x 32");
    Modify(app);
    EXPECT_EQ(frame->windowTitle(), "Pixmend - [photo.jpg]");
    ASSERT_TRUE(app.GetCommands().Execute(ID_VIEW_STATUS_BAR));
    EXPECT_EQ(frame->windowTitle(), "Pixmend - [photo.jpg] *");
    frame->GetStatusBar()->SetPaneText(1, "stale");
    frame->RefreshAfterCommand();
    EXPECT_EQ(frame->GetStatusBar()->GetPaneText(1), "Image size:    48 x 32");
    app.m_image.Close();
    frame->RefreshAfterCommand();
    EXPECT_EQ(frame->GetStatusBar()->GetPaneText(1), "");
    EXPECT_EQ(frame->windowTitle(), "Pixmend");
    app.ExitInstance(0);
}

TEST_F(MainFrameTest, StatusTipsShowInPaneZeroAndGiveWayToTheStatusText)
{
    CPixmendApp app;
    ASSERT_TRUE(app.InitInstance({}));
    CMainFrame* frame = app.GetMainFrame();
    frame->SetStatusText("Ready");
    QStatusTipEvent tip("Open an existing image");
    QCoreApplication::sendEvent(frame, &tip);
    EXPECT_EQ(frame->GetStatusBar()->GetPaneText(0), "Open an existing image");
    QStatusTipEvent none("");
    QCoreApplication::sendEvent(frame, &none);
    EXPECT_EQ(frame->GetStatusBar()->GetPaneText(0), "Ready");
    app.ExitInstance(0);
}

TEST_F(MainFrameTest, ContextMenuPopupsAndTheMacroSubmenu)
{
    CPixmendApp app;
    ASSERT_TRUE(app.InitInstance({}));
    CMainFrame* frame = app.GetMainFrame();

    const QStringList titles = {"Unloaded", "Default", "Crop", "Red eye", "Paste", "Copy", "Text", "Insert Text", "Batch"};
    for (int i = 0; i < titles.size(); ++i) {
        std::unique_ptr<QMenu> menu(frame->CreateContextMenu(i));
        ASSERT_NE(menu, nullptr) << i;
        EXPECT_EQ(menu->title(), titles[i]);
        EXPECT_FALSE(menu->actions().isEmpty());
    }
    EXPECT_EQ(frame->CreateContextMenu(9), nullptr);
    EXPECT_EQ(frame->CreateContextMenu(-1), nullptr);
    frame->ShowContextMenu(-1, QPoint(10, 10)); // shows nothing, returns at once

    std::unique_ptr<QMenu> crop(frame->CreateContextMenu(2));
    EXPECT_EQ(CMenuBuilder::ItemIds(crop.get()).mid(0, 2), QList<int>({ID_CROP_NOW, ID_CROP_CANCEL}));

    // The macro popup lists the macros each time it opens.
    QStringList macros = {"Sample", "Web size"};
    frame->SetMacroNamesSource([&] { return macros; });
    std::unique_ptr<QMenu> batch(frame->CreateContextMenu(8));
    QMenu* macroMenu = nullptr;
    for (QAction* a : batch->actions())
        if (a->menu() && a->text() == "Macro Actions...")
            macroMenu = a->menu();
    ASSERT_NE(macroMenu, nullptr);
    emit macroMenu->aboutToShow();
    EXPECT_EQ(CMenuBuilder::ItemIds(macroMenu), QList<int>({32919, 32920, kMenuSeparator, ID_MACRO_MANAGER}));
    EXPECT_EQ(macroMenu->actions()[1]->text(), "Web size");
    EXPECT_EQ(macroMenu->actions()[3]->text(), "Edit Macro Actions...\tCtrl+B");

    macros.append("Added later");
    emit macroMenu->aboutToShow();
    EXPECT_EQ(CMenuBuilder::ItemIds(macroMenu),
              QList<int>({32919, 32920, 32921, kMenuSeparator, ID_MACRO_MANAGER}));

    // Ids beyond the routed range would collide with other commands.
    macros.clear();
    for (int i = 0; i < 105; ++i)
        macros << QString::number(i);
    emit macroMenu->aboutToShow();
    const QList<int> ids = CMenuBuilder::ItemIds(macroMenu);
    EXPECT_EQ(ids.size(), 102);
    EXPECT_EQ(ids[99], ID_MACRO_LAST);
    // The menus are the frame's children until their owner drops them.
    crop.reset();
    batch.reset();
    app.ExitInstance(0);
}

struct DpiCase {
    int resolution, low, medium;
    CCustomStatusBar::Quality quality;
    QColor color;
    const char* text;
};

class StatusBarDpiTest : public ::testing::TestWithParam<DpiCase> {};

TEST_P(StatusBarDpiTest, QualityIconColourAndText)
{
    const DpiCase& c = GetParam();
    CCustomStatusBar bar(100);
    bar.SetDpi(c.resolution, c.low, c.medium);
    EXPECT_EQ(bar.GetQuality(), c.quality);
    EXPECT_EQ(bar.GetQualityTextColor(), c.color);
    EXPECT_EQ(bar.GetPaneText(CCustomStatusBar::kQualityPane), QString(c.text));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StatusBarDpiTest,
    ::testing::Values(DpiCase{0, 150, 250, CCustomStatusBar::QualityNone, QColor(255, 255, 255), ""},
                      DpiCase{-2, 0, 0, CCustomStatusBar::QualityNone, QColor(255, 255, 255), ""},
                      DpiCase{100, 150, 250, CCustomStatusBar::QualityLow, QColor(255, 80, 80),
                              "DPI: 100  Print quality: Low"},
                      DpiCase{150, 150, 250, CCustomStatusBar::QualityMedium, QColor(255, 255, 80),
                              "DPI: 150  Print quality: Medium"},
                      DpiCase{249, 150, 250, CCustomStatusBar::QualityMedium, QColor(255, 255, 80),
                              "DPI: 249  Print quality: Medium"},
                      DpiCase{250, 150, 250, CCustomStatusBar::QualityHigh, QColor(80, 255, 80),
                              "DPI: 250  Print quality: High"}));

TEST(StatusBar, SameValuesChangeNothingAndAClearEmptiesThePane)
{
    CCustomStatusBar bar(100);
    bar.SetDpi(300, 150, 250);
    bar.SetPaneText(CCustomStatusBar::kQualityPane, "kept");
    bar.SetDpi(300, 150, 250);
    EXPECT_EQ(bar.GetPaneText(CCustomStatusBar::kQualityPane), "kept");
    bar.SetDpi(-2, 150, 250);
    EXPECT_EQ(bar.GetPaneText(CCustomStatusBar::kQualityPane), "");
    EXPECT_EQ(bar.GetResolution(), -2);
    // Panes out of range are ignored.
    bar.SetPaneText(3, "x");
    EXPECT_EQ(bar.GetPaneText(3), "");
}

TEST(StatusTexts, SelectionAndPrintResolution)
{
    EXPECT_EQ(CMainFrame::SelectionStatusText(10, 20, 610, 420), "10:20 - 610:420  [600 x 400]");
    EXPECT_EQ(CMainFrame::SelectionStatusText(610, 420, 10, 20), "610:420 - 10:20  [600 x 400]");
    EXPECT_EQ(CMainFrame::ImageSizeStatusText(40, 24), "Image size:    40 x 24");

    EXPECT_EQ(CMainFrame::PrintResolution(0, 0, 600, 400, 6, 4, 2), 100);
    EXPECT_EQ(CMainFrame::PrintResolution(0, 0, 600, 400, 15, 10, 1), 101);
    EXPECT_EQ(CMainFrame::PrintResolution(0, 0, 600, 400, 4, 6, 2), 100);
    // Signed differences: a reversed selection takes the smaller magnitude.
    EXPECT_EQ(CMainFrame::PrintResolution(600, 400, 0, 0, 6, 4, 2), 66);
    // Pixel rules and rules without a size give no resolution.
    EXPECT_EQ(CMainFrame::PrintResolution(0, 0, 600, 400, 6, 4, 0), -2);
    EXPECT_EQ(CMainFrame::PrintResolution(0, 0, 600, 400, 0, 0, 2), -2);
    EXPECT_EQ(CMainFrame::PrintResolution(0, 0, 600, 400, -3, -1, 1), -2);
}

TEST(ToolbarLabel, ShowsOnlyTextAndNeverLooksDisabled)
{
    CToolbarLabel empty;
    EXPECT_EQ(empty.GetId(), 0);
    EXPECT_TRUE(empty.text().isEmpty());

    QToolBar bar;
    auto* label = new CToolbarLabel(ID_SORT_LABEL, "Sort by:", &bar);
    EXPECT_FALSE(label->HasImage());
    EXPECT_EQ(label->GetImageIndex(), -1);
    bar.addAction(label);
    auto* widget = qobject_cast<QLabel*>(bar.widgetForAction(label));
    ASSERT_NE(widget, nullptr);
    EXPECT_EQ(widget->text(), "Sort by:");
    label->setEnabled(false);
    const QPalette p = widget->palette();
    EXPECT_EQ(p.color(QPalette::Disabled, QPalette::WindowText), p.color(QPalette::Active, QPalette::WindowText));
}

TEST(UxTheme, NoSkinOrVisualStylesAreLoaded)
{
    EXPECT_FALSE(UxThemeLibrary::IsLoaded());
    EXPECT_FALSE(CSkinManager::LoadSkin("any", "scheme"));
    CSkinManager::ExcludeModule("ole32.dll");
    CSkinManager::ExcludeModule("ole32.dll");
    EXPECT_EQ(CSkinManager::ExcludedModules().count("ole32.dll"), 1);
}

// Every zoom change of the view shows in the box, whatever it selected before.
TEST_F(MainFrameTest, ZoomBoxFollowsEveryZoomStepOfTheView)
{
    CPixmendApp app;
    ASSERT_TRUE(app.InitInstance({WritePhoto(400, 240)}));
    CMainFrame* frame = app.GetMainFrame();
    frame->resize(800, 600);
    QCoreApplication::processEvents();
    app.GetCommands().UpdateAll();
    CChildView* view = frame->GetView();
    QComboBox* zoom = frame->GetZoomCombo();
    ASSERT_TRUE(zoom->isEnabled());

    view->SetZoomIndex(9);
    EXPECT_EQ(zoom->currentText(), "100%");
    view->ZoomIn();
    EXPECT_EQ(zoom->currentText(), "150%");
    view->ZoomOut();
    view->ZoomOut();
    EXPECT_EQ(zoom->currentText(), "67%");
    view->ZoomToFit(false);
    EXPECT_EQ(zoom->currentText(), QString::number(view->Zoom() * 100 / 256) + "%");
    view->ZoomOut();
    EXPECT_EQ(zoom->currentText(), zoom->itemText(view->ZoomIndex()));
    app.ExitInstance(0);
}

// A screenshot of the whole window with a photo, kept as a build artefact.
TEST_F(MainFrameTest, ScreenshotWithAPhotoAt1280x800)
{
    const QString photo = Q(testjpeg::CorpusFile("syn_420_1001x667.jpg"));

    CPixmendApp app;
    ASSERT_TRUE(app.InitInstance({photo}));
    CMainFrame* frame = app.GetMainFrame();
    frame->resize(1280, 800);
    QCoreApplication::processEvents();
    // The offscreen screen is smaller than the window: fit the photo as a
    // start at this size would.
    frame->GetView()->ZoomToFit(true);
    app.GetCommands().UpdateAll();
    frame->UpdateZoomCombo(true);
    frame->RefreshAfterCommand();
    frame->GetStatusBar()->SetDpi(180, 150, 250); // shows the quality pane as it looks with a crop rule
    QCoreApplication::processEvents();

    const QImage shot = frame->grab().toImage();
    EXPECT_EQ(shot.size(), QSize(1280, 800) * shot.devicePixelRatio());
    QDir().mkpath(PIXMEND_ARTIFACTS_DIR);
    const QString out = QStringLiteral(PIXMEND_ARTIFACTS_DIR "/mainwindow-1280x800.png");
    EXPECT_TRUE(shot.save(out));
    // The photo lies in the view: its centre is not the frame's background.
    const QWidget* view = frame->GetViewWidget();
    const QPoint centre = view->mapTo(frame, view->rect().center());
    EXPECT_NE(shot.pixelColor(centre), frame->palette().window().color());
    app.ExitInstance(0);
}

} // namespace

// The keyboard belongs to the view: at start-up with a photo, after opening
// another, and after a zoom chosen from the box. Typing into the box at a
// fitted zoom never changes the zoom.
TEST_F(MainFrameTest, KeyboardFocusStaysWithTheView)
{
    CPixmendApp app;
    ASSERT_TRUE(app.InitInstance({WritePhoto(1200, 900)}));
    CMainFrame* frame = app.GetMainFrame();
    frame->resize(1280, 800); // wide enough to show the zoom box on the toolbar
    frame->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(frame));
    app.GetCommands().UpdateAll();
    CChildView* view = frame->GetView();
    QComboBox* zoom = frame->GetZoomCombo();
    ASSERT_TRUE(zoom->isEnabled());
    ASSERT_TRUE(zoom->isVisible());
    EXPECT_EQ(QApplication::focusWidget(), view);

    // Arrow keys reach the view and scroll a zoomed image.
    view->SetZoomIndex(9);
    const int before = view->horizontalScrollBar()->value();
    QTest::keyClick(frame->windowHandle(), Qt::Key_Right);
    EXPECT_GT(view->horizontalScrollBar()->value(), before);

    // At a fitted zoom, typed text and Return leave the zoom alone.
    view->ZoomToFit(false);
    ASSERT_LT(view->ZoomIndex(), 0);
    const unsigned fitted = view->Zoom();
    const QString shown = zoom->currentText();
    QTest::mouseClick(zoom->lineEdit(), Qt::LeftButton);
    ASSERT_EQ(QApplication::focusWidget(), zoom);
    for (const char* typed : {"50", "3", "100%", "x"}) {
        for (const char* c = typed; *c; ++c)
            QTest::keyClick(frame->windowHandle(), *c);
        QTest::keyClick(frame->windowHandle(), Qt::Key_Return);
        EXPECT_EQ(view->Zoom(), fitted) << typed;
        EXPECT_LT(view->ZoomIndex(), 0) << typed;
        EXPECT_EQ(zoom->currentText(), shown) << typed;
    }

    // Opening an image gives the keyboard back to the view.
    ASSERT_EQ(QApplication::focusWidget(), zoom);
    app.OpenImage(WritePhoto(600, 400), 0);
    EXPECT_EQ(QApplication::focusWidget(), view);

    // So does a zoom chosen from the box's list.
    QTest::mouseClick(zoom->lineEdit(), Qt::LeftButton);
    ASSERT_EQ(QApplication::focusWidget(), zoom);
    zoom->showPopup();
    QAbstractItemView* list = zoom->view();
    EXPECT_SOON(list->isVisible());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(zoom->model()->index(9, 0)).center());
    EXPECT_SOON_EQ(view->ZoomIndex(), 9);
    EXPECT_EQ(view->Zoom(), 256u);
    EXPECT_EQ(zoom->currentText(), "100%");
    EXPECT_EQ(QApplication::focusWidget(), view);
    app.ExitInstance(0);
}

namespace {

class WindowFitTest : public testwin::ProgramTest {};

TEST_F(WindowFitTest, EditPaneAndStatusFieldsFitWhatTheyShow)
{
    const QString photo = QString::fromStdString((m_tmp / "a.jpg").string());
    ASSERT_TRUE(testjpeg::WriteFile(m_tmp / "a.jpg", testjpeg::Encode(testjpeg::MakePattern(64, 48))));
    Start(photo);
    QDockWidget* pane = m_frame->GetModePane();
    const int empty = pane->width();
    // A wide panel widens the pane; the narrower one after it gives the
    // width back to the view.
    m_frame->SetMode(ID_EDIT_CROP);
    ASSERT_TRUE(QTest::qWaitFor([&] { return pane->width() == pane->sizeHint().width(); }, 2000))
        << pane->width() << " " << pane->sizeHint().width();
    const int crop = pane->width();
    ASSERT_GT(crop, empty);
    m_frame->SetMode(ID_EDIT_DRAG);
    EXPECT_TRUE(QTest::qWaitFor([&] { return pane->width() < crop; }, 2000)) << pane->width();
    EXPECT_EQ(pane->width(), pane->sizeHint().width());

    // The selection field holds five-digit positions and sizes in the font in use.
    const QString widest = CMainFrame::SelectionStatusText(10000, 10000, 65535, 65535);
    QLabel* field = m_frame->GetStatusBar()->GetPane(1);
    for (const int points : {9, 16}) {
        QFont font = m_frame->GetStatusBar()->font();
        font.setPointSize(points);
        m_frame->GetStatusBar()->setFont(font);
        EXPECT_TRUE(QTest::qWaitFor([&] {
            return field->contentsRect().width() >= field->fontMetrics().horizontalAdvance(widest);
        }, 2000)) << points << "pt: " << field->width();
    }
}

// A browser pane wider than the window leaves the view its minimum; the
// settings file gets the width the pane had.
TEST_F(WindowFitTest, AStoredPaneTooWideForTheWindowLeavesTheViewItsWidth)
{
    const QString conf = QFile::decodeName(qgetenv("XDG_CONFIG_HOME")) + QStringLiteral("/Pixmend/Pixmend.conf");
    QSettings(conf, QSettings::IniFormat).setValue("View/PreviewPaneWidth", 100000);
    const QString photo = QString::fromStdString((m_tmp / "a.jpg").string());
    ASSERT_TRUE(testjpeg::WriteFile(m_tmp / "a.jpg", testjpeg::Encode(testjpeg::MakePattern(64, 48))));
    Start(photo);
    EXPECT_GE(m_frame->GetViewWidget()->width(), CMainFrame::kMinViewWidth);
    const int pane = m_frame->GetBrowserView()->width();
    EXPECT_GT(pane, 0);
    m_app->ExitInstance(0);
    EXPECT_EQ(QSettings(conf, QSettings::IniFormat).value("View/PreviewPaneWidth").toInt(), pane);
}

} // namespace
