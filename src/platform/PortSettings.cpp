#include "platform/PortSettings.h"

#include <string>

#include "settings/ReaderSettings.h"

namespace rq {
namespace {

constexpr std::string_view kFrameSuffix = ",n,8,1";

}  // namespace

std::optional<std::int32_t> BaudRateOfSettings(std::string_view settings) {
    if (!settings.ends_with(kFrameSuffix)) {
        return std::nullopt;
    }
    const std::string_view baud = settings.substr(0, settings.size() - kFrameSuffix.size());
    if (baud.empty() || BaudCodeForText(baud) == std::nullopt) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(std::stol(std::string(baud)));
}

}  // namespace rq
