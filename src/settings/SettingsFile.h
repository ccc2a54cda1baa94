#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/Outcome.h"
#include "settings/ReaderSettings.h"

namespace rq {

class StatusLog;
class Dialogs;

// The loader reads at most this much of a file; a longer file counts as ending there.
inline constexpr std::uint64_t kMaxSettingsFileBytes = 64ull * 1024 * 1024;

// Paths are the system's own bytes for them (see text::PathForDisplay).

// Reads the settings file at `path` into `settings`, field by field, with the
// twelve structure checks. Values are applied as they are read, so a structure error
// leaves the fields before it loaded. Reports in the log and in message boxes. Done when
// the whole file was read, otherwise BadInput.
Outcome LoadSettingsFile(std::string_view path, ReaderSettings& settings, StatusLog& log,
                         Dialogs& dialogs);

// Writes `settings` to the settings file at `path` (see ReplaceFileContents). Any failure,
// the final flush included, shows the error box instead of the status line. Done when the
// file was written, otherwise BadInput.
Outcome SaveSettingsFile(std::string_view path, const ReaderSettings& settings, StatusLog& log,
                         Dialogs& dialogs);

// The bytes of a settings file: 22 lines in Windows-1252, each ended by CR LF. A text
// value that would not load back unchanged is written as a quoted field.
struct SettingsFileBytes {
    std::vector<std::uint8_t> bytes;
    // Why the first text value that no file can hold back unchanged was refused, as a
    // status line: a character outside Windows-1252, or a double quote in a value that
    // must be quoted. bytes is then incomplete and must not be written.
    std::optional<std::string> refusal;
};
[[nodiscard]] SettingsFileBytes FormatSettingsFile(const ReaderSettings& settings);

}  // namespace rq
