#pragma once

#include <string>
#include <vector>

#include "settings/ReaderSettings.h"

namespace rq::cli {

// The settings as `key = value` lines, keyed as in a settings file ("prefix", "start",
// ..., "capslock"). Texts are quoted, with \", \\ and \xNN for control characters, so a
// blank or a line break in them shows; lists show the text the window shows.
[[nodiscard]] std::string ListSettings(const ReaderSettings& settings);

// The same keys as one JSON object: texts as strings, numbers, lists by their text,
// switches as true or false.
[[nodiscard]] std::string SettingsJson(const ReaderSettings& settings);

// The keys whose values differ, each as "key: wrote VALUE, reads VALUE".
[[nodiscard]] std::vector<std::string> SettingsDifferences(const ReaderSettings& written,
                                                           const ReaderSettings& read);

}  // namespace rq::cli
