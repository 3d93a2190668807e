// The crop editor's two pages and the crop-preset editor, driven with real
// key and mouse events; "Edit..." runs the real preset editor through the
// engine's hook, and "Defaults" is answered through the message boxes.
#include "CropPresets.h"
#include "CustCropPresetsDlg.h"
#include "DlgOperCrop.h"
#include "EditorTestKit.h"
#include "IntEdit.h"
#include "MessageBoxes.h"
#include "OperCrop.h"
#include "OperationPages.h"
#include "Profile.h"
#include "TestJpeg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSettings>
#include <QTabBar>

#include <clocale>
#include <memory>

using namespace edtest;

namespace {

class CAnswers : public IMessageBoxes {
public:
    void ShowMessage(const QString&) override {}
    bool AskQuestion(const QString& text) override
    {
        questions << text;
        return yes;
    }
    SaveErrorChoice AskSaveError(const QString&, const QString&) override { return SaveErrorChoice::Skip; }
    bool ReportProgress(int) override { return true; }
    bool yes = false;
    QStringList questions;
};

class CropEditorTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        RegisterOperationPages();
        m_saved = theCropPresets.ToString();
        theCropPresets.FromString(GetDefaultCropPresetsText());
        m_previous = SetMessageBoxes(&answers);
    }
    void TearDown() override
    {
        SetMessageBoxes(m_previous);
        theCropPresets.FromString(m_saved);
    }
    CAnswers answers;

private:
    QString m_saved;
    IMessageBoxes* m_previous = nullptr;
};

void Click(QAbstractButton* button)
{
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(5, button->height() / 2));
}

// The general and preview page windows of a shown crop editor.
QWidget* General(COperation& op)
{
    return dynamic_cast<CDlgOperCrop*>(op.GetExistingPage())->GetGeneralPage().GetSafeHwnd();
}
QWidget* Preview(COperation& op)
{
    return dynamic_cast<CDlgOperCrop*>(op.GetExistingPage())->GetPreviewPage().GetSafeHwnd();
}

void SelectRow(QListWidget* list, int row)
{
    QListWidgetItem* item = list->item(row);
    ASSERT_NE(item, nullptr);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(item).center());
}

} // namespace

TEST_F(CropEditorTest, FreeCropAndPresetStates)
{
    auto op = std::make_unique<COperCrop>();
    CHost host;
    QWidget* page = host.Show(*op, 0);
    ASSERT_NE(page, nullptr);
    QWidget* w = General(*op);
    auto* preset = Item<QComboBox>(w, 1097);
    auto* flip = Item<QCheckBox>(w, 1009);
    auto* autoFlip = Item<QCheckBox>(w, 1006);
    auto* align = Item<QCheckBox>(w, 1008);
    EXPECT_EQ(preset->count(), 21);
    EXPECT_EQ(preset->itemText(0), ":: Free crop ::");
    EXPECT_EQ(preset->currentIndex(), 0);
    EXPECT_FALSE(flip->isEnabled());
    EXPECT_FALSE(flip->isChecked());
    EXPECT_TRUE(align->isEnabled());
    Click(align);
    EXPECT_EQ(Param(*op, "AlignSelectionByBlockSE"), "1");

    preset->setFocus();
    QTest::keyClick(preset, Qt::Key_Down);
    EXPECT_EQ(Param(*op, "CropPreset"), theCropPresets.GetPresetText(1));
    // Auto flip is on by default: "Flip Aspect" stays disabled.
    EXPECT_FALSE(flip->isEnabled());
    EXPECT_FALSE(align->isEnabled());
    EXPECT_FALSE(align->isChecked());
    Click(autoFlip);
    EXPECT_EQ(Param(*op, "AutoFlipAspect"), "0");
    EXPECT_TRUE(flip->isEnabled());
    Click(flip);
    EXPECT_EQ(Param(*op, "FlipAspect"), "1");
    Click(autoFlip);
    EXPECT_FALSE(flip->isEnabled());
    EXPECT_FALSE(flip->isChecked());
    EXPECT_EQ(Param(*op, "FlipAspect"), "1");
    QTest::keyClick(preset, Qt::Key_Home);
    EXPECT_EQ(Param(*op, "CropPreset"), "");
    EXPECT_TRUE(align->isEnabled());
    EXPECT_TRUE(align->isChecked());

    auto* position = Item<QComboBox>(w, 1101);
    EXPECT_EQ(position->currentIndex(), 1);
    position->setFocus();
    QTest::keyClick(position, Qt::Key_Down);
    EXPECT_EQ(Param(*op, "Position"), "2");

    // Outward crop off: its controls go grey and the list shows nothing.
    Click(Item<QCheckBox>(w, 1007));
    EXPECT_EQ(Param(*op, "AllowOutwardSel"), "0");
    for (int id : {1092, 1093, 1094, 1095})
        EXPECT_FALSE(GetDlgItem(w, id)->isEnabled()) << id;
    EXPECT_EQ(Item<QComboBox>(w, 1094)->currentIndex(), -1);
    EXPECT_EQ(Param(*op, "PartialBlocksMode"), "2");
    Click(Item<QCheckBox>(w, 1007));
    EXPECT_EQ(Item<QComboBox>(w, 1094)->currentIndex(), 2);
    host.Snap(QStringLiteral("editor-crop-general"));
}

TEST_F(CropEditorTest, APresetMissingFromTheListIsAppendedWhenBound)
{
    auto op = std::make_unique<COperCrop>();
    op->Params().CropPreset = QStringLiteral("0;7.00;5.00;Odd_one;2");
    CHost host;
    host.Show(*op, 1);
    ASSERT_EQ(theCropPresets.GetRules().size(), 21u);
    EXPECT_EQ(theCropPresets.GetRules().back().name, "Odd one");
    auto* preset = Item<QComboBox>(General(*op), 1097);
    EXPECT_EQ(preset->currentIndex(), 21);
    EXPECT_EQ(preset->currentText(), "Odd one");
    // Shown again: not appended twice.
    host.Show(*op, 1);
    EXPECT_EQ(theCropPresets.GetRules().size(), 21u);
}

TEST_F(CropEditorTest, DeletingThePresetInUseThroughEditLeavesFreeCrop)
{
    auto op = std::make_unique<COperCrop>();
    op->Params().CropPreset = theCropPresets.GetPresetText(3);
    op->Params().AutoFlipAspect = 0;
    CHost host;
    host.Show(*op, 0);
    QWidget* w = General(*op);
    EXPECT_EQ(Item<QComboBox>(w, 1097)->currentIndex(), 3);
    EXPECT_TRUE(GetDlgItem(w, 1009)->isEnabled());
    bool answered = false;
    WhenModal<CCustCropPresetsDlg>([&](CCustCropPresetsDlg* dialog) {
        auto* list = Item<QListWidget>(dialog, 1063);
        SelectRow(list, 2);
        EXPECT_EQ(Item<QLineEdit>(dialog, 1064)->text(), "4\"x6\"");
        Click(Item<QPushButton>(dialog, 1071));
        EXPECT_EQ(list->count(), 19);
        answered = true;
        Click(Item<QPushButton>(dialog, CCustCropPresetsDlg::IDOK));
    });
    Click(Item<QPushButton>(w, 1125));
    EXPECT_TRUE(answered);
    EXPECT_EQ(Param(*op, "CropPreset"), "");
    EXPECT_EQ(theCropPresets.GetRules().size(), 19u);
    EXPECT_EQ(theCropPresets.GetAccepted(), 1);
    auto* preset = Item<QComboBox>(w, 1097);
    EXPECT_EQ(preset->count(), 20);
    EXPECT_EQ(preset->currentIndex(), 0);
    EXPECT_FALSE(GetDlgItem(w, 1009)->isEnabled());
    EXPECT_TRUE(GetDlgItem(w, 1008)->isEnabled());
}

TEST_F(CropEditorTest, PrintQualityHintsBoundEachOther)
{
    auto op = std::make_unique<COperCrop>();
    op->Params().ImgLowQuality = 100;
    op->Params().ImgMediumQuality = 200;
    op->Params().CurTab = 1;
    CHost host;
    host.Show(*op, 0);
    auto* crop = dynamic_cast<CDlgOperCrop*>(op->GetExistingPage());
    EXPECT_EQ(crop->GetTab().GetTitles(), QStringList({"General", "Preview"}));
    EXPECT_EQ(crop->GetTab().GetCurSel(), 1);
    QWidget* w = Preview(*op);
    ASSERT_TRUE(w->isVisible());
    auto* low = Item<CIntEdit>(w, 1151);
    TypeInto(low, QStringLiteral("300"));
    EXPECT_EQ(Param(*op, "ImgLowQuality"), "200");
    QTest::keyClick(low, Qt::Key_Tab);
    EXPECT_EQ(low->text(), "200");
    auto* medium = Item<CIntEdit>(w, 1153);
    TypeInto(medium, QStringLiteral("150"), true);
    EXPECT_EQ(Param(*op, "ImgMediumQuality"), "200");
    TypeInto(medium, QStringLiteral("20000"), true);
    EXPECT_EQ(Param(*op, "ImgMediumQuality"), "10000");
    QTest::mouseClick(Item<QWidget>(w, 1152)->findChild<QWidget*>("Up"), Qt::LeftButton);
    EXPECT_EQ(Param(*op, "ImgLowQuality"), "201");
    for (auto [id, key] : {std::pair{1001, "RunningAnts"}, std::pair{1002, "AutoCancelSelection"},
                           std::pair{1003, "FadeOutsideArea"}}) {
        Click(Item<QCheckBox>(w, id));
        EXPECT_EQ(Param(*op, key), "0") << key;
    }
    host.Snap(QStringLiteral("editor-crop-preview"));

    // Leaving the editor keeps its tab.
    QTest::mouseClick(crop->GetTab().GetTabBar(), Qt::LeftButton, {},
                      crop->GetTab().GetTabBar()->tabRect(0).center());
    ASSERT_TRUE(host.sheet.SetActivePage(&host.empty));
    EXPECT_EQ(Param(*op, "CurTab"), "0");
}

TEST_F(CropEditorTest, MacroContextHasOneTabAndOpensGeneral)
{
    auto op = std::make_unique<COperCrop>();
    op->Params().CurTab = 1;
    for (int round = 0; round < 2; ++round) {
        CHost host;
        host.Show(*op, 1);
        auto* crop = dynamic_cast<CDlgOperCrop*>(op->GetExistingPage());
        EXPECT_EQ(crop->GetTab().GetTitles(), QStringList({"General"}));
        EXPECT_EQ(crop->GetTab().GetTabBar()->count(), 1);
        EXPECT_EQ(crop->GetTab().GetCurSel(), 0);
        EXPECT_TRUE(General(*op)->isVisible());
        // Shown again in the same window: removed once, still one tab.
        host.Show(*op, 1);
        EXPECT_EQ(crop->GetTab().GetItemCount(), 1);
        host.Snap(QStringLiteral("editor-crop-macro"));
    }
}

TEST_F(CropEditorTest, PresetEditorShowsAndCorrectsSizes)
{
    // A user locale with a decimal comma changes nothing.
    const QLocale oldLocale;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
    std::vector<CropRule> rules(1);
    rules[0].kind = CropRule::kFixedAspect;
    rules[0].name = QStringLiteral("4:3 (Monitor)");
    rules[0].width = 4;
    rules[0].height = 3;
    {
        CCustCropPresetsDlg dialog(&rules);
        dialog.show();
        auto* width = Item<QLineEdit>(&dialog, 1068);
        auto* height = Item<QLineEdit>(&dialog, 1069);
        auto* type = Item<QComboBox>(&dialog, 1065);
        EXPECT_EQ(width->text(), "4.00");
        EXPECT_EQ(height->text(), "3.00");
        EXPECT_EQ(Item<QLabel>(&dialog, 1066)->text(), "Aspect:");
        EXPECT_EQ(Item<QLabel>(&dialog, 1067)->text(), "Units:");
        EXPECT_TRUE(GetDlgItem(&dialog, 1139)->isVisible());
        type->setFocus();
        QTest::keyClick(type, Qt::Key_Down);
        EXPECT_EQ(rules[0].kind, CropRule::kFixedSize);
        EXPECT_EQ(width->text(), "4");
        EXPECT_EQ(height->text(), "3");
        EXPECT_EQ(Item<QLabel>(&dialog, 1066)->text(), "Size:");
        EXPECT_EQ(Item<QLabel>(&dialog, 1067)->text(), "pixels");
        EXPECT_FALSE(GetDlgItem(&dialog, 1139)->isVisible());
        QTest::keyClick(type, Qt::Key_Up);

        struct Typed {
            const char* text;
            double stored;
        };
        const Typed cases[] = {
            {"2.5", 2.5}, {"0", 1.0},     {"abc", 1.0},   {"7", 7.0},          {"nan", 7.0},
            {"inf", 7.0}, {"-3", 1.0},    {"1,5", 1.0},   {"70000", 65500.0},  {" 12.25x", 12.25},
            {"", 12.25},  {"1e2", 100.0}, {"1e999", 65500.0}, {"-1e999", 1.0},
        };
        for (const Typed& c : cases) {
            SCOPED_TRACE(c.text);
            TypeInto(width, QString::fromUtf8(c.text));
            EXPECT_DOUBLE_EQ(rules[0].width, c.stored);
        }
        TypeInto(height, QStringLiteral("0.5"));
        EXPECT_DOUBLE_EQ(rules[0].height, 0.5);

        auto* units = Item<QComboBox>(&dialog, 1139);
        units->setFocus();
        QTest::keyClick(units, Qt::Key_End);
        EXPECT_EQ(rules[0].units, CropRule::kInches);
    }
    QLocale::setDefault(oldLocale);
    std::setlocale(LC_NUMERIC, "C");
}

TEST_F(CropEditorTest, PresetEditorAddsRemovesMovesAndRenamesInPlace)
{
    CCropPresets three;
    three.FromString(QStringLiteral("0;4;3;A;0|0;3;2;B;0|1;640;480;C;0|"));
    auto names = [](const std::vector<CropRule>& rules) {
        QStringList list;
        for (const CropRule& r : rules)
            list << r.name;
        return list;
    };
    struct AddCase {
        int selected;
        QStringList after;
        int current;
    };
    const AddCase adds[] = {
        {0, {"New Crop Rule", "A", "B", "C"}, 0},
        {1, {"A", "B", "New Crop Rule", "C"}, 2},
        {2, {"A", "B", "C", "New Crop Rule"}, 3},
    };
    for (const AddCase& c : adds) {
        SCOPED_TRACE(c.selected);
        std::vector<CropRule> rules = three.GetRules();
        CCustCropPresetsDlg dialog(&rules);
        dialog.show();
        auto* list = Item<QListWidget>(&dialog, 1063);
        SelectRow(list, c.selected);
        Click(Item<QPushButton>(&dialog, 1070));
        EXPECT_EQ(names(rules), c.after);
        EXPECT_EQ(list->currentRow(), c.current);
        EXPECT_EQ(Item<QLineEdit>(&dialog, 1064)->text(), "New Crop Rule");
        EXPECT_EQ(Item<QLineEdit>(&dialog, 1068)->text(), "1.00");
    }

    std::vector<CropRule> rules = three.GetRules();
    CCustCropPresetsDlg dialog(&rules);
    dialog.show();
    dialog.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    auto* list = Item<QListWidget>(&dialog, 1063);
    SelectRow(list, 1);
    // Renaming replaces the item and keeps it selected; nothing bounces.
    auto* description = Item<QLineEdit>(&dialog, 1064);
    TypeInto(description, QStringLiteral("Bee"));
    EXPECT_EQ(rules[1].name, "Bee");
    EXPECT_EQ(list->item(1)->text(), "Bee");
    EXPECT_EQ(list->currentRow(), 1);
    EXPECT_EQ(description->text(), "Bee");
    EXPECT_TRUE(description->hasFocus());

    Click(Item<QPushButton>(&dialog, 1072));
    EXPECT_EQ(names(rules), QStringList({"Bee", "A", "C"}));
    EXPECT_EQ(list->currentRow(), 0);
    Click(Item<QPushButton>(&dialog, 1072)); // already first
    EXPECT_EQ(names(rules), QStringList({"Bee", "A", "C"}));
    Click(Item<QPushButton>(&dialog, 1073));
    Click(Item<QPushButton>(&dialog, 1073));
    EXPECT_EQ(names(rules), QStringList({"A", "C", "Bee"}));
    EXPECT_EQ(list->currentRow(), 2);
    // A fixed size shows whole numbers.
    SelectRow(list, 1);
    EXPECT_EQ(Item<QLineEdit>(&dialog, 1068)->text(), "640");

    auto* remove = Item<QPushButton>(&dialog, 1071);
    Click(remove);
    Click(remove);
    EXPECT_EQ(names(rules), QStringList({"A"}));
    EXPECT_FALSE(GetDlgItem(&dialog, 1072)->isEnabled());
    EXPECT_TRUE(remove->isEnabled());
    Click(remove);
    EXPECT_TRUE(rules.empty());
    EXPECT_EQ(list->count(), 0);
    EXPECT_EQ(list->currentRow(), -1);
    for (int id : {1071, 1072, 1073, 1064, 1065, 1068, 1069, 1139})
        EXPECT_FALSE(GetDlgItem(&dialog, id)->isEnabled()) << id;
    // Add on an empty list: the new rule is the one selected.
    Click(Item<QPushButton>(&dialog, 1070));
    EXPECT_EQ(names(rules), QStringList({"New Crop Rule"}));
    EXPECT_EQ(list->currentRow(), 0);
    EXPECT_TRUE(GetDlgItem(&dialog, 1068)->isEnabled());
}

TEST_F(CropEditorTest, DefaultsAsksAndCancelKeepsTheList)
{
    const QString before = QStringLiteral("0;4.00;3.00;A;0|1;640.00;480.00;C;0|");
    theCropPresets.FromString(before);
    testjpeg::TempDir dir;
    const QString file = QString::fromStdString((dir / "Pixmend.conf").string());
    CProfile::SetFilePath(file);
    QString current = theCropPresets.GetPresetText(2);

    // No: nothing changes. Yes: the twenty built-in rules. Then Cancel.
    WhenModal<CCustCropPresetsDlg>([&](CCustCropPresetsDlg* dialog) {
        auto* defaults = Item<QPushButton>(dialog, 3);
        auto* list = Item<QListWidget>(dialog, 1063);
        answers.yes = false;
        Click(defaults);
        EXPECT_EQ(list->count(), 2);
        answers.yes = true;
        Click(defaults);
        EXPECT_EQ(list->count(), 20);
        EXPECT_EQ(list->currentRow(), 0);
        QDir().mkpath(QStringLiteral(PIXMEND_ARTIFACTS_DIR));
        EXPECT_TRUE(dialog->grab().save(QStringLiteral(PIXMEND_ARTIFACTS_DIR "/crop-presets.png")));
        Click(Item<QPushButton>(dialog, CCustCropPresetsDlg::IDCANCEL));
    });
    theCropPresets.EditPresets(current);
    EXPECT_EQ(answers.questions, QStringList(2, "Are you sure you want to reset all presets to defaults?"));
    EXPECT_EQ(theCropPresets.ToString(), before);
    EXPECT_EQ(theCropPresets.GetAccepted(), 0);
    EXPECT_EQ(current, theCropPresets.GetPresetText(2));
    EXPECT_FALSE(QFile::exists(file));

    // OK takes the edits over.
    WhenModal<CCustCropPresetsDlg>([&](CCustCropPresetsDlg* dialog) {
        SelectRow(Item<QListWidget>(dialog, 1063), 0);
        TypeInto(Item<QLineEdit>(dialog, 1064), QStringLiteral("Four by three"));
        TypeInto(Item<QLineEdit>(dialog, 1069), QStringLiteral("2.5"));
        Click(Item<QPushButton>(dialog, CCustCropPresetsDlg::IDOK));
    });
    theCropPresets.EditPresets(current);
    EXPECT_EQ(theCropPresets.GetAccepted(), 1);
    EXPECT_EQ(theCropPresets.ToString(), "0;4.00;2.50;Four_by_three;0|1;640.00;480.00;C;0|");
    EXPECT_EQ(current, "1;640.00;480.00;C;0");
    // In the file at once, before any exit.
    EXPECT_EQ(QSettings(file, QSettings::IniFormat).value("Crop/Presets").toString(), theCropPresets.ToString());
    CProfile::Close();
}

// OK stores the list as left (Move Down, Add after row 2, a rename, two of one
// name, the second of two removed) with a preset added before ("S") and what
// another copy did meanwhile ("C" made "X"). Letters of `all` stand for rules.
TEST_F(CropEditorTest, OkStoresTheListAsEditedWithTheOtherCopysChanges)
{
    const QString all = "ABCaENnSX";
    const QStringList rules = {"0;4.00;3.00;A;0", "0;3.00;2.00;B;0", "1;640.00;480.00;C;0", "0;16.00;9.00;A;0",
        "0;3.00;2.00;Bee;0", "0;1.00;1.00;New_Crop_Rule;0", "0;2.00;1.00;New_Crop_Rule;0", "0;1.00;1.00;S;0",
        "0;5.00;4.00;X;0"};
    const auto text = [&](const QString& l) { QString t; for (QChar c : l) t += rules[all.indexOf(c)] + '|'; return t; };
    testjpeg::TempDir dir;
    const QString file = QString::fromStdString((dir / "Pixmend.conf").string());
    for (const auto& [other, stored] : {std::pair{false, "EANnCS"}, std::pair{true, "EANnSX"}}) {
        CProfile::SetFilePath(file);
        ASSERT_TRUE(CProfile::WriteProfileString("Crop", "Presets", text("ABCa")) && CProfile::Flush());
        theCropPresets.LoadFromProfile();
        theCropPresets.AddUnique(rules[7]);
        WhenModal<CCustCropPresetsDlg>([&, other = other](CCustCropPresetsDlg* d) {
            EXPECT_EQ(!other ? 0 : testjpeg::InOtherCopy([&](const testjpeg::Meet&) {
                theCropPresets.LoadFromProfile();
                theCropPresets.Rules()[2] = CropRule{0, "X", 5, 4, 0};
                theCropPresets.SaveToProfile();
                return CProfile::Flush() ? 0 : 1;
            }), 0);
            for (const auto& [row, id] : {std::pair{0, 1073}, std::pair{1, 1070}, std::pair{0, 1064},
                                          std::pair{4, 1071}, std::pair{2, 1070}, std::pair{3, 1068}}) {
                SelectRow(Item<QListWidget>(d, 1063), row);
                if (auto* edit = qobject_cast<QLineEdit*>(GetDlgItem(d, id)))
                    TypeInto(edit, id == 1064 ? "Bee" : "2");
                else
                    Click(Item<QPushButton>(d, id));
            }
            Click(Item<QPushButton>(d, CCustCropPresetsDlg::IDOK));
        });
        QString current;
        theCropPresets.EditPresets(current);
        CProfile::Close();
        EXPECT_EQ(QSettings(file, QSettings::IniFormat).value("Crop/Presets").toString(), text(stored));
        // The crop panel lists the presets as stored.
        EXPECT_EQ(theCropPresets.ToString().toStdString(), text(stored).toStdString());
    }
}

// Two refreshes of the preset editor (opened and cancelled twice, another
// copy adding a preset before each) keep this copy's addition not yet
// saved, and the save stores it beside the other's.
TEST_F(CropEditorTest, RefreshesKeepAnAdditionNotYetSaved)
{
    testjpeg::TempDir dir;
    const QString file = QString::fromStdString((dir / "Pixmend.conf").string());
    CProfile::SetFilePath(file);
    ASSERT_TRUE(CProfile::WriteProfileString("Crop", "Presets", "0;4.00;3.00;A;0|") && CProfile::Flush());
    theCropPresets.LoadFromProfile();
    theCropPresets.AddUnique("0;1.00;1.00;S;0");
    QStringList shown;
    for (const char* theirs : {"0;2.00;1.00;X;0", "0;3.00;1.00;Y;0"}) {
        EXPECT_EQ(testjpeg::InOtherCopy([&](const testjpeg::Meet&) {
                      CCropPresets other;
                      other.LoadFromProfile();
                      other.AddUnique(theirs);
                      other.SaveToProfile();
                      return CProfile::Flush() ? 0 : 1;
                  }),
                  0);
        WhenModal<CCustCropPresetsDlg>([&](CCustCropPresetsDlg* d) {
            auto* list = Item<QListWidget>(d, 1063);
            QStringList names;
            for (int row = 0; row < list->count(); ++row)
                names << list->item(row)->text();
            shown << names.join(u' ');
            Click(Item<QPushButton>(d, CCustCropPresetsDlg::IDCANCEL));
        });
        QString current;
        theCropPresets.EditPresets(current);
    }
    EXPECT_EQ(shown.join(u',').toStdString(), "A X S,A X Y S");
    theCropPresets.SaveToProfile();
    CProfile::Close();
    EXPECT_EQ(QSettings(file, QSettings::IniFormat).value("Crop/Presets").toString().toStdString(),
              "0;4.00;3.00;A;0|0;2.00;1.00;X;0|0;3.00;1.00;Y;0|0;1.00;1.00;S;0|");
}
