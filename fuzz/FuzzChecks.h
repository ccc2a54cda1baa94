#pragma once

// What every fuzz target checks of the settings it ends with: what the window shows
// must fit its controls, whatever the input was.
#include <cstdlib>

#include "core/Text.h"
#include "settings/ReaderSettings.h"

namespace rq::fuzz {

inline void Require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

inline void CheckShowable(const ReaderSettings& s) {
    for (const std::string* t : {&s.prefix, &s.postfix, &s.onRemove}) {
        Require(text::CharacterCount(*t) <= kMaxFieldCharacters);
    }
    Require(s.startFrom >= kMinPosition && s.startFrom <= kMaxPosition);
    Require(s.charCount >= kMinPosition && s.charCount <= kMaxPosition);
    Require(s.delimiter >= 0 && s.delimiter <= static_cast<int>(DelimiterCode::Disable));
    Require(s.baudCode >= 0 && static_cast<std::size_t>(s.baudCode) < BaudNames.size() &&
            !BaudNames.at(static_cast<std::size_t>(s.baudCode)).empty());
    Require(s.capsLockEnabled || !s.capsLock);
}

}  // namespace rq::fuzz
