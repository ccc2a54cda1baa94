#pragma once

#include <span>
#include <string>
#include <string_view>

namespace rq::app {

// What the program's arguments ask for. Qt's own options (-platform, -style, ...) are
// taken out by QApplication before the rest is read; --help and --version are read
// before it starts, so they work without a display.
struct CommandLine {
    enum class Action { Run, Help, Version, BadUsage };
    Action action = Action::Run;
    bool exitWhenShown = false;  // quit once the window has been shown and painted
    std::string unknown;         // the first option not understood (BadUsage)
};

// Exit status for an option the program does not know (as sysexits' EX_USAGE).
inline constexpr int kBadUsageExitStatus = 64;

// `arguments` without the program name.
[[nodiscard]] CommandLine ParseCommandLine(std::span<const std::string_view> arguments);

[[nodiscard]] std::string UsageText();
[[nodiscard]] std::string VersionText();

}  // namespace rq::app
