#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cli/Arguments.h"
#include "cli/Console.h"
#include "core/Clock.h"
#include "core/HidInventory.h"
#include "core/HidLibrary.h"
#include "survey/ReaderPlace.h"

namespace rq::cli {

// Every place a reader could be now: the USB devices the inventory lists, then the
// serial ports of the COM map.
[[nodiscard]] std::vector<ReaderPlace> CurrentPlaces(HidInventory& inventory);

// The place `id` names, or nullopt (a device path is compared with symbolic links
// resolved).
[[nodiscard]] std::optional<ReaderPlace> PlaceNamed(const std::string& id, HidInventory& inventory);

// `list`: probes every place side by side and prints one line each (or one JSON
// document, or the IDs of the readers found), then the notes that explain a missing
// reader. Exit status 0 when a reader was found, else 1.
[[nodiscard]] int RunList(const Arguments& line, HidLibrary& hid, HidInventory& inventory,
                          Clock& clock, Console& console);

}  // namespace rq::cli
