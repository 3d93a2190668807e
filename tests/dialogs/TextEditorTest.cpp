// The text editor (three tabs over the text settings) and the insert-text
// dialog, driven with real key and mouse events on the real library.
#include "DlgOperText.h"
#include "EditorTestKit.h"
#include "InsertTextDlg.h"
#include "IntEdit.h"
#include "OperText.h"
#include "OperationPages.h"
#include "PixmendApp.h"
#include "Soon.h"
#include "SpinButton.h"
#include "TestJpeg.h"
#include "WidgetKeys.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QSlider>
#include <QTabBar>
#include <QToolButton>

#include <cstdio>
#include <memory>

using namespace edtest;

using testwin::ExifTool;
using testwin::PickByKeys;

namespace {

class TextEditorTest : public ::testing::Test {
protected:
    void SetUp() override { RegisterOperationPages(); }
};

void RightClick(QPlainTextEdit* edit)
{
    QTest::mousePress(edit->viewport(), Qt::RightButton, {}, QPoint(5, 5));
    QTest::mouseRelease(edit->viewport(), Qt::RightButton, {}, QPoint(5, 5));
}

CDlgOperText* Editor(COperation& op)
{
    return dynamic_cast<CDlgOperText*>(op.GetExistingPage());
}

} // namespace

TEST_F(TextEditorTest, ExifFieldsTemplateQuickInsertAndOutput)
{
    CPixmendApp app;
    const auto corpus = testjpeg::CorpusFile("gox_iphone4s_orient6.jpg");
    const bool haveImage = !corpus.empty() && app.m_image.Load(QString::fromStdString(corpus.string()), 0) == 1;
    COperText op(app.GetLocaleManager());
    TextSettings& s = op.Settings();
    s.Exif.Use = 1;
    s.Exif.Manual = 0;
    s.DateFormat = QStringLiteral("yyyy:MM:dd");
    s.TimeFormat = QStringLiteral("HH:mm:ss");
    CHost host;
    host.Show(op, 0);
    CDlgOperText* dlg = Editor(op);
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(dlg->GetTab().GetTitles(), QStringList({"EXIF", "Custom Text", "Format"}));
    EXPECT_EQ(dlg->GetTab().GetCurSel(), 0);
    QWidget* w = dlg->GetExifPage().GetSafeHwnd();

    // Fields chosen by keyboard build the template.
    const struct {
        int picks[3];
        const char* templ;
    } kFields[] = {{{1, 0, 8}, "%d %i"}, {{0, 0, 8}, "%i"}, {{3, 9, 0}, "%d %t %M %m"}};
    const int fieldIds[3] = {1010, 1011, 1027};
    for (const auto& row : kFields) {
        for (int i = 0; i < 3; ++i)
            PickByKeys(Item<QComboBox>(w, fieldIds[i]), row.picks[i]);
        EXPECT_EQ(s.Exif.Template, QString::fromUtf8(row.templ));
        EXPECT_EQ(Item<QPlainTextEdit>(w, 1026)->toPlainText(), QString::fromUtf8(row.templ));
    }
    EXPECT_EQ(s.Exif.Name1, "Date + Time");
    EXPECT_EQ(s.Exif.Name2, "Device Name");
    EXPECT_EQ(s.Exif.Name3, "");

    // Read-only: a right-click opens nothing.
    auto* edit = Item<QPlainTextEdit>(w, 1026);
    EXPECT_TRUE(edit->isReadOnly());
    RightClick(edit);
    EXPECT_EQ(dlg->GetExifPage().GetQuickMenu(), nullptr);

    // "Edit": the fields go, the template is typed and the result follows it.
    QTest::mouseClick(Item<QCheckBox>(w, 1036), Qt::LeftButton);
    EXPECT_EQ(s.Exif.Manual, 1);
    for (int id : fieldIds)
        EXPECT_FALSE(GetDlgItem(w, id)->isEnabled());
    EXPECT_FALSE(edit->isReadOnly());
    edit->setFocus();
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    EXPECT_EQ(s.Exif.Template, "");
    QTest::keyClicks(edit, "%d %t");
    EXPECT_EQ(s.Exif.Template, "%d %t");
    auto* output = Item<QLabel>(w, 1025);
    if (haveImage) {
        const QString when = ExifTool("DateTimeOriginal", corpus.string());
        if (!when.isEmpty()) {
            EXPECT_EQ(output->text(), when);
        }
    }
    edit->selectAll();
    QTest::keyClicks(edit, "%i");
    if (haveImage) {
        const QString iso = ExifTool("ISO", corpus.string());
        if (!iso.isEmpty()) {
            EXPECT_TRUE(output->text().endsWith(iso)) << output->text().toStdString(); // "ISO50"
        }
    }

    // Quick insert into an empty template.
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    RightClick(edit);
    QMenu* menu = dlg->GetExifPage().GetQuickMenu();
    ASSERT_NE(menu, nullptr);
    EXPECT_SOON(menu->isVisible());
    QAction* gps = nullptr;
    for (QAction* action : menu->actions()) {
        if (action->text().startsWith("GPS Latitude"))
            gps = action;
    }
    ASSERT_NE(gps, nullptr);
    EXPECT_EQ(menu->actions().size(), 22);
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(gps).center());
    EXPECT_EQ(s.Exif.Template, " %GLt");
    EXPECT_EQ(edit->textCursor().position(), 5);

    // Two lines are stored with CR LF.
    QTest::keyClick(edit, Qt::Key_Return);
    QTest::keyClicks(edit, "b");
    EXPECT_EQ(s.Exif.Template, " %GLt\r\nb");

    // The opacity trackbar counts arrow keys.
    auto* opacity = Item<QSlider>(w, 1034);
    const int before = s.Exif.Opacity;
    opacity->setFocus();
    QTest::keyClick(opacity, before < 100 ? Qt::Key_Right : Qt::Key_Left);
    EXPECT_EQ(s.Exif.Opacity, before < 100 ? before + 1 : before - 1);

    host.Snap(QStringLiteral("editor-text-exif"));

    // The tab left last is kept.
    dlg->GetTab().GetTabBar()->setCurrentIndex(2);
    EXPECT_EQ(dlg->GetTab().GetCurrentIndex(), 2);
    host.sheet.SetActivePage(0);
    EXPECT_EQ(s.CurTab, 2);
}

TEST_F(TextEditorTest, CustomSwitchBlanksAndKeepsValuesAndTemplateRoundTrips)
{
    CPixmendApp app;
    COperText op(app.GetLocaleManager());
    TextSettings& s = op.Settings();
    s.Custom.Use = 1;
    s.Custom.FontSize = 40;
    s.Custom.Margin = 7;
    s.Custom.Effect = 2;
    s.Custom.EffWidth = 2;
    s.Custom.Template = QStringLiteral("one\ntwo"); // untouched, it stays as stored
    s.CurTab = 1;
    CHost host;
    host.Show(op, 0);
    CDlgOperText* dlg = Editor(op);
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(dlg->GetTab().GetCurSel(), 1);
    QWidget* w = dlg->GetCustomPage().GetSafeHwnd();
    EXPECT_EQ(Item<CIntEdit>(w, 1044)->text(), "40");
    EXPECT_TRUE(Item<CIntEdit>(w, 1070)->isVisible());
    EXPECT_TRUE(GetDlgItem(w, 1024)->isEnabled()); // shadow colour of the outline
    EXPECT_EQ(s.Custom.Template, "one\ntwo");

    // Spin up: the size grows by one.
    QTest::mouseClick(Item<CSpinButton>(w, 1045)->UpButton(), Qt::LeftButton);
    EXPECT_EQ(s.Custom.FontSize, 41);

    QTest::keyClick(Item<QCheckBox>(w, 1018), Qt::Key_Space);
    EXPECT_EQ(s.Custom.Use, 0);
    for (int id : {1017, 1042, 1044, 1019, 1020, 1023, 1021, 1024, 1054, 1048, 1053, 1056, 1061, 1065, 1068, 1108})
        EXPECT_FALSE(GetDlgItem(w, id)->isEnabled()) << id;
    EXPECT_EQ(Item<CIntEdit>(w, 1044)->text(), "");
    EXPECT_EQ(Item<QPlainTextEdit>(w, 1017)->toPlainText(), "");
    EXPECT_EQ(Item<QComboBox>(w, 1108)->currentIndex(), -1);
    EXPECT_FALSE(Item<CIntEdit>(w, 1070)->isVisible());
    EXPECT_EQ(s.Custom.FontSize, 41);
    EXPECT_EQ(s.Custom.Margin, 7);
    EXPECT_EQ(s.Custom.Template, "one\ntwo");

    QTest::keyClick(Item<QCheckBox>(w, 1018), Qt::Key_Space);
    EXPECT_EQ(Item<QPlainTextEdit>(w, 1017)->toPlainText(), "one\ntwo");
    // Engrave: no text colour, no shadow colour.
    PickByKeys(Item<QComboBox>(w, 1108), 4);
    EXPECT_EQ(s.Custom.Effect, 4);
    EXPECT_FALSE(GetDlgItem(w, 1021)->isEnabled());
    EXPECT_FALSE(GetDlgItem(w, 1024)->isEnabled());
    host.Snap(QStringLiteral("editor-text-custom"));

    // Released, the pages write nowhere.
    op.GetExistingPage()->ReleaseParams();
    QTest::keyClick(Item<QCheckBox>(w, 1018), Qt::Key_Space);
    EXPECT_EQ(s.Custom.Use, 1);
}

TEST_F(TextEditorTest, FormatPageLanguagesAndPictures)
{
    CPixmendApp app;
    COperText op(app.GetLocaleManager());
    TextSettings& s = op.Settings();
    s.LocaleEX = 0x0409;
    s.DateFormat = QStringLiteral("yyyy-MM-dd");
    s.UseFileTime = 1;
    s.CurTab = 2;
    CHost host;
    host.Show(op, 0);
    CDlgOperText* dlg = Editor(op);
    ASSERT_NE(dlg, nullptr);
    QWidget* w = dlg->GetFormatPage().GetSafeHwnd();
    auto* language = Item<QComboBox>(w, 1051);
    ASSERT_GT(language->count(), 1);
    EXPECT_TRUE(language->itemText(0).startsWith("::: "));
    EXPECT_EQ(language->currentData().toUInt(), 0x0409u);
    EXPECT_TRUE(language->itemText(language->count() - 1).endsWith("]"));
    EXPECT_EQ(Item<QComboBox>(w, 1054)->count(), language->count());

    CFormatCombo* date = dlg->GetFormatPage().GetDateCombo();
    EXPECT_EQ(date->lineEdit()->text(), "yyyy-MM-dd");
    ASSERT_GT(date->count(), 0);
    // Choosing a picture stores its value and the edit shows it.
    date->setFocus();
    QTest::keyClick(date, Qt::Key_Down);
    EXPECT_EQ(s.DateFormat, date->GetLBText(date->currentIndex()));
    EXPECT_EQ(date->lineEdit()->text(), s.DateFormat);
    // Typing stores the text.
    TypeInto(date->lineEdit(), QStringLiteral("dd.MM"));
    EXPECT_EQ(s.DateFormat, "dd.MM");
    // Closing the list puts the stored picture back into the edit.
    date->showPopup();
    date->setCurrentIndex(0);
    date->hidePopup();
    EXPECT_EQ(date->lineEdit()->text(), "dd.MM");
    EXPECT_EQ(s.DateFormat, "dd.MM");

    QTest::keyClick(Item<QCheckBox>(w, 1084), Qt::Key_Space);
    EXPECT_EQ(s.UseFileTime, 0);
    QTest::keyClick(Item<QCheckBox>(w, 1171), Qt::Key_Space);
    EXPECT_EQ(s.FractionsOfSeconds, 1);
    auto* scale = dlg->GetSafeHwnd()->findChild<QCheckBox*>("1050", Qt::FindDirectChildrenOnly);
    ASSERT_NE(scale, nullptr);
    QTest::keyClick(scale, Qt::Key_Space);
    EXPECT_EQ(s.ScaleSizes, 0);
}

namespace {

// Owns the editor page as the text mode does: added to the dialog's sheet
// when shown, taken out when the dialog goes.
class CController : public CInsertTextDlg::IController {
public:
    explicit CController(COperText& op) : m_op(op) {}
    void OnDialogShown(CInsertTextDlg* dialog) override
    {
        ++shown;
        m_op.AddPage(&dialog->GetSheet(), 0);
    }
    void OnDialogHidden() override {}
    void OnDialogDestroyed(CInsertTextDlg* dialog) override
    {
        ++destroyed;
        m_op.RemovePage(&dialog->GetSheet());
    }
    int shown = 0;
    int destroyed = 0;

private:
    COperText& m_op;
};

} // namespace

TEST_F(TextEditorTest, InsertTextDialogOpensThreeTimesWithCurrentValues)
{
    CPixmendApp app;
    COperText op(app.GetLocaleManager());
    CController controller(op);
    const struct {
        int fontSize;
        bool ok;
        int tab;
        const char* shot;
    } kOpenings[] = {{40, true, 0, "insert-text-exif"}, {50, false, 1, "insert-text-custom"}, {60, true, 2, "insert-text-format"}};
    for (const auto& opening : kOpenings) {
        op.Settings().Exif.FontSize = opening.fontSize;
        op.Settings().CurTab = opening.tab;
        CInsertTextDlgWrapper wrapper(&controller);
        QString shownSize;
        QString caption;
        int curSel = -1;
        WhenModal<CInsertTextDlgWrapper>([&](CInsertTextDlgWrapper* dialog) {
            caption = dialog->windowTitle();
            CDlgOperText* dlg = Editor(op);
            if (dlg) {
                shownSize = GetWindowTextString(GetDlgItem(dlg->GetExifPage().GetSafeHwnd(), 1032));
                curSel = dlg->GetTab().GetCurSel();
            }
            QApplication::processEvents();
            QDir().mkpath(QStringLiteral(PIXMEND_ARTIFACTS_DIR));
            dialog->grab().save(QStringLiteral(PIXMEND_ARTIFACTS_DIR "/") + opening.shot + QStringLiteral(".png"));
            QTest::mouseClick(GetDlgItem(dialog, opening.ok ? 1 : 2), Qt::LeftButton);
        });
        EXPECT_EQ(wrapper.DoModal(), opening.ok ? 1 : 2);
        EXPECT_EQ(caption, " Insert Text");
        EXPECT_EQ(shownSize, QString::number(opening.fontSize));
        EXPECT_EQ(curSel, opening.tab);
    }
    EXPECT_EQ(controller.shown, 3);
    EXPECT_EQ(controller.destroyed, 3);
}
