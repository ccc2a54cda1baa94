#include "filemanager/PendingFileActions.h"

#include "link/OperationContext.h"
#include "settings/SettingsFile.h"

namespace rq {
namespace {

constexpr std::string_view kSettingsExtension = ".kxs";

}  // namespace

FileManagerSetup SetupFor(FileCommand command) {
    switch (command) {
        case FileCommand::OpenSettings:
            return {"*.kxs", "Open the settings file", "*.kxs to open:", false,
                    FileAction::PickSettingsToLoad};
        case FileCommand::SaveSettings:
            return {"*.kxs", "Save settings file", "Save to .kxs (manually keyin for Save as)",
                    true, FileAction::PickSettingsToSave};
        case FileCommand::UpdateFirmware:
            return {"*.bin", "Open the bin file and update", "Firmware *.bin to open:", false,
                    FileAction::PickFirmware};
    }
    return {};
}

std::string JoinDirectoryAndName(std::string_view directory, std::string_view name,
                                 char separator) {
    std::string path(directory);
    if (path.empty() || path.back() != separator) {
        path += separator;
    }
    return path += name;
}

void ConfirmFileChoice(ProgramState& state, std::string_view directory, std::string_view name,
                       char separator) {
    state.ChosenFilePath = JoinDirectoryAndName(directory, name, separator);
    switch (state.PendingFileAction) {
        case FileAction::PickSettingsToLoad:
            state.PendingFileAction = FileAction::LoadSettings;
            break;
        case FileAction::PickSettingsToSave:
            state.PendingFileAction = FileAction::SaveSettings;
            if (!state.ChosenFilePath.ends_with(kSettingsExtension)) {
                state.ChosenFilePath += kSettingsExtension;
            }
            break;
        case FileAction::PickFirmware:
            state.PendingFileAction = FileAction::FlashFirmware;
            break;
        default:
            break;
    }
}

void RunPendingFileAction(OperationContext& context, const FirmwareUpdateHook& firmwareUpdate) {
    ProgramState& state = context.state;
    switch (state.PendingFileAction) {
        case FileAction::LoadSettings:
            LoadSettingsFile(state.ChosenFilePath, context.settings, context.log, context.dialogs);
            break;
        case FileAction::SaveSettings:
            SaveSettingsFile(state.ChosenFilePath, context.settings, context.log, context.dialogs);
            break;
        case FileAction::FlashFirmware:
            if (firmwareUpdate) {
                firmwareUpdate(context);
            }
            break;
        default:
            break;
    }
}

}  // namespace rq
