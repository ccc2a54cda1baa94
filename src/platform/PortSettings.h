#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace rq {

// The baud rate of a "<baud>,n,8,1" text with one of the reader's baud texts.
[[nodiscard]] std::optional<std::int32_t> BaudRateOfSettings(std::string_view settings);

}  // namespace rq
