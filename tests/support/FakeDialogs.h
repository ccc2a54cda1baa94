#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "core/Dialogs.h"

namespace rq::testing {

// Answers message boxes as a test tells it (Ok when nothing is queued) and records them.
class FakeDialogs final : public Dialogs {
  public:
    struct Shown {
        std::string prompt;
        std::string title;
        DialogIcon icon;
        DialogButtons buttons;
    };

    DialogAnswer messageBox(std::string_view prompt, std::string_view title, DialogIcon icon,
                            DialogButtons buttons) override {
        shown.push_back({std::string(prompt), std::string(title), icon, buttons});
        if (onShow) {
            onShow(shown.back());
        }
        if (answers.empty()) {
            return DialogAnswer::Ok;
        }
        const DialogAnswer answer = answers.front();
        answers.pop_front();
        return answer;
    }

    std::deque<DialogAnswer> answers;
    // Runs while the box is shown, e.g. to look at the window behind it.
    std::function<void(const Shown&)> onShow;
    std::vector<Shown> shown;
};

}  // namespace rq::testing
