// The batch confirmation and progress windows, shown offscreen.
#include "BatchConfirm.h"
#include "BatchProgress.h"
#include "DlgItems.h"
#include "LayoutCheck.h"

#include <QDir>
#include <QLabel>
#include <QMainWindow>
#include <QProgressBar>
#include <QPushButton>
#include <QSet>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

QString ArtifactPath(const char* name)
{
    QDir().mkpath(QStringLiteral(PIXMEND_ARTIFACTS_DIR));
    return QStringLiteral(PIXMEND_ARTIFACTS_DIR "/") + QLatin1String(name);
}

// Clicks the control `id` of the active modal dialog once it is up.
void ClickWhenShown(int id, QString* textSeen = nullptr, bool* currentEnabled = nullptr)
{
    QTimer::singleShot(0, [=] {
        auto* dlg = qobject_cast<CBatchConfirm*>(QApplication::activeModalWidget());
        ASSERT_NE(dlg, nullptr);
        if (textSeen)
            *textSeen = GetWindowTextString(GetDlgItem(dlg, CBatchConfirm::IDC_TEXT));
        if (currentEnabled)
            *currentEnabled = GetDlgItem(dlg, CBatchConfirm::IDC_CURRENT_ONLY)->isEnabled();
        if (id == 0)
            QTest::keyClick(dlg, Qt::Key_Escape);
        else
            QTest::mouseClick(qobject_cast<QPushButton*>(GetDlgItem(dlg, id)), Qt::LeftButton);
    });
}

TEST(BatchConfirmTest, ButtonsEndTheDialogWithTheirIds)
{
    struct Case {
        int click;
        bool currentOnly;
        int result;
    };
    const Case cases[] = {
        {CBatchConfirm::IDC_ALL_SELECTED, true, CBatchConfirm::IDC_ALL_SELECTED},
        {CBatchConfirm::IDC_CURRENT_ONLY, true, CBatchConfirm::IDC_CURRENT_ONLY},
        {CBatchConfirm::IDCANCEL, true, CBatchConfirm::IDCANCEL},
        {0 /* Esc */, false, CBatchConfirm::IDCANCEL},
        {CBatchConfirm::IDC_ALL_SELECTED, false, CBatchConfirm::IDC_ALL_SELECTED},
    };
    for (const Case& c : cases) {
        QString text;
        bool current = !c.currentOnly;
        ClickWhenShown(c.click, &text, &current);
        CBatchConfirm dlg(nullptr, QStringLiteral("Rotate"), 10, c.currentOnly);
        EXPECT_EQ(dlg.DoModal(), c.result) << c.click;
        EXPECT_EQ(text, QStringLiteral("10 images are selected.\n\nApply 'Rotate' action?"));
        EXPECT_EQ(current, c.currentOnly);
    }
}

TEST(BatchConfirmTest, DisabledCurrentOnlyCannotBeChosen)
{
    QTimer::singleShot(0, [] {
        QWidget* dlg = QApplication::activeModalWidget();
        ASSERT_NE(dlg, nullptr);
        QTest::mouseClick(qobject_cast<QPushButton*>(GetDlgItem(dlg, CBatchConfirm::IDC_CURRENT_ONLY)),
                          Qt::LeftButton);
        // Still open: only Cancel ends it.
        EXPECT_TRUE(dlg->isVisible());
        QTest::mouseClick(qobject_cast<QPushButton*>(GetDlgItem(dlg, CBatchConfirm::IDCANCEL)), Qt::LeftButton);
    });
    CBatchConfirm dlg(nullptr, QStringLiteral("Grayscale"), 2, false);
    EXPECT_EQ(dlg.DoModal(), int(CBatchConfirm::IDCANCEL));
}

TEST(BatchConfirmTest, Screenshot)
{
    CBatchConfirm dlg(nullptr, QStringLiteral("Rotate"), 10, true);
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    const QImage shot = dlg.grab().toImage();
    EXPECT_TRUE(shot.save(ArtifactPath("batch-confirm.png")));
    auto* icon = qobject_cast<QLabel*>(GetDlgItem(&dlg, CBatchConfirm::IDC_ICON));
    ASSERT_NE(icon, nullptr);
    EXPECT_FALSE(icon->pixmap().isNull());
    const QStringList problems = layoutcheck::LayoutProblems(&dlg);
    EXPECT_TRUE(problems.isEmpty()) << problems.join(u'\n').toStdString();
    // The icon shows in the window: its place holds the picture's colours.
    ASSERT_TRUE(icon->isVisible());
    const QImage place = shot.copy(QRect(icon->mapTo(&dlg, QPoint(0, 0)), icon->size()));
    QSet<QRgb> colours;
    for (int y = 0; y < place.height(); ++y)
        for (int x = 0; x < place.width(); ++x)
            colours.insert(place.pixel(x, y));
    EXPECT_GE(colours.size(), 4);
}

TEST(BatchProgressTest, ShowsThePositionCentredOnTheMainWindow)
{
    QMainWindow main;
    main.setGeometry(100, 80, 800, 600);
    main.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));

    CBatchProgress progress;
    progress.Open(10, &main);
    EXPECT_TRUE(progress.isVisible());
    auto* text = qobject_cast<QLabel*>(GetDlgItem(&progress, CBatchProgress::IDC_TEXT));
    auto* bar = qobject_cast<QProgressBar*>(GetDlgItem(&progress, CBatchProgress::IDC_PROGRESS));
    ASSERT_TRUE(text && bar);
    EXPECT_EQ(text->text(), QStringLiteral("Processing Image 0 of 10."));
    EXPECT_EQ(bar->maximum(), 10);

    const QPoint origin = main.mapToGlobal(QPoint(0, 0));
    EXPECT_EQ(progress.pos(), origin + QPoint((main.width() - progress.width()) / 2,
                                              (main.height() - progress.height()) / 2));
    EXPECT_EQ(progress.GetWindowRect(), progress.frameGeometry());

    progress.SetPosition(3);
    EXPECT_EQ(text->text(), QStringLiteral("Processing Image 3 of 10."));
    EXPECT_EQ(bar->value(), 3);
    EXPECT_TRUE(progress.grab().toImage().save(ArtifactPath("batch-progress.png")));
}

TEST(BatchProgressTest, TotalsBeyondSixteenBits)
{
    CBatchProgress progress;
    progress.Open(100000, nullptr);
    progress.SetPosition(70000);
    auto* bar = qobject_cast<QProgressBar*>(GetDlgItem(&progress, CBatchProgress::IDC_PROGRESS));
    EXPECT_EQ(bar->maximum(), 100000);
    EXPECT_EQ(bar->value(), 70000);
    EXPECT_EQ(GetWindowTextString(GetDlgItem(&progress, CBatchProgress::IDC_TEXT)),
              QStringLiteral("Processing Image 70000 of 100000."));
}

} // namespace
