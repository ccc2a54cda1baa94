#pragma once

#include <span>
#include <string>
#include <string_view>

namespace rq::demo {

// What rq4720-demo's arguments ask for. Qt's own options (-platform, -style, ...) are
// taken out by QApplication before the rest is read; --help wins wherever it stands and
// is read before Qt starts, so it needs no display.
struct DemoOptions {
    enum class Action { Run, Help, BadUsage };
    Action action = Action::Run;
    std::string flashText;  // the USB reader's answer to the flash-mode command, if given
    std::string problem;    // BadUsage: what is wrong, one line
};

// `arguments` without the program name.
[[nodiscard]] DemoOptions ParseDemoOptions(std::span<const std::string_view> arguments);
[[nodiscard]] std::string DemoUsage();

}  // namespace rq::demo
