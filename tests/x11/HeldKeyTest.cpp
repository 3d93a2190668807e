// Return held down at a real X server, with the server's own repeats and
// every core kept busy meanwhile: on a busy machine the toolkit meets a
// repeat's release and press apart and flags neither. A held key acts once
// in the dialogs that act on Return; a multi-line field still types a line
// per repeat.
#include "../dialogs/EditorTestKit.h"
#include "BatchEditDlg.h"
#include "BatchManagerDlg.h"
#include "CommandIds.h"
#include "CropPresets.h"
#include "CustCropPresetsDlg.h"
#include "EditorPages.h"
#include "ProgramWindow.h"
#include "WidgetMessageBoxes.h"
#include "XKeyboard.h"

#include <QAbstractEventDispatcher>
#include <QAbstractNativeEventFilter>
#include <QDialogButtonBox>
#include <QEventLoop>
#include <QGuiApplication>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QSettings>
#include <QTimer>

#include <atomic>
#include <functional>
#include <thread>
#include <vector>

namespace {

constexpr unsigned long kReturn = 0xff0d;

// A key held down at the server until the server has delivered `repeats` of
// its repeats to this program, however long a busy machine takes for them;
// one thread per core spins meanwhile. After a minute it is let go anyway,
// so a server that does not repeat fails the test rather than holding it.
class CHeldKey final : public QAbstractNativeEventFilter {
public:
    CHeldKey(CXKeyboard& keyboard, unsigned long keysym, int repeats)
        : m_keyboard(keyboard)
        , m_keysym(keysym)
        , m_code(keyboard.Keycode(keysym))
        , m_repeats(repeats)
    {
        QAbstractEventDispatcher::instance()->installNativeEventFilter(this);
        m_timeout.setSingleShot(true);
        QObject::connect(&m_timeout, &QTimer::timeout, [this] { LetGo(); });
    }
    ~CHeldKey() override
    {
        LetGo();
        QAbstractEventDispatcher::instance()->removeNativeEventFilter(this);
    }
    CHeldKey(const CHeldKey&) = delete;
    CHeldKey& operator=(const CHeldKey&) = delete;

    void Press()
    {
        m_spin = true;
        for (unsigned i = 0, n = std::max(1u, std::thread::hardware_concurrency()); i < n; ++i)
            m_busy.emplace_back([this] {
                while (m_spin.load(std::memory_order_relaxed)) {
                }
            });
        m_down = true;
        m_keyboard.KeyDown(m_keysym);
        m_timeout.start(60000);
    }
    bool IsUp() const { return m_up; }
    // Runs an event loop until the key is up, as a dialog's own loop runs: it
    // takes each event as it comes (a wait that sleeps between its looks
    // would find a repeat's release and press side by side). Then every
    // event of the key up to its release has been taken.
    bool WaitReleased(int timeoutMs = 120000)
    {
        QEventLoop loop;
        QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
        m_loop = &loop;
        if (!m_up)
            loop.exec();
        m_loop = nullptr;
        // A loop this one runs in that is ending ends it at once: look on.
        if (!QTest::qWaitFor([this] { return m_up; }, timeoutMs))
            return false;
        QGuiApplication::sync();
        return true;
    }
    int Presses() const { return m_presses; }

    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override
    {
        // Key events on the wire: type (bit 7: sent by a client), key code.
        constexpr int kKeyPress = 2, kKeyRelease = 3;
        const auto* event = static_cast<const unsigned char*>(message);
        if (type != "xcb_generic_event_t" || !m_down || event[1] != m_code)
            return false;
        if ((event[0] & 0x7f) == kKeyPress) {
            ++m_presses;
        } else if ((event[0] & 0x7f) == kKeyRelease) {
            ++m_releases;
            if (m_releases >= m_repeats)
                LetGo();
        }
        return false;
    }

private:
    void LetGo()
    {
        if (!m_down || m_up)
            return;
        m_keyboard.KeyUp(m_keysym);
        m_up = true;
        m_spin = false;
        for (std::thread& t : m_busy)
            t.join();
        m_busy.clear();
        if (m_loop)
            m_loop->quit();
    }

    CXKeyboard& m_keyboard;
    unsigned long m_keysym;
    unsigned m_code;
    int m_repeats;
    bool m_down = false;
    bool m_up = false;
    int m_presses = 0;
    int m_releases = 0;
    QTimer m_timeout;
    QEventLoop* m_loop = nullptr;
    std::atomic<bool> m_spin{false};
    std::vector<std::thread> m_busy;
};

// Xvfb runs no window manager; this stands in for its one task here: the
// window under a dialog that closes gets the keyboard (the main window for
// a dialog without a parent), as a window manager gives it.
class CWindowManager final : public QObject {
public:
    explicit CWindowManager(QWidget* main)
        : m_main(main)
    {
        qApp->installEventFilter(this);
    }
    ~CWindowManager() override { qApp->removeEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::Hide || !watched->isWidgetType())
            return false;
        auto* closed = static_cast<QWidget*>(watched);
        if (!qobject_cast<QDialog*>(closed) || !closed->isWindow())
            return false;
        QWidget* under = closed->parentWidget() ? closed->parentWidget()->window() : m_main;
        QTimer::singleShot(0, under, [under] {
            if (under->isVisible())
                under->activateWindow();
        });
        return false;
    }

private:
    QWidget* m_main;
};

// OK of a button box, or the button with the dialog id of OK.
QPushButton* OkButton(QWidget* dialog)
{
    for (auto* box : dialog->findChildren<QDialogButtonBox*>())
        if (QPushButton* b = box->button(QDialogButtonBox::Ok); b && b->isVisible())
            return b;
    return qobject_cast<QPushButton*>(GetDlgItem(dialog, 1));
}

class HeldKeyTest : public testwin::ProgramTest {
protected:
    void SetUp() override
    {
        ProgramTest::SetUp();
        ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb")) << "run under an X server";
        ASSERT_TRUE(m_keyboard.IsOpen()) << "the X test extension is not available";
        m_keyboard.RepeatOn();
        const std::filesystem::path photo = m_tmp.path() / "photo.jpg";
        ASSERT_TRUE(testjpeg::WriteFile(photo, testjpeg::Encode(testjpeg::MakePattern(320, 240))));
        Start(QString::fromStdString(photo.string()));
        m_windowManager = std::make_unique<CWindowManager>(m_frame);
        SetMessageBoxes(&m_widgets);
        // Return that reaches the main window is its Apply.
        ASSERT_TRUE(m_app->GetCommands().SetHandler(ID_APPLY_NOW, [this] { ++m_applied; }));
        m_app->GetCommands().UpdateAll();
        m_view->setFocus();
    }
    void TearDown() override
    {
        SetMessageBoxes(&m_boxes);
        m_windowManager.reset();
        ProgramTest::TearDown();
    }
    // Waits until `window` is active and the server sends it the keys;
    // else closes it when it is a dialog, so that a failure ends the test.
    bool Focused(QWidget* window)
    {
        window->activateWindow();
        if (QTest::qWaitForWindowActive(window) &&
            QTest::qWaitFor([&] { return m_keyboard.HasFocus(window->winId()); }))
            return true;
        ADD_FAILURE() << window->metaObject()->className() << " does not get the keys";
        if (auto* dialog = qobject_cast<QDialog*>(window))
            dialog->done(QDialog::Rejected);
        return false;
    }
    // The same with OK of `dialog` focused.
    bool FocusedOnOk(QDialog* dialog)
    {
        QPushButton* ok = OkButton(dialog);
        if (ok)
            ok->setFocus();
        if (!Focused(dialog))
            return false;
        if (ok && QTest::qWaitFor([&] { return ok->hasFocus(); }))
            return true;
        ADD_FAILURE() << "OK does not get the keys";
        dialog->done(QDialog::Rejected);
        return false;
    }
    // The macro manager, run by its key at the main window.
    void Manage(std::function<void(CBatchManagerDlg*)> inside)
    {
        edtest::WhenModal<CBatchManagerDlg>(std::move(inside));
        m_frame->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(m_frame));
        QTest::keyClick(m_frame->windowHandle(), Qt::Key_B, Qt::ControlModifier);
    }
    // The macro names the settings file holds.
    QStringList StoredMacros()
    {
        CBatchList stored;
        stored.LoadFromString(QSettings(CProfile::FilePath(), QSettings::IniFormat).value("Macros/List").toString(),
                              &m_app->m_operations);
        return stored.GetNames();
    }

    CXKeyboard m_keyboard;
    CWidgetMessageBoxes m_widgets;
    std::unique_ptr<CWindowManager> m_windowManager;
    int m_applied = 0;
};

// Four macros, Remove on the first and Return held on its question: the
// question is answered once and the other three are stored.
TEST_F(HeldKeyTest, ReturnHeldOnTheRemoveQuestionRemovesOneMacro)
{
    ASSERT_EQ(m_app->m_batches.GetBatches().size(), 1u);
    const QString sample = m_app->m_batches.GetNames().front();
    int leftOpenQuestions = 0;
    int managed = 0;
    Manage([&](CBatchManagerDlg* manager) {
        ++managed;
        const auto close = qScopeGuard([manager] {
            if (manager->isVisible())
                manager->done(QDialog::Rejected);
        });
        if (!Focused(manager))
            return;
        for (int i = 0; i < 3; ++i)
            QTest::mouseClick(edtest::Item<QPushButton>(manager, 1117), Qt::LeftButton);
        ASSERT_EQ(manager->GetList()->count(), 4);
        manager->GetList()->setCurrentRow(0);
        CHeldKey held(m_keyboard, kReturn, 30);
        // A question a repeat brings up and leaves open is counted and
        // cancelled once the key is up.
        QTimer leftOpen;
        QObject::connect(&leftOpen, &QTimer::timeout, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()); box && held.IsUp()) {
                ++leftOpenQuestions;
                box->reject();
            }
        });
        leftOpen.start(50);
        edtest::WhenModal<QMessageBox>([&](QMessageBox* question) {
            if (Focused(question))
                held.Press();
        });
        QTest::mouseClick(edtest::Item<QPushButton>(manager, 1071), Qt::LeftButton);
        ASSERT_TRUE(held.WaitReleased());
        EXPECT_GE(held.Presses(), 31) << "the server did not repeat the key";
        EXPECT_TRUE(manager->isVisible());
        if (manager->isVisible())
            QTest::mouseClick(OkButton(manager), Qt::LeftButton);
    });
    EXPECT_EQ(managed, 1);
    EXPECT_EQ(leftOpenQuestions, 0);
    EXPECT_EQ(StoredMacros(), (QStringList{"Copy of " + sample, "Copy (2) of " + sample, "Copy (3) of " + sample}));
    EXPECT_EQ(m_applied, 0);
}

// Return held on OK of a dialog that acts on it closes the dialog once; the
// repeats reach nothing behind it. The macro manager is held on after its
// question was answered with Return.
TEST_F(HeldKeyTest, ReturnHeldOnOkClosesTheDialogOnce)
{
    ASSERT_EQ(m_app->m_batches.GetBatches().size(), 1u);
    const QString sample = m_app->m_batches.GetNames().front();
    const auto holdOnOk = [this](QDialog* dialog, CHeldKey& held, int* accepted) {
        QObject::connect(dialog, &QDialog::accepted, [accepted] { ++*accepted; });
        if (FocusedOnOk(dialog))
            held.Press();
    };
    struct Row {
        const char* name;
        std::function<void(CHeldKey&, int*)> run;
        std::function<void()> expect;
    };
    const Row rows[] = {
        {"macro manager",
         [&](CHeldKey& held, int* accepted) {
             Manage([&](CBatchManagerDlg* manager) {
                 if (!Focused(manager))
                     return;
                 QTest::mouseClick(edtest::Item<QPushButton>(manager, 1117), Qt::LeftButton);
                 manager->GetList()->setCurrentRow(0);
                 edtest::WhenModal<QMessageBox>([&](QMessageBox* question) {
                     if (Focused(question))
                         m_keyboard.Chord({kReturn});
                 });
                 QTest::mouseClick(edtest::Item<QPushButton>(manager, 1071), Qt::LeftButton);
                 EXPECT_EQ(manager->GetList()->count(), 1);
                 holdOnOk(manager, held, accepted);
             });
         },
         [&] { EXPECT_EQ(StoredMacros(), QStringList{"Copy of " + sample}); }},
        {"Preferences",
         [&](CHeldKey& held, int* accepted) {
             edtest::WhenModal<QDialog>([&](QDialog* prefs) { holdOnOk(prefs, held, accepted); });
             m_app->GetCommands().Execute(ID_FILE_PREFERENCES);
         },
         [] {}},
        {"crop presets",
         [&](CHeldKey& held, int* accepted) {
             edtest::WhenModal<CCustCropPresetsDlg>([&](CCustCropPresetsDlg* presets) {
                 edtest::Item<QPushButton>(presets, 1070)->click(); // Add
                 holdOnOk(presets, held, accepted);
             });
             QString preset;
             theCropPresets.EditPresets(preset);
         },
         [] { EXPECT_EQ(theCropPresets.GetRules().front().name, QStringLiteral("New Crop Rule")); }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        m_applied = 0;
        int accepted = 0;
        CHeldKey held(m_keyboard, kReturn, 30);
        row.run(held, &accepted);
        ASSERT_TRUE(held.WaitReleased());
        EXPECT_GE(held.Presses(), 31) << "the server did not repeat the key";
        EXPECT_EQ(accepted, 1);
        EXPECT_EQ(m_applied, 0);
        row.expect();
        m_view->setFocus();
    }
}

// Return held on the manager's OK and let go while another application has
// the keyboard: its release never comes here. Held down there again and the
// keyboard back, its repeats reach the main window as those of a key held
// there do.
TEST_F(HeldKeyTest, ReturnLetGoElsewhereIsHeldNoMore)
{
    Manage([&](CBatchManagerDlg* manager) {
        if (FocusedOnOk(manager))
            m_keyboard.KeyDown(kReturn);
    });
    m_keyboard.Focus(0);
    EXPECT_TRUE(QTest::qWaitFor([] { return !QGuiApplication::focusWindow(); }));
    m_keyboard.KeyUp(kReturn);
    m_applied = 0;
    CHeldKey held(m_keyboard, kReturn, 30);
    held.Press();
    m_keyboard.Focus(m_frame->winId());
    ASSERT_TRUE(Focused(m_frame));
    ASSERT_TRUE(held.WaitReleased());
    EXPECT_GE(held.Presses(), 30) << "the server did not repeat the key";
    EXPECT_EQ(m_applied, held.Presses());
}

// Return held in a multi-line field of the macro editor (the text of the
// sample macro's "Insert Text") types a line per press the server sent.
TEST_F(HeldKeyTest, AMultiLineFieldTypesALinePerRepeat)
{
    Manage([&](CBatchManagerDlg* manager) {
        const auto close = qScopeGuard([manager] {
            if (manager->isVisible())
                manager->done(QDialog::Rejected);
        });
        if (!Focused(manager))
            return;
        edtest::WhenModal<CBatchEditDlgWrapper>([&](CBatchEditDlgWrapper* editor) {
            const auto cancel = qScopeGuard([editor] { editor->GetPage().OnCancel(); });
            QPlainTextEdit* field = edtest::FirstOnAnyPage<QPlainTextEdit>(editor, [](QPlainTextEdit* f) {
                return f->isVisible() && f->isEnabled() && !f->isReadOnly();
            });
            ASSERT_NE(field, nullptr) << "no multi-line field in the sample macro";
            field->setFocus();
            if (!Focused(editor))
                return;
            ASSERT_TRUE(QTest::qWaitFor([&] { return field->hasFocus(); }));
            const int lines = field->blockCount();
            CHeldKey held(m_keyboard, kReturn, 30);
            held.Press();
            ASSERT_TRUE(held.WaitReleased());
            EXPECT_GE(held.Presses(), 31) << "the server did not repeat the key";
            EXPECT_EQ(field->blockCount(), lines + held.Presses());
        });
        QTest::mouseClick(edtest::Item<QPushButton>(manager, 1115), Qt::LeftButton);
    });
    EXPECT_EQ(m_applied, 0);
}

} // namespace
