#include <gtest/gtest.h>

#include <string_view>
#include <vector>

#include "app/CommandLine.h"

namespace rq::app {
namespace {

TEST(CommandLine, ReadsTheFewOptionsAndRefusesOthers) {
    using Action = CommandLine::Action;
    struct Case {
        std::vector<std::string_view> arguments;
        Action action;
        bool exitWhenShown;
        std::string_view unknown;
    };
    for (const Case& c : std::vector<Case>{
             {{}, Action::Run, false, ""},
             {{"--exit-when-shown"}, Action::Run, true, ""},
             {{"--exit-when-shown", "--help"}, Action::Help, true, ""},
             {{"--bogus", "--version"}, Action::Version, false, "--bogus"},
             {{"file.kxs", "--exit-when-shown", "-x"}, Action::BadUsage, true, "file.kxs"},
         }) {
        const CommandLine line = ParseCommandLine(c.arguments);
        EXPECT_EQ(line.action, c.action) << c.arguments.size();
        EXPECT_EQ(line.exitWhenShown, c.exitWhenShown) << c.arguments.size();
        EXPECT_EQ(line.unknown, c.unknown);
    }
}

}  // namespace
}  // namespace rq::app
