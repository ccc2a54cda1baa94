#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <memory>
#include <string_view>
#include <vector>

#include "app/CommandLine.h"
#include "app/Form1.h"
#include "core/Text.h"
#include "platform/HidapiLibrary.h"
#include "platform/ProcessConsole.h"
#include "platform/SteadyClock.h"
#include "platform/SystemSerialPort.h"

namespace {

rq::app::CommandLine ReadArguments(int argc, char* argv[]) {
    std::vector<std::string_view> arguments(argv + 1, argv + argc);
    return rq::app::ParseCommandLine(arguments);
}

}  // namespace

int main(int argc, char* argv[]) {
    using Action = rq::app::CommandLine::Action;
    // --help and --version before Qt starts, so they need no display.
    if (const auto early = ReadArguments(argc, argv);
        early.action == Action::Help || early.action == Action::Version) {
        const std::string text =
            early.action == Action::Help ? rq::app::UsageText() : rq::app::VersionText();
        rq::UseParentConsole();  // a window program has no console of its own on Windows
        std::fputs(text.c_str(), stdout);
        std::fflush(stdout);
        return 0;
    }

    QApplication app(argc, argv);  // takes Qt's own options out of argv
    // No application display name: the desktop would append it to the window title.
    const rq::app::CommandLine line = ReadArguments(argc, argv);
    if (line.action == Action::BadUsage) {
        rq::UseParentConsole();
        std::fprintf(stderr,
                     "rq4720-tool: unknown option '%s'\n"
                     "Try 'rq4720-tool --help' for more information.\n",
                     rq::text::TerminalSafe(line.unknown).c_str());
        return rq::app::kBadUsageExitStatus;
    }

    rq::app::Devices devices{
        std::make_unique<rq::HidapiLibrary>(),
        std::make_unique<rq::SystemSerialPort>(),
        // Waits keep the window painted but take no operator input and no serial
        // notifications until the command has ended.
        std::make_unique<rq::SteadyClock>([] {
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents |
                                            QEventLoop::ExcludeSocketNotifiers);
        }),
    };
    rq::app::Form1 window(std::move(devices));
    window.show();
    if (line.exitWhenShown) {
        // Runs after the show and expose events already queued: the window has been
        // laid out; repaint() then paints it once more, synchronously, before quitting.
        QTimer::singleShot(0, &window, [&window] {
            window.repaint();
            // exit(), not quit(): under Wine quit() does not end exec().
            QCoreApplication::exit(0);
        });
    }
    return QApplication::exec();
}
