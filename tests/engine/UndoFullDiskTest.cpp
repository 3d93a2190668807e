// Edits whose undo data finds no room: the undo folder on a small tmpfs that
// is filled to the last byte. Every kind of edit is refused there, whether
// the disk is full before its first byte or in its middle, with the image
// exactly as before, the history unchanged, the step cut from the file and
// the earlier steps still undone exactly; redo refuses the same way, and
// once there is room again the next step is kept. A macro stops at its
// first refused step.
#include "CoefActionTest.h"
#include "ScopedEnv.h"
#include "ScopedTmpfs.h"

#include "ActionColor.h"
#include "ActionConvertGrayscale.h"
#include "ActionCrop.h"
#include "ActionPaste.h"
#include "ActionReconstruct.h"
#include "ActionRedEye.h"
#include "ActionResize.h"
#include "ActionRotateFlip.h"
#include "Batch.h"
#include "OperConvertGrayscale.h"
#include "OperRotate.h"

#include <QImage>

using namespace etest;

namespace {

// What the image is: its size and every coefficient.
struct State {
    int width = 0, height = 0;
    std::vector<short> coefficients;
    bool operator==(const State&) const = default;
};

State StateOf(const CKsImage& image)
{
    return {image.GetWidth(), image.GetHeight(), Coefficients(image)};
}

struct Kind {
    const char* name;
    std::function<IAction*()> make;
};

std::vector<Kind> Kinds()
{
    QImage picture(120, 90, QImage::Format_RGB32);
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            picture.setPixel(x, y, qRgb(3 * x % 256, 250 - 2 * y, 90));
    RedEyeParams eyes;
    eyes.RedEyeRadius = 60;
    eyes.RedEyeSensitivity = 100;
    eyes.RedEyeDarkening = 50;
    eyes.Points = {{150, 150}, {350, 200}};
    CropParams crop;
    crop.CropLeft = 40;
    crop.CropTop = 24;
    crop.CropRight = 300;
    crop.CropBottom = 200;
    ResizeParams half;
    half.Units = 0;
    half.Percent = 50;
    return {
        {"rotate", [] { return new CActionRotateFlip(RotateParams{0, 1, 0, 1, 0, 0xFFFFFFFFu}); }},
        {"flip", [] { return new CActionRotateFlip(RotateParams{0, 0, 2, 1, 0, 0xFFFFFFFFu}); }},
        {"grayscale", [] { return new CActionConvertGrayscale(); }},
        {"levels", [] { return new CActionColor(30, -20, 10); }},
        {"crop", [crop] { return new CActionCrop(crop); }},
        {"reconstruct", [] { return new CActionReconstruct(1); }},
        {"red-eye", [eyes] { return new CActionRedEye(eyes); }},
        {"paste", [picture] { return new CActionPaste(picture, 30, 20, 120, 90); }},
        {"resize", [half] { return new CActionResize(half); }},
    };
}

TEST(UndoFullDisk, EveryEditWithoutRoomIsRefusedExactly)
{
    testjpeg::ScopedTmpfs disk(1024 * 1024);
    if (!disk.Available())
        GTEST_SKIP() << disk.Why();
    testjpeg::TempDir files;
    const auto photo = WriteJpeg(files / "a.jpg", 500, 380);
    CRecordingBoxes boxes;
    const QString noRoom = QStringLiteral("There is not enough room for the undo data in %1.").arg(Q(disk.path()));

    for (const Kind& kind : Kinds()) {
        SCOPED_TRACE(kind.name);
        // Two earlier steps, then (with room) the edit keeps more than a page
        // of undo data, so a full disk must refuse it.
        const auto twoSteps = [&](CKsImage& image, std::vector<State>* states) {
            ASSERT_TRUE(image.GetUndoMan()->AddAction(new CActionRotateFlip(RotateParams{0, 0, 1, 1, 0, 0xFFFFFFFFu})));
            states->push_back(StateOf(image));
            ASSERT_TRUE(image.GetUndoMan()->AddAction(new CActionColor(-20, 0, 0)));
            states->push_back(StateOf(image));
        };
        {
            ScopedTempFolder roomy;
            CKsImage image(RealLib());
            ASSERT_EQ(image.Load(Q(photo), 0), 1);
            std::vector<State> states{StateOf(image)};
            twoSteps(image, &states);
            ASSERT_TRUE(image.GetUndoMan()->AddAction(kind.make()));
            ASSERT_NE(StateOf(image), states.back());
            const auto& ends = image.GetUndoMan()->GetStepEnds();
            ASSERT_GT(ends[2] - ends[1], 8192);
        }

        CScopedEnv tmp("TMPDIR", Q(disk.path()));
        CKsImage image(RealLib());
        CUndoMan* um = image.GetUndoMan();
        ASSERT_TRUE(um->IsFileOpen());
        ASSERT_EQ(image.Load(Q(photo), 0), 1);
        std::vector<State> states{StateOf(image)};
        // On a full disk the step is refused and cut from the file: the
        // image, the history and the file stay as they were; one message.
        const auto refused = [&](const State& state, int count, int64_t length) {
            disk.Fill();
            boxes.messages.clear();
            EXPECT_FALSE(um->AddAction(kind.make()));
            EXPECT_EQ(StateOf(image), state);
            EXPECT_EQ(um->GetActionCount(), count);
            EXPECT_EQ(um->GetFileLength(), length);
            EXPECT_TRUE(um->IsStoreIntact());
            EXPECT_EQ(boxes.messages, std::vector<QString>{noRoom});
        };
        // Full when the first step starts: not one byte of it reaches the file.
        refused(states[0], 0, 0);
        // With room again the next steps are kept.
        disk.Unfill();
        twoSteps(image, &states);
        const std::vector<int64_t> ends = um->GetStepEnds();

        // Full in the middle of the step.
        refused(states[2], 2, ends.back());
        EXPECT_EQ(um->GetCurrentIndex(), 1);
        EXPECT_EQ(um->GetStepEnds(), ends);

        um->Undo();
        EXPECT_EQ(StateOf(image), states[1]);
        um->Undo();
        EXPECT_EQ(StateOf(image), states[0]);
        // Redo needs room too: refused, the step stays undone.
        disk.Fill();
        boxes.messages.clear();
        um->Redo();
        EXPECT_EQ(um->GetCurrentIndex(), -1);
        EXPECT_EQ(StateOf(image), states[0]);
        EXPECT_TRUE(um->CanRedo());
        EXPECT_EQ(um->GetFileLength(), 0);
        EXPECT_EQ(boxes.messages, std::vector<QString>{noRoom});
        disk.Unfill();
        um->Redo();
        EXPECT_EQ(StateOf(image), states[1]);
        EXPECT_TRUE(um->AddAction(kind.make()));
        EXPECT_EQ(um->GetActionCount(), 2);
        EXPECT_TRUE(um->IsStoreIntact());
    }

    // A macro run with undo ends at its first refused step: the image stays
    // the original and the user is told once.
    CScopedEnv tmp("TMPDIR", Q(disk.path()));
    CKsImage image(RealLib());
    ASSERT_EQ(image.Load(Q(photo), 0), 1);
    const State original = StateOf(image);
    CBatch macro(QStringLiteral("gray and turn"));
    auto* rotate = new COperRotate;
    rotate->SetTransform(1, 0, 0);
    macro.GetOperations() = {new COperConvertGrayscale, rotate};
    disk.Fill();
    boxes.messages.clear();
    int stop = 0;
    macro.Apply(&image, 1, &stop, nullptr);
    EXPECT_EQ(StateOf(image), original);
    EXPECT_EQ(image.GetUndoMan()->GetActionCount(), 0);
    EXPECT_EQ(boxes.messages, std::vector<QString>{noRoom});
    disk.Unfill();
}

} // namespace
