#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "core/ProgramState.h"

namespace rq {

struct OperationContext;

// The three menu commands that show the file manager.
enum class FileCommand {
    OpenSettings,    // "Open file" (sopen)
    SaveSettings,    // "Save file" (sfile)
    UpdateFirmware,  // "Firmware update" (fopen)
};

// How a command prepares the file manager, and the action it records.
struct FileManagerSetup {
    std::string_view pattern;
    std::string_view buttonCaption;
    std::string_view labelCaption;
    bool nameEditable = false;  // otherwise the name comes only from the file list
    FileAction pickAction = FileAction::NoAction;
};

[[nodiscard]] FileManagerSetup SetupFor(FileCommand command);

// A file in `directory`: no separator is added when the directory already ends in one
// (a volume root such as "/" or "C:\"), so a root never gives a doubled separator.
[[nodiscard]] std::string JoinDirectoryAndName(std::string_view directory, std::string_view name,
                                               char separator);

// The file manager's button once a name is given: stores the chosen path and advances the
// pending action (1 -> 2, 3 -> 4 with ".kxs" appended unless the path already ends in
// exactly ".kxs", 5 -> 6; any other value stays).
void ConfirmFileChoice(ProgramState& state, std::string_view directory, std::string_view name,
                       char separator);

// Runs the file action that the main window finds on its activation after the file
// manager: a load, a save, or the firmware update through `firmwareUpdate` (which may be
// empty). Other values do nothing. The action stays recorded after it ran.
using FirmwareUpdateHook = std::function<void(OperationContext&)>;
void RunPendingFileAction(OperationContext& context, const FirmwareUpdateHook& firmwareUpdate);

}  // namespace rq
