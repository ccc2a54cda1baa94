#pragma once

#include <string>

#include "settings/ReaderSettings.h"

namespace rq::cli {

// The settings as `key = value` lines, keyed as in a settings file ("prefix", "start",
// ..., "capslock"). Texts are quoted, with \", \\ and \xNN for control characters, so a
// blank or a line break in them shows; lists show the text the window shows.
[[nodiscard]] std::string ListSettings(const ReaderSettings& settings);

}  // namespace rq::cli
