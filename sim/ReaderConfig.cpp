#include "ReaderConfig.h"

namespace rq::sim {

SettingsBlock FactorySettings() {
    // 9600 baud, PS/2 lock off, CR LF, from character 1, 16 characters, no prefix,
    // postfix or on-remove text (blank padded), buzzer on, Caps Lock off.
    SettingsBlock block{};
    block.fill(' ');
    for (const std::size_t offset : {0, 1, 2, 3, 5, 13, 21, 30}) {
        block[offset] = 0;
    }
    block[4] = 16;
    block[29] = 1;
    return block;
}

int BaudForCode(std::uint8_t code) {
    switch (code) {
        case 6:
            return 19200;
        case 8:
            return 57600;
        case 9:
            return 115200;
        default:
            return 9600;
    }
}

std::optional<std::uint8_t> CodeForBaud(int baud) {
    switch (baud) {
        case 9600:
            return 0;
        case 19200:
            return 6;
        case 57600:
            return 8;
        case 115200:
            return 9;
        default:
            return std::nullopt;
    }
}

}  // namespace rq::sim
