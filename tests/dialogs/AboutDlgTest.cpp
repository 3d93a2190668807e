// The about box at 96 and 144 dots per inch: its size from the picture, the
// texts' places, the version, the click that closes it, the link, and the
// about command showing it modally.
#include "AboutDlg.h"
#include "FontHeight.h"
#include "CommandIds.h"
#include "Link.h"
#include "PictureEx.h"
#include "PixmendApp.h"
#include "PixmendVersion.h"
#include "WebAddresses.h"

#include <QDesktopServices>
#include <QDir>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <gtest/gtest.h>

namespace {

class CUrlCatcher : public QObject {
    Q_OBJECT
public slots:
    void open(const QUrl& url) { urls.push_back(url); }

public:
    std::vector<QUrl> urls;
};

QPoint Center(const QWidget* w)
{
    return w->geometry().center();
}

} // namespace

TEST(AboutDlgTest, LayoutFollowsTheScreenScale)
{
    for (int s : {100, 150}) {
        CPixmendApp app;
        app.m_nDpiScale = s;
        CAboutDlg dlg;
        const QSize picture = dlg.GetPicture()->GetSize();
        ASSERT_EQ(picture, QSize(500, 260));
        EXPECT_EQ(dlg.size(), QSize(500 * s / 100, 260 * s / 100)) << s;
        EXPECT_EQ(dlg.GetPicture()->geometry(), QRect(0, 0, 500 * s / 100, 260 * s / 100));
        EXPECT_EQ(dlg.GetVersionText()->geometry(), QRect(230 * s / 100, 109 * s / 100, 248 * s / 100, 20 * s / 100));
        EXPECT_EQ(dlg.GetNotice()->geometry(), QRect(230 * s / 100, 182 * s / 100, 248 * s / 100, 14 * s / 100));
        EXPECT_EQ(dlg.GetWebLink()->geometry(), QRect(230 * s / 100, 200 * s / 100, 248 * s / 100, 15 * s / 100));
        EXPECT_EQ(dlg.GetVersionText()->text(), QStringLiteral("Ver. " PIXMEND_VERSION_TEXT));
        // A positive font height is the character cell, as on the dialog's home platform.
        const int cell = FontCellHeight(dlg.GetVersionText()->font());
        EXPECT_LE(cell, 24 * s / 100);
        EXPECT_GE(cell, 24 * s / 100 - 2);
        EXPECT_EQ(dlg.GetWebLink()->GetTarget(), QString::fromLatin1(kHomePageAddress));
        EXPECT_EQ(dlg.GetWebLink()->cursor().shape(), Qt::BitmapCursor); // our own pointing hand
        EXPECT_TRUE(dlg.GetPicture()->IsPlaying());

        dlg.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
        dlg.GetPicture()->StepAnimation();
        dlg.GetPicture()->StepAnimation();
        QDir().mkpath(QStringLiteral(PIXMEND_ARTIFACTS_DIR));
        EXPECT_TRUE(dlg.grab().save(QStringLiteral(PIXMEND_ARTIFACTS_DIR "/about-%1.png").arg(s)));
        dlg.close();
        EXPECT_FALSE(dlg.GetPicture()->IsPlaying());
    }
}

TEST(AboutDlgTest, ClicksOnTheBoxCloseItAndTheLinkOpensTheHomePage)
{
    CPixmendApp app;
    app.m_nDpiScale = 100;
    CUrlCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &catcher, "open");

    CAboutDlg dlg;
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    QWindow* window = dlg.windowHandle();
    // The link opens its address and leaves the box open.
    QTest::mouseClick(window, Qt::LeftButton, {}, Center(dlg.GetWebLink()));
    ASSERT_EQ(catcher.urls.size(), 1u);
    EXPECT_EQ(catcher.urls[0], QUrl(QString::fromLatin1(kHomePageAddress)));
    EXPECT_TRUE(dlg.isVisible());
    // A right click does nothing; a left click on the version text (part of
    // the surface) is OK, and the animation stops with the box.
    QTest::mouseClick(window, Qt::RightButton, {}, QPoint(40, 40));
    EXPECT_TRUE(dlg.isVisible());
    QTest::mouseClick(window, Qt::LeftButton, {}, Center(dlg.GetVersionText()));
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_FALSE(dlg.GetPicture()->IsPlaying());
    EXPECT_EQ(catcher.urls.size(), 1u);
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
}

TEST(AboutDlgTest, AboutCommandShowsTheBoxModally)
{
    CPixmendApp app;
    app.m_nDpiScale = 100;
    bool seen = false;
    QTimer::singleShot(0, [&] {
        auto* dlg = qobject_cast<CAboutDlg*>(QApplication::activeModalWidget());
        seen = dlg != nullptr;
        if (dlg) {
            EXPECT_TRUE(dlg->isModal());
            QTest::mouseClick(dlg->windowHandle(), Qt::LeftButton, {}, QPoint(60, 60));
        } else if (QWidget* other = QApplication::activeModalWidget()) {
            other->close();
        }
    });
    app.GetCommands().UpdateAll();
    EXPECT_TRUE(app.GetCommands().Execute(ID_APP_ABOUT));
    EXPECT_TRUE(seen);
}

#include "AboutDlgTest.moc"
