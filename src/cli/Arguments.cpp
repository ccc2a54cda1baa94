#include "cli/Arguments.h"

#include <algorithm>
#include <array>
#include <vector>

namespace rq::cli {
namespace {

struct CommandName {
    std::string_view name;
    Command command;
};
constexpr std::array<CommandName, 7> kCommands = {{
    {"write", Command::Write},
    {"read", Command::Read},
    {"reset", Command::Reset},
    {"version", Command::Version},
    {"flash", Command::Flash},
    {"monitor", Command::Monitor},
    {"list", Command::List},
}};

Arguments WithAction(Arguments::Action action) {
    Arguments line;
    line.action = action;
    return line;
}

Arguments Bad(std::string problem) {
    Arguments bad = WithAction(Arguments::Action::BadUsage);
    bad.problem = std::move(problem);
    return bad;
}

}  // namespace

Arguments ParseArguments(std::span<const std::string_view> arguments) {
    for (const std::string_view argument : arguments) {
        if (argument == "--") {
            break;
        }
        if (argument == "--help" || argument == "-h") {
            return WithAction(Arguments::Action::Help);
        }
        if (argument == "--version") {
            return WithAction(Arguments::Action::ShowVersion);
        }
    }
    Arguments line = WithAction(Arguments::Action::Run);
    std::vector<std::string_view> words;  // the command, then its operands
    bool outputGiven = false;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string_view argument = arguments[i];
        if (optionsEnded || argument.size() < 2 || !argument.starts_with('-')) {
            words.push_back(argument);
        } else if (argument == "--") {
            optionsEnded = true;
        } else if (argument == "--yes" || argument == "-y") {
            line.yes = true;
        } else if (argument == "--raw") {
            line.raw = true;
        } else if (argument == "--json") {
            line.json = true;
        } else if (argument == "--ids") {
            line.ids = true;
        } else if (argument == "--verify") {
            line.verify = true;
        } else if (argument == "-o" || argument == "--output") {
            if (i + 1 == arguments.size()) {
                return Bad(std::string(argument) + " needs a file name");
            }
            line.output = arguments[++i];
            outputGiven = true;
        } else if (argument == "--reader" || argument == "-r") {
            if (i + 1 == arguments.size() || arguments[i + 1].empty()) {
                return Bad(std::string(argument) + " needs a reader ID (rq4720-cli list --ids)");
            }
            line.reader = arguments[++i];
        } else {
            return Bad("unknown option '" + std::string(argument) + "'");
        }
    }
    if (words.empty()) {
        return Bad("no command given");
    }
    const auto known = std::ranges::find(kCommands, words.front(), &CommandName::name);
    if (known == kCommands.end()) {
        return Bad("unknown command '" + std::string(words.front()) + "'");
    }
    line.command = known->command;
    const std::string name(known->name);
    const std::span<const std::string_view> operands = std::span(words).subspan(1);

    const bool takesPath = line.command == Command::Write || line.command == Command::Flash;
    const bool takesYes = line.command == Command::Reset || line.command == Command::Flash;
    if (takesPath && operands.size() != 1) {
        return Bad(name + " needs exactly one file");
    }
    if (!takesPath && !operands.empty()) {
        return Bad(name + " takes no file ('" + std::string(operands.front()) + "')");
    }
    if (outputGiven && line.command != Command::Read) {
        return Bad("only read saves to a file (-o)");
    }
    if (line.yes && !takesYes) {
        return Bad(name + " asks nothing (--yes)");
    }
    if (line.raw && line.command != Command::Monitor) {
        return Bad("only monitor writes the reader's bytes (--raw)");
    }
    if (line.ids && line.command != Command::List) {
        return Bad("only list prints IDs (--ids)");
    }
    if (line.ids && line.json) {
        return Bad("list prints either IDs (--ids) or JSON (--json)");
    }
    if (line.verify && line.command != Command::Write) {
        return Bad("only write reads back what it wrote (--verify)");
    }
    if (!line.reader.empty() && line.command == Command::List) {
        return Bad("list looks at every place (--reader)");
    }
    if (line.command == Command::Reset && !line.yes) {
        return Bad("reset needs --yes: it returns every setting to the reader's default");
    }
    if (takesPath) {
        line.path = operands.front();
    }
    return line;
}

std::string UsageText() {
    return "Usage: rq4720-cli [--reader ID] [--json] write FILE.kxs [--verify]\n"
           "       rq4720-cli read [-o FILE.kxs]\n"
           "       rq4720-cli reset --yes\n"
           "       rq4720-cli version\n"
           "       rq4720-cli flash IMAGE.bin [--yes]\n"
           "       rq4720-cli monitor [--raw]\n"
           "       rq4720-cli list [--json | --ids]\n"
           "       rq4720-cli --help | --version\n"
           "\n"
           "Programs an RQ-4720 iButton reader from the command line, over USB or RS232.\n"
           "\n"
           "  write FILE.kxs     load a settings file and write it into the reader;\n"
           "                     --verify reads it back and compares (exit 2 if it differs)\n"
           "  read [-o FILE]     read the reader's settings; print them, or save them\n"
           "  reset --yes        reset the reader's settings to their defaults\n"
           "  version            read the reader's firmware version\n"
           "  flash IMAGE.bin    update the firmware (asks first unless --yes)\n"
           "  monitor [--raw]    show what the reader sends on RS232 until Ctrl-C; on a\n"
           "                     terminal control bytes show as \\xNN unless --raw\n"
           "  list               every place a reader could be, and what is there; --ids\n"
           "                     prints only the IDs of the readers found\n"
           "\n"
           "  --reader ID        search only there: usb:PATH, usb:SERIAL, com3, /dev/ttyUSB0\n"
           "  --json             one JSON object on standard output at the end; the status\n"
           "                     lines go to standard error\n"
           "\n"
           "Options may stand before or after the command.\n"
           "Exit status: 0 the reader confirmed, 1 no reader found, 2 wrong or no answer,\n"
           "3 bad file or image, 4 not confirmed, 5 found on a link the command cannot use,\n"
           "64 bad usage.\n"
           "RQ4720_SERIAL_PORTS=path:path:...  maps COM1, COM2, ... to serial devices.\n"
           "See rq4720-cli(1).\n";
}

std::string VersionText() {
    return "rq4720-cli " RQ_TOOL_VERSION "\n";
}

}  // namespace rq::cli
