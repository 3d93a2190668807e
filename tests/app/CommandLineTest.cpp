// The command line and the window placement rules of start-up.
#include "PixmendApp.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

struct CommandLineCase {
    QStringList args;
    bool quit, browser, crop;
    const char* path; // expected, "" for none
};

class CommandLineTest : public ::testing::TestWithParam<CommandLineCase> {};

TEST_P(CommandLineTest, Parses)
{
    const CommandLineCase& c = GetParam();
    const CPixmendApp::CommandLine cl = CPixmendApp::ParseCommandLine(c.args, "/home/u/pics");
    EXPECT_EQ(cl.quitAfterSave, c.quit);
    EXPECT_EQ(cl.showBrowser, c.browser);
    EXPECT_EQ(cl.cropOnOpen, c.crop);
    EXPECT_EQ(cl.path, QString(c.path));
    EXPECT_EQ(cl.currentFolder, cl.path.isEmpty() ? QString() : QString("/home/u/pics"));
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, CommandLineTest,
    ::testing::Values(
        CommandLineCase{{}, false, true, false, ""},
        CommandLineCase{{"-q", "-nb", "-mc"}, true, false, true, ""},
        CommandLineCase{{"-mc", "a.jpg", "-q"}, true, true, true, "/home/u/pics/a.jpg"},
        // The first path wins; a switch after it still counts.
        CommandLineCase{{"a.jpg", "b.jpg", "-nb"}, false, false, false, "/home/u/pics/a.jpg"},
        // Switches are exact and case-sensitive: anything else is a path.
        CommandLineCase{{"-Q", "-q"}, true, true, false, "/home/u/pics/-Q"},
        CommandLineCase{{"/q"}, false, true, false, "/q"},
        CommandLineCase{{"/data/x.jpg"}, false, true, false, "/data/x.jpg"},
        // Every relative path is taken against the current folder.
        CommandLineCase{{"sub/x.jpg"}, false, true, false, "/home/u/pics/sub/x.jpg"},
        CommandLineCase{{"../x.jpg"}, false, true, false, "/home/u/x.jpg"},
        CommandLineCase{{"", "x.jpg"}, false, true, false, "/home/u/pics/x.jpg"}));

struct PlacementCase {
    int pozX, pozY, szX, szY;
    QRect expected;
};

class PlacementTest : public ::testing::TestWithParam<PlacementCase> {};

TEST_P(PlacementTest, UsesTheSavedRectangleOnlyWhenItFits)
{
    const PlacementCase& c = GetParam();
    CAppSettings s;
    s.PozX = c.pozX;
    s.PozY = c.pozY;
    s.SzX = c.szX;
    s.SzY = c.szY;
    const QRect placed = CPixmendApp::PlaceWindow(s, QRect(0, 0, 1000, 700));
    EXPECT_EQ(placed, c.expected);
    // What is used is what gets written back at exit.
    EXPECT_EQ(QRect(s.PozX, s.PozY, s.SzX, s.SzY), c.expected);
}

const QRect kDefault(100, 35, 800, 560); // 10 % and 5 % in, 80 % of the desktop

INSTANTIATE_TEST_SUITE_P(
    Rectangles, PlacementTest,
    ::testing::Values(PlacementCase{0, 0, 0, 0, kDefault},
                      PlacementCase{50, 60, 0, 300, kDefault},             // width 0: never stored
                      PlacementCase{50, 60, 400, 300, QRect(50, 60, 400, 300)},
                      PlacementCase{-100, -50, 400, 300, QRect(-100, -50, 400, 300)}, // partly visible
                      PlacementCase{0, 0, 1000, 700, QRect(0, 0, 1000, 700)},
                      PlacementCase{0, 0, 1001, 300, kDefault},            // wider than the desktop
                      PlacementCase{0, 0, 400, 701, kDefault},             // taller than the desktop
                      PlacementCase{1200, 100, 400, 300, kDefault},        // off the desktop
                      PlacementCase{50, 60, 400, 0, kDefault},             // no height: empty rectangle
                      PlacementCase{50, 60, 400, -20, kDefault},
                      PlacementCase{50, 60, -400, 300, kDefault},
                      // A hand-edited profile: the far edges lie beyond int.
                      PlacementCase{INT_MAX - 10, 60, 400, 300, kDefault},
                      PlacementCase{50, INT_MAX, 400, 300, kDefault},
                      PlacementCase{-50, 60, INT_MIN, 300, kDefault}));

} // namespace
