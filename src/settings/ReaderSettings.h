#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace rq {

class StatusLog;
class Dialogs;

enum class DelimiterCode : int { CrLf = 0, Cr = 1, Lf = 2, Tab = 3, Disable = 4 };
enum class BaudCode : int { Baud9600 = 0, Baud19200 = 6, Baud57600 = 8, Baud115200 = 9 };

// List texts by delimiter code.
inline constexpr std::array<std::string_view, 5> DelimiterNames = {"<CR+LF>", "<CR>", "<LF>",
                                                                   "<TAB>", "Disable"};
// List texts by the reader's baud code; only four of the ten slots are used.
inline constexpr std::array<std::string_view, 10> BaudNames = {
    "9600", "", "", "", "", "", "19200", "", "57600", "115200"};
// The codes of the baud list, in list order.
inline constexpr std::array<int, 4> kBaudListCodes = {0, 6, 8, 9};

// Characters a prefix, postfix or on-remove text may hold.
inline constexpr std::size_t kMaxFieldCharacters = 7;
inline constexpr int kMinPosition = 1;
inline constexpr int kMaxPosition = 16;

// The ten reader settings that the main window edits. Texts are UTF-8.
struct ReaderSettings {
    std::string prefix;
    int startFrom = 1;   // 1 to 16
    int charCount = 16;  // 1 to 16
    std::string postfix;
    int delimiter = static_cast<int>(DelimiterCode::CrLf);  // index into DelimiterNames
    std::string onRemove;
    bool buzzer = true;
    int baudCode = static_cast<int>(BaudCode::Baud9600);  // index into BaudNames
    bool ps2KbLock = false;
    bool capsLock = false;
    // Whether the Caps Lock box can be changed; a read from a revision A reader
    // disables it until a read from a revision B reader.
    bool capsLockEnabled = true;

    friend bool operator==(const ReaderSettings&, const ReaderSettings&) = default;
};

// A text from elsewhere (a file, the reader) cut to what a text box holds.
[[nodiscard]] std::string CutToFieldLength(std::string_view utf8);

// The code of a shown list text, compared exactly; nullopt leaves the code as it was.
[[nodiscard]] std::optional<int> DelimiterCodeForText(std::string_view text);
[[nodiscard]] std::optional<int> BaudCodeForText(std::string_view text);

// Codes that come from outside: out-of-range delimiters (negative too) become Disable,
// baud codes without a list text become 9600.
[[nodiscard]] int NormaliseDelimiterCode(int code);
[[nodiscard]] int NormaliseBaudCode(int code);

// "Clear all setting fields to default": asks first; Cancel changes nothing.
// Returns whether the fields were cleared. The enabled state of Caps Lock is kept.
bool ClearFields(ReaderSettings& settings, StatusLog& log, Dialogs& dialogs);

}  // namespace rq
