#include "cli/RunCommandLine.h"

#include <exception>
#include <ostream>

#include "cli/Arguments.h"
#include "cli/ConsoleDialogs.h"
#include "cli/ConsoleLog.h"
#include "cli/ExitStatus.h"
#include "cli/Monitor.h"
#include "cli/ProgressBar.h"
#include "cli/SettingsListing.h"
#include "cli/SignalShield.h"
#include "firmware/UpdateFirmware.h"
#include "protocol/ReaderOperations.h"
#include "settings/SettingsFile.h"

namespace rq::cli {
namespace {

constexpr std::string_view kFlashNotice =
    "\nrq4720-cli: Ctrl-C does not cut a firmware update off\n";
constexpr std::string_view kNotStarted =
    "rq4720-cli: no firmware update was started; the reader is unchanged\n";

int BadUsage(Console& console, std::string_view problem) {
    console.err << "rq4720-cli: " << problem << "\n" << UsageText() << std::flush;
    return kExitBadUsage;
}

// One reader command over a context of its own, as the window runs a menu command.
class Session {
  public:
    Session(const Arguments& line, Devices devices, Console& console)
        : line_(line),
          console_(console),
          log_(console.out),
          dialogs_(console, line.yes),
          ctx_{state_, settings_, log_, dialogs_, devices.hid, devices.serial, devices.clock} {}

    int run() {
        switch (line_.command) {
            case Command::Write:
                return write();
            case Command::Read:
                return read();
            case Command::Reset:
                return ExitStatus(ResetReaderToDefaults(ctx_));
            case Command::Version:
                return ExitStatus(ReadFirmwareVersion(ctx_));
            case Command::Flash:
                return flash();
            case Command::Monitor:
                return monitor();
        }
        return kExitBadUsage;
    }

  private:
    int write() {
        Outcome outcome = LoadSettingsFile(line_.path, settings_, log_, dialogs_);
        if (outcome == Outcome::Done) {
            outcome = WriteSettingsToReader(ctx_);
        }
        return ExitStatus(outcome);
    }

    int read() {
        Outcome outcome = ReadSettingsFromReader(ctx_);
        if (outcome == Outcome::Done) {
            if (line_.output.empty()) {
                console_.out << ListSettings(settings_) << std::flush;
            } else {
                outcome = SaveSettingsFile(line_.output, settings_, log_, dialogs_);
            }
        }
        return ExitStatus(outcome);
    }

    int flash() {
        if (!line_.yes && !console_.inIsTerminal) {
            return BadUsage(console_,
                            "flash asks before it starts: without a terminal, give --yes");
        }
        state_.ChosenFilePath = line_.path;
        // Until the question is answered Ok, Ctrl-C answers it Cancel; from then on the
        // update runs to its end and a signal only earns the notice.
        SignalShield shield;
        dialogs_.setOnConfirmed([&shield] { shield.setNotice(kFlashNotice); });
        log_.setProgressDots(true);
        ProgressBar bar(log_, ctx_.clock);
        // Off a terminal the update writes its own dots, which a log file keeps well.
        const Outcome outcome = UpdateFirmware(ctx_, console_.outIsTerminal ? &bar : nullptr);
        if (outcome == Outcome::Declined) {
            console_.err << kNotStarted << std::flush;
        }
        return ExitStatus(outcome);
    }

    int monitor() {
        // A terminal shows the reader's control bytes instead of obeying them.
        const bool raw = line_.raw || !console_.outIsTerminal;
        log_.setPieceStyle(raw ? ByteStyle::Raw : ByteStyle::Visible);
        return RunMonitor(ctx_, console_);
    }

    const Arguments& line_;
    Console& console_;
    ProgramState state_;
    ReaderSettings settings_;
    ConsoleLog log_;
    ConsoleDialogs dialogs_;
    OperationContext ctx_;
};

}  // namespace

int RunCommandLine(std::span<const std::string_view> arguments, Devices devices, Console& console) {
    const Arguments line = ParseArguments(arguments);
    switch (line.action) {
        case Arguments::Action::Help:
            console.out << UsageText() << std::flush;
            return kExitConfirmed;
        case Arguments::Action::ShowVersion:
            console.out << VersionText() << std::flush;
            return kExitConfirmed;
        case Arguments::Action::BadUsage:
            return BadUsage(console, line.problem);
        case Arguments::Action::Run:
            break;
    }
    try {
        return Session(line, devices, console).run();
    } catch (const std::exception& failure) {
        // The operation has closed its devices on the way out.
        console.err << "rq4720-cli: " << failure.what() << "\n" << std::flush;
        return kExitFailed;
    }
}

}  // namespace rq::cli
