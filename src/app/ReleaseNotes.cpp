#include "app/ReleaseNotes.h"

#include <initializer_list>
#include <string_view>

#include "core/Dialogs.h"
#include "core/StatusLog.h"

namespace rq::app {
namespace {

std::string Lines(std::initializer_list<std::string_view> lines) {
    std::string body;
    for (const std::string_view line : lines) {
        body += line;
        body += "\r\n";
    }
    return body;
}

}  // namespace

std::string ReleaseNotesBody(ReleaseNotesVersion version) {
    switch (version) {
        case ReleaseNotesVersion::V20:
            return Lines({"1. Compatilbe to Quorrindel 4720 rev.A (RS232)",
                          "2. New function for Quorrindel 4720 rev.B",
                          "3. Support USB-KB,RS232(USB-RS232) programming",
                          "4. Support 32/64bits WinXP/7/8"});
        case ReleaseNotesVersion::V21:
            return Lines({"1. Fix for compatible to 4720 rev.A issues.",
                          "2. Fix Field: Number of character issue (Read)."});
        case ReleaseNotesVersion::V22:
            return Lines({"1. Fix USB-KB firmware update issue."});
    }
    return {};
}

void ShowReleaseNotes(ReleaseNotesVersion version, StatusLog& log, Dialogs& dialogs) {
    log.clear();
    dialogs.messageBox(ReleaseNotesBody(version), kReleaseNotesTitle, DialogIcon::Information,
                       DialogButtons::Ok);
}

}  // namespace rq::app
