#pragma once

#include "settings/ReaderSettings.h"

namespace rq::testing {

// A settings record that differs from the defaults in every field.
inline ReaderSettings EditedSettings() {
    ReaderSettings s;
    s.prefix = "AB";
    s.startFrom = 3;
    s.charCount = 8;
    s.postfix = "Z\xC3\xA9";  // Zé
    s.delimiter = 3;
    s.onRemove = "R";
    s.buzzer = false;
    s.baudCode = 9;
    s.ps2KbLock = true;
    s.capsLock = true;
    return s;
}

}  // namespace rq::testing
