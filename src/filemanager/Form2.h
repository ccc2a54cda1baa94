#pragma once

#include <QWidget>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "filemanager/PendingFileActions.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;

namespace rq {

class Dialogs;
class DriveDirectories;

// The file manager window: a drive list, the directories of the chosen directory, its
// files that match the pattern, and a name box with the one button that confirms.
// Every control is reachable with the keyboard.
class Form2 final : public QWidget {
    Q_OBJECT

  public:
    using VolumeSource = std::function<std::vector<std::string>()>;

    Form2(ProgramState& state, Dialogs& dialogs, DriveDirectories& drives, VolumeSource volumes);

    // Pattern, captions and whether the name can be typed, as the command wants them.
    void prepare(FileCommand command);

    // Refreshes drives, directories and files as when the window becomes active.
    void refreshOnActivation();
    // While this says true (a command of the main window runs), activations refresh
    // nothing, so no message box can open in the middle of the command.
    void setBusyCheck(std::function<bool()> busy) { busy_ = std::move(busy); }
    // Lists the files of fileListPath() again, keeping the chosen one.
    void refreshFileList();

    // The directory the directory list shows, and the one whose files the file list shows
    // (the system's bytes for them).
    [[nodiscard]] const std::string& directoryPath() const { return directory_; }
    [[nodiscard]] const std::string& fileListPath() const { return fileListPath_; }
    [[nodiscard]] const std::string& pattern() const { return pattern_; }

    // The controls, named as the window's own; the window owns them.
    QComboBox* Drive1;
    QListWidget* Dir1;
    QListWidget* File1;
    QLabel* Label1;
    QLineEdit* Text1;
    QPushButton* Command1;

  signals:
    // The button stored the chosen path and hid the window.
    void choiceConfirmed();
    // The close box was used; the window is to be discarded.
    void discarded();

  protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void placeControls();
    void connectControls();

    // The window's handlers.
    void driveChanged(int index);
    void directoryActivated(QListWidgetItem* item);
    void fileChosen(QListWidgetItem* item);
    void fileSelectionChanged();
    void buttonPressed();

    // Shows `directory` in the directory list and its files; "" or why it failed, in
    // which case nothing changes.
    std::string showDirectory(const std::string& directory);
    void fillDriveList();
    void selectDrive(const std::string& root);
    [[nodiscard]] std::string selectedDrive() const;
    [[nodiscard]] std::string fillFileList();
    void showProblem(const std::string& description);

    ProgramState& state_;
    Dialogs& dialogs_;
    DriveDirectories& drives_;
    VolumeSource volumes_;
    std::vector<std::string> roots_;
    std::string directory_;
    std::string fileListPath_;
    std::string pattern_ = "*.kxs";
    // The bytes of the file last chosen in the list; they name the file while Text1 shows
    // its name unchanged, also when the name is not UTF-8.
    std::optional<std::string> chosenName_;
    // Set while the program itself changes the lists, whose signals then mean nothing.
    bool updatingLists_ = false;
    // The last failure shown on activation, so that closing its box (which activates the
    // window again) cannot bring the same box back without end.
    std::string lastActivationProblem_;
    std::function<bool()> busy_;
};

}  // namespace rq
