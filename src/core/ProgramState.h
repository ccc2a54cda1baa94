#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "core/HidLibrary.h"

namespace rq {

// Where the current operation stands with the reader.
enum class LinkState {
    Empty,    // nothing pending
    Ok,       // a reader is open on USB and answered the handshake
    Err,      // no reader usable on USB; the device is closed
    Loop,     // quiet USB search while the reader restarts during a firmware update
    Usb,      // the operation ran over USB; skip the serial link
    Test232,  // the communication test runs over RS232
    End,      // the communication test was ended
};

// The file action waiting for the main window's next activation after the file manager.
enum class FileAction : int {
    NoAction = 0,
    PickSettingsToLoad = 1,
    LoadSettings = 2,
    PickSettingsToSave = 3,
    SaveSettings = 4,
    PickFirmware = 5,
    FlashFirmware = 6,
};

inline constexpr std::size_t kReportSize = 9;
inline constexpr std::size_t kInBufferSize = 81;
inline constexpr std::size_t kFirmwareImageSize = 32769;

// The program-wide state shared by the operations; the main window owns the one instance.
struct ProgramState {
    // USB link.
    LinkState LinkStatus = LinkState::Empty;
    bool ReaderRevision = false;  // true for the new revision 4720B
    std::array<std::uint8_t, kReportSize> OutReport{};
    std::array<std::uint8_t, kInBufferSize> InBuffer{};
    std::array<std::uint8_t, kReportSize> SentCopy{};
    HidDeviceRef HidHandle = 0;
    std::uint8_t HidStatus = 0;

    // Serial link.
    std::vector<std::uint8_t> SerialOut;
    std::vector<std::uint8_t> SerialIn;
    std::u16string SerialInText;  // the bytes of the last pause read, two to a character
    int SerialReplyReceived = 0;  // 1 = awaited bytes read, 8 = reply verified
    int SerialReaderFound = 0;    // COM port number of the reader found, 0 = none
    int SearchBaudCode = 0;

    // Settings and version replies.
    std::string ReplyText;  // UTF-8; one character per reply byte
    std::uint32_t BytesReturned = 0;

    // Firmware image of the last update.
    std::vector<std::uint8_t> FirmwareImage = std::vector<std::uint8_t>(kFirmwareImageSize, 0);
    std::int32_t FirmwareLength = 0;

    // File manager.
    FileAction PendingFileAction = FileAction::NoAction;
    // The system's own bytes for the path, which need not be UTF-8 (a name copied from old
    // media); text::PathForDisplay shows it.
    std::string ChosenFilePath;
};

}  // namespace rq
