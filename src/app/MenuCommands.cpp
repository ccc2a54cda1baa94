// Every menu entry of the main window and the function it runs: the one place to look
// for what a menu command does. Each runs through Form1::runCommand with an
// OperationContext over the window's state, settings, status log and devices.
#include "app/MenuCommands.h"

#include <memory>

#include "app/Form1.h"
#include "app/ReleaseNotes.h"
#include "app/TestModeWidgets.h"
#include "filemanager/PendingFileActions.h"
#include "firmware/UpdateFirmware.h"
#include "protocol/ReaderOperations.h"
#include "settings/ReaderSettings.h"
#include "testmode/CommunicationTest.h"

namespace rq::app {
namespace {

Form1::Command ReleaseNotes(ReleaseNotesVersion version) {
    return [version](OperationContext& ctx) { ShowReleaseNotes(version, ctx.log, ctx.dialogs); };
}

// Shows the file manager for a settings file or a firmware image (modeless).
Form1::Command ChooseFile(Form1& window, FileCommand command) {
    return [&window, command](OperationContext&) { window.fileManager().show(command, &window); };
}

}  // namespace

void ConnectMenuCommands(Form1& window) {
    // File
    window.onMenu("sopen", ChooseFile(window, FileCommand::OpenSettings));
    window.onMenu("sfile", ChooseFile(window, FileCommand::SaveSettings));
    window.onMenu("CLRS",
                  [](OperationContext& ctx) { ClearFields(ctx.settings, ctx.log, ctx.dialogs); });
    window.onMenu("exit", [&window](OperationContext&) { window.endProgram(); });

    // Programming
    window.onMenu("pusb", WriteSettingsToReader);
    window.onMenu("reads", ReadSettingsFromReader);
    window.onMenu("reset", ResetReaderToDefaults);
    window.onMenu("rver", ReadFirmwareVersion);
    window.onMenu("fopen", ChooseFile(window, FileCommand::UpdateFirmware));

    // Communication: the test's two handlers draw what the reader outputs while it runs.
    auto testControls = std::make_shared<TestModeWidgets>(window.controls(), *window.menuBar());
    window.onMenu("stest",
                  [testControls](OperationContext& ctx) { StartTest(ctx, *testControls); });
    window.onMenu("etest", [testControls](OperationContext& ctx) { EndTest(ctx, *testControls); });
    window.setStatusKeyHandler(StatusLogKeyPressed);
    window.setSerialReceiveHandler(SerialReceived);

    // The main window's activation after the file manager's button runs the chosen
    // action: load or save a settings file, or the firmware update.
    window.setActivationHandler([&window](OperationContext& ctx) {
        if (window.fileManager().takeReturnRequest()) {
            RunPendingFileAction(ctx, [](OperationContext& c) { UpdateFirmware(c); });
        }
    });

    // Release notes
    window.onMenu("v20", ReleaseNotes(ReleaseNotesVersion::V20));
    window.onMenu("v21", ReleaseNotes(ReleaseNotesVersion::V21));
    window.onMenu("v22", ReleaseNotes(ReleaseNotesVersion::V22));
}

}  // namespace rq::app
