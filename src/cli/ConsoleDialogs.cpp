#include "cli/ConsoleDialogs.h"

#include <istream>
#include <ostream>
#include <string>

#include "core/Text.h"

namespace rq::cli {
namespace {

// Box prompts end in blanks and line breaks that only pad the box.
std::string_view Trimmed(std::string_view text) {
    const auto end = text.find_last_not_of(" \r\n");
    return end == std::string_view::npos ? std::string_view{} : text.substr(0, end + 1);
}

// A box's text names files and shows the image's version text, which may hold anything:
// each of its lines is shown terminal-safe.
std::string Shown(std::string_view text) {
    std::string shown;
    while (!text.empty()) {
        const auto end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        shown += text::TerminalSafe(line);
        if (end == std::string_view::npos) {
            break;
        }
        shown += '\n';
        text.remove_prefix(end + 1);
    }
    return shown;
}

}  // namespace

DialogAnswer ConsoleDialogs::messageBox(std::string_view prompt, std::string_view title, DialogIcon,
                                        DialogButtons buttons) {
    console_.err << Shown(title.empty() ? kApplicationTitle : title) << ": "
                 << Shown(Trimmed(prompt)) << '\n';
    if (buttons == DialogButtons::Ok) {
        console_.err.flush();
        return DialogAnswer::Ok;
    }
    const DialogAnswer answer = ask();
    if (answer == DialogAnswer::Ok && onConfirmed_) {
        onConfirmed_();
    }
    return answer;
}

DialogAnswer ConsoleDialogs::ask() {
    if (assumeYes_) {
        console_.err << "Ok (--yes)\n" << std::flush;
        return DialogAnswer::Ok;
    }
    if (!console_.inIsTerminal) {
        console_.err << "Cancel (no terminal to ask; --yes answers Ok)\n" << std::flush;
        return DialogAnswer::Cancel;
    }
    console_.err << "Ok? [y/N] " << std::flush;
    std::string answer;
    if (!std::getline(console_.in, answer)) {
        // Ctrl-C or the end of input: the next line must not run on after the question.
        console_.err << '\n' << std::flush;
    }
    return answer == "y" || answer == "Y" || answer == "yes" ? DialogAnswer::Ok
                                                             : DialogAnswer::Cancel;
}

}  // namespace rq::cli
