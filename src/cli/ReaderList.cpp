#include "cli/ReaderList.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QThread>

#include <algorithm>
#include <filesystem>
#include <ostream>

#include "cli/ExitStatus.h"
#include "cli/Json.h"
#include "core/Text.h"
#include "platform/DeviceDiagnosis.h"
#include "platform/SerialPortList.h"
#include "platform/SteadyClock.h"
#include "platform/SystemSerialPort.h"
#include "settings/ReaderSettings.h"
#include "survey/Survey.h"

namespace rq::cli {
namespace {

std::string Canonical(const std::string& path) {
    std::error_code error;
    const std::filesystem::path resolved = std::filesystem::weakly_canonical(path, error);
    return error ? path : resolved.string();
}

bool IsUsb(const ReaderPlace& place) {
    return place.link == ReaderPlace::Link::Usb;
}

// What was found at a place, and where nothing was: why.
struct Finding {
    PlaceReport report;
    std::string problem;  // empty when a reader answered
};

std::string Revision(const PlaceReport& report) {
    return report.revisionB ? "4720B" : "4720A";
}

std::string Rate(const PlaceReport& report) {
    return std::string(BaudNames.at(static_cast<std::size_t>(report.baudCode)));
}

std::string Describe(const Finding& finding) {
    const PlaceReport& report = finding.report;
    if (!finding.problem.empty()) {
        return "no reader: " + finding.problem;
    }
    std::string what = IsUsb(report.place)
                           ? "reader on USB"
                           : "reader " + Revision(report) + " at " + Rate(report) + " baud";
    if (!report.place.serialNumber.empty()) {
        what += ", serial number " + report.place.serialNumber;
    }
    return what + (report.outcome == Outcome::Done ? ", version " + report.version
                                                   : ", no answer to the version query");
}

QJsonObject AsJson(const Finding& finding) {
    const PlaceReport& report = finding.report;
    QJsonObject object{{"id", JsonText(report.place.id)},
                       {"link", IsUsb(report.place) ? "usb" : "rs232"},
                       {"device", JsonText(report.place.device)},
                       {"found", finding.problem.empty()}};
    if (IsUsb(report.place)) {
        object.insert("serial_number", JsonText(report.place.serialNumber));
    } else {
        object.insert("com", report.place.comPort);
    }
    if (finding.problem.empty()) {
        if (!IsUsb(report.place)) {
            object.insert("revision", report.revisionB ? "B" : "A");
            object.insert("rate", static_cast<int>(std::stol(Rate(report))));
        }
        object.insert("version", report.outcome == Outcome::Done
                                     ? QJsonValue(JsonText(report.version))
                                     : QJsonValue());
    } else {
        object.insert("problem", JsonText(finding.problem));
    }
    return object;
}

// A place that may hold a reader the survey could not reach: busy, forbidden, or a node
// that does not open. Nothing may pass over it in silence.
bool Unreached(NodeState state) {
    return state == NodeState::Busy || state == NodeState::NoPermission ||
           state == NodeState::Failed;
}

// Present COM ports above COM16: no search reaches them, a command given one does.
std::vector<ReaderPlace> PlacesBeyondSearch(const PresentSerialPorts& ports) {
    std::vector<ReaderPlace> places;
    for (const int com : ports.beyondSearch) {
        places.push_back({ReaderPlace::Link::Serial,
                          WindowsDeviceName(com).value_or(""),
                          {},
                          com,
                          "com" + std::to_string(com)});
    }
    return places;
}

std::string BeyondSearchText(const ReaderPlace& place) {
    return "outside the search (COM1 to COM16): reach it with --reader " + place.id +
           ", or give the port a number up to COM16";
}

}  // namespace

std::vector<ReaderPlace> CurrentPlaces(HidInventory& inventory) {
    const auto usb = inventory.listHidDevices(kReaderVendorId, kReaderProductId);
    const SerialPortMap map = CurrentSerialPortMap();
    return AllPlaces(usb, map);
}

std::optional<ReaderPlace> PlaceNamed(const std::string& id, HidInventory& inventory) {
    std::vector<ReaderPlace> places = CurrentPlaces(inventory);
    std::ranges::copy(PlacesBeyondSearch(CurrentSerialPorts()), std::back_inserter(places));
    return FindPlace(id, places, Canonical);
}

int RunList(const Arguments& line, HidLibrary& hid, HidInventory& inventory, Clock& clock,
            Console& console) {
    const std::vector<ReaderPlace> places = CurrentPlaces(inventory);
    const auto forPort = [](const ReaderPlace& place) {
        SerialPortMap only;
        only.at(static_cast<std::size_t>(place.comPort - 1)) = place.device;
        return PortProbe{std::make_unique<SystemSerialPort>(only), std::make_unique<SteadyClock>()};
    };
    // Qt's serial ports want threads of Qt's own (with an event dispatcher).
    const auto sideBySide = [](std::vector<std::function<void()>>& jobs,
                               const std::function<void()>& meanwhile) {
        std::vector<std::unique_ptr<QThread>> threads;
        for (std::function<void()>& job : jobs) {
            threads.emplace_back(QThread::create(std::move(job)));
            threads.back()->start();
        }
        meanwhile();
        for (const auto& thread : threads) {
            thread->wait();
        }
    };
    const std::vector<PlaceReport> reports =
        // The IDs need no version: the recipe's pipe need not wait for it.
        SurveyPlaces(places, SurveyDevices{hid, inventory, clock, forPort, sideBySide}, !line.ids);

    std::vector<Finding> findings;
    std::vector<std::string> serialDevices;
    std::vector<std::string> unopenedUsb;
    std::vector<std::string> unreached;
    for (const PlaceReport& report : reports) {
        Finding finding{report, {}};
        if (report.outcome == Outcome::NotFound) {
            const NodeDiagnosis diagnosis = DiagnoseDeviceNode(report.place.device);
            finding.problem = DescribeProblem(diagnosis, IsUsb(report.place));
            if (Unreached(diagnosis.state)) {
                unreached.push_back(report.place.id + " (" + report.place.device +
                                    "): " + finding.problem);
                if (IsUsb(report.place) && diagnosis.state != NodeState::Busy) {
                    unopenedUsb.push_back(report.place.device);
                }
            }
        }
        if (!IsUsb(report.place)) {
            serialDevices.push_back(report.place.device);
        }
        findings.push_back(std::move(finding));
    }
    std::vector<std::string> notes = SetupNotes(serialDevices, unopenedUsb);
    const PresentSerialPorts ports = CurrentSerialPorts();
    const std::vector<ReaderPlace> beyond = PlacesBeyondSearch(ports);
    if (const std::string leftOut = LeftOutPortsNote(ports.leftOut, ports.configured);
        !leftOut.empty()) {
        notes.push_back(leftOut);
    }
    const bool anyFound = std::ranges::any_of(
        findings, [](const Finding& finding) { return finding.problem.empty(); });
    // On a terminal no text from a reader, a device's name or the map may drive it.
    const auto shown = [&console](const std::string& text) {
        return console.outIsTerminal ? text::TerminalSafe(text) : text;
    };

    if (line.ids) {
        for (const Finding& finding : findings) {
            if (finding.problem.empty()) {
                console.out << shown(finding.report.place.id) << '\n';
            }
        }
        // The IDs feed a pipe: what it cannot see goes to standard error.
        for (const std::string& place : unreached) {
            console.err << "rq4720-cli: not probed: " << text::TerminalSafe(place) << '\n';
        }
        console.err << std::flush;
    } else if (line.json) {
        QJsonArray placesJson;
        QJsonArray notesJson;
        for (const Finding& finding : findings) {
            placesJson.append(AsJson(finding));
        }
        for (const std::string& note : notes) {
            notesJson.append(JsonText(note));
        }
        for (const ReaderPlace& place : beyond) {
            notesJson.append(
                JsonText(place.id + " (" + place.device + ") lies " + BeyondSearchText(place)));
        }
        console.out << JsonLine({{"places", placesJson}, {"notes", notesJson}}) << '\n';
    } else {
        std::vector<std::pair<std::string, std::string>> columns;
        std::size_t idWidth = 0;
        std::size_t deviceWidth = 0;
        for (const Finding& finding : findings) {
            columns.emplace_back(shown(finding.report.place.id),
                                 shown(finding.report.place.device));
            idWidth = std::max(idWidth, text::CharacterCount(columns.back().first));
            deviceWidth = std::max(deviceWidth, text::CharacterCount(columns.back().second));
        }
        for (std::size_t i = 0; i < findings.size(); ++i) {
            const auto& [id, device] = columns[i];
            console.out << id << std::string(idWidth - text::CharacterCount(id) + 2, ' ') << device
                        << std::string(deviceWidth - text::CharacterCount(device) + 2, ' ')
                        << shown(Describe(findings[i])) << '\n';
        }
        for (const ReaderPlace& place : beyond) {
            console.out << shown(place.id) << "  " << shown(place.device) << "  "
                        << shown(BeyondSearchText(place)) << '\n';
        }
        if (findings.empty() && beyond.empty()) {
            console.out << "no USB device with the reader's IDs and no serial port\n";
        }
        for (const std::string& note : notes) {
            console.out << "note: " << shown(note) << '\n';
        }
    }
    console.out << std::flush;
    if (!unreached.empty()) {
        return kExitFailed;  // a reader may be there, out of reach
    }
    return anyFound ? kExitConfirmed : kExitNotFound;
}

}  // namespace rq::cli
