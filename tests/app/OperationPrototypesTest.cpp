// The application's operation prototypes: a selection drawn in the view is
// the crop prototype's Left/Top/Right/Bottom, written to the "Crop" section
// at exit and read back at the next start; every prototype writes its whole
// section.
#include "ChildView.h"
#include "CommandIds.h"
#include "MainFrame.h"
#include "Operation.h"
#include "PixmendApp.h"
#include "Profile.h"
#include "TestJpeg.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTest>

#include <gtest/gtest.h>

namespace {

QString Q(const std::filesystem::path& p)
{
    return QString::fromStdString(p.string());
}

class OperationPrototypesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_oldConfig = qgetenv("XDG_CONFIG_HOME");
        std::filesystem::create_directories(m_tmp / "config");
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(Q(m_tmp / "config")));
    }
    void TearDown() override
    {
        CProfile::Close();
        if (m_oldConfig.isNull())
            qunsetenv("XDG_CONFIG_HOME");
        else
            qputenv("XDG_CONFIG_HOME", m_oldConfig);
    }

    testjpeg::TempDir m_tmp;
    QByteArray m_oldConfig;
};

TEST_F(OperationPrototypesTest, DrawnSelectionIsKeptInTheCropSection)
{
    const auto photo = m_tmp / "photo.jpg";
    ASSERT_TRUE(testjpeg::WriteFile(photo, testjpeg::Encode(testjpeg::MakePattern(128, 96))));
    const QString conf = Q(m_tmp / "config" / "Pixmend" / "Pixmend.conf");
    int left = 0, top = 0, right = 0, bottom = 0;
    std::vector<std::pair<QString, QString>> keys; // section, key
    {
        CPixmendApp app;
        ASSERT_TRUE(app.InitInstance({Q(photo)}));
        ASSERT_TRUE(app.m_image.IsLoaded());
        ASSERT_EQ(app.m_operations.size(), 10u);
        CChildView* view = app.GetMainFrame()->GetView();
        ASSERT_NE(view, nullptr);
        app.GetMainFrame()->SetMode(ID_EDIT_CROP);
        view->ZoomActual();
        QCoreApplication::processEvents();
        const auto client = [&](int x, int y) {
            return QPoint(view->OriginX() + x * static_cast<int>(view->Zoom()) / 256,
                          view->OriginY() + y * static_cast<int>(view->Zoom()) / 256);
        };
        QWidget* vp = view->viewport();
        QTest::mouseMove(vp, client(20, 20));
        QTest::mousePress(vp, Qt::LeftButton, {}, client(20, 20));
        QTest::mouseMove(vp, client(50, 40));
        QTest::mouseMove(vp, client(90, 70));
        QTest::mouseRelease(vp, Qt::LeftButton, {}, client(90, 70));
        ASSERT_TRUE(view->IsSelectionShown());
        const CropParams& s = app.m_operCrop.Params();
        EXPECT_EQ(&view->Host().Selection(), &s);
        left = s.Left, top = s.Top, right = s.Right, bottom = s.Bottom;
        EXPECT_GT(right - left, 40);
        EXPECT_GT(bottom - top, 30);
        for (IOperation* op : app.m_operations) {
            auto* oper = static_cast<COperation*>(op);
            for (const auto& p : oper->GetParams())
                keys.emplace_back(oper->GetRegistrySection(), p->key);
        }
        app.ExitInstance(0);
    }
    {
        QSettings settings(conf, QSettings::IniFormat);
        EXPECT_EQ(settings.value("Crop/Left").toInt(), left);
        EXPECT_EQ(settings.value("Crop/Top").toInt(), top);
        EXPECT_EQ(settings.value("Crop/Right").toInt(), right);
        EXPECT_EQ(settings.value("Crop/Bottom").toInt(), bottom);
        for (const auto& [section, key] : keys)
            EXPECT_TRUE(settings.contains(section + u'/' + key)) << (section + u'/' + key).toStdString();
        // 8 + 21 + 10 + 2 + 2 + 5 + 54 + 3 + 21 + 5 entries, ManualInput and Auto in each.
        EXPECT_EQ(keys.size(), 131u);
    }
    CPixmendApp again;
    ASSERT_TRUE(again.InitInstance({}));
    const CropParams& s = again.m_operCrop.Params();
    EXPECT_EQ(QRect(QPoint(s.Left, s.Top), QPoint(s.Right, s.Bottom)),
              QRect(QPoint(left, top), QPoint(right, bottom)));
    again.ExitInstance(0);
}

} // namespace
