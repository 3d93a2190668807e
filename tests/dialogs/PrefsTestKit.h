// What the Preferences and save-page tests share: the application started on
// a fresh profile, answering the next modal window from inside its loop, and
// screenshots under the artifacts folder.
#pragma once

#include "../app/ScopedConfigHome.h"
#include "DlgItems.h"
#include "MainFrame.h"
#include "PixmendApp.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QPointer>
#include <QPushButton>
#include <QSettings>
#include <QTabBar>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <utility>

namespace prefstest {

// The answers OnNextModal still waits with, each by its polling timer.
inline QList<QPointer<QTimer>>& PendingAnswers()
{
    static QList<QPointer<QTimer>> pending;
    return pending;
}

// Runs `answer` on the next modal window once it is up and active. The
// answer must end that window (or open and answer further ones). A test
// fixture derived from ModalTest fails when an answer never ran.
inline void OnNextModal(std::function<void(QWidget*)> answer)
{
    auto* timer = new QTimer;
    timer->setInterval(10);
    PendingAnswers().append(timer);
    QObject::connect(timer, &QTimer::timeout, [timer, answer] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible())
            return;
        PendingAnswers().removeAll(timer);
        timer->stop();
        timer->deleteLater();
        answer(modal);
    });
    timer->start();
}

// Fails for every answer whose window never came and stops its timer, so
// that none fires into a later test.
class ModalTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        for (const QPointer<QTimer>& timer : std::exchange(PendingAnswers(), {})) {
            ADD_FAILURE() << "a modal window expected to be answered never came up";
            delete timer.data();
        }
    }
};

// The control with that id, the shown one first: pages of one sheet reuse ids.
template <class T>
T* Item(const QWidget* window, int id)
{
    T* control = nullptr;
    for (QWidget* w : window->findChildren<QWidget*>(QString::number(id))) {
        if (!control || (w->isVisible() && !control->isVisible()))
            control = qobject_cast<T*>(w) ? qobject_cast<T*>(w) : control;
    }
    EXPECT_NE(control, nullptr) << "control " << id;
    return control;
}

inline void Click(const QWidget* window, int id)
{
    auto* button = Item<QAbstractButton>(window, id);
    if (!button)
        return;
    // A check box stretched by its layout takes clicks only on its box and text.
    const QPoint at = qobject_cast<QCheckBox*>(button) ? QPoint(6, button->height() / 2) : button->rect().center();
    QTest::mouseClick(button, Qt::LeftButton, {}, at);
}

// Picks the tab with that title as a user would.
inline void PickTab(QTabBar* bar, const QString& title)
{
    ASSERT_NE(bar, nullptr);
    for (int i = 0; i < bar->count(); ++i) {
        if (bar->tabText(i) == title) {
            QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(i).center());
            return;
        }
    }
    ADD_FAILURE() << "no tab " << title.toStdString();
}

// The tab row of the shown tabbed editor whose tab control has that id.
inline QTabBar* EditorTabs(const QWidget* sheet, int id)
{
    for (QWidget* w : sheet->findChildren<QWidget*>(QString::number(id)))
        if (auto* row = w->findChild<QTabBar*>(QStringLiteral("DlgTabRow")); row && w->isVisible())
            return row;
    ADD_FAILURE() << "no tabbed editor " << id;
    return nullptr;
}

inline QTabBar* SheetTabs(const QWidget* sheet)
{
    return sheet->findChild<QTabBar*>(QStringLiteral("SheetTabs"));
}

inline void Snap(QWidget* window, const QString& name)
{
    QApplication::processEvents();
    QDir().mkpath(QStringLiteral(PIXMEND_ARTIFACTS_DIR));
    EXPECT_TRUE(window->grab().save(QStringLiteral(PIXMEND_ARTIFACTS_DIR "/") + name + QStringLiteral(".png")));
}

// The application on an empty profile, started without arguments.
class AppTest : public ModalTest {
protected:
    void SetUp() override
    {
        m_app = std::make_unique<CPixmendApp>();
        ASSERT_TRUE(m_app->InitInstance({}));
    }
    void TearDown() override
    {
        ModalTest::TearDown();
        if (m_app && !m_exited)
            m_app->ExitInstance(0);
        m_app.reset();
    }
    // Writes the profile and lets the test read it.
    QSettings* Exit()
    {
        m_app->ExitInstance(0);
        m_exited = true;
        CProfile::Close();
        m_conf = std::make_unique<QSettings>(ConfPath(), QSettings::IniFormat);
        return m_conf.get();
    }
    static QString ConfPath()
    {
        return QString::fromLocal8Bit(qgetenv("XDG_CONFIG_HOME")) + QStringLiteral("/Pixmend/Pixmend.conf");
    }
    // Runs the Preferences command; `act` works in the sheet and ends it.
    void Preferences(std::function<void(QWidget*)> act)
    {
        OnNextModal(std::move(act));
        EXPECT_TRUE(m_app->GetCommands().Execute(32799));
    }

    CScopedConfigHome m_home;
    std::unique_ptr<CPixmendApp> m_app;
    std::unique_ptr<QSettings> m_conf;
    bool m_exited = false;
};

} // namespace prefstest
