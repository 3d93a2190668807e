// Colour, grayscale, crop and reconstruct through the undo manager and the
// real library.
#include "CoefActionTest.h"

#include "ActionColor.h"
#include "ActionConvertGrayscale.h"
#include "ActionCrop.h"
#include "ActionReconstruct.h"
#include "ActionRotateFlip.h"
#include "ColorRef.h"

#include <climits>

using namespace etest;

namespace {

class CoefficientActionsTest : public CoefActionTest {
protected:
    CRecordingBoxes boxes;
};

CropParams CropTo(int left, int top, int right, int bottom, int mode, int canvas = 0x0000FF)
{
    CropParams p;
    p.CropLeft = left;
    p.CropTop = top;
    p.CropRight = right;
    p.CropBottom = bottom;
    p.PartialBlocksMode = mode;
    p.CanvasColor = canvas;
    return p;
}

bool IsCanvas(const uint8_t* bgr, int colorRef)
{
    const QRgb c = QRgbFromColorRef(static_cast<uint32_t>(colorRef));
    return std::abs(bgr[0] - qBlue(c)) <= 12 && std::abs(bgr[1] - qGreen(c)) <= 12 && std::abs(bgr[2] - qRed(c)) <= 12;
}

TEST_F(CoefficientActionsTest, ColourShiftsAndNoShift)
{
    Open(48, 32);
    const std::vector<short> original = Coefficients(*m_image);
    ASSERT_EQ(m_image->CreateDib(), 1);
    auto* none = new CActionColor(0, 0, 0);
    ASSERT_TRUE(um->AddAction(none));
    EXPECT_EQ(none->GetLibraryEditCount(), 0);
    EXPECT_TRUE(m_image->HasDib()); // nothing changed, nothing to rebuild
    EXPECT_EQ(um->GetFileLength(), 0);

    ASSERT_TRUE(um->AddAction(new CActionColor(10, -5, 0)));
    EXPECT_FALSE(m_image->HasDib());
    const std::vector<short> shifted = Coefficients(*m_image);
    EXPECT_EQ(shifted[0], original[0] + 102); // luma DC: 10 * 1020 / 100
    um->Undo();
    EXPECT_EQ(Coefficients(*m_image), original);
    um->Undo();
    EXPECT_EQ(Coefficients(*m_image), original);
}

// CMYK takes neither levels nor grayscale: the exact message, empty steps,
// and undoing them keeps the step before.
TEST_F(CoefficientActionsTest, RefusedEditsLeaveEmptySteps)
{
    const auto file = testjpeg::CorpusFile("syn_cmyk_adobe_323x211.jpg");
    OpenFile(file);
    ASSERT_TRUE(um->AddAction(new CActionRotateFlip(RotateParams{0, 0, 1, 1, 0, 0})));
    const std::vector<short> mirrored = Coefficients(*m_image);
    ASSERT_EQ(m_image->GetWidth(), 320);

    auto* gray = new CActionConvertGrayscale();
    ASSERT_TRUE(um->AddAction(gray));
    EXPECT_EQ(gray->IsConverted(), 0);
    ASSERT_EQ(boxes.messages.size(), 1u);
    EXPECT_EQ(boxes.messages[0], QStringLiteral("This image - ") + Q(file) + QStringLiteral(" - can not be converted to gray scale"));
    auto* colour = new CActionColor(30, 0, 0);
    ASSERT_TRUE(um->AddAction(colour));
    EXPECT_EQ(colour->GetLibraryEditCount(), 0);
    EXPECT_EQ(Coefficients(*m_image), mirrored);

    um->Undo();
    um->Undo();
    EXPECT_EQ(Coefficients(*m_image), mirrored); // the mirror is still there
    EXPECT_EQ(m_image->GetWidth(), 320);
    um->Undo();
    EXPECT_EQ(m_image->GetWidth(), 323);
}

TEST_F(CoefficientActionsTest, GrayscaleAndUndo)
{
    Open(100, 60);
    const std::vector<short> original = Coefficients(*m_image);
    auto* gray = new CActionConvertGrayscale();
    ASSERT_TRUE(um->AddAction(gray));
    EXPECT_EQ(gray->IsConverted(), 1);
    EXPECT_EQ(m_image->GetLibraryObject()->IsGrayscale(), 1);
    EXPECT_TRUE(boxes.messages.empty());
    um->Undo();
    EXPECT_EQ(Coefficients(*m_image), original);
    EXPECT_EQ(m_image->GetLibraryObject()->IsGrayscale(), 0);
}

// Round in on 100 x 100 with 16 x 16 MCUs: the bounds are 96 x 96, so the
// bands right of and below them take the canvas colour; the rest is the
// picture as it was.
TEST_F(CoefficientActionsTest, CropRoundInPaintsThePartialBlocks)
{
    Open(100, 100);
    const std::vector<short> original = Coefficients(*m_image);
    const Render before = Rendered();
    auto* crop = new CActionCrop(CropTo(0, 0, 100, 100, 0));
    ASSERT_TRUE(um->AddAction(crop));
    EXPECT_EQ(crop->IsFilled(), 1);
    EXPECT_EQ(crop->GetLibraryEditCount(), 2);
    const Render after = Rendered();
    ASSERT_EQ(after.width, 100);
    ASSERT_EQ(after.height, 100);
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 100; ++x) {
            if (x >= 96 || y >= 96)
                ASSERT_TRUE(IsCanvas(after.At(x, y), 0x0000FF)) << x << "," << y;
            else
                ASSERT_TRUE(std::equal(after.At(x, y), after.At(x, y) + 3, before.At(x, y))) << x << "," << y;
        }
    um->Undo();
    EXPECT_EQ(Coefficients(*m_image), original);
}

// A rectangle off the grid: the library keeps from x = -16, so the painted
// band is 16 columns wide and every picture pixel stays.
TEST_F(CoefficientActionsTest, CropOffTheGridKeepsThePicture)
{
    Open(100, 60);
    const std::vector<short> original = Coefficients(*m_image);
    const Render before = Rendered();
    auto* crop = new CActionCrop(CropTo(-20, 0, 50, 40, 2, 0x00FF00));
    ASSERT_TRUE(um->AddAction(crop));
    EXPECT_EQ(crop->IsFilled(), 1);
    const Render after = Rendered();
    ASSERT_EQ(after.width, 66);
    ASSERT_EQ(after.height, 40);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 66; ++x) {
            if (x < 16)
                ASSERT_TRUE(IsCanvas(after.At(x, y), 0x00FF00)) << x << "," << y;
            else
                ASSERT_TRUE(std::equal(after.At(x, y), after.At(x, y) + 3, before.At(x - 16, y))) << x << "," << y;
        }
    um->Undo();
    EXPECT_EQ(Coefficients(*m_image), original);
    EXPECT_EQ(m_image->GetWidth(), 100);
}

TEST_F(CoefficientActionsTest, CropRectangleAndModes)
{
    // Normalising: ends in order; an empty rectangle grows by one pixel,
    // also at the end of the int range.
    const struct {
        int l, t, r, b, el, et, er, eb;
    } rects[] = {{50, 40, 10, 5, 10, 5, 50, 40},
                 {7, 9, 7, 20, 7, 9, 8, 21},
                 {INT_MAX, INT_MAX, INT_MAX, INT_MAX, INT_MAX - 1, INT_MAX - 1, INT_MAX, INT_MAX}};
    for (const auto& c : rects) {
        const CActionCrop crop(CropTo(c.l, c.t, c.r, c.b, 2));
        EXPECT_EQ(crop.GetLeft(), c.el);
        EXPECT_EQ(crop.GetTop(), c.et);
        EXPECT_EQ(crop.GetRight(), c.er);
        EXPECT_EQ(crop.GetBottom(), c.eb);
    }

    // An unknown mode acts as 2: a crop inside the picture paints nothing.
    Open(100, 100);
    const std::vector<short> original = Coefficients(*m_image);
    // A crop the library refuses (far too wide) paints and encodes nothing.
    auto* refused = new CActionCrop(CropTo(-70000, 0, 100, 100, 2));
    ASSERT_TRUE(um->AddAction(refused));
    EXPECT_EQ(refused->GetLibraryEditCount(), 0);
    EXPECT_EQ(refused->IsFilled(), 0);
    EXPECT_EQ(Coefficients(*m_image), original);

    auto* crop = new CActionCrop(CropTo(0, 0, 100, 100, 7));
    ASSERT_TRUE(um->AddAction(crop));
    EXPECT_EQ(crop->IsFilled(), 0);
    EXPECT_EQ(crop->GetLibraryEditCount(), 1);
    EXPECT_EQ(Coefficients(*m_image), original);
    // Round out keeps the partial blocks as picture.
    auto* roundOut = new CActionCrop(CropTo(0, 0, 112, 112, 1));
    ASSERT_TRUE(um->AddAction(roundOut));
    EXPECT_EQ(roundOut->IsFilled(), 0);
    EXPECT_EQ(m_image->GetWidth(), 112);
}

// 4:1:1 cannot take pixels back: a crop that must paint is taken back at
// once and leaves an empty step.
TEST_F(CoefficientActionsTest, CropFillRefusedTakesTheCropBack)
{
    const auto file = testjpeg::CorpusFile("syn_411_323x211.jpg");
    OpenFile(file);
    const std::vector<short> original = Coefficients(*m_image);
    auto* crop = new CActionCrop(CropTo(-40, 0, 100, 100, 2));
    ASSERT_TRUE(um->AddAction(crop));
    EXPECT_EQ(crop->IsFilled(), 0);
    EXPECT_EQ(crop->GetLibraryEditCount(), 0);
    EXPECT_EQ(Coefficients(*m_image), original);
    EXPECT_EQ(m_image->GetWidth(), 323);
}

// 4:1:1 is beyond the block transforms: the library refuses the
// reconstruct, and undoing the empty step keeps the step before.
TEST_F(CoefficientActionsTest, RefusedReconstructLeavesAnEmptyStep)
{
    const auto file = testjpeg::CorpusFile("syn_411_323x211.jpg");
    OpenFile(file);
    ASSERT_TRUE(um->AddAction(new CActionColor(-20, 0, 0)));
    const std::vector<short> darker = Coefficients(*m_image);
    auto* action = new CActionReconstruct(2);
    ASSERT_TRUE(um->AddAction(action));
    EXPECT_EQ(action->GetLibraryEditCount(), 0);
    um->Undo();
    EXPECT_EQ(Coefficients(*m_image), darker);
    EXPECT_EQ(CReconstructProgress::Current(), nullptr);
}

// Reconstruct with a recording progress window: the picture is rendered and
// shown after each pass; a cancel in pass 2 keeps the step and undo is
// exact.
TEST_F(CoefficientActionsTest, ReconstructShowsEachPassAndCancels)
{
    Open(64, 64);
    const std::vector<short> original = Coefficients(*m_image);
    int renders = 0;
    boxes.progress.onReport = [&] { renders += m_image->HasDib() ? 1 : 0; };
    view.changed = 0;
    auto* action = new CActionReconstruct(3);
    ASSERT_TRUE(um->AddAction(action));
    EXPECT_EQ(action->GetLibraryEditCount(), 1);
    EXPECT_EQ(boxes.windows, 1);
    EXPECT_EQ(boxes.progress.reports, 3 * 16); // 8 + 4 + 4 block rows per pass
    EXPECT_EQ(view.changed, 3); // passes 2 and 3 begin, then the undo manager
    EXPECT_EQ(renders, 2 * 16);  // a bitmap from the first report of pass 2 on
    EXPECT_FALSE(m_image->HasDib());
    EXPECT_EQ(boxes.progress.titles.back(), QStringLiteral("Reconstruction: 100 % Pass # 3 of 3"));
    const std::vector<short> threePasses = Coefficients(*m_image);
    EXPECT_NE(threePasses, original);
    um->Undo();
    EXPECT_EQ(Coefficients(*m_image), original);

    boxes.progress = ProgressLog{};
    boxes.progress.cancelInPass = 2;
    auto* cancelled = new CActionReconstruct(3);
    ASSERT_TRUE(um->AddAction(cancelled));
    EXPECT_EQ(cancelled->GetLibraryEditCount(), 1);
    EXPECT_EQ(boxes.progress.reports, 16 + 1);
    EXPECT_NE(Coefficients(*m_image), original);
    EXPECT_TRUE(um->CanUndo());
    um->Undo();
    EXPECT_EQ(Coefficients(*m_image), original);
    EXPECT_EQ(CReconstructProgress::Current(), nullptr);

    // No pass: no window, nothing written.
    const int windows = boxes.windows;
    auto* none = new CActionReconstruct(0);
    ASSERT_TRUE(um->AddAction(none));
    EXPECT_EQ(boxes.windows, windows);
    EXPECT_EQ(none->GetLibraryEditCount(), 0);
    EXPECT_EQ(um->GetFileLength(), 0);
}

TEST_F(CoefficientActionsTest, ClonesStartAfresh)
{
    Open(32, 32);
    std::vector<CAction*> actions = {new CActionColor(5, 0, 0), new CActionConvertGrayscale(),
                                     new CActionCrop(CropTo(0, 0, 16, 16, 2)), new CActionReconstruct(1)};
    for (CAction* a : actions) {
        ASSERT_TRUE(um->AddAction(a));
        ASSERT_EQ(a->CanUndo(), 1);
        std::unique_ptr<IAction> clone(a->Clone());
        EXPECT_EQ(clone->CanUndo(), 0) << a->GetName().toStdString();
        EXPECT_EQ(clone->Undo(), 0);
        EXPECT_EQ(clone->GetName(), a->GetName());
        EXPECT_EQ(clone->IsBitmapEdit(), a->GetName() == QStringLiteral("Crop") ? 1 : 0);
    }
}

} // namespace
