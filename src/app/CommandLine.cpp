#include "app/CommandLine.h"

namespace rq::app {

CommandLine ParseCommandLine(std::span<const std::string_view> arguments) {
    CommandLine line;
    for (const std::string_view argument : arguments) {
        if (argument == "--help" || argument == "-h") {
            line.action = CommandLine::Action::Help;
            return line;
        }
        if (argument == "--version") {
            line.action = CommandLine::Action::Version;
            return line;
        }
        if (argument == "--exit-when-shown") {
            line.exitWhenShown = true;
        } else if (line.unknown.empty()) {
            line.unknown = argument;
        }
    }
    if (!line.unknown.empty()) {
        line.action = CommandLine::Action::BadUsage;
    }
    return line;
}

std::string UsageText() {
    return "Usage: rq4720-tool [--exit-when-shown] [Qt options]\n"
           "       rq4720-tool --help | --version\n"
           "\n"
           "The configuration and service tool for the RQ-4720 iButton reader.\n"
           "\n"
           "  --exit-when-shown  exit with status 0 once the window has been shown\n"
           "  --help             show this text\n"
           "  --version          show the program's version\n"
           "\n"
           "RQ4720_SERIAL_PORTS=path:path:...  maps COM1, COM2, ... to serial devices.\n"
           "See rq4720-tool(1).\n";
}

std::string VersionText() {
    return "rq4720-tool " RQ_TOOL_VERSION "\n";
}

}  // namespace rq::app
