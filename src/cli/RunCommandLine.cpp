#include "cli/RunCommandLine.h"

#include <QJsonArray>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <exception>
#include <optional>
#include <ostream>
#include <utility>

#include "cli/Arguments.h"
#include "cli/ConsoleDialogs.h"
#include "cli/ConsoleLog.h"
#include "cli/ExitStatus.h"
#include "cli/Json.h"
#include "cli/KeptDevices.h"
#include "cli/Monitor.h"
#include "cli/ProgressBar.h"
#include "cli/ReaderList.h"
#include "cli/SettingsListing.h"
#include "core/NoDevices.h"
#include "core/Text.h"
#include "firmware/UpdateFirmware.h"
#include "link/OnePlace.h"
#include "platform/DeviceDiagnosis.h"
#include "platform/DeviceReports.h"
#include "platform/SerialPortList.h"
#include "platform/SignalShield.h"
#include "protocol/ReaderCommand.h"
#include "protocol/ReaderOperations.h"
#include "protocol/SettingsBlock.h"
#include "settings/SettingsFile.h"

namespace rq::cli {
namespace {

constexpr std::string_view kFlashNotice =
    "\nrq4720-cli: Ctrl-C does not cut a firmware update off\n";
constexpr std::string_view kNotStarted =
    "rq4720-cli: no firmware update was started; the reader is unchanged\n";

int BadUsage(Console& console, std::string_view problem) {
    // The problem may quote an argument, which may hold anything.
    // One line to the help, so that the problem stays in sight on a small terminal.
    console.err << "rq4720-cli: " << text::TerminalSafe(problem) << "\n"
                << "Try 'rq4720-cli --help' for more information.\n"
                << std::flush;
    return kExitBadUsage;
}

// Without an inventory of its own the program lists no USB device.
class NoInventory final : public HidInventory {
  public:
    [[nodiscard]] std::vector<HidDeviceInfo> listHidDevices(std::uint16_t, std::uint16_t) override {
        return {};
    }
};

constexpr std::string_view kCommandNames[] = {"write", "read",    "reset", "version",
                                              "flash", "monitor", "list"};

std::string_view OutcomeName(int status) {
    switch (status) {
        case kExitConfirmed:
            return "done";
        case kExitNotFound:
            return "not-found";
        case kExitFailed:
            return "failed";
        case kExitBadInput:
            return "bad-input";
        case kExitDeclined:
            return "declined";
        case kExitWrongLink:
            return "wrong-link";
        default:
            return "bad-usage";
    }
}

// One reader command over a context of its own, as the window runs a menu command.
class Session {
  public:
    // `hid` and `serial` are the searches' view (one place with --reader); `kept` are
    // the devices below it, which write --verify keeps open from the write to the read-back.
    Session(const Arguments& line, Devices devices, OneHidPlace& hid, KeptHidLibrary& keptHid,
            KeptSerialPort& keptSerial, HidInventory& inventory, Console& console)
        : line_(line),
          console_(console),
          hid_(hid),
          keptHid_(keptHid),
          keptSerial_(keptSerial),
          inventory_(inventory),
          // With --json standard output carries the JSON object alone.
          log_(line.json ? console.err : console.out),
          dialogs_(console, line.yes),
          ctx_{state_, settings_, log_, dialogs_, hid, devices.serial, devices.clock} {
        // Standard error is for a person; standard output only on a terminal (a pipe gets
        // the reader's text as it came, as monitor --raw does).
        const bool raw = line.command == Command::Monitor && line.raw;
        log_.setSafeLines(!raw && (line.json || console.outIsTerminal));
    }

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
            case Command::List:
                break;  // runs without a session
        }
        return kExitBadUsage;
    }

    // The COM number (0: none) and rate code where the command reached the reader.
    [[nodiscard]] std::pair<int, int> reached() const {
        return writtenAt_.value_or(std::pair{state_.SerialReaderFound, state_.SearchBaudCode});
    }
    [[nodiscard]] const ProgramState& state() const { return state_; }
    [[nodiscard]] const ReaderSettings& settings() const { return settings_; }
    [[nodiscard]] bool settingsLoaded() const { return settingsLoaded_; }
    [[nodiscard]] const std::vector<std::string>& differences() const { return differences_; }

  private:
    int write() {
        Outcome outcome = LoadSettingsFile(line_.path, settings_, log_, dialogs_);
        settingsLoaded_ = outcome == Outcome::Done;
        if (outcome == Outcome::Done) {
            keptHid_.keep(line_.verify);
            keptSerial_.keep(line_.verify);
            outcome = WriteSettingsToReader(ctx_);
        }
        if (outcome == Outcome::Done && line_.verify) {
            // The record names where the write went, not where the read-back found the
            // reader (a new rate in the block moves it).
            writtenAt_ = {state_.SerialReaderFound, state_.SearchBaudCode};
            outcome = verify();
        }
        keptHid_.keep(false);
        keptSerial_.keep(false);
        return ExitStatus(outcome);
    }

    // Reads the block back from the reader just written, still held, and compares it with
    // the block written byte for byte.
    Outcome verify() {
        const int com = state_.SerialReaderFound;
        NoHidLibrary noUsb;
        NoSerialPort noPort;
        OneHidPlace device(keptHid_, inventory_, com != 0 ? "" : hid_.openedPath());
        OneSerialPlace port(keptSerial_, com);
        ReaderSettings stored;
        OperationContext readBack{state_,
                                  stored,
                                  log_,
                                  dialogs_,
                                  com != 0 ? static_cast<HidLibrary&>(noUsb) : device,
                                  com != 0 ? static_cast<SerialPort&>(port) : noPort,
                                  ctx_.clock};
        const auto written = EncodeSettings(settings_);
        const std::vector<std::uint8_t> reply = ReadSettingsFromReader(readBack) == Outcome::Done
                                                    ? text::EncodeCp1252(state_.ReplyText).bytes
                                                    : std::vector<std::uint8_t>{};
        const std::size_t start = kReadSettingsReplyHeader.size();
        if (reply.size() < start + kSettingsBlockLength ||
            !std::holds_alternative<SettingsBlock>(written)) {
            console_.err << "rq4720-cli: verify: the settings could not be read back\n"
                         << std::flush;
            differences_.emplace_back("the settings could not be read back");
            return Outcome::Failed;
        }
        const SettingsBlock& block = std::get<SettingsBlock>(written);
        differences_ = BlockDifferences(
            block, std::span(reply).subspan(start, kSettingsBlockLength), state_.ReaderRevision);
        if (differences_.empty()) {
            if (!state_.ReaderRevision && settings_.capsLock) {
                log_.appendLine("Note: revision A keeps no Caps Lock setting.");
            }
            log_.appendLine("Verified: the reader holds the settings written.");
            return Outcome::Done;
        }
        console_.err << "rq4720-cli: verify: the reader holds other settings than written:\n";
        for (const std::string& difference : differences_) {
            console_.err << "  " << difference << "\n";
        }
        console_.err << std::flush;
        return Outcome::Failed;
    }

    int read() {
        Outcome outcome = ReadSettingsFromReader(ctx_);
        settingsLoaded_ = outcome == Outcome::Done;
        if (outcome == Outcome::Done) {
            if (line_.output.empty()) {
                // With --json the settings are in the object.
                if (!line_.json) {
                    console_.out << ListSettings(settings_) << std::flush;
                }
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
    OneHidPlace& hid_;
    KeptHidLibrary& keptHid_;
    KeptSerialPort& keptSerial_;
    HidInventory& inventory_;
    ProgramState state_;
    ReaderSettings settings_;
    ConsoleLog log_;
    ConsoleDialogs dialogs_;
    OperationContext ctx_;
    bool settingsLoaded_ = false;
    std::vector<std::string> differences_;
    std::optional<std::pair<int, int>> writtenAt_;
};

// Where the command reached a reader, for its record.
void AddWhere(QJsonObject& object, const std::string& reader, const char* link,
              const std::string& port, const QJsonValue& rate) {
    object.insert("reader", JsonText(reader));
    object.insert("link", link != nullptr ? QJsonValue(link) : QJsonValue());
    object.insert("port", port.empty() ? QJsonValue() : QJsonValue(JsonText(port)));
    object.insert("rate", rate);
}

// Why no reader answered where the command looked.
std::string NotFoundProblem(const std::optional<ReaderPlace>& place, Console& console) {
    // What the bindings told of the devices they passed over (busy, forbidden).
    std::string told;
    for (const std::string& problem : TakeToldDeviceProblems()) {
        told += (told.empty() ? "" : "; ") + problem;
    }
    if (!place) {
        return told.empty() ? "no reader on USB nor on the serial ports" : told;
    }
    const NodeDiagnosis diagnosis = DiagnoseDeviceNode(place->device);
    const std::string problem = DescribeProblem(diagnosis, place->link == ReaderPlace::Link::Usb);
    // The bindings have told a busy or forbidden device already.
    if (told.empty()) {
        console.err << "rq4720-cli: "
                    << text::TerminalSafe(place->id + " (" + place->device + "): " + problem)
                    << "\n"
                    << std::flush;
    }
    return problem;
}

// Runs the session over the devices as one place sees them (with --reader) and, with
// --json, prints its record.
int RunReaderCommand(const Arguments& line, Devices devices, Console& console) {
    const auto started = std::chrono::steady_clock::now();
    NoInventory noInventory;
    HidInventory& inventory = devices.inventory != nullptr ? *devices.inventory : noInventory;
    const std::string_view command = kCommandNames[static_cast<int>(line.command)];
    (void)TakeToldDeviceProblems();  // only this command's

    // Ports no COM number reaches are named once, before a search passes them over.
    if (const PresentSerialPorts ports = CurrentSerialPorts(); !ports.leftOut.empty()) {
        console.err << "rq4720-cli: note: " << LeftOutPortsNote(ports.leftOut, ports.configured)
                    << "\n"
                    << std::flush;
    }
    std::optional<ReaderPlace> place;
    if (!line.reader.empty()) {
        place = PlaceNamed(line.reader, inventory);
        if (!place) {
            console.err << "rq4720-cli: no reader can be at '" << text::TerminalSafe(line.reader)
                        << "': no such USB device or serial port (rq4720-cli list shows them)\n"
                        << std::flush;
            if (line.json) {
                const QJsonObject object{{"reader", JsonText(line.reader)},
                                         {"command", JsonText(command)},
                                         {"outcome", JsonText(OutcomeName(kExitNotFound))},
                                         {"exit", kExitNotFound},
                                         {"problem", "no such place"}};
                console.out << JsonLine(object) << "\n" << std::flush;
            }
            return kExitNotFound;
        }
    }
    // With a place, the searches see only it: a USB place hides every serial port, a
    // serial place every USB device and every other port.
    std::optional<std::string> usbKey;
    if (place) {
        usbKey = place->link == ReaderPlace::Link::Usb ? place->usbKey() : std::string();
    }
    KeptHidLibrary keptHid(devices.hid);
    KeptSerialPort keptSerial(devices.serial);
    OneHidPlace hid(keptHid, inventory, usbKey);
    OneSerialPlace onePort(keptSerial,
                           place && place->link == ReaderPlace::Link::Serial ? place->comPort : 0);
    SerialPort& serial = place ? static_cast<SerialPort&>(onePort) : keptSerial;

    Session session(line, {hid, serial, devices.clock, devices.inventory}, hid, keptHid, keptSerial,
                    inventory, console);
    int status = kExitFailed;
    try {
        status = session.run();
    } catch (const std::exception& failure) {
        // The operation has closed its devices on the way out.
        console.err << "rq4720-cli: " << text::TerminalSafe(failure.what()) << "\n" << std::flush;
    }
    // Bad usage found by the command itself (flash off a terminal) prints no record either.
    if (status == kExitBadUsage) {
        return status;
    }
    const std::string problem = status == kExitNotFound ? NotFoundProblem(place, console) : "";
    if (!line.json) {
        return status;
    }

    const ProgramState& state = session.state();
    const auto [com, baudCode] = session.reached();
    QJsonObject object;
    if (com != 0) {
        AddWhere(
            object, place ? place->id : "com" + std::to_string(com), "rs232",
            place ? place->device : CurrentSerialPortMap().at(static_cast<std::size_t>(com - 1)),
            static_cast<int>(
                std::stol(std::string(BaudNames.at(static_cast<std::size_t>(baudCode))))));
    } else if (status != kExitNotFound && !hid.openedPath().empty()) {
        AddWhere(object, place ? place->id : "usb:" + hid.openedPath(), "usb", hid.openedPath(),
                 QJsonValue());
    } else {
        AddWhere(object, place ? place->id : "", nullptr, "", QJsonValue());
    }
    object.insert("command", JsonText(command));
    object.insert("outcome", JsonText(OutcomeName(status)));
    object.insert("exit", status);
    if (line.command == Command::Version && status == kExitConfirmed) {
        object.insert("version", JsonText(state.ReplyText));
    }
    const std::chrono::duration<double> taken = std::chrono::steady_clock::now() - started;
    object.insert("seconds", std::round(taken.count() * 1000) / 1000);
    if (session.settingsLoaded() &&
        (line.command == Command::Write || line.command == Command::Read)) {
        object.insert("settings", SettingsJson(session.settings()));
    }
    if (line.verify) {
        QJsonArray differences;
        for (const std::string& difference : session.differences()) {
            differences.append(JsonText(difference));
        }
        object.insert("differences", differences);
    }
    if (!problem.empty()) {
        object.insert("problem", JsonText(problem));
    }
    console.out << JsonLine(object) << "\n" << std::flush;
    return status;
}

}  // namespace

int RunCommandLine(std::span<const std::string_view> arguments, Devices devices, Console& console) {
    // The bindings tell why they passed a device over under this program's name.
    const ReportingProgram reporting("rq4720-cli", console.err);
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
    if (line.command == Command::List) {
        NoInventory noInventory;
        return RunList(line, devices.hid,
                       devices.inventory != nullptr ? *devices.inventory : noInventory,
                       devices.clock, console);
    }
    return RunReaderCommand(line, devices, console);
}

}  // namespace rq::cli
