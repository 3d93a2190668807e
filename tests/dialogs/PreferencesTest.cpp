// The Preferences sheet through the application's command: the View page's
// live preview, Apply against the browser, Cancel, where the sheet reopens,
// and the prototypes left alone unless "Defaults" was opened.
#include "CButton.h"
#include "CommandIds.h"
#include "Operation.h"
#include "OperationDlg.h"
#include "PrefsTestKit.h"
#include "SettingsDlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QVBoxLayout>
#include <QSlider>

using namespace prefstest;

namespace {

class PreferencesTest : public AppTest {
protected:
    void SetUp() override
    {
        AppTest::SetUp();
        SettingsBrowserHooks& hooks = SettingsBrowser();
        hooks.showFolder = [this](const QString& folder) { m_listed.append(folder); };
        hooks.setIconSpacing = [this](int cx, int cy) { m_spacing.append({cx, cy}); };
        hooks.resort = [this] { ++m_resorts; };
    }
    void TearDown() override
    {
        SettingsBrowser() = {};
        AppTest::TearDown();
    }

    QStringList m_listed;
    QList<QPair<int, int>> m_spacing;
    int m_resorts = 0;
};

CPageView* ViewPage(QWidget* sheet)
{
    (void)sheet;
    for (CSettingsViewDlg* page : g_settingsPages)
        if (auto* view = dynamic_cast<CPageView*>(page); view && view->GetSafeHwnd())
            return view;
    return nullptr;
}

// A kind with one number, edited by a one-edit page (section "PrefsValue"),
// or without any page (any other section).
class CStandIn : public COperation {
public:
    CStandIn(const char* name, const char* section) : COperation(name, section), m_name(name), m_section(section)
    {
        AddIntParam(QStringLiteral("Value"), &value);
    }
    COperation* CreateNew() const override { return new CStandIn(m_name, m_section); }
    void UpdatePage() override
    {
        if (m_pPage)
            m_pPage->BindParams(&value);
    }
    IOperationPage* GetPage() override { return CreatePageOnce(); }
    IAction* CreateAction(CKsImage*, int*) override { return nullptr; }
    int value = 0;

private:
    const char* m_name;
    const char* m_section;
};

class CValuePage : public COperationDlg {
public:
    CValuePage() : COperationDlg(9999) {}
    QLineEdit* edit = nullptr;

protected:
    void CreateControls(QWidget* window) override
    {
        edit = new QLineEdit(window);
        SetDlgItemId(edit, 4242);
        (new QVBoxLayout(window))->addWidget(edit);
        connect(edit, &QLineEdit::textEdited, this, [this](const QString& text) {
            *static_cast<int*>(GetParams()) = text.toInt();
        });
    }
    void UpdateControls() override { edit->setText(QString::number(*static_cast<int*>(GetParams()))); }
    void OnDestroyWindow() override { edit = nullptr; }
};

// Preferences over three stand-in prototypes: Alpha and Gamma with a page,
// Beta without one.
class DefaultsTest : public PreferencesTest {
protected:
    void SetUp() override
    {
        RegisterOperationPageFactory(QStringLiteral("PrefsValue"), [](COperation&) -> IOperationPage* { return new CValuePage; });
        PreferencesTest::SetUp();
        m_saved = m_app->m_operations;
        m_app->m_operations = {&m_alpha, &m_beta, &m_gamma};
    }
    void TearDown() override
    {
        m_app->m_operations = m_saved;
        PreferencesTest::TearDown();
        RegisterOperationPageFactory(QStringLiteral("PrefsValue"), {});
    }
    void Pick(QWidget* sheet, int row)
    {
        auto* list = Item<QListWidget>(sheet, 1118);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(row)).center());
        EXPECT_EQ(list->currentRow(), row);
    }

    // The shown page's edit (every page that has a window holds one).
    static QLineEdit* ShownEdit(QWidget* sheet)
    {
        for (QLineEdit* edit : sheet->findChildren<QLineEdit*>(QStringLiteral("4242")))
            if (edit->isVisible())
                return edit;
        return nullptr;
    }

    CStandIn m_alpha{"Alpha", "PrefsValue"};
    CStandIn m_beta{"Beta", "PrefsNone"};
    CStandIn m_gamma{"Gamma", "PrefsValue"};
    std::vector<IOperation*> m_saved;
};

} // namespace

TEST_F(DefaultsTest, ReopensWhereCancelLeftIt)
{
    Preferences([this](QWidget* sheet) {
        PickTab(SheetTabs(sheet), QStringLiteral("Defaults"));
        Pick(sheet, 2);
        Click(sheet, 2);
    });
    Preferences([](QWidget* sheet) {
        EXPECT_EQ(SheetTabs(sheet)->currentIndex(), 1);
        EXPECT_EQ(Item<QListWidget>(sheet, 1118)->currentRow(), 2);
        Click(sheet, 2);
    });
    QSettings* conf = Exit();
    EXPECT_EQ(conf->value("Settings/CurrentTab").toInt(), 1);
    EXPECT_EQ(conf->value("Settings/CurDefaultOper").toInt(), 2);
}

TEST_F(DefaultsTest, OKCopiesTheClonesCancelDropsThem)
{
    for (const bool ok : {false, true}) {
        SCOPED_TRACE(ok ? "OK" : "Cancel");
        m_app->m_settings.CurrentTab = 1;
        m_app->m_settings.CurDefaultOper = 0;
        Preferences([this, ok](QWidget* sheet) {
            Pick(sheet, 2);
            QLineEdit* edit = ShownEdit(sheet);
            ASSERT_NE(edit, nullptr);
            edit->setFocus();
            edit->selectAll();
            QTest::keyClicks(edit, QStringLiteral("42"));
            // A kind without a page shows the placeholder, not Gamma's page.
            Pick(sheet, 1);
            EXPECT_EQ(ShownEdit(sheet), nullptr);
            Pick(sheet, 2);
            ASSERT_NE(ShownEdit(sheet), nullptr);
            EXPECT_EQ(ShownEdit(sheet)->text(), QStringLiteral("42"));
            Click(sheet, ok ? 1 : 2);
        });
        EXPECT_EQ(m_gamma.value, ok ? 42 : 0);
        EXPECT_EQ(m_alpha.value, 0);
    }
}

// A profile holding thumbnail sizes no page allows: the program starts with
// the largest the pages allow, and the View page and its preview show them.
TEST_F(PreferencesTest, HugeStoredThumbnailSizesAreReadClamped)
{
    Exit();
    {
        QSettings conf(ConfPath(), QSettings::IniFormat);
        conf.setValue("View/ThumbWidth", 2147483647);
        conf.setValue("View/ThumbSpace", 2147483647);
    }
    m_app.reset();
    m_app = std::make_unique<CPixmendApp>();
    ASSERT_TRUE(m_app->InitInstance({}));
    m_exited = false;
    Preferences([](QWidget* sheet) {
        CPageView* page = ViewPage(sheet);
        ASSERT_NE(page, nullptr);
        EXPECT_EQ(Item<QSlider>(sheet, 1078)->value(), 150);
        EXPECT_EQ(Item<QSlider>(sheet, 1077)->value(), 30);
        EXPECT_EQ(page->GetPreviewBox()->width(), 150 + 2 * 30);
        Click(sheet, 2);
    });
    EXPECT_EQ(m_app->m_settings.ThumbWidth, 150);
    EXPECT_EQ(m_app->m_settings.ThumbSpace, 30);
}

TEST_F(PreferencesTest, ViewPreviewFollowsTheTrackbarsAndCancelKeepsTheRecord)
{
    m_app->m_settings.ThumbWidth = 94;
    m_app->m_settings.ThumbSpace = 10;
    m_app->m_settings.ShowThumbFilename = 1;
    Preferences([](QWidget* sheet) {
        CPageView* page = ViewPage(sheet);
        ASSERT_NE(page, nullptr);
        EXPECT_EQ(SheetTabs(sheet)->currentIndex(), 0);
        auto* size = Item<QSlider>(sheet, 1078);
        auto* spacing = Item<QSlider>(sheet, 1077);
        EXPECT_EQ(size->value(), 94);
        Snap(sheet, QStringLiteral("preferences_view"));
        // The box is size + 2 x spacing wide, and taller by the label.
        EXPECT_EQ(page->GetPreviewBox()->width(), 94 + 20);
        EXPECT_GT(page->GetPreviewBox()->height(), 94 + 20);
        EXPECT_FALSE(page->GetPreviewLabel()->isHidden());

        size->setFocus();
        QTest::keyClick(size, Qt::Key_Right);
        QTest::keyClick(spacing, Qt::Key_Left);
        EXPECT_EQ(page->GetSettings()->ThumbWidth, 95);
        EXPECT_EQ(page->GetSettings()->ThumbSpace, 9);
        EXPECT_EQ(page->GetPreviewBox()->width(), 95 + 18);

        // Names off: a square box and no label.
        Click(sheet, 1009);
        EXPECT_EQ(page->GetPreviewBox()->width(), page->GetPreviewBox()->height());
        EXPECT_TRUE(page->GetPreviewLabel()->isHidden());
        Click(sheet, 2);
    });
    EXPECT_EQ(m_app->m_settings.ThumbWidth, 94);
    EXPECT_EQ(m_app->m_settings.ThumbSpace, 10);
    EXPECT_EQ(m_app->m_settings.ShowThumbFilename, 1);
    EXPECT_TRUE(m_listed.isEmpty());
    EXPECT_TRUE(m_spacing.isEmpty());
    EXPECT_EQ(m_resorts, 1);
}

TEST_F(PreferencesTest, SpacingAloneGivesNewSpacingEverythingElseListsAgain)
{
    const struct {
        const char* name;
        std::function<void(QWidget*)> change;
        bool relist;
    } cases[] = {
        {"spacing", [](QWidget* s) { QTest::keyClick(Item<QSlider>(s, 1077), Qt::Key_Right); }, false},
        {"sort order", [](QWidget* s) { Item<QComboBox>(s, 1062)->setCurrentIndex(1); }, false},
        {"size", [](QWidget* s) { QTest::keyClick(Item<QSlider>(s, 1078), Qt::Key_Right); }, true},
        {"colour", [](QWidget* s) { Item<CCButton>(s, 1002)->SetColor(0x123456); }, true},
        {"names", [](QWidget* s) { Click(s, 1009); }, true},
        {"border", [](QWidget* s) { Click(s, 1153); }, true},
        {"shadow", [](QWidget* s) { Click(s, 1154); }, true},
    };
    m_app->m_strCurrentFolder = QStringLiteral("/tmp/pics");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        m_listed.clear();
        m_spacing.clear();
        const CAppSettings before = m_app->m_settings;
        Preferences([&c](QWidget* sheet) {
            c.change(sheet);
            Click(sheet, 12321); // Apply
            Click(sheet, 2);     // Cancel keeps what Apply took
        });
        if (c.relist) {
            EXPECT_EQ(m_listed, QStringList{QStringLiteral("/tmp/pics")});
            EXPECT_TRUE(m_spacing.isEmpty());
        } else {
            EXPECT_TRUE(m_listed.isEmpty());
            const CAppSettings& s = m_app->m_settings;
            const int label = s.ShowThumbFilename ? s.GetThumbLabelHeight(1) : 0;
            ASSERT_EQ(m_spacing.size(), 1);
            EXPECT_EQ(m_spacing[0], qMakePair(s.ThumbWidth + s.ThumbSpace, s.ThumbWidth + s.ThumbSpace + label));
        }
        EXPECT_FALSE(before.ThumbSpace == m_app->m_settings.ThumbSpace && before.ThumbWidth == m_app->m_settings.ThumbWidth
                     && before.SortType == m_app->m_settings.SortType
                     && before.BackgroundColor == m_app->m_settings.BackgroundColor
                     && before.ShowThumbFilename == m_app->m_settings.ShowThumbFilename
                     && before.ThumbBorder == m_app->m_settings.ThumbBorder
                     && before.ThumbShadow == m_app->m_settings.ThumbShadow);
    }
    // What Apply took reaches the file once the program is idle.
    const auto stored = [this](const char* key) { return QSettings(ConfPath(), QSettings::IniFormat).value(key).toInt(); };
    EXPECT_TRUE(QTest::qWaitFor([&] { return stored("View/ThumbShadow") == m_app->m_settings.ThumbShadow; }, 5000));
    EXPECT_EQ(stored("View/ThumbSpace"), m_app->m_settings.ThumbSpace);
}

// The macro manager closed with OK in the running program: the file holds
// the new macro at once, as killing the program right then would leave it.
TEST_F(PreferencesTest, MacroManagerOKWritesTheFileAtOnce)
{
    OnNextModal([](QWidget* manager) {
        Item<QListWidget>(manager, 1116)->setCurrentRow(0);
        Click(manager, 1117); // Create Copy
        manager->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    });
    EXPECT_TRUE(m_app->GetCommands().Execute(ID_MACRO_MANAGER));
    const QString list = QSettings(ConfPath(), QSettings::IniFormat).value("Macros/List").toString();
    EXPECT_TRUE(list.startsWith("Sample - 4x6 Fit-in Crop + Datestamp,")) << list.toStdString();
    EXPECT_TRUE(list.contains(",Copy of Sample - 4x6 Fit-in Crop + Datestamp,")) << list.toStdString();
}

TEST_F(PreferencesTest, StoredTabOutsideThePagesOpensView)
{
    for (int tab : {-1, 2, 7}) {
        SCOPED_TRACE(tab);
        m_app->m_settings.CurrentTab = tab;
        Preferences([](QWidget* sheet) {
            EXPECT_EQ(SheetTabs(sheet)->currentIndex(), 0);
            EXPECT_NE(ViewPage(sheet), nullptr);
            Click(sheet, 2);
        });
        EXPECT_EQ(m_app->m_settings.CurrentTab, 0);
    }
}

TEST_F(PreferencesTest, NeverOpeningDefaultsLeavesThePrototypesOnOK)
{
    QStringList before;
    for (IOperation* op : m_app->m_operations)
        before.append(op->SaveToString());
    m_app->m_settings.CurrentTab = 0;
    Preferences([](QWidget* sheet) {
        QTest::keyClick(Item<QSlider>(sheet, 1078), Qt::Key_Right);
        Click(sheet, 1);
    });
    QStringList after;
    for (IOperation* op : m_app->m_operations)
        after.append(op->SaveToString());
    EXPECT_EQ(after, before);
    EXPECT_EQ(m_app->m_settings.ThumbWidth, CAppSettings().ThumbWidth + 1);
}

TEST_F(DefaultsTest, AClonePairedWithNoPrototypeEndsTheWalk)
{
    m_app->m_settings.CurrentTab = 1;
    m_app->m_settings.CurDefaultOper = 0;
    Preferences([this](QWidget* sheet) {
        QLineEdit* edit = ShownEdit(sheet);
        ASSERT_NE(edit, nullptr);
        QTest::keyClicks(edit, QStringLiteral("7"));
        // Gamma's clone now finds no prototype of its name: the walk stops
        // at the end of the prototypes instead of reading past it.
        m_gamma.SetName(QStringLiteral("Renamed"));
        Click(sheet, 1);
    });
    EXPECT_EQ(m_alpha.value, 7);
    EXPECT_EQ(m_gamma.value, 0);
}
