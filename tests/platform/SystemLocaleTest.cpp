// The system default locale id, read from the environment in a child run of
// this program: ICU takes its default locale once per process.
#include "platform/Locale.h"

#include "TestJpeg.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

namespace {

// Prints the id; run only as the child of the test below.
TEST(SystemDefaultLcid, DISABLED_Print)
{
    std::printf("LCID=%04x\n", GetSystemDefaultLCID());
}

TEST(SystemDefaultLcid, FollowsTheEnvironment)
{
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    const struct {
        const char* lang;
        const char* expected;
    } cases[] = {
        {"C", "LCID=0409"},
        {"POSIX", "LCID=0409"},
        {"de_DE.UTF-8", "LCID=0407"},
        {"ja_JP.UTF-8", "LCID=0411"},
        {"fr_CA.UTF-8", "LCID=0c0c"},
        {"tlh_XX.UTF-8", "LCID=0409"}, // no id
    };
    for (const auto& c : cases) {
        std::string out;
        const std::string command = std::string("env -u LANGUAGE -u LC_MESSAGES LC_ALL=") + c.lang + " LANG=" +
                                    c.lang + " '" + self +
                                    "' --gtest_filter=SystemDefaultLcid.DISABLED_Print"
                                    " --gtest_also_run_disabled_tests 2>/dev/null";
        ASSERT_EQ(testjpeg::Run(command, &out), 0) << c.lang;
        EXPECT_NE(out.find(c.expected), std::string::npos) << c.lang << ": " << out;
    }
}

} // namespace
