// The single-page operation editors, each shown by its own operation kind
// through COperation::AddPage on a tab-less sheet and driven with real key
// and mouse events; results are read back from the operation's text (the
// colour shifts from its block).
#include "CButton.h"
#include "DlgOperColor.h"
#include "EditorTestKit.h"
#include "EmailParams.h"
#include "IntEdit.h"
#include "OperColor.h"
#include "OperReconstruct.h"
#include "OperRedEye.h"
#include "OperResize.h"
#include "OperRotate.h"
#include "OperationPages.h"
#include "PixmendApp.h"
#include "SpinButton.h"
#include "TestJpeg.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QToolButton>

#include <fstream>
#include <memory>

using namespace edtest;

namespace {

using EmailKind = CKind<EmailParams>;

// The e-mail operation is not built yet: a stand-in registers its keys.
std::unique_ptr<EmailKind> MakeEmail()
{
    return std::make_unique<EmailKind>("Email", "Email", [](EmailKind& k) {
        k.Str("Recipients", &k.block.Recipients);
        k.Str("Subject", &k.block.Subject);
        k.Str("MsgBody", &k.block.MsgBody);
    });
}

class EditorsTest : public ::testing::Test {
protected:
    void SetUp() override { RegisterOperationPages(); }
};

void ClickUp(QWidget* window, int spinId)
{
    auto* spin = Item<CSpinButton>(window, spinId);
    QTest::mouseClick(spin->UpButton(), Qt::LeftButton);
}

// A JPEG file of the given size; grayscale through cjpeg -grayscale when it
// is there (libjpeg's own gray encoder otherwise).
std::string WriteJpeg(const testjpeg::TempDir& dir, int width, int height, bool gray)
{
    const testjpeg::Pixels rgb = testjpeg::MakePattern(width, height, 3, 7);
    const std::string jpeg = (dir.path() / (gray ? "gray.jpg" : "photo.jpg")).string();
    if (gray && testjpeg::HaveTool("cjpeg")) {
        const std::string ppm = (dir.path() / "in.ppm").string();
        std::ofstream out(ppm, std::ios::binary);
        out << "P6\n" << width << ' ' << height << "\n255\n";
        out.write(reinterpret_cast<const char*>(rgb.data.data()), std::streamsize(rgb.data.size()));
        out.close();
        EXPECT_EQ(testjpeg::Run("cjpeg -grayscale -outfile '" + jpeg + "' '" + ppm + "'"), 0);
        return jpeg;
    }
    testjpeg::Pixels pixels = gray ? testjpeg::MakePattern(width, height, 1, 7) : rgb;
    testjpeg::EncodeParams params;
    params.inColorSpace = gray ? JCS_GRAYSCALE : JCS_RGB;
    EXPECT_TRUE(testjpeg::WriteFile(jpeg, testjpeg::Encode(pixels, params)));
    return jpeg;
}

constexpr int kColorRowIds[2][5] = {{1165, 1166, 1157, 1160, 1163}, {1168, 1167, 1158, 1161, 1164}};

} // namespace

TEST_F(EditorsTest, ColorRowsFollowTheOpenImageAndEditsClampAndStore)
{
    auto op = std::make_unique<COperColor>();
    {
        CHost host;
        QWidget* w = host.Show(*op, 0);
        ASSERT_NE(w, nullptr);
        // No image: every row is enabled.
        for (const auto& row : kColorRowIds)
            for (int id : row)
                EXPECT_TRUE(GetDlgItem(w, id)->isEnabled()) << id;

        TypeInto(Item<CIntEdit>(w, 1160), QStringLiteral("150"), true);
        EXPECT_EQ(op->Params().BlueYellow, 100);
        EXPECT_EQ(Item<CIntEdit>(w, 1160)->text(), "100");
        EXPECT_EQ(Item<QSlider>(w, 1157)->value(), 100);
        ClickUp(w, 1163);
        EXPECT_EQ(op->Params().BlueYellow, 100);
        EXPECT_EQ(Item<CIntEdit>(w, 1160)->text(), "100");

        // Keys on a trackbar are the end of a move: the value is stored.
        auto* brightness = Item<QSlider>(w, 1156);
        brightness->setFocus();
        QTest::keyClick(brightness, Qt::Key_Right);
        QTest::keyClick(brightness, Qt::Key_Right);
        EXPECT_EQ(op->Params().Brightness, 2);
        EXPECT_EQ(Item<CIntEdit>(w, 1159)->text(), "2");
        QTest::keyClick(brightness, Qt::Key_PageDown);
        EXPECT_EQ(op->Params().Brightness, brightness->value());
        host.Snap(QStringLiteral("editor-color"));

        // The operation resets its shifts: the page follows when asked.
        COperColor other;
        other.Params() = {-30, 0, 5};
        op->CopyValues(other);
        EXPECT_EQ(Item<CIntEdit>(w, 1159)->text(), "-30");
        EXPECT_EQ(Item<QSlider>(w, 1158)->value(), 5);
    }
    {
        testjpeg::TempDir dir;
        CPixmendApp app;
        ASSERT_EQ(app.m_image.Load(QString::fromStdString(WriteJpeg(dir, 40, 24, true)), 0), 1);
        CHost host;
        QWidget* w = host.Show(*op, 1);
        for (const auto& row : kColorRowIds)
            for (int id : row)
                EXPECT_FALSE(GetDlgItem(w, id)->isEnabled()) << id;
        for (int id : {1156, 1159, 1162})
            EXPECT_TRUE(GetDlgItem(w, id)->isEnabled()) << id;
        host.Snap(QStringLiteral("editor-color-macro"));
        // Gone with the operation while shown: the page lets go of the block first.
        op.reset();
    }
}

TEST_F(EditorsTest, ReconstructUpAtTheTopStaysAtTheTop)
{
    auto op = std::make_unique<COperReconstruct>();
    for (int batch : {0, 1}) {
        CHost host;
        QWidget* w = host.Show(*op, batch);
        auto* edit = Item<CIntEdit>(w, 1156);
        EXPECT_EQ(edit->text(), batch ? "100" : "1");
        TypeInto(edit, QStringLiteral("100"));
        ClickUp(w, 1157);
        EXPECT_EQ(edit->text(), "100");
        EXPECT_EQ(Param(*op, "NumOfPasses"), "100");
        EXPECT_TRUE(Item<QLabel>(w, 1158)->text().startsWith("Reconstruction is more accurate"));
        host.Snap(batch ? QStringLiteral("editor-reconstruct-macro") : QStringLiteral("editor-reconstruct"));
    }
    CHost host;
    QWidget* w = host.Show(*op, 0);
    TypeInto(Item<CIntEdit>(w, 1156), QStringLiteral("0"), true);
    EXPECT_EQ(Param(*op, "NumOfPasses"), "1");
    auto* spin = Item<CSpinButton>(w, 1157);
    QTest::mouseClick(spin->DownButton(), Qt::LeftButton);
    EXPECT_EQ(Param(*op, "NumOfPasses"), "1");
}

// Every row: typing clamps into the trackbar's range, keys and the up arrow
// store at once (the slider never shows what is not stored).
TEST_F(EditorsTest, RedEyeRowsStoreEveryMove)
{
    struct Row {
        const char* key;
        int trackbar, edit, spin;
        const char* typed;
        int clamped;
    };
    const Row rows[] = {
        {"RedEyeRadius", 1126, 1127, 1128, "75", 50},
        {"RedEyeSensitivity", 1129, 1130, 1131, "0", 1},
        {"RedEyeDarkening", 1132, 1133, 1134, "21", 20},
    };
    auto op = std::make_unique<COperRedEye>();
    for (int batch : {0, 1}) {
        CHost host;
        QWidget* w = host.Show(*op, batch);
        for (const Row& row : rows) {
            SCOPED_TRACE(row.key);
            auto* slider = Item<QSlider>(w, row.trackbar);
            auto* edit = Item<CIntEdit>(w, row.edit);
            EXPECT_EQ(slider->value(), Param(*op, row.key).toInt());
            TypeInto(edit, QString::fromUtf8(row.typed), true);
            EXPECT_EQ(Param(*op, row.key).toInt(), row.clamped);
            EXPECT_EQ(slider->value(), row.clamped);
            TypeInto(edit, QStringLiteral("10"));
            slider->setFocus();
            QTest::keyClick(slider, Qt::Key_Left);
            EXPECT_EQ(Param(*op, row.key), "9");
            EXPECT_EQ(edit->text(), "9");
            ClickUp(w, row.spin);
            EXPECT_EQ(Param(*op, row.key), "10");
            EXPECT_EQ(slider->value(), 10);
        }
        host.Snap(batch ? QStringLiteral("editor-redeye-macro") : QStringLiteral("editor-redeye"));
    }
}

TEST_F(EditorsTest, ResizeKeepsTheLockedAspectWithoutOverflow)
{
    auto op = std::make_unique<COperResize>();
    op->Params().PixelsWidth = 1600;
    op->Params().PixelsHeight = 1200;
    CHost host;
    QWidget* w = host.Show(*op, 0);
    auto* width = Item<CIntEdit>(w, 1137);
    auto* height = Item<CIntEdit>(w, 1138);
    auto* lock = Item<QCheckBox>(w, 1149);
    EXPECT_EQ(lock->text(), "Lock Aspect (1600:1200)");
    EXPECT_TRUE(lock->isChecked());

    TypeInto(width, QStringLiteral("800"));
    EXPECT_EQ(Param(*op, "PixelsHeight"), "600");
    EXPECT_EQ(height->text(), "600");
    TypeInto(height, QStringLiteral("1000"));
    EXPECT_EQ(Param(*op, "PixelsWidth"), "1333");
    EXPECT_EQ(width->text(), "1333");
    // 2,000,000 x 1200 does not fit 32 bits.
    TypeInto(width, QStringLiteral("2000000"));
    EXPECT_EQ(Param(*op, "PixelsHeight"), "1500000");
    EXPECT_EQ(height->text(), "1500000");
    EXPECT_EQ(lock->text(), "Lock Aspect (1600:1200)");

    // Unlocked, the label follows the sizes typed.
    QTest::mouseClick(lock, Qt::LeftButton, {}, QPoint(5, lock->height() / 2));
    EXPECT_EQ(Param(*op, "LockAspect"), "0");
    TypeInto(width, QStringLiteral("800"));
    TypeInto(height, QStringLiteral("600"));
    EXPECT_EQ(lock->text(), "Lock Aspect (800:600)");
    EXPECT_EQ(Param(*op, "PixelsWidth"), "800");
    EXPECT_EQ(Param(*op, "PixelsHeight"), "600");
    host.Snap(QStringLiteral("editor-resize"));

    // Locked at 1000:1 a width of 5 gives a height of 0, stored as shown: 1.
    TypeInto(width, QStringLiteral("1000"));
    TypeInto(height, QStringLiteral("1"));
    QTest::mouseClick(lock, Qt::LeftButton, {}, QPoint(5, lock->height() / 2));
    EXPECT_EQ(lock->text(), "Lock Aspect (1000:1)");
    TypeInto(width, QStringLiteral("5"));
    EXPECT_EQ(Param(*op, "PixelsHeight"), "1");
    EXPECT_EQ(height->text(), "1");
}

TEST_F(EditorsTest, ResizeLockedAtAZeroSideLeavesTheOtherSize)
{
    auto op = std::make_unique<COperResize>();
    op->Params().PixelsWidth = 0;
    op->Params().PixelsHeight = 600;
    CHost host;
    QWidget* w = host.Show(*op, 1);
    EXPECT_EQ(Item<QCheckBox>(w, 1149)->text(), "Lock Aspect (0:600)");
    TypeInto(Item<CIntEdit>(w, 1137), QStringLiteral("800"));
    EXPECT_EQ(Param(*op, "PixelsWidth"), "800");
    EXPECT_EQ(Param(*op, "PixelsHeight"), "600");
    TypeInto(Item<CIntEdit>(w, 1138), QStringLiteral("300"));
    EXPECT_EQ(Param(*op, "PixelsWidth"), "1");
    EXPECT_EQ(Item<CIntEdit>(w, 1137)->text(), "1");
    host.Snap(QStringLiteral("editor-resize-macro"));
}

TEST_F(EditorsTest, ResizeUnitsShowOneGroupAndPickTakesTheOpenImage)
{
    const int pixelIds[] = {1191, 1137, 1145, 1192, 1193, 1138, 1034, 1194, 1075, 1149, 1142, 1144, 1143};
    const int percentIds[] = {1088, 1146, 1147, 1095};
    auto op = std::make_unique<COperResize>();
    op->Params().Units = 0;
    testjpeg::TempDir dir;
    CPixmendApp app;
    CHost host;
    QWidget* w = host.Show(*op, 0);
    auto showsPercent = [&](bool percent) {
        for (int id : pixelIds)
            EXPECT_EQ(GetDlgItem(w, id)->isVisible(), !percent) << id;
        for (int id : percentIds)
            EXPECT_EQ(GetDlgItem(w, id)->isVisible(), percent) << id;
    };
    showsPercent(true);
    EXPECT_FALSE(GetDlgItem(w, 1075)->isEnabled()); // no image open
    auto* units = Item<QComboBox>(w, 1139);
    units->setFocus();
    QTest::keyClick(units, Qt::Key_Down);
    EXPECT_EQ(Param(*op, "Units"), "1");
    showsPercent(false);
    QTest::keyClick(units, Qt::Key_Up);
    EXPECT_EQ(Param(*op, "Units"), "0");
    showsPercent(true);
    TypeInto(Item<CIntEdit>(w, 1146), QStringLiteral("55"));
    EXPECT_EQ(Param(*op, "Percent"), "55");

    ASSERT_EQ(app.m_image.Load(QString::fromStdString(WriteJpeg(dir, 72, 40, false)), 0), 1);
    op->Params().Units = 1;
    host.Show(*op, 0);
    showsPercent(false);
    ASSERT_TRUE(GetDlgItem(w, 1075)->isEnabled());
    QTest::mouseClick(Item<QPushButton>(w, 1075), Qt::LeftButton);
    EXPECT_EQ(Param(*op, "PixelsWidth"), "72");
    EXPECT_EQ(Param(*op, "PixelsHeight"), "40");
    EXPECT_EQ(Item<QCheckBox>(w, 1149)->text(), "Lock Aspect (72:40)");
    TypeInto(Item<CIntEdit>(w, 1137), QStringLiteral("36"));
    EXPECT_EQ(Param(*op, "PixelsHeight"), "20");
    for (auto [id, key] : {std::pair{1142, "AutoSwap"}, std::pair{1144, "DontEnlarge"}, std::pair{1143, "KeepProportions"}}) {
        auto* check = Item<QCheckBox>(w, id);
        QTest::mouseClick(check, Qt::LeftButton, {}, QPoint(5, check->height() / 2));
        EXPECT_EQ(Param(*op, key), "0") << key;
    }
}

TEST_F(EditorsTest, RotateDirectionOnlyInMacroContextAndLosslessStates)
{
    const int radios[] = {1004, 1005, 1006, 1007, 1009, 1010, 1011};
    auto op = std::make_unique<COperRotate>();
    op->Params().Automatic = 1;
    op->Params().Rotate = 1;
    op->Params().Lossless = 0;
    op->Params().PartialMode = 2;
    {
        CHost host;
        QWidget* w = host.Show(*op, 0);
        EXPECT_FALSE(GetDlgItem(w, 1016)->isEnabled());
        EXPECT_FALSE(Item<QCheckBox>(w, 1016)->isChecked());
        for (int id : radios) {
            EXPECT_FALSE(GetDlgItem(w, id)->isEnabled()) << id;
            EXPECT_FALSE(Item<QRadioButton>(w, id)->isChecked()) << id;
        }
        // Lossless off: no partial mode shown, no colour.
        EXPECT_EQ(Item<QComboBox>(w, 1094)->currentIndex(), -1);
        EXPECT_FALSE(GetDlgItem(w, 1094)->isEnabled());
        EXPECT_FALSE(GetDlgItem(w, 1155)->isEnabled());
        host.Snap(QStringLiteral("editor-rotate"));
    }
    CHost host;
    QWidget* w = host.Show(*op, 1);
    auto* automatic = Item<QCheckBox>(w, 1016);
    EXPECT_TRUE(automatic->isEnabled());
    EXPECT_TRUE(automatic->isChecked());
    for (int id : radios) {
        EXPECT_FALSE(GetDlgItem(w, id)->isEnabled()) << id;
        EXPECT_FALSE(Item<QRadioButton>(w, id)->isChecked()) << id;
    }
    QTest::mouseClick(automatic, Qt::LeftButton, {}, QPoint(5, automatic->height() / 2));
    EXPECT_EQ(Param(*op, "Automatic"), "0");
    EXPECT_TRUE(Item<QRadioButton>(w, 1005)->isChecked());
    auto* r270 = Item<QRadioButton>(w, 1007);
    QTest::mouseClick(r270, Qt::LeftButton, {}, QPoint(5, r270->height() / 2));
    EXPECT_EQ(Param(*op, "Rotate"), "3");
    EXPECT_TRUE(r270->isChecked());
    EXPECT_FALSE(Item<QRadioButton>(w, 1005)->isChecked());
    // A second click keeps it checked, as a radio button does.
    QTest::mouseClick(r270, Qt::LeftButton, {}, QPoint(5, r270->height() / 2));
    EXPECT_TRUE(r270->isChecked());
    auto* vertical = Item<QRadioButton>(w, 1011);
    QTest::mouseClick(vertical, Qt::LeftButton, {}, QPoint(5, vertical->height() / 2));
    EXPECT_EQ(Param(*op, "Flip"), "2");
    EXPECT_TRUE(Item<QRadioButton>(w, 1009)->isEnabled());
    EXPECT_FALSE(Item<QRadioButton>(w, 1009)->isChecked());

    auto* lossless = Item<QCheckBox>(w, 1154);
    QTest::mouseClick(lossless, Qt::LeftButton, {}, QPoint(5, lossless->height() / 2));
    EXPECT_EQ(Param(*op, "Lossless"), "1");
    auto* partial = Item<QComboBox>(w, 1094);
    EXPECT_EQ(partial->currentIndex(), 2);
    auto* color = Item<CCButton>(w, 1155);
    EXPECT_TRUE(color->isEnabled());
    partial->setFocus();
    QTest::keyClick(partial, Qt::Key_Up);
    EXPECT_EQ(Param(*op, "PartialMode"), "1");
    EXPECT_FALSE(color->isEnabled());
    QTest::keyClick(partial, Qt::Key_Down);
    EXPECT_EQ(Param(*op, "PartialMode"), "2");
    EXPECT_TRUE(color->isEnabled());

    bool answered = false;
    WhenModal<QColorDialog>([&](QColorDialog* dialog) {
        dialog->setCurrentColor(Qt::red);
        answered = true;
        dialog->accept();
    });
    QTest::mouseClick(color, Qt::LeftButton);
    EXPECT_TRUE(answered);
    EXPECT_EQ(Param(*op, "PaddingColor"), "255"); // COLORREF red
    EXPECT_EQ(color->GetColor(), 0x0000FFu);
    host.Snap(QStringLiteral("editor-rotate-macro"));

    // A mode the list lacks (from a macro text) shows nothing and stays.
    op->Params().PartialMode = 7;
    host.Show(*op, 1);
    EXPECT_EQ(partial->currentIndex(), -1);
    EXPECT_EQ(Param(*op, "PartialMode"), "7");
    EXPECT_FALSE(color->isEnabled());
}

TEST_F(EditorsTest, EmailBodyBreaksLinesWithCrLfAndRoundTripsUntouched)
{
    auto op = MakeEmail();
    const QString body = op->Params().MsgBody;
    ASSERT_TRUE(body.contains("\r\n"));
    {
        CHost host;
        QWidget* w = host.Show(*op, 0);
        EXPECT_EQ(Item<QLineEdit>(w, 1139)->text(), "Photos");
        EXPECT_EQ(Item<QPlainTextEdit>(w, 1140)->toPlainText(), QString(body).replace("\r\n", "\n"));
        TypeInto(Item<QLineEdit>(w, 1138), QStringLiteral("a@example.org, b@example.org"));
        host.Snap(QStringLiteral("editor-email"));
    }
    EXPECT_EQ(op->Params().MsgBody, body);
    EXPECT_EQ(Param(*op, "Recipients"), "a@example.org, b@example.org");

    CHost host;
    QWidget* w = host.Show(*op, 1);
    auto* text = Item<QPlainTextEdit>(w, 1140);
    text->setFocus();
    QTest::keyClick(text, Qt::Key_End, Qt::ControlModifier);
    QTest::keyClick(text, Qt::Key_Return);
    QTest::keyClicks(text, "Bye");
    EXPECT_EQ(Param(*op, "MsgBody"), body + "\r\nBye");
    EXPECT_TRUE(text->hasFocus()); // Enter broke the line, nothing else
    TypeInto(Item<QLineEdit>(w, 1139), QStringLiteral("Holiday, 2026"));
    EXPECT_EQ(Param(*op, "Subject"), "Holiday, 2026");
    host.Snap(QStringLiteral("editor-email-macro"));
}
