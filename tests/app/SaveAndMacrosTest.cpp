// The application's save prototype and macro list, and the OK/Cancel warning
// question of the program's message boxes.
#include "CommandIds.h"
#include "MainFrame.h"
#include "MenuBuilder.h"
#include "PixmendApp.h"
#include "Profile.h"
#include "ScopedConfigHome.h"
#include "TestJpeg.h"
#include "WidgetMessageBoxes.h"

#include <QApplication>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

namespace {

QString Q(const std::filesystem::path& p)
{
    return QString::fromStdString(p.string());
}

// Program boxes that never show anything, for the application tests.
class CQuietBoxes final : public IMessageBoxes {
public:
    CQuietBoxes() { m_previous = SetMessageBoxes(this); }
    ~CQuietBoxes() override { SetMessageBoxes(m_previous); }
    void ShowMessage(const QString&) override {}
    bool AskQuestion(const QString&) override { return false; }
    SaveErrorChoice AskSaveError(const QString&, const QString&) override { return SaveErrorChoice::Skip; }
    bool ReportProgress(int) override { return true; }

private:
    IMessageBoxes* m_previous = nullptr;
};

TEST(WidgetMessageBoxes, OkCancelWarning)
{
    const QByteArray old = qgetenv("PIXMEND_NONINTERACTIVE");
    qunsetenv("PIXMEND_NONINTERACTIVE");
    CWidgetMessageBoxes boxes;
    if (!old.isNull())
        qputenv("PIXMEND_NONINTERACTIVE", old);
    ASSERT_TRUE(boxes.IsInteractive());

    for (const QMessageBox::StandardButton press : {QMessageBox::Ok, QMessageBox::Cancel}) {
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QMessageBox::StandardButtons buttons;
        QString text;
        // The box runs its own loop: answer it from a timer inside that loop.
        QTimer poll;
        poll.setInterval(5);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || !box->isVisible())
                return;
            poll.stop();
            icon = box->icon();
            buttons = box->standardButtons();
            text = box->text();
            if (press == QMessageBox::Ok)
                box->grab().save(QStringLiteral(PIXMEND_ARTIFACTS_DIR "/ok_cancel_question.png"));
            box->button(press)->click();
        });
        poll.start();
        const bool answer = boxes.AskOkCancel(QStringLiteral("Do you want to save the image?"));
        EXPECT_EQ(answer, press == QMessageBox::Ok);
        EXPECT_EQ(icon, QMessageBox::Warning);
        EXPECT_EQ(buttons, QMessageBox::Ok | QMessageBox::Cancel);
        EXPECT_EQ(text, QStringLiteral("Do you want to save the image?"));
    }
}

TEST(SaveAndMacros, PrototypeMacroListAndCurrentFolder)
{
    CScopedConfigHome config;
    CQuietBoxes quiet;
    testjpeg::TempDir dir;
    std::filesystem::create_directories(dir / "photos");
    std::filesystem::create_directories(dir / "shown");
    const auto photo = dir / "photos" / "p.jpg";
    ASSERT_TRUE(testjpeg::WriteFile(photo, testjpeg::Encode(testjpeg::MakePattern(40, 24))));

    {
        CPixmendApp app;
        ASSERT_TRUE(app.InitInstance({Q(photo)}));
        // Save comes after every kind but e-mail.
        const auto& ops = app.m_operations;
        const auto at = std::find(ops.begin(), ops.end(), &app.m_operSave);
        ASSERT_NE(at, ops.end());
        for (auto it = at + 1; it != ops.end(); ++it)
            EXPECT_EQ((*it)->GetName(), QStringLiteral("Email"));

        // No stored list: the sample macro, named in the macro menu.
        const QString sample = QStringLiteral("Sample - 4x6 Fit-in Crop + Datestamp");
        ASSERT_EQ(app.m_batches.GetNames(), QStringList{sample});
        EXPECT_EQ(app.m_batches.GetBatches()[0]->GetOperations().back()->GetName(), QStringLiteral("Save"));
        std::unique_ptr<QMenu> batch(app.GetMainFrame()->CreateContextMenu(8));
        QMenu* macroMenu = nullptr;
        for (QAction* a : batch->actions())
            if (a->menu() && a->text() == "Macro Actions...")
                macroMenu = a->menu();
        ASSERT_NE(macroMenu, nullptr);
        emit macroMenu->aboutToShow();
        ASSERT_FALSE(macroMenu->actions().isEmpty());
        EXPECT_EQ(macroMenu->actions()[0]->text(), sample);
        batch.reset(); // before the frame goes

        // A relative destination folder hangs below the folder shown.
        ASSERT_TRUE(app.m_image.IsLoaded());
        app.m_strCurrentFolder = Q(dir / "shown");
        std::unique_ptr<COperation> save(app.m_operSave.Clone());
        auto* s = static_cast<COperSave*>(save.get());
        s->GetSettings().UseDstFolder = 1;
        s->GetSettings().DstFolder = QStringLiteral("out");
        s->SetAuto(1);
        int stop = 0;
        EXPECT_EQ(s->CreateAction(&app.m_image, &stop), nullptr);
        EXPECT_EQ(s->GetLastOutcome(), COperSave::SaveOutcome::Saved);
        EXPECT_TRUE(std::filesystem::exists(dir / "shown" / "out" / "p.jpg"));
        app.ExitInstance(0);
    }
    // The unchanged sample is not written at exit; the save prototype is.
    CProfile::SetRegistryKey(QStringLiteral("Pixmend"));
    EXPECT_FALSE(CProfile::HasProfileValue(QStringLiteral("Macros"), QStringLiteral("List")));
    EXPECT_EQ(CProfile::GetProfileString(QStringLiteral("Saving"), QStringLiteral("SaveSuffix")), QStringLiteral("_copy"));
}

} // namespace
