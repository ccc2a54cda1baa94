#include "settings/SettingsFile.h"

#include <algorithm>
#include <array>
#include <limits>
#include <string>

#include "core/Dialogs.h"
#include "core/FileAccess.h"
#include "core/StatusLog.h"
#include "core/Text.h"
#include "settings/SettingsFileReader.h"

namespace rq {
namespace {

constexpr std::string_view kMarker = "[4720-01 Settings File]";
constexpr std::string_view kBanner = "iButton Reader 4720 Quorrindel Inc.";
constexpr std::string_view kLineEnd = "\r\n";

// A number that does not fit 16 bits counts as larger than any field allows.
int WholeNumber(const SettingsField& field) {
    const auto n = field.number().rounded();
    return n ? *n : std::numeric_limits<int>::max();
}

void ApplyPosition(int& position, const SettingsField& field) {
    const int n = WholeNumber(field);
    if (n < 0) {
        return;
    }
    position = n == 0 ? kMinPosition : std::min(n, kMaxPosition);
}

using ApplyValue = void (*)(ReaderSettings&, const SettingsField&);

// One key check of the loader and what the field after the key sets.
struct LoadStep {
    std::string_view key;
    ApplyValue apply;  // nullptr for the two header lines
};

const std::array<LoadStep, 12> kLoadSteps = {{
    {kMarker, nullptr},
    {kBanner, nullptr},
    {"[PREFIX]", [](ReaderSettings& s,
                    const SettingsField& f) { s.prefix = f.leftCharacters(kMaxFieldCharacters); }},
    {"[START]", [](ReaderSettings& s, const SettingsField& f) { ApplyPosition(s.startFrom, f); }},
    {"[NUMBER]", [](ReaderSettings& s, const SettingsField& f) { ApplyPosition(s.charCount, f); }},
    {"[POSTIFIX]",
     [](ReaderSettings& s, const SettingsField& f) {
         s.postfix = f.leftCharacters(kMaxFieldCharacters);
     }},
    {"[DELIMITER]",
     [](ReaderSettings& s, const SettingsField& f) {
         s.delimiter = NormaliseDelimiterCode(WholeNumber(f));
     }},
    {"[ONREMOVE]",
     [](ReaderSettings& s, const SettingsField& f) {
         s.onRemove = f.leftCharacters(kMaxFieldCharacters);
     }},
    {"[BUZZER]",
     [](ReaderSettings& s, const SettingsField& f) { s.buzzer = f.number().isExactlyOne(); }},
    {"[BAUD]", [](ReaderSettings& s,
                  const SettingsField& f) { s.baudCode = NormaliseBaudCode(WholeNumber(f)); }},
    {"[PS2KBLOCK]",
     [](ReaderSettings& s, const SettingsField& f) { s.ps2KbLock = f.number().isExactlyOne(); }},
    {"[CAPSLOCK]",
     [](ReaderSettings& s, const SettingsField& f) { s.capsLock = f.number().isExactlyOne(); }},
}};

// The field reader's view of an open file.
class FileSource final : public ByteSource {
  public:
    explicit FileSource(InputFile& file) : file_(file) {}
    std::size_t read(std::span<std::uint8_t> buffer) override { return file_.read(buffer); }

  private:
    InputFile& file_;
};

void ShowError(Dialogs& dialogs, const std::string& prompt) {
    dialogs.messageBox(prompt, "Error", DialogIcon::Stop, DialogButtons::Ok);
}

// Whether a text value must be quoted to load back unchanged: the loader ends plain
// fields at commas and line ends, drops blanks around them and reads a leading double
// quote as the start of a quoted field.
bool NeedsQuotes(std::span<const std::uint8_t> value) {
    if (value.empty()) {
        return false;
    }
    if (value.front() == ' ' || value.back() == ' ' || value.front() == '"') {
        return true;
    }
    for (const std::uint8_t byte : value) {
        if (byte == ',' || byte == '\r' || byte == '\n') {
            return true;
        }
    }
    return false;
}

bool Holds(std::span<const std::uint8_t> value, std::uint8_t byte) {
    return std::ranges::find(value, byte) != value.end();
}

// Why a text value cannot be written so that it loads back unchanged, or nullopt. A
// quoted field ends at the next double quote, so a value that needs quotes must not hold
// one.
std::optional<std::string_view> UnstorableReason(std::span<const std::uint8_t> value) {
    if (!NeedsQuotes(value) || !Holds(value, '"')) {
        return std::nullopt;
    }
    if (value.front() == '"') {
        return "it begins with a double quote";
    }
    if (Holds(value, ',')) {
        return "it holds both a comma and a double quote";
    }
    if (Holds(value, '\r') || Holds(value, '\n')) {
        return "it holds both a line break and a double quote";
    }
    if (value.front() == ' ') {
        return "it begins with a blank and holds a double quote";
    }
    return "it ends with a blank and holds a double quote";
}

// A text as a status line shows it: line breaks as the names the tool uses for them, so
// that the line stays one line.
std::string Shown(std::string_view text) {
    std::string shown;
    for (const char c : text) {
        if (c == '\r') {
            shown += "<CR>";
        } else if (c == '\n') {
            shown += "<LF>";
        } else {
            shown += c;
        }
    }
    return shown;
}

class FileBuilder {
  public:
    void line(std::string_view ascii) {
        bytes_.insert(bytes_.end(), ascii.begin(), ascii.end());
        bytes_.insert(bytes_.end(), kLineEnd.begin(), kLineEnd.end());
    }

    // `label` names the field in a refusal.
    void textLine(std::string_view label, std::string_view utf8) {
        const auto encoded = text::EncodeCp1252(utf8);
        if (encoded.unmappable) {
            refuse("A settings file cannot hold the character " +
                   text::DescribeCharacter(*encoded.unmappable) + ".");
        } else if (const auto reason = UnstorableReason(encoded.bytes)) {
            refuse("A settings file cannot hold the " + std::string(label) + " text \"" +
                   Shown(utf8) + "\": " + std::string(*reason) + ".");
        }
        if (!NeedsQuotes(encoded.bytes)) {
            bytes_.insert(bytes_.end(), encoded.bytes.begin(), encoded.bytes.end());
        } else {
            bytes_.push_back('"');
            bytes_.insert(bytes_.end(), encoded.bytes.begin(), encoded.bytes.end());
            bytes_.push_back('"');
        }
        line("");
    }

    void checkLine(bool checked) { line(checked ? " 1 " : " 0 "); }

    SettingsFileBytes finish() { return {std::move(bytes_), std::move(refusal_)}; }

  private:
    void refuse(std::string statusLine) {
        if (!refusal_) {
            refusal_ = std::move(statusLine);
        }
    }

    std::vector<std::uint8_t> bytes_;
    std::optional<std::string> refusal_;
};

}  // namespace

Outcome LoadSettingsFile(std::string_view path, ReaderSettings& settings, StatusLog& log,
                         Dialogs& dialogs) {
    const std::string pathText = text::PathForDisplay(path);
    int error = 0;
    auto file = InputFile::open(std::string(path), error);
    if (!file) {
        ShowError(dialogs, "Settings file " + pathText + " not found! " + std::to_string(error));
        return Outcome::BadInput;
    }
    log.appendLine("Settings file: " + pathText + " opened.");

    // A read at the end keeps the previous field current; the steps then work on it.
    FileSource source(*file);
    SettingsFieldReader reader(source, kMaxSettingsFileBytes);
    for (std::size_t i = 0; i < kLoadSteps.size(); ++i) {
        const LoadStep& step = kLoadSteps[i];
        reader.next();
        if (!reader.current().equals(step.key)) {
            ShowError(dialogs, "Settings file error! " + std::to_string(i + 1));
            return Outcome::BadInput;
        }
        if (step.apply != nullptr) {
            reader.next();
            step.apply(settings, reader.current());
        }
    }
    log.appendLine("Settings put on all fields.");
    return Outcome::Done;
}

SettingsFileBytes FormatSettingsFile(const ReaderSettings& settings) {
    FileBuilder file;
    file.line(kMarker);
    file.line(kBanner);
    file.line("[PREFIX]");
    file.textLine("Prefix characters", settings.prefix);
    file.line("[START]");
    file.line(std::to_string(settings.startFrom));
    file.line("[NUMBER]");
    file.line(std::to_string(settings.charCount));
    file.line("[POSTIFIX]");
    file.textLine("Postfix characters", settings.postfix);
    file.line("[DELIMITER]");
    file.line(std::to_string(settings.delimiter));
    file.line("[ONREMOVE]");
    file.textLine("Onremove characters", settings.onRemove);
    file.line("[BUZZER]");
    file.checkLine(settings.buzzer);
    file.line("[BAUD]");
    file.line(std::to_string(settings.baudCode));
    file.line("[PS2KBLOCK]");
    file.checkLine(settings.ps2KbLock);
    file.line("[CAPSLOCK]");
    file.checkLine(settings.capsLock);
    return file.finish();
}

Outcome SaveSettingsFile(std::string_view path, const ReaderSettings& settings, StatusLog& log,
                         Dialogs& dialogs) {
    const std::string pathText = text::PathForDisplay(path);
    const std::string failure = "Save settings to file " + pathText + " Error!!";
    const SettingsFileBytes file = FormatSettingsFile(settings);
    if (file.refusal) {
        // Writing the value anyway would silently change it on the next load.
        log.appendLine(*file.refusal);
        ShowError(dialogs, failure);
        return Outcome::BadInput;
    }
    if (const FileWriteResult written = ReplaceFileContents(std::string(path), file.bytes);
        written.error != 0) {
        if (!written.detail.empty()) {
            log.appendLine(written.detail);
        }
        ShowError(dialogs, failure);
        return Outcome::BadInput;
    }
    log.appendLine("Settings saved ok to : " + pathText);
    return Outcome::Done;
}

}  // namespace rq
