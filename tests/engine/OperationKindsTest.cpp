// The nine operation kinds: their keys and defaults, the registry round
// trip, the edit each makes on a real image through the undo manager, the
// crop rectangle, clones, and hostile parameter values. The text kind's
// edit draws with fonts: its cases are with the text tests.
#include "ColorRef.h"
#include "EngineTest.h"
#include "LocaleManager.h"
#include "OperColor.h"
#include "OperConvertGrayscale.h"
#include "OperCrop.h"
#include "OperPaste.h"
#include "OperReconstruct.h"
#include "OperRedEye.h"
#include "OperResize.h"
#include "OperRotate.h"
#include "OperText.h"
#include "OperationStandIn.h"
#include "Profile.h"
#include "TextUtil.h"
#include "UndoMan.h"

#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <cstring>
#include <memory>

using etest::Q;

namespace {

CLocaleManager& Locales()
{
    static CLocaleManager locales;
    return locales;
}

QString TextKeys(const QString& prefix, int use, int placement, const QString& name1, const QString& tmpl)
{
    return QStringLiteral("%1Bold,1,%1Italic,0,%1Manual,0,%1Use,%2,%1UseBG,0,%1Color,16734810,%1ColorBG,0,"
                          "%1ColorSh,0,%1Effect,0,%1EffWidth,1,%1FontSize,32,%1Margin,5,%1Opacity,100,"
                          "%1OpacityBG,25,%1PaddingX,10,%1PaddingY,10,%1Placement,%3,%1Font,Arial,%1Name1,%4,"
                          "%1Name2,,%1Name3,,%1Template,%5")
        .arg(prefix)
        .arg(use)
        .arg(placement)
        .arg(name1, tmpl);
}

// The eight prototypes in the application's order, and the paste kind.
std::vector<std::unique_ptr<COperation>> AllKinds(const QImage* pasteSource = nullptr)
{
    std::vector<std::unique_ptr<COperation>> kinds;
    kinds.emplace_back(new COperRotate);
    kinds.emplace_back(new COperCrop);
    kinds.emplace_back(new COperResize);
    kinds.emplace_back(new COperColor);
    kinds.emplace_back(new COperConvertGrayscale);
    kinds.emplace_back(new COperRedEye);
    kinds.emplace_back(new COperText(Locales()));
    kinds.emplace_back(new COperReconstruct);
    kinds.emplace_back(new COperPaste(pasteSource, 0, 0, 0, 0));
    return kinds;
}

TEST(OperationKinds, DefaultKeysInOrder)
{
    const LCID lcid = GetSystemDefaultLCID();
    const QStringList dates = Locales().GetDateFormats(lcid);
    const QStringList times = Locales().GetTimeFormats(lcid);
    const QString textHead = QStringLiteral("CurTab,0,LocaleEX,%1,LocaleCT,%1,DateFormat,%2,TimeFormat,%3,"
                                            "UseFileTime,1,ScaleSizes,1,FractionsOfSeconds,0,")
                                 .arg(static_cast<int>(lcid))
                                 .arg(EscapeListValue(dates.value(0)), EscapeListValue(times.value(0)));
    const struct {
        const char* name;
        const char* section;
        int batch, defaults;
        QString keys; // after ManualInput and Auto
    } cases[] = {
        {"Rotate/Flip", "Rotate_Flip", 1, 1,
         QStringLiteral("Rotate,0,Flip,0,Automatic,0,Lossless,1,PartialMode,0,PaddingColor,16777215")},
        {"Crop", "Crop", 1, 1,
         QStringLiteral("ImgLowQuality,150,ImgMediumQuality,300,AlignSelectionByBlock,0,AlignSelectionByBlockSE,0,"
                        "AllowOutwardSel,1,AutoCancelSelection,1,AutoFlipAspect,1,FadeOutsideArea,1,FlipAspect,0,"
                        "RunningAnts,1,CanvasColor,16777215,CropPreset,,PartialBlocksMode,2,Position,1,Left,0,"
                        "Top,0,Right,0,Bottom,0,CurTab,0")},
        {"Resize/Resample", "Resize", 1, 1,
         QStringLiteral("Units,1,PixelsWidth,800,PixelsHeight,600,Percent,100,LockAspect,1,AutoSwap,1,"
                        "DontEnlarge,1,KeepProportions,1")},
        {"Brightness/Color", "Color", 1, 0, QString()},
        {"Grayscale", "Grayscale", 1, 0, QString()},
        {"Red Eye", "RedEye", 0, 1, QStringLiteral("RedEyeDarkening,10,RedEyeRadius,10,RedEyeSensitivity,50")},
        {"Insert Text", "Text", 1, 1,
         textHead + TextKeys(QStringLiteral("exif_"), 1, 8, QStringLiteral("Date"), QStringLiteral("%d")) +
             u',' + TextKeys(QStringLiteral("cust_"), 0, 7, QString(), QString())},
        {"Reconstruct", "Reconstruct", 1, 1, QStringLiteral("NumOfPasses,1")},
        {"Paste", "", 1, 1, QString()},
    };
    const auto kinds = AllKinds();
    ASSERT_EQ(kinds.size(), std::size(cases));
    for (size_t i = 0; i < kinds.size(); ++i) {
        const auto& c = cases[i];
        const COperation& op = *kinds[i];
        QString body = QStringLiteral("ManualInput,0,Auto,0");
        if (!c.keys.isEmpty())
            body += u',' + c.keys;
        const QString name = QString::fromUtf8(c.name);
        EXPECT_EQ(op.SaveToString(), name + u',' + QString::number(body.size()) + u',' + body) << c.name;
        EXPECT_EQ(op.GetName(), name);
        EXPECT_EQ(op.GetRegistrySection(), QString::fromUtf8(c.section));
        EXPECT_EQ(op.IsBatchOperation(), c.batch) << c.name;
        EXPECT_EQ(op.IsDefaultOperation(), c.defaults) << c.name;
    }
    // The text kind: 52 keys after the two common ones.
    EXPECT_EQ(kinds[6]->GetParams().size(), 54u);
}

// Every registered value changed, written, read into a fresh operation of
// the kind: the text forms agree, and the section holds every key.
TEST(OperationKinds, RegistryRoundTrip)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    CProfile::SetFilePath(dir.filePath(QStringLiteral("profile.ini")));
    auto kinds = AllKinds();
    kinds.pop_back(); // paste: no section
    for (auto& op : kinds) {
        int n = 0;
        for (const auto& p : op->GetParams()) {
            ++n;
            if (p->kind == OperationParam::kInt)
                *static_cast<int*>(p->value) = n * 7919 - 40000;
            else
                *static_cast<QString*>(p->value) = QStringLiteral("v%1, a\\b,").arg(n);
        }
        op->SaveToRegistry();
    }
    CProfile::Close();
    CProfile::SetFilePath(dir.filePath(QStringLiteral("profile.ini")));
    for (auto& op : kinds) {
        std::unique_ptr<COperation> fresh(op->CreateNew());
        fresh->LoadFromRegistry();
        EXPECT_EQ(fresh->SaveToString(), op->SaveToString());
        for (const auto& p : op->GetParams())
            EXPECT_TRUE(CProfile::HasProfileValue(op->GetRegistrySection(), p->key)) << p->key.toStdString();
    }
    CProfile::Close();
}

TEST(OperationKinds, ClonesKeepWhatTheKindSays)
{
    COperColor color;
    color.Params() = ColorParams{20, -5, 7};
    std::unique_ptr<COperation> colorClone(color.Clone());
    const ColorParams& shifts = dynamic_cast<COperColor&>(*colorClone).Params();
    EXPECT_EQ(shifts.Brightness, 0);
    EXPECT_EQ(shifts.BlueYellow, 0);
    EXPECT_EQ(shifts.RedCyan, 0);
    auto& cc = dynamic_cast<COperColor&>(*colorClone);
    cc.CopyValues(color);
    EXPECT_EQ(cc.Params().RedCyan, 7);
    cc.ResetValues();
    EXPECT_EQ(cc.Params().Brightness, 0);

    COperRedEye redEye;
    redEye.Params().Points = {QPoint(3, 4), QPoint(-1, 9)};
    redEye.Params().RedEyeRadius = 17;
    std::unique_ptr<COperation> eyeClone(redEye.Clone());
    EXPECT_EQ(dynamic_cast<COperRedEye&>(*eyeClone).Params().Points, redEye.Params().Points);
    EXPECT_EQ(dynamic_cast<COperRedEye&>(*eyeClone).Params().RedEyeRadius, 17);

    QImage source(4, 4, QImage::Format_RGB32);
    COperPaste paste(&source, 1, 2, 5, 6);
    std::unique_ptr<COperation> pasteClone(paste.Clone());
    const auto& pc = dynamic_cast<COperPaste&>(*pasteClone);
    EXPECT_EQ(pc.GetSource(), &source);
    EXPECT_EQ(QRect(QPoint(pc.GetLeft(), pc.GetTop()), QPoint(pc.GetRight(), pc.GetBottom())),
              QRect(QPoint(1, 2), QPoint(5, 6)));

    COperRotate rotate;
    rotate.Params().PartialMode = 2;
    std::unique_ptr<COperation> rotateClone(rotate.Clone());
    auto& rc = dynamic_cast<COperRotate&>(*rotateClone);
    rc.SetTransform(1, 1, 0);
    EXPECT_EQ(rc.GetName(), QStringLiteral("Flip"));
    EXPECT_EQ(rc.Params().PartialMode, 2);
    const struct {
        int rotate, flip, automatic;
        const char* name;
    } names[] = {{0, 0, 0, "Rotate/Flip"}, {3, 0, 0, "Rotate"}, {0, 2, 0, "Flip"}, {1, 1, 1, "Rotate to Flag"}};
    for (const auto& n : names) {
        COperRotate r;
        r.SetTransform(n.rotate, n.flip, n.automatic);
        EXPECT_EQ(r.GetName(), QString::fromUtf8(n.name));
    }

    COperText text(Locales());
    text.SelectCustomText();
    EXPECT_EQ(text.Settings().CurTab, 1);
    text.SelectExifText();
    EXPECT_EQ(text.Settings().CurTab, 0);
}

// The colour page edits the shifts in place, reloads on RefreshPage and is
// let go of the block before the block goes.
TEST(OperationKinds, ColourPageIsReleasedFirst)
{
    struct Page : optest::CStandInPage {
        Page(int* deletions, int* releasedAtDelete) : CStandInPage(deletions), m_released(releasedAtDelete) {}
        ~Page() override { *m_released = params == nullptr; }
        int* m_released;
    };
    int deletions = 0, releasedAtDelete = -1;
    RegisterOperationPageFactory(QStringLiteral("Color"),
                                 [&](COperation&) { return new Page(&deletions, &releasedAtDelete); });
    struct Unregister {
        ~Unregister() { RegisterOperationPageFactory(QStringLiteral("Color"), {}); }
    } unregister;
    auto color = std::make_unique<COperColor>();
    optest::CStandInSheet sheet;
    ASSERT_EQ(color->AddPage(&sheet, 0), 1);
    auto* page = static_cast<Page*>(color->GetExistingPage());
    ASSERT_EQ(page->params, &color->Params());
    static_cast<ColorParams*>(page->params)->RedCyan = -12; // a slider moved
    EXPECT_EQ(color->Params().RedCyan, -12);
    COperColor other;
    other.Params().Brightness = 9;
    color->CopyValues(other);
    EXPECT_EQ(color->Params().Brightness, 9);
    color->ResetValues();
    EXPECT_EQ(page->refills, 2);
    color.reset();
    EXPECT_EQ(deletions, 1);
    EXPECT_EQ(releasedAtDelete, 1);
}

// ---- The crop rectangle -------------------------------------------------

const QString kMacroPreset = QStringLiteral("0;6.00;4.00;4\"x6\";2");

TEST(OperationKinds, CropRectangle)
{
    const CropRect none{};
    const CropRect huge{-INT_MAX, -INT_MAX, INT_MAX, INT_MAX};
    struct Case {
        const char* what;
        QString preset;
        int automatic, position, allowOutward, flipAspect, alignSE;
        CropRect ref;
        int width, height;
        bool made;
        CropRect out;
    } cases[] = {
        {"macro preset, landscape", kMacroPreset, 1, 2, 1, 0, 0, none, 3000, 2000, true, {0, 0, 3000, 2000}},
        {"macro preset, portrait", kMacroPreset, 1, 2, 1, 0, 0, none, 2000, 3000, true, {0, 0, 2000, 3000}},
        {"fixed size cut at the edges", QStringLiteral("1;4000.00;2500.00;big;0"), 1, 3, 0, 0, 0, none, 3000, 2000,
         true, {0, 0, 3000, 2000}},
        {"covering fit above the top", QStringLiteral("0;1.00;1.00;square;0"), 1, 2, 1, 0, 0, none, 3000, 2000, true,
         {0, -496, 3000, 2504}},
        {"fit inside the previous rectangle", kMacroPreset, 1, 1, 1, 0, 0, {100, 100, 400, 400}, 3000, 2000, true,
         {96, 96, 396, 296}},
        {"interactive, turned", kMacroPreset, 0, 2, 1, 1, 0, {10, 20, 110, 220}, 3000, 2000, true,
         {20, 10, 220, 110}},
        {"interactive, no preset", QString(), 0, 1, 1, 0, 0, {10, 20, 110, 220}, 3000, 2000, true,
         {10, 20, 110, 220}},
        {"no preset, empty reference, interactive", QString(), 0, 2, 1, 0, 0, none, 3000, 2000, false, {}},
        {"no preset, empty reference, unattended", QString(), 1, 2, 1, 0, 0, none, 3000, 2000, false, {}},
        {"preset, empty reference, interactive", kMacroPreset, 0, 2, 1, 0, 0, none, 3000, 2000, false, {}},
        {"sizes aligned to blocks, centred", QString(), 1, 2, 1, 0, 1, {0, 0, 100, 50}, 3000, 2000, true,
         {1456, 976, 1552, 1024}},
        {"aligned and held inside", QString(), 1, 1, 0, 0, 1, {0, 0, 200, 200}, 100, 100, true, {0, 0, 96, 96}},
        {"unparsable preset", QStringLiteral("garbage"), 1, 2, 1, 0, 0, {0, 0, 10, 10}, 3000, 2000, false, {}},
        {"side truncating to 0", QStringLiteral("0;0.4;4;x;0"), 1, 2, 1, 0, 0, {0, 0, 10, 10}, 3000, 2000, false,
         {}},
        {"huge selection, outward", QString(), 0, 1, 1, 0, 0, huge, 3000, 2000, false, {}},
        {"huge selection, clamped", QString(), 0, 1, 0, 0, 0, huge, 3000, 2000, true, {0, 0, 3000, 2000}},
        {"huge selection, unattended", QString(), 1, 1, 1, 0, 0, huge, 3000, 2000, false, {}},
        {"huge selection, preset fitted", kMacroPreset, 1, 1, 1, 0, 0, huge, 3000, 2000, false, {}},
        {"starts beyond the image", QString(), 0, 1, 0, 0, 0, {3000, 0, 3100, 10}, 3000, 2000, false, {}},
    };
    for (const Case& c : cases) {
        CropParams p;
        p.CropPreset = c.preset;
        p.Position = c.position;
        p.AllowOutwardSel = c.allowOutward;
        p.FlipAspect = c.flipAspect;
        p.AlignSelectionByBlockSE = c.alignSE;
        CropRect out{-1, -1, -1, -1};
        EXPECT_EQ(COperCrop::ComputeCropRect(p, c.automatic, c.ref, c.width, c.height, 16, 16, &out), c.made)
            << c.what;
        if (c.made) {
            EXPECT_EQ(out, c.out) << c.what << ": " << out.left << "," << out.top << "," << out.right << ","
                                  << out.bottom;
        }
    }
    // An image that is not loaded has no blocks.
    CropRect out;
    EXPECT_FALSE(COperCrop::ComputeCropRect(CropParams(), 0, {0, 0, 8, 8}, 100, 100, 0, 0, &out));
}

// ---- Edits on real images -----------------------------------------------

class OperationEdits : public ::testing::Test {
protected:
    void Open(int width, int height, const testjpeg::Pixels* pixels = nullptr)
    {
        const auto path = m_temp.path() / "in.jpg";
        if (pixels)
            testjpeg::WriteFile(path, testjpeg::Encode(*pixels, testjpeg::Sampled(90, {{2, 2}, {1, 1}, {1, 1}})));
        else
            etest::WriteJpeg(path, width, height);
        Open(path);
    }
    void Open(const std::filesystem::path& path)
    {
        m_image = std::make_unique<CKsImage>(etest::RealLib());
        ASSERT_EQ(m_image->Load(Q(path), 0), 1);
        m_original = etest::Coefficients(*m_image);
    }
    // Makes the operation's edit, runs it, checks it changed the image and
    // that undo gives the exact coefficients back.
    void RunAndUndo(COperation& op, const char* what)
    {
        int stop = 0;
        IAction* action = op.CreateAction(m_image.get(), &stop);
        ASSERT_NE(action, nullptr) << what;
        ASSERT_TRUE(m_image->GetUndoMan()->AddAction(action)) << what;
        m_edited = etest::Coefficients(*m_image);
        m_editedWidth = m_image->GetWidth();
        m_editedHeight = m_image->GetHeight();
        EXPECT_NE(m_edited, m_original) << what;
        EXPECT_EQ(stop, 0);
    }
    void Undo(const char* what)
    {
        m_image->GetUndoMan()->Undo();
        EXPECT_EQ(etest::Coefficients(*m_image), m_original) << what;
    }
    // The image rendered now, as a copy.
    QImage Rendered()
    {
        EXPECT_TRUE(m_image->CreateDib());
        return m_image->GetDibImage().copy(0, 0, m_image->GetWidth(), m_image->GetHeight());
    }

    etest::ScopedTempFolder m_temp;
    std::unique_ptr<CKsImage> m_image;
    std::vector<short> m_original, m_edited;
    int m_editedWidth = 0, m_editedHeight = 0;
};

TEST_F(OperationEdits, RotateEqualsJpegtran)
{
    if (!testjpeg::HaveTool("jpegtran"))
        GTEST_SKIP() << "jpegtran missing";
    Open(101, 75);
    const auto turned = m_temp.path() / "turned.jpg";
    ASSERT_EQ(testjpeg::Run("jpegtran -rotate 90 -trim -outfile '" + turned.string() + "' '" +
                            (m_temp.path() / "in.jpg").string() + "'"),
              0);
    COperRotate rotate;
    rotate.SetTransform(1, 0, 0);
    RunAndUndo(rotate, "rotate");
    CKsImage oracle(etest::RealLib());
    ASSERT_EQ(oracle.Load(Q(turned), 0), 1);
    EXPECT_EQ(m_edited, etest::Coefficients(oracle));
    EXPECT_EQ(m_editedWidth, oracle.GetWidth());
    Undo("rotate");
}

TEST_F(OperationEdits, PaddingColourIsAColorRef)
{
    Open(100, 75);
    COperRotate rotate;
    rotate.Params().Rotate = 1;
    rotate.Params().PartialMode = 2;
    rotate.LoadFromString(QStringLiteral("PaddingColor,255")); // COLORREF pure red
    RunAndUndo(rotate, "padded turn");
    const QImage img = Rendered();
    for (int y = 0; y < img.height(); y += 9) {
        const QRgb px = img.pixel(1, y);
        EXPECT_GT(qRed(px), 140) << y;
        EXPECT_LT(qGreen(px), 60) << y;
        EXPECT_LT(qBlue(px), 60) << y;
    }
    Undo("padded turn");
}

// Mean Y, Cb and Cr of an image as rendered.
std::array<double, 3> MeanYCbCr(const QImage& img)
{
    std::array<double, 3> sum{};
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const QRgb p = img.pixel(x, y);
            const double r = qRed(p), g = qGreen(p), b = qBlue(p);
            sum[0] += 0.299 * r + 0.587 * g + 0.114 * b;
            sum[1] += -0.168736 * r - 0.331264 * g + 0.5 * b;
            sum[2] += 0.5 * r - 0.418688 * g - 0.081312 * b;
        }
    for (double& v : sum)
        v /= double(img.width()) * img.height();
    return sum;
}

// A level shift s adds s * 1020 / 100 to every DC value of its component:
// the component's mean sample moves by an eighth of that.
TEST_F(OperationEdits, CoefficientKinds)
{
    // Mid tones only, so that no shift below clips.
    testjpeg::Pixels px = testjpeg::MakePattern(96, 64);
    for (uint8_t& v : px.data)
        v = static_cast<uint8_t>(70 + v * 100 / 255);
    Open(96, 64, &px);
    const std::array<double, 3> before = MeanYCbCr(Rendered());

    COperConvertGrayscale gray;
    RunAndUndo(gray, "grayscale");
    {
        const QImage img = Rendered();
        EXPECT_NEAR(MeanYCbCr(img)[0], before[0], 0.5);
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x) {
                const QRgb p = img.pixel(x, y);
                ASSERT_TRUE(qRed(p) == qGreen(p) && qGreen(p) == qBlue(p)) << x << "," << y;
            }
    }
    Undo("grayscale");

    const struct {
        ColorParams shifts;
        std::array<double, 3> moves;
    } shifts[] = {
        {{20, 0, 0}, {25.5, 0, 0}},
        {{-37, 0, 0}, {-47.125, 0, 0}},
        {{0, -30, 0}, {0, -38.25, 0}},
        {{0, 0, 10}, {0, 0, 12.75}},
    };
    for (const auto& c : shifts) {
        const std::string what = "colour " + std::to_string(c.shifts.Brightness) + "," +
                                 std::to_string(c.shifts.BlueYellow) + "," + std::to_string(c.shifts.RedCyan);
        COperColor color;
        color.Params() = c.shifts;
        RunAndUndo(color, what.c_str());
        const std::array<double, 3> after = MeanYCbCr(Rendered());
        for (int k = 0; k < 3; ++k)
            EXPECT_NEAR(after[k] - before[k], c.moves[k], 0.5) << what << ", component " << k;
        Undo(what.c_str());
    }

    COperReconstruct reconstruct;
    RunAndUndo(reconstruct, "reconstruct");
    Undo("reconstruct");
}

TEST_F(OperationEdits, ResizeToHalf)
{
    Open(101, 75);
    COperResize resize;
    resize.LoadFromString(QStringLiteral("Units,0,Percent,50"));
    RunAndUndo(resize, "resize");
    EXPECT_EQ(m_editedWidth, 50);
    EXPECT_EQ(m_editedHeight, 37);
    Undo("resize");
}

TEST_F(OperationEdits, CropWithTheMacroPreset)
{
    Open(240, 240);
    COperCrop crop;
    crop.LoadFromString(QStringLiteral("CropPreset,") + EscapeListValue(kMacroPreset) + QStringLiteral(",Position,2"));
    crop.SetAuto(1);
    RunAndUndo(crop, "crop");
    // 6:4 covering 240 x 240 is 360 x 240, centred at x -60, rounded to -64.
    EXPECT_EQ(m_editedWidth, 360);
    EXPECT_EQ(m_editedHeight, 240);
    EXPECT_EQ(crop.Params().CropLeft, -64);
    EXPECT_EQ(crop.Params().CropRight, 296);
    Undo("crop");

    // Interactive: the reference rectangle, as the crop mode left it.
    CropReferenceRect = CropRect{16, 32, 112, 96};
    crop.SetAuto(0);
    RunAndUndo(crop, "interactive crop");
    EXPECT_EQ(m_editedWidth, 96);
    EXPECT_EQ(m_editedHeight, 64);
    Undo("interactive crop");
    CropReferenceRect = CropRect();

    // No image loaded: no blocks, no edit, nothing stored.
    CKsImage empty(etest::RealLib());
    int stop = 0;
    crop.Params().CropLeft = 5;
    EXPECT_EQ(crop.CreateAction(&empty, &stop), nullptr);
    EXPECT_EQ(crop.CreateAction(nullptr, &stop), nullptr);
    EXPECT_EQ(crop.Params().CropLeft, 5);
}

TEST_F(OperationEdits, RedEyeAtOnePoint)
{
    testjpeg::Pixels px = testjpeg::MakePattern(64, 64);
    for (int y = 24; y < 40; ++y)
        for (int x = 24; x < 40; ++x) {
            uint8_t* p = px.row(y) + x * 3;
            p[0] = 230, p[1] = 20, p[2] = 30;
        }
    Open(64, 64, &px);
    COperRedEye redEye;
    redEye.Params().Points = {QPoint(32, 32)};
    std::unique_ptr<COperation> clone(redEye.Clone());
    RunAndUndo(*clone, "red eye");
    Undo("red eye");
}

TEST_F(OperationEdits, Paste)
{
    Open(96, 64);
    QImage source(20, 20, QImage::Format_RGB32);
    source.fill(qRgb(0, 0, 255));
    COperPaste paste(&source, 16, 16, 36, 36);
    std::unique_ptr<COperation> clone(paste.Clone());
    RunAndUndo(*clone, "paste");
    const QImage img = Rendered();
    EXPECT_GT(qBlue(img.pixel(26, 26)), 200);
    EXPECT_LT(qRed(img.pixel(26, 26)), 50);
    Undo("paste");
    COperPaste empty(nullptr, 0, 0, 8, 8);
    int stop = 0;
    EXPECT_EQ(empty.CreateAction(m_image.get(), &stop), nullptr);
}

// Values a hand-edited profile or macro can hold: every edit finishes
// without a crash or a hang, and undoes when it was made.
TEST_F(OperationEdits, HostileBodies)
{
    const auto path = testjpeg::CorpusFile("syn_420_17x17.jpg");
    Open(path);
    const QImage source(8, 8, QImage::Format_RGB32);
    const QString huge = QStringLiteral("2147483647"), tiny = QStringLiteral("-2147483647");
    const QString selection = QStringLiteral("Left,%1,Top,%1,Right,%2,Bottom,%2").arg(tiny, huge);
    const struct {
        int kind; // index in AllKinds
        QString body;
        int automatic;
    } cases[] = {
        {7, QStringLiteral("NumOfPasses,2147483647"), 0},
        {7, QStringLiteral("NumOfPasses,-5"), 0},
        {5, QStringLiteral("RedEyeRadius,1000000,RedEyeSensitivity,2147483647,RedEyeDarkening,-9"), 0},
        {2, QStringLiteral("Units,0,Percent,2147483647"), 0},
        {2, QStringLiteral("Units,1,PixelsWidth,-5,PixelsHeight,2147483647"), 0},
        {1, selection, 0},
        {1, selection + QStringLiteral(",AllowOutwardSel,0"), 0},
        {1, selection + QStringLiteral(",Position,2"), 1},
        {1, QStringLiteral("CropPreset,1;64;48;x;0,Position,2,AutoFlipAspect,0,FlipAspect,1"), 1},
        {0, QStringLiteral("Rotate,2147483647,Flip,-2147483647,PartialMode,77,PaddingColor,-1"), 0},
    };
    for (const auto& c : cases) {
        auto kinds = AllKinds(&source);
        COperation& op = *kinds[static_cast<size_t>(c.kind)];
        op.LoadFromString(c.body);
        op.SetAuto(c.automatic);
        if (auto* red = dynamic_cast<COperRedEye*>(&op))
            red->Params().Points = {QPoint(8, 8), QPoint(16, 0)};
        if (auto* crop = dynamic_cast<COperCrop*>(&op)) {
            const CropParams& p = crop->Params();
            CropReferenceRect = CropRect{p.Left, p.Top, p.Right, p.Bottom};
        }
        const QString stored = op.SaveToString();
        int stop = 0;
        if (IAction* action = op.CreateAction(m_image.get(), &stop)) {
            if (m_image->GetUndoMan()->AddAction(action))
                m_image->GetUndoMan()->Undo();
        }
        EXPECT_EQ(etest::Coefficients(*m_image), m_original) << c.body.toStdString();
        // The kind clamps for the edit only; the stored values stay.
        EXPECT_EQ(op.SaveToString(), stored) << c.body.toStdString();
        CropReferenceRect = CropRect();
    }
}

} // namespace
