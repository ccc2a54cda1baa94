#pragma once

#include <QJsonObject>

#include <cstdint>
#include <span>
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
[[nodiscard]] QJsonObject SettingsJson(const ReaderSettings& settings);

// The bytes of the settings block the reader stores that differ from those written, each
// as "key (block byte N): wrote V, reads V". Byte for byte, so also a byte the decoding
// would map back to the value written (a delimiter 9 reads as 4) or ignore (the padding
// after a text). A revision A reader keeps no Caps Lock byte: that one is not compared.
[[nodiscard]] std::vector<std::string> BlockDifferences(std::span<const std::uint8_t> written,
                                                        std::span<const std::uint8_t> stored,
                                                        bool revisionB);

}  // namespace rq::cli
