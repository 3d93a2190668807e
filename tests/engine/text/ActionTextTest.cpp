// Text drawn into the picture: fonts, sizes, placement, effects, the block
// frames, and the whole edit through the real library.
#include "ActionText.h"
#include "DashedLine.h"
#include "Dib24.h"
#include "EngineTest.h"
#include "LocaleManager.h"

#include <QDir>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QPainter>


#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <utility>

namespace {

CDib24 Grey(int width, int height, int grey = 128)
{
    CDib24 dib;
    EXPECT_TRUE(dib.Create(width, height));
    std::memset(dib.Bits(), grey, dib.ByteSize());
    return dib;
}

// The bounding box of the pixels that differ (empty when none).
QRect Changed(const CDib24& a, const CDib24& b)
{
    QRect box;
    for (int y = 0; y < a.Height(); ++y)
        for (int x = 0; x < a.Width(); ++x)
            if (std::memcmp(a.Row(y) + x * 3, b.Row(y) + x * 3, 3) != 0)
                box |= QRect(x, y, 1, 1);
    return box;
}

bool Same(const CDib24& a, const CDib24& b)
{
    return a.ByteSize() == b.ByteSize() && std::memcmp(a.Bits(), b.Bits(), a.ByteSize()) == 0;
}

// Only the EXIF block, with the text given literally.
TextSettings OneBlock(const QString& text, int scaleSizes = 0)
{
    TextSettings s;
    s.ScaleSizes = scaleSizes;
    s.Exif.Template = text;
    s.Exif.Placement = 0;
    s.Custom.Use = 0;
    return s;
}

std::string FcMatch(const QString& name)
{
    std::string out;
    testjpeg::Run("fc-match -f '%{family[0]}' '" + name.toStdString() + "'", &out);
    return out;
}

TEST(ActionText, FacesResolveAsFontconfigSubstitutes)
{
    if (!testjpeg::HaveTool("fc-match"))
        GTEST_SKIP() << "fc-match missing";
    for (const QString name : {"Arial", "Times New Roman", "Courier New", "No Such Face 7"}) {
        TextSettings s = OneBlock("Face 7");
        s.Exif.Font = name;
        CDib24 dib = Grey(400, 100);
        const CDib24 before = dib.Clone();
        CActionText action;
        action.Draw(dib, nullptr, &s);
        EXPECT_EQ(QFontInfo(action.GetFont()).family().toStdString(), FcMatch(name)) << name.toStdString();
        EXPECT_FALSE(Changed(before, dib).isEmpty()) << name.toStdString();
    }
}

// Plain text asks for weight 200, bold for 800: a face with a light style
// draws plain text with it.
TEST(ActionText, PlainTextIsLightAndBoldIsExtraBold)
{
    for (const int bold : {0, 1}) {
        TextSettings s = OneBlock("Weight");
        s.Exif.Font = QStringLiteral("DejaVu Sans");
        s.Exif.Bold = bold;
        CDib24 dib = Grey(400, 100);
        CActionText action;
        action.Draw(dib, nullptr, &s);
        EXPECT_EQ(action.GetFont().weight(), bold ? QFont::ExtraBold : QFont::ExtraLight);
        if (!bold && QFontDatabase::styles(QStringLiteral("DejaVu Sans")).contains(QStringLiteral("ExtraLight")))
            EXPECT_EQ(QFontInfo(action.GetFont()).weight(), QFont::ExtraLight);
    }
}

TEST(ActionText, FontCellHeightScalesWithThePicture)
{
    const struct {
        int w, h, cell;
    } cases[] = {{3000, 2000, 53}, {600, 400, 12}, {1600, 1200, 32}};
    for (const auto& c : cases) {
        TextSettings s = OneBlock("Tg", 1);
        CDib24 dib = Grey(c.w, c.h);
        CActionText action;
        action.Draw(dib, nullptr, &s);
        EXPECT_NEAR(action.GetFontHeight(), c.cell, 1) << c.w;
        const QFontMetrics fm(action.GetFont());
        EXPECT_EQ(fm.ascent() + fm.descent(), action.GetFontHeight());
        ASSERT_EQ(action.GetBlockRects().size(), 1u);
        EXPECT_EQ(action.GetBlockRects()[0].height(), action.GetFontHeight() + 2 * CActionText::ScaleSize(5, 1, c.w, c.h));
    }
}

TEST(ActionText, NinePlacementsPutTheBoxWhereTheFormulasSay)
{
    const int W = 1600, H = 1200;
    for (int p = 0; p < 9; ++p) {
        TextSettings s = OneBlock("Ag", 1);
        s.Exif.Placement = p;
        s.Exif.UseBG = 1;
        s.Exif.OpacityBG = 50;
        CDib24 dib = Grey(W, H);
        const CDib24 before = dib.Clone();
        CActionText action;
        action.Draw(dib, nullptr, &s);
        const int fh = action.GetFontHeight();
        const int bw = QFontMetrics(action.GetFont()).horizontalAdvance("Ag") + 2 * 5 + 1;
        const int bh = fh + 2 * 5;
        int x = 10, y = 10;
        if (p % 3 == 1)
            x += W / 2;
        if (p % 3 == 2)
            x = W - x;
        if (p / 3 == 1)
            y += (H - bh) / 2;
        if (p / 3 == 2)
            y = (H - bh) - y;
        const int left = p % 3 == 0 ? x : p % 3 == 1 ? x - bw / 2 : x - bw;
        const QRect got = Changed(before, dib);
        EXPECT_NEAR(got.left(), left, 2) << p;
        EXPECT_NEAR(got.top(), y, 2) << p;
        EXPECT_NEAR(got.width(), bw, 2) << p;
        EXPECT_NEAR(got.height(), bh, 2) << p;
        ASSERT_EQ(action.GetBlockRects().size(), 1u);
        EXPECT_EQ(action.GetBlockRects()[0], got) << p;
    }
}

TEST(ActionText, TwoLinesStackTheSameWithCrLfOrLf)
{
    CDib24 crlf = Grey(300, 200), lf = Grey(300, 200);
    CActionText a, b;
    const TextSettings withCr = OneBlock("Ab\r\nCd"), withoutCr = OneBlock("Ab\nCd");
    a.Draw(crlf, nullptr, &withCr);
    b.Draw(lf, nullptr, &withoutCr);
    EXPECT_TRUE(Same(crlf, lf));
    b.MeasureBlock(nullptr, withoutCr.Exif, withoutCr, 0x0409);
    EXPECT_EQ(b.GetLines(), QStringList({"Ab", "Cd"}));
    ASSERT_EQ(a.GetBlockRects().size(), 2u);
    EXPECT_EQ(a.GetBlockRects(), b.GetBlockRects());
    EXPECT_EQ(a.GetBlockRects()[1].top(), a.GetBlockRects()[0].bottom() + 1);
    EXPECT_EQ(a.GetBlockRects()[1].left(), a.GetBlockRects()[0].left());
}

TEST(ActionText, EmbossAndEngraveMoveChannelsOppositeWays)
{
    CDib24 emboss = Grey(400, 120), engrave = Grey(400, 120);
    const CDib24 grey = emboss.Clone();
    TextSettings s = OneBlock("Relief");
    s.Exif.FontSize = 60;
    s.Exif.Effect = 3;
    CActionText().Draw(emboss, nullptr, &s);
    s.Exif.Effect = 4;
    CActionText().Draw(engrave, nullptr, &s);
    int moved = 0;
    for (size_t i = 0; i < grey.ByteSize(); ++i) {
        const int a = emboss.Bits()[i], b = engrave.Bits()[i];
        if (a != 128)
            ++moved;
        if (a > 0 && a < 255 && b > 0 && b < 255) {
            ASSERT_EQ(a + b, 256) << i;
        }
    }
    EXPECT_GT(moved, 300);

    // Just outside the text every neighbour weighs on one side only: the
    // raised relief lights the left and top edges and darkens the right and
    // bottom ones; the sunken relief the other way round.
    for (const auto& [relief, lit] : {std::pair{&emboss, 1}, {&engrave, -1}}) {
        SCOPED_TRACE(lit > 0 ? "raised" : "sunken");
        const QRect box = Changed(grey, *relief);
        ASSERT_FALSE(box.isEmpty());
        const auto edge = [&](int x0, int y0, int dx, int dy, int want) {
            int changed = 0;
            for (int x = x0, y = y0; box.contains(x, y); x += dx, y += dy) {
                const int v = relief->Row(y)[x * 3];
                if (v != 128) {
                    ++changed;
                    ASSERT_EQ(v > 128 ? 1 : -1, want) << x << "," << y;
                }
            }
            EXPECT_GT(changed, 0);
        };
        edge(box.left(), box.top(), 0, 1, lit);
        edge(box.left(), box.top(), 1, 0, lit);
        edge(box.right(), box.top(), 0, 1, -lit);
        edge(box.left(), box.bottom(), 1, 0, -lit);
    }
}

TEST(ActionText, ShadowFallsBelowRightOfTheText)
{
    TextSettings s = OneBlock("Shadow");
    s.Exif.FontSize = 60;
    s.Exif.Effect = 1;
    s.Exif.Color = 0xFFFFFF;
    s.Exif.ColorSh = 0;
    CDib24 dib = Grey(400, 120);
    CActionText action;
    action.Draw(dib, nullptr, &s);
    QRect light, dark;
    for (int y = 0; y < dib.Height(); ++y)
        for (int x = 0; x < dib.Width(); ++x) {
            const int v = dib.Row(y)[x * 3];
            if (v > 128)
                light |= QRect(x, y, 1, 1);
            else if (v < 128)
                dark |= QRect(x, y, 1, 1);
        }
    ASSERT_FALSE(light.isEmpty());
    ASSERT_FALSE(dark.isEmpty());
    const int fh = action.GetFontHeight();
    ASSERT_GE(fh / 15, 3);
    EXPECT_NEAR(dark.right() - light.right(), fh / 12, 1);
    EXPECT_NEAR(dark.bottom() - light.bottom(), fh / 15, 1);
}

TEST(ActionText, BackgroundBoxIsTheIntegerBlend)
{
    TextSettings s = OneBlock("Box");
    s.Exif.UseBG = 1;
    s.Exif.ColorBG = 10 | (200 << 8) | (30 << 16);
    s.Exif.OpacityBG = 37;
    s.Exif.Opacity = 0; // the text itself falls back to the blended box
    CDib24 dib = Grey(300, 100, 101);
    CActionText action;
    action.Draw(dib, nullptr, &s);
    ASSERT_EQ(action.GetBlockRects().size(), 1u);
    const QRect box = action.GetBlockRects()[0];
    const int expected[3] = {(30 * 37 + 101 * 63) / 100, (200 * 37 + 101 * 63) / 100, (10 * 37 + 101 * 63) / 100};
    for (int y = 0; y < dib.Height(); ++y)
        for (int x = 0; x < dib.Width(); ++x)
            for (int k = 0; k < 3; ++k)
                ASSERT_EQ(dib.Row(y)[x * 3 + k], box.contains(x, y) ? expected[k] : 101) << x << "," << y;
}

TEST(ActionText, OpacityZeroLeavesEveryByte)
{
    for (int effect = 0; effect <= 5; ++effect) {
        TextSettings s = OneBlock("Opacity");
        s.Exif.Effect = effect;
        s.Exif.EffWidth = 2;
        s.Exif.Opacity = 0;
        CDib24 dib = Grey(300, 100);
        const CDib24 before = dib.Clone();
        CActionText().Draw(dib, nullptr, &s);
        EXPECT_TRUE(Same(before, dib)) << effect;
    }
}

TEST(ActionText, OutlineWiderThanThreeDrawsAsThreeMovedByItsInset)
{
    CDib24 three = Grey(300, 100), seven = Grey(300, 100);
    TextSettings s = OneBlock("Out");
    s.Exif.Effect = 2;
    s.Exif.ColorSh = 0xFFFFFF;
    s.Exif.EffWidth = 3;
    CActionText a;
    a.Draw(three, nullptr, &s);
    s.Exif.EffWidth = 7;
    CActionText b;
    b.Draw(seven, nullptr, &s);
    const QRect box3 = a.GetBlockRects()[0], box7 = b.GetBlockRects()[0];
    EXPECT_EQ(box7.size(), box3.size() + QSize(8, 8));
    for (int y = box3.top(); y <= box3.bottom(); ++y)
        ASSERT_EQ(std::memcmp(three.Row(y) + box3.left() * 3, seven.Row(y + 4) + (box3.left() + 4) * 3,
                              static_cast<size_t>(box3.width()) * 3),
                  0)
            << y;
}

TEST(ActionText, HostileValuesStayInsideTheBitmap)
{
    for (int effect = 0; effect <= 6; ++effect) {
        TextSettings s = OneBlock("Wide\r\n\r\nLines");
        s.ScaleSizes = 1;
        s.Exif.FontSize = INT_MAX;
        s.Exif.Margin = INT_MAX;
        s.Exif.PaddingX = INT_MIN;
        s.Exif.PaddingY = -40;
        s.Exif.Opacity = 1000;
        s.Exif.OpacityBG = -5;
        s.Exif.UseBG = 1;
        s.Exif.Placement = 42;
        s.Exif.Effect = effect;
        s.Exif.EffWidth = INT_MAX;
        s.Custom = s.Exif;
        s.Custom.FontSize = -7;
        s.Custom.Margin = -3;
        s.Custom.Placement = 4;
        CDib24 dib = Grey(64, 48);
        CActionText action;
        action.Draw(dib, nullptr, &s);
        EXPECT_EQ(action.GetBlockRects().size(), 6u) << effect;
        EXPECT_EQ(action.GetFontHeight() <= 64, true) << effect;
    }
}

TEST(ActionText, DateAndTimePlaceholdersExpandAsExiftoolReads)
{
    if (!testjpeg::HaveTool("exiftool"))
        GTEST_SKIP() << "exiftool missing";
    CLocaleManager locales;
    for (const char* name : {"gox_htc-one_gps.jpg", "gox_iphone4s_orient6.jpg"}) {
        const auto path = testjpeg::CorpusFile(name);
        std::string expected;
        testjpeg::Run("exiftool -s3 -d '%d.%m.%Y %H:%M' -DateTimeOriginal '" + path.string() + "'", &expected);
        while (!expected.empty() && (expected.back() == '\n' || expected.back() == '\r'))
            expected.pop_back();
        CKsImage image(etest::RealLib());
        ASSERT_TRUE(image.Load(etest::Q(path), 1)) << name;
        TextSettings s = OneBlock("%d %t");
        s.LocaleEX = 0x0407;
        s.DateFormat = locales.GetDateFormats(0x0407).value(0);
        s.TimeFormat = locales.GetTimeFormats(0x0407).value(0);
        ASSERT_EQ(s.DateFormat, "dd.MM.yyyy");
        ASSERT_EQ(s.TimeFormat, "HH:mm");
        CDib24 expanded = image.GetDib().Clone();
        CActionText action;
        action.Draw(expanded, &image, &s);
        action.MeasureBlock(&image, s.Exif, s, s.LocaleEX);
        ASSERT_EQ(action.GetLines().size(), 1);
        EXPECT_EQ(action.GetLines()[0].toStdString(), expected) << name;

        s.Exif.Template = action.GetLines()[0];
        CDib24 literal = image.GetDib().Clone();
        CActionText().Draw(literal, &image, &s);
        EXPECT_TRUE(Same(expanded, literal)) << name;
    }
}

// The MCU (column, row) of every block whose coefficients differ.
std::vector<QPoint> ChangedMcus(const std::vector<short>& a, const std::vector<short>& b,
                                const testjpeg::Coefficients& layout, int mcuWidth, int mcuHeight)
{
    std::vector<QPoint> mcus;
    const int mcusX = (layout.width + mcuWidth - 1) / mcuWidth;
    const int mcusY = (layout.height + mcuHeight - 1) / mcuHeight;
    size_t offset = 0;
    for (const auto& c : layout.components) {
        const int cols = c.h * mcusX, rows = c.v * mcusY;
        for (int r = 0; r < rows; ++r)
            for (int col = 0; col < cols; ++col, offset += 64)
                if (std::memcmp(&a[offset], &b[offset], 64 * sizeof(short)) != 0)
                    mcus.emplace_back(col / c.h, r / c.v);
    }
    EXPECT_EQ(offset, a.size());
    return mcus;
}

TextSettings PhotoSettings()
{
    TextSettings s;
    s.Exif.Template = "Pixmend %d";
    s.Exif.UseBG = 1;
    s.Custom.Use = 1;
    s.Custom.Template = "Text on a photo";
    s.Custom.Placement = 4;
    s.Custom.Effect = 3;
    s.Custom.FontSize = 60;
    return s;
}

TEST(ActionText, ApplyReencodesOnlyTheBoxMcusAndUndoRestoresThem)
{
    const auto path = testjpeg::CorpusFile("syn_420_1001x667.jpg");
    etest::ScopedTempFolder temp;
    CKsImage image(etest::RealLib());
    ASSERT_TRUE(image.Load(etest::Q(path), 0));
    const std::vector<short> before = etest::Coefficients(image);
    const testjpeg::Coefficients layout = testjpeg::ReadCoefficients(testjpeg::ReadFile(path));
    ASSERT_TRUE(layout.ok);
    IKestrel* lib = image.GetLibraryObject();
    const int mw = lib->GetMcuWidth(), mh = lib->GetMcuHeight();

    auto* action = new CActionText(PhotoSettings());
    ASSERT_TRUE(image.GetUndoMan()->AddAction(action));
    EXPECT_EQ(action->GetLibraryEditCount(), 1);
    const std::vector<short> after = etest::Coefficients(image);
    const std::vector<QPoint> mcus = ChangedMcus(before, after, layout, mw, mh);
    EXPECT_GT(mcus.size(), 20u);
    for (const QPoint& m : mcus) {
        const QRect mcu(m.x() * mw, m.y() * mh, mw, mh);
        bool meets = false;
        for (const QRect& r : action->GetBlockRects())
            meets = meets || r.intersects(mcu);
        ASSERT_TRUE(meets) << m.x() << "," << m.y();
    }

    const auto saved = temp.path() / "text.jpg";
    ASSERT_TRUE(image.Save(etest::Q(saved)));
    const testjpeg::Pixels original = testjpeg::Decode(testjpeg::ReadFile(path));
    const testjpeg::Pixels edited = testjpeg::Decode(testjpeg::ReadFile(saved));
    ASSERT_EQ(edited.width, original.width);
    // The centre block shows; the top left corner, far from both blocks, is untouched.
    const QRect centre = action->GetBlockRects().back();
    int64_t diff = 0;
    for (int y = centre.top(); y <= centre.bottom(); ++y)
        for (int x = centre.left(); x <= centre.right(); ++x)
            for (int k = 0; k < 3; ++k)
                diff += std::abs(edited.row(y)[x * 3 + k] - original.row(y)[x * 3 + k]);
    EXPECT_GT(diff, int64_t(centre.width()) * centre.height() / 4);
    for (int y = 0; y < 64; ++y)
        ASSERT_EQ(std::memcmp(edited.row(y), original.row(y), 64 * 3), 0);

    image.GetUndoMan()->Undo();
    EXPECT_EQ(etest::Coefficients(image), before);
}

TEST(ActionText, ApplyWithoutAPictureMakesNoEdit)
{
    CKsImage image(etest::RealLib());
    CActionText action(PhotoSettings());
    action.Do(&image, 0, nullptr, nullptr);
    EXPECT_EQ(action.GetLibraryEditCount(), 0);
    EXPECT_FALSE(image.HasDib());
    EXPECT_EQ(action.GetName(), "Text");
    std::unique_ptr<IAction> copy(action.Clone());
    EXPECT_EQ(static_cast<CActionText*>(copy.get())->GetSettings().Custom.Template, "Text on a photo");
}

TEST(ActionText, BlockFramesMarchOrShowAnEtchedEdge)
{
    CDib24 dib = Grey(200, 100);
    CActionText action;
    const TextSettings s = OneBlock("Frame");
    action.Draw(dib, nullptr, &s);
    ASSERT_EQ(action.GetBlockRects().size(), 1u);
    const QRect r = action.GetBlockRects()[0];
    // Zoom 2x, moved by (3, 4): the frame of the scaled rectangle.
    const QRect scaled(r.left() * 2 + 3, r.top() * 2 + 4, r.width() * 2, r.height() * 2);
    for (int phase : {6, 5, 4}) {
        QImage got(420, 220, QImage::Format_RGB32), want(420, 220, QImage::Format_RGB32);
        got.fill(Qt::red);
        want.fill(Qt::red);
        QPainter pg(&got), pw(&want);
        action.DrawBlockFrames(pg, 3, 4, 512, 1);
        DrawDashedFrame(pw, scaled.left(), scaled.top(), scaled.left() + scaled.width(),
                        scaled.top() + scaled.height(), phase, QRect(-1, -1, 422, 222));
        pg.end();
        pw.end();
        EXPECT_EQ(got, want) << phase;
    }
    QImage etched(420, 220, QImage::Format_RGB32);
    etched.fill(Qt::red);
    QPainter p(&etched);
    action.DrawBlockFrames(p, 3, 4, 512, 0);
    p.end();
    EXPECT_EQ(etched.pixelColor(scaled.topLeft()), QColor(160, 160, 160));
    EXPECT_EQ(etched.pixelColor(scaled.topLeft() + QPoint(1, 1)), QColor(Qt::white));
    EXPECT_EQ(etched.pixelColor(scaled.bottomRight()), QColor(Qt::white));
    EXPECT_EQ(etched.pixelColor(scaled.center()), QColor(Qt::red));
}

TEST(ActionText, WritesTheEffectsPicture)
{
    const auto path = testjpeg::CorpusFile("syn_420_1001x667.jpg");
    CKsImage image(etest::RealLib());
    ASSERT_TRUE(image.Load(etest::Q(path), 1));
    CDib24 dib = image.GetDib().Clone();
    const char* names[] = {"none", "shadow", "outline", "emboss", "engrave", "relief"};
    for (int p = 0; p < 9; ++p) {
        TextSettings s = OneBlock(QString("Placement %1\r\n%2").arg(p).arg(names[p % 6]), 1);
        s.Exif.Placement = p;
        s.Exif.Effect = p % 6;
        s.Exif.EffWidth = 2;
        s.Exif.ColorSh = 0xFFFFFF * (p % 2);
        s.Exif.UseBG = p == 4;
        s.Exif.Opacity = p == 8 ? 60 : 100;
        CActionText().Draw(dib, &image, &s);
    }
    QDir().mkpath(PIXMEND_ARTIFACTS_DIR);
    EXPECT_TRUE(dib.View().copy(0, 0, image.GetWidth(), image.GetHeight()).save(PIXMEND_ARTIFACTS_DIR "/text-effects.png"));
}

} // namespace
