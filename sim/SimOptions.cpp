#include "SimOptions.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <optional>

namespace rq::sim {
namespace {

// The tool numbers sixteen serial ports.
constexpr int kMaxTerminals = 16;

// Decimal, or hexadecimal after "0x".
std::optional<long long> Number(std::string_view text) {
    int base = 10;
    if (text.starts_with("0x") || text.starts_with("0X")) {
        text.remove_prefix(2);
        base = 16;
    }
    long long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (text.empty() || error != std::errc{} || end != text.data() + text.size() || value < 0) {
        return std::nullopt;
    }
    return value;
}

std::optional<std::uint8_t> Byte(std::string_view text) {
    const auto value = Number(text);
    if (!value || *value > 255) {
        return std::nullopt;
    }
    return static_cast<std::uint8_t>(*value);
}

// "A:B" as two numbers.
std::optional<std::pair<long long, long long>> Pair(std::string_view text) {
    const auto colon = text.find(':');
    if (colon == std::string_view::npos) {
        return std::nullopt;
    }
    const auto first = Number(text.substr(0, colon));
    const auto second = Number(text.substr(colon + 1));
    if (!first || !second) {
        return std::nullopt;
    }
    return std::pair{*first, *second};
}

// Hexadecimal bytes, blanks allowed between them: "1b 00 07 34".
std::optional<Bytes> HexBytes(std::string_view text) {
    Bytes bytes;
    std::string digits;
    for (const char c : text) {
        if (c != ' ') {
            digits.push_back(c);
        }
    }
    if (digits.empty() || digits.size() % 2 != 0) {
        return std::nullopt;
    }
    for (std::size_t i = 0; i < digits.size(); i += 2) {
        unsigned value = 0;
        const auto [end, error] =
            std::from_chars(digits.data() + i, digits.data() + i + 2, value, 16);
        if (error != std::errc{} || end != digits.data() + i + 2) {
            return std::nullopt;
        }
        bytes.push_back(static_cast<std::uint8_t>(value));
    }
    return bytes;
}

Duration Milliseconds(long long ms) {
    return std::chrono::duration_cast<Duration>(std::chrono::milliseconds(ms));
}

}  // namespace

std::string ApplyFault(std::string_view text, Faults& faults) {
    const auto equals = text.find('=');
    const std::string_view name = text.substr(0, equals);
    const std::string_view value =
        equals == std::string_view::npos ? std::string_view{} : text.substr(equals + 1);
    const std::string bad = "bad fault value: " + std::string(text);

    if (name == "no-reconnect" && equals == std::string_view::npos) {
        faults.neverReconnect = true;
        return {};
    }
    if (name == "twice" && equals == std::string_view::npos) {
        faults.replyTwice = true;
        return {};
    }
    if (name == "silent-after" || name == "vanish-after" || name == "short" || name == "slow" ||
        name == "flood" || name == "version-excess" || name == "unplug-after") {
        const auto number = Number(value);
        if (!number || *number > 1'000'000) {
            return bad;
        }
        const int n = static_cast<int>(*number);
        if (name == "silent-after") {
            faults.silentAfterFrames = n;
        } else if (name == "vanish-after") {
            faults.vanishAfterFrames = n;
        } else if (name == "short") {
            faults.shortReply = static_cast<std::size_t>(n);
        } else if (name == "slow") {
            faults.extraLatency = Milliseconds(n);
        } else if (name == "unplug-after") {
            faults.unplugAfterFrames = n;
        } else if (name == "flood") {
            faults.flood = Milliseconds(n);
        } else {
            faults.versionLengthExcess = n;
        }
        return {};
    }
    if (name == "command") {
        const auto code = Byte(value);
        if (!code) {
            return bad;
        }
        faults.onlyCommand = *code;
        return {};
    }
    if (name == "wrong-byte" || name == "flash-ack" || name == "split" || name == "stored-byte" ||
        name == "late-ack") {
        const auto pair = Pair(value);
        const bool milliseconds = name == "split" || name == "late-ack";
        if (!pair || pair->first > 1'000'000 || (!milliseconds && pair->second > 255)) {
            return bad;
        }
        const Faults::ByteChange change{static_cast<std::size_t>(pair->first),
                                        static_cast<std::uint8_t>(pair->second)};
        if (name == "wrong-byte") {
            faults.wrongByte = change;
        } else if (name == "stored-byte") {
            faults.storedByte = change;
        } else if (name == "flash-ack") {
            faults.flashAck = Faults::FlashAnswer{static_cast<int>(pair->first),
                                                  static_cast<std::uint8_t>(pair->second)};
        } else if (name == "late-ack") {
            faults.lateFlashAnswer =
                Faults::LateAnswer{static_cast<int>(pair->first), Milliseconds(pair->second)};
        } else {
            faults.splitReply =
                Faults::Split{static_cast<std::size_t>(pair->first), Milliseconds(pair->second)};
        }
        return {};
    }
    if (name == "identify") {
        const auto bytes = HexBytes(value);
        if (!bytes) {
            return bad;
        }
        faults.identifyReply = *bytes;
        return {};
    }
    return "unknown fault: " + std::string(text);
}

ParsedOptions ParseOptions(std::span<const std::string_view> arguments) {
    ParsedOptions parsed;
    SimOptions& options = parsed.options;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string_view option = arguments[i];
        if (option == "--help" || option == "-h") {
            options.help = true;
            continue;
        }
        if (option == "--verbose" || option == "-v") {
            options.verbose = true;
            continue;
        }
        if (option == "--usb") {
            options.usb = true;
            continue;
        }
        if (option == "--no-crlf") {
            options.config.versionCrLf = false;
            continue;
        }
        if (i + 1 >= arguments.size()) {
            parsed.error = "unknown option or missing value: " + std::string(option);
            return parsed;
        }
        const std::string_view value = arguments[++i];
        const std::string bad = "bad value for " + std::string(option) + ": " + std::string(value);
        if (option == "--revision") {
            if (value != "A" && value != "B") {
                parsed.error = bad;
                return parsed;
            }
            options.config.revision = value == "A" ? Revision::A : Revision::B;
        } else if (option == "--baud") {
            const auto baud = Number(value);
            const auto code = baud ? CodeForBaud(static_cast<int>(*baud)) : std::nullopt;
            if (!code) {
                parsed.error = bad;
                return parsed;
            }
            options.config.settings[0] = *code;
        } else if (option == "--version") {
            if (value.size() > 200) {
                parsed.error = bad;
                return parsed;
            }
            options.config.version = std::string(value);
        } else if (option == "--reboot-ms" || option == "--latency-ms") {
            const auto ms = Number(value);
            if (!ms || *ms > 600'000) {
                parsed.error = bad;
                return parsed;
            }
            (option == "--reboot-ms" ? options.config.serialRebootTime
                                     : options.config.replyLatency) = Milliseconds(*ms);
        } else if (option == "--count" || option == "--silent") {
            const auto n = Number(value);
            if (!n || *n > kMaxTerminals) {
                parsed.error = bad;
                return parsed;
            }
            (option == "--count" ? options.count : options.silent) = static_cast<int>(*n);
        } else if (option == "--check-image") {
            options.checkImage = std::string(value);
        } else if (option == "--link") {
            options.link = std::string(value);
        } else if (option == "--save-image") {
            options.saveImage = std::string(value);
        } else if (option == "--fault") {
            if (auto error = ApplyFault(value, options.faults); !error.empty()) {
                parsed.error = std::move(error);
                return parsed;
            }
        } else {
            parsed.error = "unknown option: " + std::string(option);
            return parsed;
        }
    }
    if (options.usb && (options.silent > 0 || !options.link.empty())) {
        parsed.error = "--silent and --link are for terminals, not --usb";
        return parsed;
    }
    if (options.count + options.silent > kMaxTerminals || options.count + options.silent == 0) {
        parsed.error = "1 to " + std::to_string(kMaxTerminals) + " terminals (--count, --silent)";
    }
    return parsed;
}

ReaderConfig BenchReaderConfig(const ReaderConfig& base, int index, int count) {
    static constexpr std::array<int, 4> kRates = {9600, 19200, 57600, 115200};
    ReaderConfig config = base;
    if (index == 0 && count == 1) {
        return config;
    }
    const auto first = std::ranges::find(kRates, BaudForCode(base.settings[0])) - kRates.begin();
    config.settings[0] =
        *CodeForBaud(kRates[static_cast<std::size_t>(first + index) % kRates.size()]);
    if (index % 3 == 2) {
        config.revision = base.revision == Revision::A ? Revision::B : Revision::A;
    }
    char number[16];
    std::snprintf(number, sizeof number, "%04d", index + 1);
    config.version = base.version + " SN" + number;
    return config;
}

std::string Usage() {
    return R"(Usage: rq4720-sim [options]

Runs a simulated RQ-4720 reader behind a pseudo-terminal until interrupted. Point the
tool at it with RQ4720_SERIAL_PORTS=<terminal> (the terminal becomes COM1).
Type an iButton ID (hexadecimal digits) and Enter to place an iButton: the reader sends
it as its settings say. An empty line takes the iButton away. Started with & from a
shell, it leaves the terminal to the shell and reads it again after fg. SIGINT, SIGTERM
and SIGHUP stop it and remove its links.

Options:
  --revision A|B      reader revision (default B; only B takes firmware over RS232)
  --baud N            RS232 rate: 9600, 19200, 57600 or 115200 (default 9600)
  --version TEXT      version text (default V2.20)
  --no-crlf           no CR LF after the version text
  --reboot-ms N       from the erase request to the ready byte at 9600 baud (default 2000)
  --latency-ms N      reply latency (default 2)
  --link PATH         also make PATH a symbolic link to the terminal (PATH1, PATH2, ...
                      with --count)
  --count N           N readers, each on its own terminal (up to 16): a bench. The
                      first is as the options say; the others at the next rates in
                      turn, every third of the other revision, each with its number in
                      its version text ("V2.20 SN0002")
  --silent N          N more terminals where nothing answers (ports with no reader)
  --usb               the readers are USB devices on this machine's bus, through
                      /dev/uhid (Linux; root, or access to /dev/uhid): hidraw and the
                      tool see a reader with the real IDs, serial numbers SIM0001, ...
                      and a keyboard interface beside it. SIGUSR1 unplugs them for 1 s
  --check-image FILE  after each flash, say whether the image received is FILE
  --save-image PATH   write the image each completed flash delivered to PATH, so that
                      a test compares it with the file it flashed
  --fault NAME[=VALUE] inject a fault; may be repeated
  -v, --verbose       print every frame the reader handles
  -h, --help          this text

Faults (a frame is one complete command frame):
  silent-after=N      answer N frames, then ignore everything
  vanish-after=N      take N frames, then vanish: the terminal closes
  command=CODE        limit the reply faults below to replies to this command code
                      (0x00 identify, 0x01 version, 0x1C read, 0x1D write, 0x21 reset,
                      0xA8 flash)
  wrong-byte=I:V      reply byte I (from 0) is V
  short=K             only the first K bytes of a reply
  slow=MS             replies MS milliseconds later
  split=K:MS          the first K bytes of a reply, the rest MS milliseconds later
  twice               every reply twice, back to back
  flood=MS            with a reply, junk (0x55) at full speed for MS milliseconds
  identify=HEX        answer the probe with these bytes, e.g. identify=1b0007343732304956420d
  stored-byte=I:V     a write is acknowledged, but block byte I (from 0) keeps V
  version-excess=N    the version's length byte counts N bytes more than are sent
  no-reconnect        after an erase request the reader never comes back
  unplug-after=N      (--usb) after N frames the cable is pulled, back 1 s later
  flash-ack=K:V       answer K of the flash path is V instead of 0xFA (0 ready byte,
                      1 flash-mode command, 2 speed check, 3 + i data byte i, then the end)
  late-ack=K:MS       answer K of the flash path (counted as above) comes MS ms later
)";
}

}  // namespace rq::sim
