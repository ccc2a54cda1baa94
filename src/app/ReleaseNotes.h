#pragma once

#include <string>
#include <string_view>

namespace rq {
class Dialogs;
class StatusLog;
}  // namespace rq

namespace rq::app {

enum class ReleaseNotesVersion { V20, V21, V22 };

inline constexpr std::string_view kReleaseNotesTitle = "4720B Release Notes";

// The notes of one version, every line ended by CR LF (the last one too).
[[nodiscard]] std::string ReleaseNotesBody(ReleaseNotesVersion version);

// Clears the status log, then shows the notes in an information box.
void ShowReleaseNotes(ReleaseNotesVersion version, StatusLog& log, Dialogs& dialogs);

}  // namespace rq::app
