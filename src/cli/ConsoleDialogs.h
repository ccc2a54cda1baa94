#pragma once

#include <functional>

#include "cli/Console.h"
#include "core/Dialogs.h"

namespace rq::cli {

// Message boxes as text on the console's error stream: "Title: prompt". A box that asks
// (Ok and Cancel) is answered Ok by --yes; otherwise the person at the terminal answers
// y or n, and without a terminal it is cancelled.
class ConsoleDialogs final : public Dialogs {
  public:
    ConsoleDialogs(Console& console, bool assumeYes) : console_(console), assumeYes_(assumeYes) {}

    DialogAnswer messageBox(std::string_view prompt, std::string_view title, DialogIcon icon,
                            DialogButtons buttons) override;

    // Called when a question is answered Ok, before the operation goes on.
    void setOnConfirmed(std::function<void()> onConfirmed) {
        onConfirmed_ = std::move(onConfirmed);
    }

  private:
    DialogAnswer ask();

    Console& console_;
    bool assumeYes_;
    std::function<void()> onConfirmed_;
};

}  // namespace rq::cli
