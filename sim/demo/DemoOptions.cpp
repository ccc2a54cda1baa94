#include "DemoOptions.h"

#include <algorithm>

namespace rq::demo {

DemoOptions ParseDemoOptions(std::span<const std::string_view> arguments) {
    DemoOptions options;
    if (std::ranges::any_of(arguments,
                            [](std::string_view a) { return a == "--help" || a == "-h"; })) {
        options.action = DemoOptions::Action::Help;
        return options;
    }
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        if (arguments[i] == "--flash-text" && i + 1 < arguments.size()) {
            options.flashText = arguments[++i];
        } else {
            options.action = DemoOptions::Action::BadUsage;
            options.problem = arguments[i] == "--flash-text"
                                  ? "--flash-text needs a text, e.g. DA-RUR"
                                  : "unknown option '" + std::string(arguments[i]) + "'";
            return options;
        }
    }
    return options;
}

std::string DemoUsage() {
    return "Usage: rq4720-demo [--flash-text TEXT] [Qt options]\n"
           "       rq4720-demo --help\n"
           "\n"
           "The tool's window over two simulated readers: one on USB and one on RS232 behind\n"
           "a pseudo-terminal (COM1). A panel beside the window plugs the USB reader in and\n"
           "out, places an iButton and shows what both readers hold. The file manager starts\n"
           "in the directory of the sample firmware images.\n"
           "\n"
           "  --flash-text TEXT  the USB reader confirms flash mode with TEXT instead of\n"
           "                     JP-USB (DA-RUR is the other answer readers give)\n"
           "  -h, --help         show this text\n";
}

}  // namespace rq::demo
