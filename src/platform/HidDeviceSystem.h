#pragma once

#include <optional>
#include <string>

#include "platform/HidReportDescriptor.h"

// What the system tells of a HID device beside hidapi: a Linux body (sysfs, the device
// node) and a Windows body (the HID API), each in its own file.
namespace rq::hidsystem {

// The report layout of the device at hidapi's `path`, learnt without opening it for
// reading or writing (a keyboard interface cannot be opened so on Windows); nullopt when
// the system does not tell.
[[nodiscard]] std::optional<HidReportLayout> ReportLayoutOf(const std::string& path);

// Why the device at `path` could not be opened, with a hint for the person setting it
// up where one helps; `hidapiError` is hidapi's own text.
[[nodiscard]] std::string OpenFailureReason(const std::string& path,
                                            const std::string& hidapiError);

}  // namespace rq::hidsystem
