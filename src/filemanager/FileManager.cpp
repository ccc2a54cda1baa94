#include "filemanager/FileManager.h"

#include <QDir>
#include <QWidget>
#include <utility>

#include "core/StatusLog.h"
#include "filemanager/DirectoryListing.h"
#include "filemanager/MountedVolumes.h"
#include "platform/UserFolders.h"

namespace rq {

FileManager::FileManager(ProgramState& state, StatusLog& log, Dialogs& dialogs,
                         std::function<void()> bringBackMainWindow)
    : FileManager(state, log, dialogs, std::move(bringBackMainWindow), MountedVolumeRoots,
                  FileManagerStartDirectory()) {}

FileManager::FileManager(ProgramState& state, StatusLog& log, Dialogs& dialogs,
                         std::function<void()> bringBackMainWindow, Form2::VolumeSource volumes,
                         std::string startDirectory)
    : state_(state),
      log_(log),
      dialogs_(dialogs),
      bringBackMainWindow_(std::move(bringBackMainWindow)),
      volumes_(std::move(volumes)),
      drives_(std::move(startDirectory), QDir::separator().toLatin1()) {}

FileManager::~FileManager() = default;

void FileManager::show(FileCommand command, QWidget* mainWindow) {
    returnRequested_ = false;
    log_.clear();
    if (!form_) {
        form_ = std::make_unique<Form2>(state_, dialogs_, drives_, volumes_);
        form_->setBusyCheck(busy_);
        QObject::connect(form_.get(), &Form2::choiceConfirmed, form_.get(), [this] {
            returnRequested_ = true;
            if (bringBackMainWindow_) {
                bringBackMainWindow_();
            }
        });
        QObject::connect(form_.get(), &Form2::discarded, form_.get(), [this] { discardWindow(); });
    }
    form_->prepare(command);
    state_.PendingFileAction = SetupFor(command).pickAction;
    if (mainWindow != nullptr) {
        const int dpiX = mainWindow->logicalDpiX();
        const int dpiY = mainWindow->logicalDpiY();
        form_->move(mainWindow->pos() +
                    QPoint((100 * dpiX + 720) / 1440, (800 * dpiY + 720) / 1440));
    }
    form_->show();
    form_->raise();
    form_->activateWindow();
}

bool FileManager::takeReturnRequest() {
    return std::exchange(returnRequested_, false);
}

void FileManager::discardWindow() {
    // The close event is still being delivered to the window; delete it afterwards.
    form_.release()->deleteLater();
}

}  // namespace rq
