#include "survey/Survey.h"

#include <thread>

#include "core/NoDevices.h"
#include "link/OnePlace.h"
#include "link/SerialLink.h"
#include "link/UsbLink.h"
#include "protocol/ReaderOperations.h"

namespace rq {
namespace {

// A probe shows nothing: the survey reports what it found.
class QuietLog final : public StatusLog {
  public:
    void appendLine(std::string_view) override {}
    void appendPiece(std::string_view) override {}
    void appendEmptyLine() override {}
    void clear() override {}
    void repaint() override {}
    void repaintWindow() override {}
    void setTextColour(Rgb) override {}
    [[nodiscard]] PrintPosition printPosition() const override { return {}; }
    void takeFocus() override {}
};

// The version query asks nothing; any box would be declined.
class NoQuestions final : public Dialogs {
  public:
    DialogAnswer messageBox(std::string_view, std::string_view, DialogIcon,
                            DialogButtons buttons) override {
        return buttons == DialogButtons::Ok ? DialogAnswer::Ok : DialogAnswer::Cancel;
    }
};

// The searches alone: a reader found there is Done, without its version.
Outcome Search(OperationContext& ctx) {
    SearchUsbReader(ctx);
    if (ctx.state.LinkStatus == LinkState::Ok) {
        CloseUsbReader(ctx);
        return Outcome::Done;
    }
    SearchSerialReader(ctx);
    if (ctx.state.SerialReaderFound == 0) {
        return Outcome::NotFound;
    }
    ctx.serial.close();
    return Outcome::Done;
}

PlaceReport Probe(const ReaderPlace& place, HidLibrary& hid, SerialPort& serial, Clock& clock,
                  bool version) {
    ProgramState state;
    ReaderSettings settings;
    QuietLog log;
    NoQuestions dialogs;
    OperationContext ctx{state, settings, log, dialogs, hid, serial, clock};
    PlaceReport report;
    report.place = place;
    report.outcome = version ? ReadFirmwareVersion(ctx) : Search(ctx);
    report.version = state.ReplyText;
    report.revisionB = state.ReaderRevision;
    if (place.link == ReaderPlace::Link::Serial && state.SerialReaderFound != 0) {
        report.baudCode = state.SearchBaudCode;
    }
    return report;
}

}  // namespace

std::vector<PlaceReport> SurveyPlaces(std::span<const ReaderPlace> places,
                                      const SurveyDevices& devices, bool versions) {
    std::vector<PlaceReport> reports(places.size());
    std::vector<std::function<void()>> jobs;
    for (std::size_t i = 0; i < places.size(); ++i) {
        if (places[i].link == ReaderPlace::Link::Serial) {
            jobs.emplace_back([&, i] {
                PortProbe probe = devices.forPort(places[i]);
                NoHidLibrary noUsb;
                OneSerialPlace onePort(*probe.port, places[i].comPort);
                reports[i] = Probe(places[i], noUsb, onePort, *probe.clock, versions);
            });
        }
    }
    // The USB devices answer within milliseconds: one after the other on this thread,
    // which owns the HID library, while the ports wait for their answers.
    const auto usb = [&] {
        for (std::size_t i = 0; i < places.size(); ++i) {
            if (places[i].link == ReaderPlace::Link::Usb) {
                OneHidPlace oneDevice(devices.hid, devices.inventory, places[i].usbKey());
                NoSerialPort noPort;
                reports[i] = Probe(places[i], oneDevice, noPort, devices.clock, versions);
            }
        }
    };
    if (devices.sideBySide) {
        devices.sideBySide(jobs, usb);
    } else {
        std::vector<std::jthread> threads;
        for (std::function<void()>& job : jobs) {
            threads.emplace_back(std::move(job));
        }
        usb();
    }  // the threads end here
    return reports;
}

}  // namespace rq
