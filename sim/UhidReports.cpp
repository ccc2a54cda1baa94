#include "UhidReports.h"

#include <linux/input.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

namespace rq::sim::uhid {
namespace {

constexpr std::array<std::uint8_t, 25> kVendorDescriptor = {
    0x06, 0x00, 0xFF,  // usage page: vendor 0xFF00
    0x09, 0x01,        // usage 1
    0xA1, 0x01,        // collection: application
    0x15, 0x00,        //   logical minimum 0
    0x26, 0xFF, 0x00,  //   logical maximum 255
    0x75, 0x08,        //   report size 8 bits
    0x95, 0x08,        //   report count 8
    0x09, 0x02,        //   usage 2
    0x81, 0x02,        //   input: data, variable, absolute
    0x09, 0x03,        //   usage 3
    0x91, 0x02,        //   output: data, variable, absolute
    0xC0};             // end collection

constexpr std::array<std::uint8_t, 63> kKeyboardDescriptor = {
    0x05, 0x01, 0x09, 0x06, 0xA1, 0x01,  // generic desktop, keyboard, application
    0x05, 0x07, 0x19, 0xE0, 0x29, 0xE7,  //   keys: the eight modifiers
    0x15, 0x00, 0x25, 0x01, 0x75, 0x01, 0x95, 0x08, 0x81, 0x02, 0x95,
    0x01, 0x75, 0x08, 0x81, 0x01,        //   reserved byte
    0x95, 0x05, 0x75, 0x01, 0x05, 0x08,  //   LEDs out
    0x19, 0x01, 0x29, 0x05, 0x91, 0x02, 0x95, 0x01, 0x75, 0x03, 0x91,
    0x01, 0x95, 0x06, 0x75, 0x08, 0x15, 0x00,  //   six key codes
    0x25, 0x65, 0x05, 0x07, 0x19, 0x00, 0x29, 0x65, 0x81, 0x00, 0xC0};

template <std::size_t N>
void CopyText(std::uint8_t (&into)[N], const std::string& text) {
    std::memcpy(into, text.data(), std::min(text.size(), N - 1));
}

}  // namespace

std::span<const std::uint8_t> VendorDescriptor() {
    return kVendorDescriptor;
}

std::span<const std::uint8_t> KeyboardDescriptor() {
    return kKeyboardDescriptor;
}

uhid_event CreateEvent(const Identity& identity, Interface interface) {
    uhid_event event{};
    event.type = UHID_CREATE2;
    auto& create = event.u.create2;
    const bool vendor = interface == Interface::Vendor;
    CopyText(create.name, vendor ? "RQ-4720 reader (simulated)" : "RQ-4720 keyboard (simulated)");
    CopyText(create.phys, "rq4720-sim/" + identity.serialNumber + (vendor ? "/input0" : "/input1"));
    CopyText(create.uniq, identity.serialNumber);
    const auto descriptor = vendor ? VendorDescriptor() : KeyboardDescriptor();
    std::ranges::copy(descriptor, create.rd_data);
    create.rd_size = static_cast<std::uint16_t>(descriptor.size());
    create.bus = BUS_USB;
    create.vendor = identity.vendorId;
    create.product = identity.productId;
    create.version = 0x0100;
    return event;
}

uhid_event DestroyEvent() {
    uhid_event event{};
    event.type = UHID_DESTROY;
    return event;
}

uhid_event InputEvent(std::span<const std::uint8_t> payload) {
    uhid_event event{};
    event.type = UHID_INPUT2;
    const std::size_t size = std::min(payload.size(), sizeof event.u.input2.data);
    std::copy_n(payload.begin(), size, event.u.input2.data);
    event.u.input2.size = static_cast<std::uint16_t>(size);
    return event;
}

Request Handle(const uhid_event& event) {
    Request request;
    switch (event.type) {
        case UHID_OUTPUT: {
            if (event.u.output.rtype != UHID_OUTPUT_REPORT) {
                break;
            }
            const std::size_t size = std::min<std::size_t>(event.u.output.size, UHID_DATA_MAX);
            const std::span<const std::uint8_t> data(event.u.output.data, size);
            // As the USB HID driver does for a device without report IDs: a leading 0 is
            // the report ID and is not sent; any other first byte is payload.
            const auto payload = !data.empty() && data[0] == 0 ? data.subspan(1) : data;
            Report report{};
            std::copy_n(payload.begin(), std::min(payload.size(), kReportPayload),
                        report.begin() + 1);
            request.outputReport = report;
            break;
        }
        case UHID_GET_REPORT: {
            uhid_event reply{};
            reply.type = UHID_GET_REPORT_REPLY;
            reply.u.get_report_reply.id = event.u.get_report.id;
            reply.u.get_report_reply.err = EIO;
            request.reply = reply;
            break;
        }
        case UHID_SET_REPORT: {
            uhid_event reply{};
            reply.type = UHID_SET_REPORT_REPLY;
            reply.u.set_report_reply.id = event.u.set_report.id;
            reply.u.set_report_reply.err = EIO;
            request.reply = reply;
            break;
        }
        default:
            break;
    }
    return request;
}

}  // namespace rq::sim::uhid
