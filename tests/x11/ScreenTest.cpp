// The program at a real X server (Xvfb, the xcb platform): real windows that
// are mapped and exposed only when the server says so, real focus, and the
// pixels the server shows, grabbed from the root window.
#include "../dialogs/EditorTestKit.h"
#include "Batch.h"
#include "BatchConfirm.h"
#include "BatchEditDlg.h"
#include "BatchManagerDlg.h"
#include "BatchProgress.h"
#include "ChildBrowseView.h"
#include "BrowseDlg.h"
#include "ColorRef.h"
#include "CommandIds.h"
#include "EditorPages.h"
#include "InsertTextDlg.h"
#include "LayoutCheck.h"
#include "ProgramWindow.h"
#include "SettingsDlg.h"
#include "ThumbJob.h"
#include "WidgetMessageBoxes.h"
#include "XKeyboard.h"

#include <functional>

#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPainter>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QTabBar>

namespace {

namespace fs = std::filesystem;

QString Q(const fs::path& p)
{
    return QString::fromStdString(p.string());
}

// What the X server shows in `rect` (screen coordinates).
QImage OnScreen(const QRect& rect)
{
    return QGuiApplication::primaryScreen()
        ->grabWindow(0, rect.x(), rect.y(), rect.width(), rect.height())
        .toImage()
        .convertToFormat(QImage::Format_RGB32);
}

// Pixels where some channel of `a` and `b` differs by more than `tolerance`;
// every pixel when the sizes differ.
int Differences(const QImage& a, const QImage& b, int tolerance = 0)
{
    if (a.size() != b.size())
        return std::max(a.width() * a.height(), b.width() * b.height());
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    int count = 0;
    for (int row = 0; row < x.height(); ++row) {
        const auto* p = reinterpret_cast<const QRgb*>(x.constScanLine(row));
        const auto* q = reinterpret_cast<const QRgb*>(y.constScanLine(row));
        for (int col = 0; col < x.width(); ++col)
            if (std::abs(qRed(p[col]) - qRed(q[col])) > tolerance ||
                std::abs(qGreen(p[col]) - qGreen(q[col])) > tolerance ||
                std::abs(qBlue(p[col]) - qBlue(q[col])) > tolerance)
                ++count;
    }
    return count;
}

// Whether the server shows `window` as it paints itself.
bool ShownAsPainted(QWidget* window)
{
    return Differences(OnScreen(QRect(window->mapToGlobal(QPoint(0, 0)), window->size())),
                       window->grab().toImage()) == 0;
}

QPushButton* DialogButton(QWidget* dialog, QDialogButtonBox::StandardButton which)
{
    for (auto* box : dialog->findChildren<QDialogButtonBox*>())
        if (QPushButton* b = box->button(which); b && b->isVisible())
            return b;
    return nullptr;
}

// The layout rule over `top` after every pending layout has run, each
// problem prefixed with `where`.
QStringList Problems(QWidget* top, const QString& where)
{
    // A page that grows passes its new size up one window per round.
    for (int round = 0; round < 8; ++round) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        QCoreApplication::processEvents();
    }
    QStringList problems;
    for (const QString& p : layoutcheck::LayoutProblems(top))
        problems << where + QStringLiteral(": ") + p;
    return problems;
}

// The same with every tab of the tabbed editors inside `top` shown in turn.
QStringList ProblemsOnEveryTab(QWidget* top, const QString& where)
{
    QStringList problems = Problems(top, where);
    for (QTabBar* tabs : top->findChildren<QTabBar*>(QStringLiteral("DlgTabRow"))) {
        if (!tabs->isVisible())
            continue;
        const int was = tabs->currentIndex();
        for (int i = 0; i < tabs->count(); ++i) {
            if (i == was)
                continue;
            tabs->setCurrentIndex(i);
            problems << Problems(top, where + u'/' + tabs->tabText(i));
        }
        tabs->setCurrentIndex(was);
    }
    return problems;
}

class ScreenTest : public testwin::ProgramTest {
protected:
    void SetUp() override
    {
        ProgramTest::SetUp();
        ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb")) << "run under an X server";
    }
    // A 4:2:0 photo of `w` x `h` in the temporary folder.
    fs::path Photo(const std::string& name, int w = 640, int h = 480, unsigned seed = 1)
    {
        const fs::path p = m_tmp.path() / name;
        EXPECT_TRUE(testjpeg::WriteFile(
            p, testjpeg::Encode(testjpeg::MakePattern(w, h, 3, seed), testjpeg::Sampled(90, {{2, 2}, {1, 1}, {1, 1}}))));
        return p;
    }
    void Execute(int id) { m_app->GetCommands().Execute(id); }
};

// The shifted symbols of the main keyboard reach their commands: "*" and "+"
// are Shift+8 and Shift+= at X, one key press each.
TEST_F(ScreenTest, ShiftedZoomKeysReachTheirCommands)
{
    CXKeyboard keyboard;
    ASSERT_TRUE(keyboard.IsOpen()) << "the X test extension is not available";
    Start(Q(Photo("a.jpg", 2000, 1500)));
    constexpr unsigned long kShift = 0xffe1, kEight = 0x38, kEqual = 0x3d, kSlash = 0x2f;
    keyboard.Chord({kSlash});
    EXPECT_TRUE(QTest::qWaitFor([&] { return m_view->ZoomIndex() == 9; })) << m_view->ZoomIndex();
    keyboard.Chord({kShift, kEight}); // "*": Zoom to Fit
    EXPECT_TRUE(QTest::qWaitFor([&] { return m_view->ZoomIndex() == -1; })) << m_view->ZoomIndex();
    keyboard.Chord({kSlash});
    EXPECT_TRUE(QTest::qWaitFor([&] { return m_view->ZoomIndex() == 9; })) << m_view->ZoomIndex();
    keyboard.Chord({kShift, kEqual}); // "+": Zoom In
    EXPECT_TRUE(QTest::qWaitFor([&] { return m_view->ZoomIndex() == 10; })) << m_view->ZoomIndex();
}

TEST_F(ScreenTest, APhotoIsDrawnOnScreen)
{
    Start(Q(Photo("photo.jpg")));
    const QImage rendered = m_app->m_image.GetDibImage();
    ASSERT_EQ(rendered.size(), QSize(640, 480));
    const QRect shown(m_view->viewport()->mapToGlobal(testwin::ClientPoint(*m_view, 0, 0)), rendered.size());
    EXPECT_TRUE(QTest::qWaitFor([&] { return Differences(OnScreen(shown), rendered) == 0; }, 5000))
        << Differences(OnScreen(shown), rendered) << " pixels differ from the render";
}

// Counts the image view's paints that showed the first picture of a photo.
class CPreviewPaints : public QObject {
public:
    int count = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            if (auto* view = qobject_cast<CChildView*>(watched->parent());
                view && watched == view->viewport() && view->HasPreview() && !view->IsImageLoaded())
                ++count;
        return false;
    }
};

// The bounding box of the pixels of `image` that are not `background`.
QRect PaintedBox(const QImage& image, QRgb background)
{
    const QImage x = image.convertToFormat(QImage::Format_RGB32);
    QRect box;
    for (int y = 0; y < x.height(); ++y)
        for (int col = 0; col < x.width(); ++col)
            if ((x.pixel(col, y) & 0xFFFFFF) != (background & 0xFFFFFF))
                box |= QRect(col, y, 1, 1);
    return box;
}

// A photo larger than the window: the start puts a first picture of it,
// decoded at the window's scale, where the photo will be, and then the
// server shows exactly what the view paints from the full render; the
// comparison tells the two apart.
TEST_F(ScreenTest, TheFirstPictureMakesWayForThePhotoItself)
{
    const fs::path photo = Photo("large.jpg", 3000, 2000);
    CPreviewPaints previews;
    qApp->installEventFilter(&previews);
    m_app = std::make_unique<CPixmendApp>();
    ASSERT_TRUE(m_app->InitInstance({Q(photo)}));
    qApp->removeEventFilter(&previews);
    m_frame = m_app->GetMainFrame();
    m_view = m_frame->GetView();
    EXPECT_GE(previews.count, 1);
    ASSERT_TRUE(m_view->IsImageLoaded());
    EXPECT_FALSE(m_view->HasPreview());
    EXPECT_EQ(m_view->ZoomIndex(), -1); // fitted to the window

    // The full render, scaled to the fitted size and centred on the background.
    QWidget* viewport = m_view->viewport();
    const QRect shown(viewport->mapToGlobal(QPoint(0, 0)), viewport->size());
    const QRgb background = QRgbFromColorRef(m_app->m_settings.BackgroundColor);
    QImage painted(viewport->size(), QImage::Format_RGB32);
    painted.fill(background);
    {
        const int zoom = static_cast<int>(m_view->Zoom());
        const int zw = m_view->GetZoomedWidth(), zh = m_view->GetZoomedHeight();
        QPainter p(&painted);
        p.drawImage(QRectF(m_view->OriginX(), m_view->OriginY(), zw, zh), m_app->m_image.GetDibImage(),
                    QRectF(0, 0, zw * 256 / zoom, zh * 256 / zoom));
    }
    EXPECT_TRUE(QTest::qWaitFor([&] { return Differences(OnScreen(shown), painted) == 0; }, 5000))
        << Differences(OnScreen(shown), painted) << " pixels differ from the render";

    // The first picture alone, in the same place, is not that paint.
    CThumbJob job(m_app->m_image.GetLibraryObject(), Q(photo), 960, 0);
    QSize size;
    const QImage picture = job.Take(&size);
    m_view->AttachImage(nullptr);
    ASSERT_TRUE(m_view->ShowPreview(picture, size));
    viewport->repaint();
    EXPECT_TRUE(QTest::qWaitFor([&] { return Differences(OnScreen(shown), painted) > 0; }, 5000));
    EXPECT_EQ(PaintedBox(OnScreen(shown), background), PaintedBox(painted, background));
    m_frame->ShowImage();
}

// Ctrl+B, Edit... on the sample macro, the editor closed each way a user
// closes it, OK in the manager: the program lives on (under the sanitizers
// too) and the macro is kept as it was.
TEST_F(ScreenTest, TheMacroEditorClosesWithTheMouseEnterAndEsc)
{
    CXKeyboard keyboard;
    ASSERT_TRUE(keyboard.IsOpen()) << "the X test extension is not available";
    Start(Q(Photo("photo.jpg")));
    ASSERT_FALSE(m_app->m_batches.GetBatches().empty());
    const QString macros = m_app->m_batches.SaveToString();
    constexpr unsigned long kReturn = 0xff0d, kEscape = 0xff1b;
    // The first field that takes typing on an operation page of the editor.
    const auto pageField = [](CBatchEditDlgWrapper* editor) {
        return edtest::FirstOnAnyPage<QLineEdit>(editor, [](QLineEdit* field) {
            return field->isVisible() && field->isEnabled() && !field->isReadOnly();
        });
    };
    struct Way {
        const char* name;
        std::function<void(CBatchEditDlgWrapper*)> close;
        int result;
    };
    const Way ways[] = {
        {"mouse click on OK",
         [](CBatchEditDlgWrapper* editor) {
             QTest::mouseClick(DialogButton(editor, QDialogButtonBox::Ok), Qt::LeftButton);
         },
         QDialog::Accepted},
        {"Enter in a page field",
         [&](CBatchEditDlgWrapper* editor) {
             QLineEdit* field = pageField(editor);
             ASSERT_NE(field, nullptr);
             field->setFocus();
             ASSERT_TRUE(QTest::qWaitFor([&] { return field->hasFocus(); }));
             keyboard.Chord({kReturn});
         },
         QDialog::Accepted},
        {"Enter on OK",
         [&](CBatchEditDlgWrapper* editor) {
             QPushButton* ok = DialogButton(editor, QDialogButtonBox::Ok);
             ok->setFocus();
             ASSERT_TRUE(QTest::qWaitFor([&] { return ok->hasFocus(); }));
             keyboard.Chord({kReturn});
         },
         QDialog::Accepted},
        {"Esc", [&](CBatchEditDlgWrapper*) { keyboard.Chord({kEscape}); }, QDialog::Rejected},
    };
    for (const Way& way : ways) {
        SCOPED_TRACE(way.name);
        int result = -1;
        int managed = 0;
        edtest::WhenModal<CBatchManagerDlg>([&](CBatchManagerDlg* manager) {
            edtest::WhenModal<CBatchEditDlgWrapper>([&](CBatchEditDlgWrapper* editor) {
                QObject::connect(editor, &QDialog::finished, [&result](int r) { result = r; });
                // A key the editor never sees fails the case rather than
                // leaving the editor open for ever.
                QTimer::singleShot(20000, editor, [editor, &result] {
                    if (result == -1) {
                        ADD_FAILURE() << "the editor did not close";
                        editor->close();
                        result = -2;
                    }
                });
                ASSERT_TRUE(QTest::qWaitForWindowActive(editor));
                ASSERT_TRUE(QTest::qWaitFor([&] { return keyboard.HasFocus(editor->winId()); }));
                way.close(editor);
            });
            // The editor runs modally inside this click.
            QTest::mouseClick(qobject_cast<QPushButton*>(GetDlgItem(manager, 1115)), Qt::LeftButton);
            QTest::mouseClick(DialogButton(manager, QDialogButtonBox::Ok), Qt::LeftButton);
            ++managed;
        });
        m_frame->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(m_frame));
        QTest::keyClick(m_frame->windowHandle(), Qt::Key_B, Qt::ControlModifier);
        EXPECT_EQ(result, way.result);
        EXPECT_EQ(managed, 1);
        EXPECT_EQ(m_app->m_batches.SaveToString(), macros);
    }
}

// Every operation page in each of its hosts: every control at least its
// minimum size hint, no two controls on top of each other.
TEST_F(ScreenTest, EveryOperationPageFitsInEveryHost)
{
    Start(Q(Photo("photo.jpg")));
    QStringList problems;

    // The macro editor, on a macro of every kind a macro can hold.
    CBatch macro(QStringLiteral("All kinds"));
    for (IOperation* op : m_app->m_operations)
        if (op->IsBatchOperation())
            macro.GetOperations().push_back(op->Clone());
    ASSERT_GE(macro.GetOperations().size(), 8u);
    {
        CBatchEditDlgWrapper editor(&macro, m_app->m_operations, m_frame);
        editor.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&editor));
        auto* selected = qobject_cast<QListWidget*>(GetDlgItem(editor.GetPage().GetSafeHwnd(), 1117));
        ASSERT_NE(selected, nullptr);
        for (int row = 0; row < selected->count(); ++row) {
            selected->setCurrentRow(row);
            problems << ProblemsOnEveryTab(&editor, QStringLiteral("macro editor/") + selected->item(row)->text());
        }
        // Room the dialog gains goes to the page.
        QWidget* frame = GetDlgItem(&editor, 1119);
        const QSize before = frame->size();
        editor.resize(editor.size() + QSize(120, 200));
        Problems(&editor, {});
        EXPECT_EQ(frame->width(), before.width() + 120);
        EXPECT_EQ(frame->height(), before.height() + 200);
        editor.GetPage().OnCancel();
    }

    // Preferences, "Defaults".
    int defaults = 0;
    edtest::WhenModal<QDialog>([&](QDialog* prefs) {
        auto* tabs = prefs->findChild<QTabBar*>(QStringLiteral("SheetTabs"));
        ASSERT_NE(tabs, nullptr);
        tabs->setCurrentIndex(1);
        QListWidget* list = nullptr;
        for (auto* l : prefs->findChildren<QListWidget*>(QStringLiteral("1118")))
            if (l->isVisible())
                list = l;
        ASSERT_TRUE(list && list->isVisible());
        for (int row = 0; row < list->count(); ++row) {
            list->setCurrentRow(row);
            problems << ProblemsOnEveryTab(prefs, QStringLiteral("defaults/") + list->item(row)->text());
            ++defaults;
        }
        prefs->reject();
    });
    Execute(ID_FILE_PREFERENCES);
    EXPECT_GE(defaults, 6);

    // The insert-text dialog of the text mode.
    int texts = 0;
    m_frame->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_frame));
    m_app->GetCommands().UpdateAll();
    QTest::keyClick(m_frame->windowHandle(), Qt::Key_T);
    ASSERT_EQ(m_frame->GetCurrentModeId(), ID_EDIT_TEXT);
    edtest::WhenModal<CInsertTextDlgWrapper>([&](CInsertTextDlgWrapper* dialog) {
        problems << ProblemsOnEveryTab(dialog, QStringLiteral("insert text"));
        ++texts;
        dialog->reject();
    });
    QTest::keyClick(m_frame->windowHandle(), Qt::Key_T, Qt::ControlModifier);
    EXPECT_EQ(texts, 1);

    EXPECT_TRUE(problems.isEmpty()) << problems.join(u'\n').toStdString();
}

// Preferences on a screen 500 pixels tall at the program's scale (as scale 2
// on a 1600 x 1000 screen): the dialog stays inside the available area, its
// buttons on it and every page's controls whole, on both pages. The
// program runs again in a child with the scale that makes the screen so small.
TEST_F(ScreenTest, PreferencesFitASmallScreen)
{
    if (qEnvironmentVariableIsEmpty("PIXMEND_SMALL_SCREEN")) {
        const QScreen* screen = QGuiApplication::primaryScreen();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_SCALE_FACTOR", QString::number(screen->geometry().height() * screen->devicePixelRatio() / 500));
        env.insert("PIXMEND_SMALL_SCREEN", "1");
        QProcess child;
        child.setProcessEnvironment(env);
        child.setProcessChannelMode(QProcess::MergedChannels);
        child.start(QCoreApplication::applicationFilePath(), {"--gtest_filter=ScreenTest.PreferencesFitASmallScreen"});
        ASSERT_TRUE(child.waitForFinished(240000));
        const std::string out = child.readAll().toStdString();
        EXPECT_TRUE(child.exitCode() == 0 && out.find("[  PASSED  ] 1 test") != std::string::npos) << out;
        return;
    }
    Start(Q(Photo("photo.jpg")));
    const QRect room = m_frame->screen()->availableGeometry();
    ASSERT_LE(room.height(), 501);
    QStringList problems;
    int pages = 0;
    edtest::WhenModal<QDialog>([&](QDialog* prefs) {
        ASSERT_TRUE(QTest::qWaitForWindowExposed(prefs));
        auto* tabs = prefs->findChild<QTabBar*>(QStringLiteral("SheetTabs"));
        ASSERT_NE(tabs, nullptr);
        for (int i = 0; i < tabs->count(); ++i) {
            tabs->setCurrentIndex(i);
            problems << Problems(prefs, tabs->tabText(i));
            EXPECT_TRUE(room.contains(prefs->frameGeometry())) << tabs->tabText(i).toStdString() << ": "
                << prefs->frameGeometry().width() << "x" << prefs->frameGeometry().height();
            for (auto which : {QDialogButtonBox::Ok, QDialogButtonBox::Cancel}) {
                QPushButton* button = DialogButton(prefs, which);
                ASSERT_NE(button, nullptr);
                EXPECT_TRUE(room.contains(QRect(button->mapToGlobal(QPoint(0, 0)), button->size())));
            }
            ++pages;
        }
        prefs->reject();
    });
    Execute(ID_FILE_PREFERENCES);
    EXPECT_EQ(pages, 2);
    EXPECT_TRUE(problems.isEmpty()) << problems.join(u'\n').toStdString();
}

// Looks at the screen from inside a run over files, once per file: the
// progress window must be on the server as it paints itself, with this
// file's number.
class CScreenLook final : public COperation {
public:
    CScreenLook() : COperation("Look", "Look") {}
    COperation* CreateNew() const override { return new CScreenLook; }
    void UpdatePage() override {}
    IOperationPage* GetPage() override { return nullptr; }
    IAction* CreateAction(CKsImage*, int*) override
    {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (!qobject_cast<CBatchProgress*>(w) || !w->isVisible())
                continue;
            texts << GetWindowTextString(GetDlgItem(w, CBatchProgress::IDC_TEXT));
            painted << ShownAsPainted(w);
        }
        return nullptr;
    }
    QStringList texts;
    QList<bool> painted;
};

TEST_F(ScreenTest, ARunOverTenFilesShowsItsProgressOnScreen)
{
    for (int i = 1; i <= 10; ++i)
        Photo(QString::asprintf("p%02d.jpg", i).toStdString(), 320, 240, unsigned(i));
    Start(Q(m_tmp.path() / "p01.jpg"));
    CBrowseDlg& browser = m_frame->GetBrowser()->GetBrowseDlg();
    ASSERT_TRUE(QTest::qWaitFor([&] { return browser.GetItemCount() == 10; }, 5000));
    browser.SetAllSelected(true);

    CWidgetMessageBoxes boxes;
    SetMessageBoxes(&boxes);
    CBatch macro(QStringLiteral("Look"));
    auto* look = new CScreenLook;
    macro.GetOperations().push_back(look);
    int confirmed = 0;
    edtest::WhenModal<CBatchConfirm>([&](CBatchConfirm* confirm) {
        ASSERT_TRUE(QTest::qWaitForWindowExposed(confirm));
        QTest::mouseClick(qobject_cast<QPushButton*>(GetDlgItem(confirm, CBatchConfirm::IDC_ALL_SELECTED)),
                          Qt::LeftButton);
        ++confirmed;
    });
    // The macro saves nothing: the run asks first.
    int asked = 0;
    edtest::WhenModal<QMessageBox>([&](QMessageBox* question) {
        QTest::mouseClick(question->button(QMessageBox::Yes), Qt::LeftButton);
        ++asked;
    });
    m_app->RunMacro(&macro);
    SetMessageBoxes(&m_boxes);
    EXPECT_EQ(confirmed, 1);
    EXPECT_EQ(asked, 1);

    QStringList expected;
    for (int i = 1; i <= 10; ++i)
        expected << CBatchProgress::Text(i, 10);
    EXPECT_EQ(look->texts, expected);
    EXPECT_EQ(look->painted, QList<bool>(10, true)) << "the progress window is not on the screen as painted";
}

} // namespace
