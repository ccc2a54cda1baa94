#pragma once

#include <span>
#include <string>
#include <string_view>

namespace rq::cli {

// The reader commands of rq4720-cli.
enum class Command { Write, Read, Reset, Version, Flash, Monitor, List };

// What the arguments ask for. Options may stand before or after the command; "--" ends
// them. --help and --version win wherever they stand, as for the window.
struct Arguments {
    enum class Action { Run, Help, ShowVersion, BadUsage };
    Action action = Action::BadUsage;
    Command command = Command::Version;
    std::string path;     // write: the settings file; flash: the image (the system's bytes)
    std::string output;   // read -o: the settings file to save
    bool yes = false;     // --yes answers the confirmation
    bool raw = false;     // monitor --raw: the reader's bytes unchanged, also on a terminal
    bool json = false;    // one JSON object on standard output, status lines on standard error
    bool ids = false;     // list --ids: only the IDs of the readers found
    bool verify = false;  // write --verify: read the settings back and compare
    std::string reader;   // --reader ID: search only that place (what list prints)
    std::string problem;  // BadUsage: what is wrong, one line
};

// `arguments` without the program name.
[[nodiscard]] Arguments ParseArguments(std::span<const std::string_view> arguments);

[[nodiscard]] std::string UsageText();
[[nodiscard]] std::string VersionText();

}  // namespace rq::cli
