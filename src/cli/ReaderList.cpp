#include "cli/ReaderList.h"

#include <QThread>

#include <algorithm>
#include <filesystem>
#include <ostream>

#include "cli/ExitStatus.h"
#include "cli/Json.h"
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

std::string AsJson(const Finding& finding) {
    const PlaceReport& report = finding.report;
    JsonObject object;
    object.text("id", report.place.id)
        .text("link", IsUsb(report.place) ? "usb" : "rs232")
        .text("device", report.place.device);
    if (IsUsb(report.place)) {
        object.text("serial_number", report.place.serialNumber);
    } else {
        object.number("com", report.place.comPort);
    }
    object.flag("found", finding.problem.empty());
    if (finding.problem.empty()) {
        if (!IsUsb(report.place)) {
            object.text("revision", report.revisionB ? "B" : "A")
                .number("rate", std::stol(Rate(report)));
        }
        if (report.outcome == Outcome::Done) {
            object.text("version", report.version);
        } else {
            object.null("version");
        }
    } else {
        object.text("problem", finding.problem);
    }
    return object.str();
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
    for (const PlaceReport& report : reports) {
        Finding finding{report, {}};
        if (report.outcome == Outcome::NotFound) {
            const NodeDiagnosis diagnosis = DiagnoseDeviceNode(report.place.device);
            finding.problem = diagnosis.state != NodeState::Usable
                                  ? DescribeProblem(diagnosis, IsUsb(report.place))
                              : IsUsb(report.place) ? "no answer to the handshake"
                                                    : "no answer at any rate";
        }
        if (!IsUsb(report.place)) {
            serialDevices.push_back(report.place.device);
        }
        findings.push_back(std::move(finding));
    }
    std::vector<std::string> notes = SetupNotes(serialDevices);
    const PresentSerialPorts ports = CurrentSerialPorts();
    const std::vector<ReaderPlace> beyond = PlacesBeyondSearch(ports);
    if (const std::string leftOut = LeftOutPortsNote(ports.leftOut, ports.configured);
        !leftOut.empty()) {
        notes.push_back(leftOut);
    }
    const bool anyFound = std::ranges::any_of(
        findings, [](const Finding& finding) { return finding.problem.empty(); });

    if (line.ids) {
        for (const Finding& finding : findings) {
            if (finding.problem.empty()) {
                console.out << finding.report.place.id << '\n';
            }
        }
    } else if (line.json) {
        std::vector<std::string> placesJson;
        std::vector<std::string> notesJson;
        std::ranges::transform(findings, std::back_inserter(placesJson), AsJson);
        std::ranges::transform(notes, std::back_inserter(notesJson), JsonString);
        for (const ReaderPlace& place : beyond) {
            notesJson.push_back(
                JsonString(place.id + " (" + place.device + ") lies " + BeyondSearchText(place)));
        }
        console.out << JsonObject()
                           .json("places", JsonArray(placesJson))
                           .json("notes", JsonArray(notesJson))
                           .str()
                    << '\n';
    } else {
        std::size_t idWidth = 0;
        std::size_t deviceWidth = 0;
        for (const Finding& finding : findings) {
            idWidth = std::max(idWidth, finding.report.place.id.size());
            deviceWidth = std::max(deviceWidth, finding.report.place.device.size());
        }
        for (const Finding& finding : findings) {
            const ReaderPlace& place = finding.report.place;
            console.out << place.id << std::string(idWidth - place.id.size() + 2, ' ')
                        << place.device << std::string(deviceWidth - place.device.size() + 2, ' ')
                        << Describe(finding) << '\n';
        }
        for (const ReaderPlace& place : beyond) {
            console.out << place.id << "  " << place.device << "  " << BeyondSearchText(place)
                        << '\n';
        }
        if (findings.empty() && beyond.empty()) {
            console.out << "no USB device with the reader's IDs and no serial port\n";
        }
        for (const std::string& note : notes) {
            console.out << "note: " << note << '\n';
        }
    }
    console.out << std::flush;
    return anyFound ? kExitConfirmed : kExitNotFound;
}

}  // namespace rq::cli
