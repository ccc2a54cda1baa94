#pragma once

#include <string_view>

namespace rq {

enum class DialogIcon { None, Information, Warning, Question, Stop };
enum class DialogButtons { Ok, OkCancel };
enum class DialogAnswer { Ok, Cancel };

// The application's own title, shown by message boxes that give none.
inline constexpr std::string_view kApplicationTitle = "4720-01";

// Modal message boxes. Texts are UTF-8. Closing a box with its close button
// answers Cancel (or Ok for a box that has only Ok).
class Dialogs {
  public:
    virtual ~Dialogs() = default;

    // An empty title shows kApplicationTitle.
    virtual DialogAnswer messageBox(std::string_view prompt, std::string_view title,
                                    DialogIcon icon, DialogButtons buttons) = 0;
};

}  // namespace rq
