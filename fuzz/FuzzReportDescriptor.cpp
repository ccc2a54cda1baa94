// Parses arbitrary bytes as a HID report descriptor (sysfs hands over whatever the
// device claims): never reads past them, and a malformed descriptor gives no lengths.
#include <cstdint>
#include <span>

#include "FuzzChecks.h"
#include "platform/HidReportDescriptor.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> descriptor(data, size);
    const rq::HidReportLayout layout = rq::ParseHidReportDescriptor(descriptor);
    // An application collection is an item of two bytes at least.
    rq::fuzz::Require(layout.applications.size() <= size / 2);
    (void)rq::IsSystemInputInterface(layout);
    // A report with data has its ID byte too, so a length is never exactly 1.
    rq::fuzz::Require(layout.inputLength != 1 && layout.outputLength != 1);
    return 0;
}
