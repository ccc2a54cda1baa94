#pragma once

#include <QMainWindow>
#include <functional>
#include <memory>
#include <string_view>

#include "app/Form1Controls.h"
#include "core/Clock.h"
#include "core/Dialogs.h"
#include "core/HidLibrary.h"
#include "core/ProgramState.h"
#include "core/SerialPort.h"
#include "filemanager/FileManager.h"
#include "link/OperationContext.h"
#include "settings/ReaderSettings.h"

namespace rq::app {

class SettingsControls;
class StatusLogWidget;

// The devices the window works with: real bindings in the program, fakes or the
// simulated reader in tests. All three are required.
struct Devices {
    std::unique_ptr<rq::HidLibrary> hid;
    std::unique_ptr<rq::SerialPort> serial;
    std::unique_ptr<rq::Clock> clock;
};

// The main window. It owns the program state, the settings record and the devices,
// and runs every menu command through runCommand().
class Form1 final : public QMainWindow {
    Q_OBJECT

  public:
    using Command = std::function<void(OperationContext&)>;
    using KeyCommand = std::function<void(OperationContext&, char32_t)>;

    // Without `dialogs`, message boxes are QMessageBoxes over this window.
    explicit Form1(Devices devices, std::unique_ptr<rq::Dialogs> dialogs = nullptr,
                   QWidget* parent = nullptr);
    ~Form1() override;

    Form1(const Form1&) = delete;
    Form1& operator=(const Form1&) = delete;

    [[nodiscard]] OperationContext context();

    // Runs one command to its end with the window busy, then shows the settings record
    // in the controls. A close request or serial notification that arrives meanwhile is
    // handled after it. Returns false (and runs nothing) while another command runs.
    bool runCommand(const Command& command);
    [[nodiscard]] bool isRunningCommand() const { return running_; }

    // Runs `command` when the menu entry of that name is chosen.
    void onMenu(std::string_view entry, Command command);

    // Ends the program at once: no question, nothing saved or closed first.
    void endProgram();
    // Replaces how the program ends (tests).
    void setEndProgram(std::function<void()> end);

    // Runs on each receive notification of the serial port, as a command.
    void setSerialReceiveHandler(Command handler);
    // Runs for each character typed while the status area has the focus, as a command.
    void setStatusKeyHandler(KeyCommand handler);
    // Runs, as a command, when the window becomes active while no command runs: where
    // the file action chosen in the file manager starts.
    void setActivationHandler(Command handler);

    // Shows the settings record in the controls.
    void showSettings();

    // The file manager window through which every file is chosen.
    [[nodiscard]] FileManager& fileManager() { return *fileManager_; }

    [[nodiscard]] ProgramState& state() { return state_; }
    [[nodiscard]] ReaderSettings& settings() { return settings_; }
    [[nodiscard]] StatusLogWidget& statusLog() { return *controls_.picture1; }
    [[nodiscard]] const Form1Controls& controls() const { return controls_; }

  protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    void onSerialReceive();
    void onActivatedAfterFileManager();
    void relayout();
    void reportFailure(std::string_view what);

    ProgramState state_;
    ReaderSettings settings_;
    Devices devices_;
    std::unique_ptr<rq::Dialogs> dialogs_;
    Form1Controls controls_;
    SettingsControls* settingsControls_ = nullptr;  // child QObject
    std::unique_ptr<FileManager> fileManager_;      // uses the log and dialogs above

    std::function<void()> endProgram_;
    Command serialReceiveHandler_;
    KeyCommand statusKeyHandler_;
    Command activationHandler_;

    bool running_ = false;
    bool closeRequested_ = false;
    bool serialReceivePending_ = false;
    bool followingScreen_ = false;
};

}  // namespace rq::app
