#pragma once

#include "core/Outcome.h"

namespace rq::cli {

// The exit statuses of rq4720-cli, for scripts to act on.
inline constexpr int kExitConfirmed = 0;
inline constexpr int kExitNotFound = 1;
inline constexpr int kExitFailed = 2;
inline constexpr int kExitBadInput = 3;
inline constexpr int kExitDeclined = 4;
// A reader answered, but on a link the command cannot run on (monitor and a USB reader).
inline constexpr int kExitWrongLink = 5;
inline constexpr int kExitBadUsage = 64;  // as sysexits' EX_USAGE, like the window

[[nodiscard]] constexpr int ExitStatus(Outcome outcome) {
    switch (outcome) {
        case Outcome::Done:
            return kExitConfirmed;
        case Outcome::NotFound:
            return kExitNotFound;
        case Outcome::Failed:
            return kExitFailed;
        case Outcome::BadInput:
            return kExitBadInput;
        case Outcome::Declined:
            return kExitDeclined;
    }
    return kExitFailed;
}

}  // namespace rq::cli
