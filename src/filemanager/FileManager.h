#pragma once

#include <functional>
#include <memory>

#include "filemanager/DriveDirectories.h"
#include "filemanager/Form2.h"
#include "filemanager/PendingFileActions.h"

class QWidget;

namespace rq {

class Dialogs;
class StatusLog;

// What the main window owns to choose files: shows the file manager for a menu command,
// and tells the main window, once, that it is to run the pending action on its next
// activation. The window is created by the first command, hidden by its button and
// discarded by its close box; the chosen directories outlive it.
class FileManager {
  public:
    // `bringBackMainWindow` shows and activates the main window after a confirmed choice.
    FileManager(ProgramState& state, StatusLog& log, Dialogs& dialogs,
                std::function<void()> bringBackMainWindow);
    // For tests: other volumes and another start directory than the process's.
    FileManager(ProgramState& state, StatusLog& log, Dialogs& dialogs,
                std::function<void()> bringBackMainWindow, Form2::VolumeSource volumes,
                std::string startDirectory);
    ~FileManager();
    FileManager(const FileManager&) = delete;
    FileManager& operator=(const FileManager&) = delete;

    // The menu command: clears the status log, prepares the window, records the pick
    // action, places the window beside `mainWindow` (may be null) and shows it without
    // waiting.
    void show(FileCommand command, QWidget* mainWindow);

    // Tells the file manager when a command of the main window runs (see Form2).
    void setBusyCheck(std::function<bool()> busy) { busy_ = std::move(busy); }

    // True once after the button confirmed a choice; the main window asks on activation.
    bool takeReturnRequest();

    // The window while it exists, else null.
    [[nodiscard]] Form2* window() const { return form_.get(); }

  private:
    void discardWindow();

    ProgramState& state_;
    StatusLog& log_;
    Dialogs& dialogs_;
    std::function<void()> bringBackMainWindow_;
    Form2::VolumeSource volumes_;
    DriveDirectories drives_;
    std::unique_ptr<Form2> form_;
    bool returnRequested_ = false;
    std::function<bool()> busy_;
};

}  // namespace rq
