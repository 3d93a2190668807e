// The command layer: handlers, update rules and the passes that apply them,
// and the idle driver that keeps calling while work remains.
#include "CommandTable.h"
#include "IdleDriver.h"

#include <QAction>
#include <QCoreApplication>
#include <QMenu>
#include <QTest>

#include <gtest/gtest.h>

namespace {

CommandEntry Entry(int id, std::function<void()> handler = {}, std::function<void(CCmdUI&)> update = {})
{
    CommandEntry e;
    e.id = id;
    e.menuText = "&Item\tX";
    e.prompt = "Status prompt\nTool tip";
    e.keys = QKeySequence::listFromString("Ctrl+Z; Alt+Backspace");
    e.handler = std::move(handler);
    e.update = std::move(update);
    return e;
}

TEST(CommandTable, EntryBecomesAnActionWithItsTexts)
{
    CCommandTable table;
    QAction* a = table.Add(Entry(57643, [] {}));
    ASSERT_EQ(table.Action(57643), a);
    EXPECT_EQ(a->text(), QString("&Item\tX"));
    EXPECT_EQ(a->statusTip(), QString("Status prompt"));
    EXPECT_EQ(a->toolTip(), QString("Tool tip"));
    EXPECT_EQ(a->shortcuts().size(), 2);
    EXPECT_EQ(table.Action(1), nullptr);

    // Re-adding an id replaces its entry but keeps its action, so menus stay valid.
    EXPECT_EQ(table.Add(Entry(57643)), a);
    EXPECT_FALSE(a->isEnabled());
}

TEST(CommandTable, KeypadKeysParse)
{
    const auto keys = QKeySequence::listFromString("Num++; Ctrl+Num+-; Num+Enter");
    ASSERT_EQ(keys.size(), 3);
    EXPECT_EQ(keys[0][0].toCombined(), int(Qt::KeypadModifier) | Qt::Key_Plus);
    EXPECT_EQ(keys[1][0].toCombined(), int(Qt::KeypadModifier | Qt::ControlModifier) | Qt::Key_Minus);
    EXPECT_EQ(keys[2][0].toCombined(), int(Qt::KeypadModifier) | Qt::Key_Enter);
}

TEST(CommandTable, WithoutRuleEnabledExactlyWhenHandled)
{
    int runs = 0;
    CCommandTable table;
    table.Add(Entry(1, [&] { ++runs; }));
    table.Add(Entry(2));
    EXPECT_TRUE(table.Action(1)->isEnabled());
    EXPECT_FALSE(table.Action(2)->isEnabled());
    EXPECT_TRUE(table.Execute(1));
    EXPECT_FALSE(table.Execute(2));
    EXPECT_FALSE(table.Execute(99));
    EXPECT_EQ(runs, 1);
}

TEST(CommandTable, DisabledCommandDoesNotRunEvenWithAStaleAction)
{
    bool allowed = true;
    int runs = 0;
    CCommandTable table;
    table.Add(Entry(7, [&] { ++runs; }, [&](CCmdUI& ui) { ui.Enable(allowed); }));
    ASSERT_TRUE(table.Action(7)->isEnabled());
    allowed = false; // no update pass yet: the action still looks enabled
    table.Action(7)->trigger();
    EXPECT_EQ(runs, 0);
    EXPECT_FALSE(table.Action(7)->isEnabled());
}

TEST(CommandTable, UpdatePassRunsAfterEveryCommand)
{
    int count = 0;
    std::vector<int> executed;
    CCommandTable table;
    QObject::connect(&table, &CCommandTable::commandExecuted, [&](int id) { executed.push_back(id); });
    table.Add(Entry(10, [&] { ++count; }));
    // A second command whose state depends on the first: enabled once it ran, checked after two runs.
    table.Add(Entry(11, [] {}, [&](CCmdUI& ui) {
        ui.Enable(count > 0);
        ui.SetCheck(count > 1);
    }));
    EXPECT_FALSE(table.Action(11)->isEnabled());
    table.Action(10)->trigger();
    EXPECT_TRUE(table.Action(11)->isEnabled());
    EXPECT_FALSE(table.Action(11)->isChecked());
    table.Execute(10);
    EXPECT_TRUE(table.Action(11)->isCheckable());
    EXPECT_TRUE(table.Action(11)->isChecked());
    EXPECT_EQ(executed, (std::vector<int>{10, 10}));
}

TEST(CommandTable, MenuGetsAnUpdatePassWhenItOpens)
{
    bool enabled = false;
    CCommandTable table;
    table.Add(Entry(20, [] {}, [&](CCmdUI& ui) { ui.Enable(enabled); }));
    QMenu menu;
    menu.addAction(table.Action(20));
    table.WatchMenu(&menu);
    enabled = true;
    EXPECT_FALSE(table.Action(20)->isEnabled());
    emit menu.aboutToShow();
    EXPECT_TRUE(table.Action(20)->isEnabled());
}

TEST(IdleDriver, CallsWithGrowingCountWhileWorkRemains)
{
    std::vector<long> counts;
    CIdleDriver idle;
    idle.SetHandler([&](long count) {
        counts.push_back(count);
        return count < 3;
    });
    idle.Kick();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !idle.IsRunning(); }, 5000));
    EXPECT_EQ(counts, (std::vector<long>{0, 1, 2, 3}));

    // New work during a step starts the count over.
    counts.clear();
    bool kicked = false;
    idle.SetHandler([&](long count) {
        counts.push_back(count);
        if (count == 1 && !kicked) {
            kicked = true;
            idle.Kick();
        }
        return count < 2;
    });
    idle.Kick();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !idle.IsRunning(); }, 5000));
    EXPECT_EQ(counts, (std::vector<long>{0, 1, 0, 1, 2}));
}

} // namespace
