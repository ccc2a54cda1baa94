#include "survey/ReaderPlace.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace rq {

std::vector<ReaderPlace> AllPlaces(std::span<const HidDeviceInfo> usb,
                                   std::span<const std::string> comDevices) {
    std::vector<ReaderPlace> places;
    for (const HidDeviceInfo& device : usb) {
        const bool unique =
            !device.serialNumber.empty() &&
            std::ranges::count(usb, device.serialNumber, &HidDeviceInfo::serialNumber) == 1;
        places.push_back({ReaderPlace::Link::Usb, device.path, device.serialNumber, 0,
                          "usb:" + (unique ? device.serialNumber : device.path)});
    }
    for (std::size_t i = 0; i < comDevices.size(); ++i) {
        if (!comDevices[i].empty()) {
            const int com = static_cast<int>(i) + 1;
            places.push_back(
                {ReaderPlace::Link::Serial, comDevices[i], {}, com, "com" + std::to_string(com)});
        }
    }
    return places;
}

std::optional<ReaderPlace> FindPlace(
    std::string_view id, std::span<const ReaderPlace> places,
    const std::function<std::string(const std::string&)>& canonical) {
    const auto found = [&](auto&& matches) -> std::optional<ReaderPlace> {
        const auto place = std::ranges::find_if(places, matches);
        return place == places.end() ? std::nullopt : std::optional(*place);
    };
    if (id.starts_with("usb:")) {
        const std::string_view key = id.substr(4);
        // A serial number two devices share names neither: it would reach the first one
        // found, which may be the other reader of the two.
        return found([&](const ReaderPlace& place) {
            return place.link == ReaderPlace::Link::Usb && !key.empty() &&
                   (place.device == key || place.usbKey() == key);
        });
    }
    if (id.size() > 3 && std::tolower(static_cast<unsigned char>(id[0])) == 'c' &&
        std::tolower(static_cast<unsigned char>(id[1])) == 'o' &&
        std::tolower(static_cast<unsigned char>(id[2])) == 'm') {
        int com = 0;
        const auto [end, error] = std::from_chars(id.data() + 3, id.data() + id.size(), com);
        if (error != std::errc{} || end != id.data() + id.size()) {
            return std::nullopt;
        }
        return found([com](const ReaderPlace& place) {
            return place.link == ReaderPlace::Link::Serial && place.comPort == com;
        });
    }
    if (id.empty()) {
        return std::nullopt;
    }
    const std::string wanted = canonical(std::string(id));
    return found([&](const ReaderPlace& place) {
        return place.link == ReaderPlace::Link::Serial &&
               (place.device == id || canonical(place.device) == wanted);
    });
}

}  // namespace rq
