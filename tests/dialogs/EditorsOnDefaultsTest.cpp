// Other kinds' editors shown on the Preferences' "Defaults" page: what they
// store reaches the prototypes and the profile's file on OK.
#include "PrefsTestKit.h"

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>

using namespace prefstest;

namespace {

class EditorsOnDefaultsTest : public AppTest {
protected:
    // Preferences on "Defaults" with the prototype `name` selected.
    void OnDefaults(const QString& name, std::function<void(QWidget*)> act)
    {
        Preferences([name, act](QWidget* sheet) {
            PickTab(SheetTabs(sheet), QStringLiteral("Defaults"));
            auto* list = Item<QListWidget>(sheet, 1118);
            const auto found = list->findItems(name, Qt::MatchExactly);
            ASSERT_EQ(found.size(), 1) << name.toStdString();
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(found[0]).center());
            act(sheet);
        });
    }
};

} // namespace

TEST_F(EditorsOnDefaultsTest, ColourAndGrayscaleAreNotOffered)
{
    const int prototypes = int(m_app->m_operations.size());
    Preferences([prototypes](QWidget* sheet) {
        PickTab(SheetTabs(sheet), QStringLiteral("Defaults"));
        auto* list = Item<QListWidget>(sheet, 1118);
        EXPECT_EQ(list->count(), prototypes - 2);
        for (int i = 0; i < list->count(); ++i)
            for (const char* left : {"Gray", "Color", "Colour"})
                EXPECT_FALSE(list->item(i)->text().contains(QString::fromUtf8(left), Qt::CaseInsensitive));
        Click(sheet, 2);
    });
}

TEST_F(EditorsOnDefaultsTest, SizesTypedIntoResizeReachTheProfile)
{
    OnDefaults(QStringLiteral("Resize/Resample"), [](QWidget* sheet) {
        auto* units = Item<QComboBox>(sheet, 1139);
        units->setFocus();
        QTest::keyClick(units, Qt::Key_Down); // "Pixels"
        auto* width = Item<QLineEdit>(sheet, 1137);
        width->setFocus();
        width->selectAll();
        QTest::keyClicks(width, QStringLiteral("640"));
        QTest::keyClick(width, Qt::Key_Return);
    });
    // OK wrote the file at once, the settings record with the operations:
    // the program killed now keeps them.
    const QSettings conf(ConfPath(), QSettings::IniFormat);
    EXPECT_EQ(conf.value("Resize/Units").toInt(), 1);
    EXPECT_EQ(conf.value("Resize/PixelsWidth").toInt(), 640);
    EXPECT_EQ(conf.value("View/ThumbWidth"), QVariant(QString::number(m_app->m_settings.ThumbWidth)));
}

TEST_F(EditorsOnDefaultsTest, CropTabPickedOnDefaultsIsItsCurTabAfterOK)
{
    OnDefaults(QStringLiteral("Crop"), [](QWidget* sheet) {
        PickTab(EditorTabs(sheet, 1135), QStringLiteral("Preview"));
        Click(sheet, 1);
    });
    QSettings* conf = Exit();
    EXPECT_EQ(conf->value("Crop/CurTab").toInt(), 1);
}
