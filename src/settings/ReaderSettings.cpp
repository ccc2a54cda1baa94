#include "settings/ReaderSettings.h"

#include "core/Dialogs.h"
#include "core/StatusLog.h"
#include "core/Text.h"

namespace rq {
namespace {

template <std::size_t N>
std::optional<int> IndexOf(const std::array<std::string_view, N>& names, std::string_view text) {
    for (std::size_t i = 0; i < N; ++i) {
        // Empty baud slots never match, even an empty shown text.
        if (!names[i].empty() && names[i] == text) {
            return static_cast<int>(i);
        }
    }
    return std::nullopt;
}

}  // namespace

std::string CutToFieldLength(std::string_view utf8) {
    return text::LeftCharacters(utf8, kMaxFieldCharacters);
}

std::optional<int> DelimiterCodeForText(std::string_view text) {
    return IndexOf(DelimiterNames, text);
}

std::optional<int> BaudCodeForText(std::string_view text) {
    return IndexOf(BaudNames, text);
}

int NormaliseDelimiterCode(int code) {
    return (code < 0 || code > static_cast<int>(DelimiterCode::Disable))
               ? static_cast<int>(DelimiterCode::Disable)
               : code;
}

int NormaliseBaudCode(int code) {
    if (code < 0 || code >= static_cast<int>(BaudNames.size()) || BaudNames[code].empty()) {
        return static_cast<int>(BaudCode::Baud9600);
    }
    return code;
}

bool ClearFields(ReaderSettings& settings, StatusLog& log, Dialogs& dialogs) {
    if (dialogs.messageBox("Confirm ? ", "Clear Fields", DialogIcon::Warning,
                           DialogButtons::OkCancel) != DialogAnswer::Ok) {
        return false;
    }
    log.clear();
    const bool capsLockEnabled = settings.capsLockEnabled;
    settings = ReaderSettings{};
    settings.capsLockEnabled = capsLockEnabled;
    log.appendLine("All fileds sets to default !");
    log.repaint();
    return true;
}

}  // namespace rq
