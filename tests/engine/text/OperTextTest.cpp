// The text operation's edit through the undo manager: placement 8 draws
// only near the bottom right and undoes exactly; sizes from a hand-edited
// profile finish without a crash.
#include "EngineTest.h"
#include "LocaleManager.h"
#include "OperText.h"
#include "UndoMan.h"

#include <QImage>

#include <gtest/gtest.h>

namespace {

class OperTextTest : public ::testing::Test {
protected:
    void Open(const std::filesystem::path& path)
    {
        m_image = std::make_unique<CKsImage>(etest::RealLib());
        ASSERT_EQ(m_image->Load(etest::Q(path), 0), 1);
        m_original = etest::Coefficients(*m_image);
    }
    QImage Rendered()
    {
        EXPECT_TRUE(m_image->CreateDib());
        return m_image->GetDibImage().copy(0, 0, m_image->GetWidth(), m_image->GetHeight());
    }
    // The edit of `body`, done and undone; false when the kind made none.
    bool DoAndUndo(const QString& body, QImage* drawn = nullptr)
    {
        COperText text(m_locales);
        text.LoadFromString(body);
        const QString stored = text.SaveToString();
        int stop = 0;
        IAction* action = text.CreateAction(m_image.get(), &stop);
        if (!action)
            return false;
        EXPECT_TRUE(m_image->GetUndoMan()->AddAction(action));
        if (drawn)
            *drawn = Rendered();
        m_image->GetUndoMan()->Undo();
        EXPECT_EQ(etest::Coefficients(*m_image), m_original) << body.toStdString();
        EXPECT_EQ(text.SaveToString(), stored);
        return true;
    }

    etest::ScopedTempFolder m_temp;
    CLocaleManager m_locales;
    std::unique_ptr<CKsImage> m_image;
    std::vector<short> m_original;
};

TEST_F(OperTextTest, PlacementEightDrawsAtTheBottomRight)
{
    Open(etest::WriteJpeg(m_temp.path() / "in.jpg", 320, 240));
    const QImage before = Rendered();
    QImage after;
    ASSERT_TRUE(DoAndUndo(QStringLiteral("exif_Template,TEXT,exif_Placement,8,ScaleSizes,0,exif_FontSize,24"), &after));
    QRect changed;
    for (int y = 0; y < before.height(); ++y)
        for (int x = 0; x < before.width(); ++x)
            if (before.pixel(x, y) != after.pixel(x, y))
                changed |= QRect(x, y, 1, 1);
    ASSERT_FALSE(changed.isEmpty());
    EXPECT_GT(changed.left(), 320 / 2);
    EXPECT_GT(changed.top(), 240 / 2);
}

TEST_F(OperTextTest, HostileSizes)
{
    const auto path = testjpeg::CorpusFile("syn_420_17x17.jpg");
    Open(path);
    EXPECT_TRUE(DoAndUndo(
        QStringLiteral("exif_FontSize,2147483647,cust_Use,1,cust_Template,x,cust_FontSize,-2147483647,"
                       "exif_PaddingX,2147483647,exif_Margin,-2147483647,exif_EffWidth,2147483647,exif_Effect,1")));
}

} // namespace
