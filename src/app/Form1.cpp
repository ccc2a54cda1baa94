#include "app/Form1.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLayout>
#include <QMenuBar>
#include <QWindow>
#include <stdexcept>

#include "app/MenuBar.h"
#include "app/MenuCommands.h"
#include "app/QtDialogs.h"
#include "app/SettingsControls.h"
#include "app/StatusLogWidget.h"

namespace rq::app {
namespace {

constexpr const char* kWindowTitle = "Quorrindel 4720B Programming tool v2.2";

Devices Checked(Devices devices) {
    if (!devices.hid || !devices.serial || !devices.clock) {
        throw std::invalid_argument("Form1 needs a HID library, a serial port and a clock");
    }
    return devices;
}

// Shows the settings record in the controls before each message box, so that a box in
// the middle of a command (a settings file error, say) shows the fields as they stand.
class ShowSettingsFirst final : public rq::Dialogs {
  public:
    ShowSettingsFirst(std::unique_ptr<rq::Dialogs> inner, std::function<void()> showSettings)
        : inner_(std::move(inner)), showSettings_(std::move(showSettings)) {}

    DialogAnswer messageBox(std::string_view prompt, std::string_view title, DialogIcon icon,
                            DialogButtons buttons) override {
        showSettings_();
        return inner_->messageBox(prompt, title, icon, buttons);
    }

  private:
    std::unique_ptr<rq::Dialogs> inner_;
    std::function<void()> showSettings_;
};

// Marks the window busy for the life of one command, also when it throws.
class BusyScope {
  public:
    explicit BusyScope(bool& running) : running_(running) {
        running_ = true;
        QApplication::setOverrideCursor(Qt::WaitCursor);
    }
    ~BusyScope() {
        QApplication::restoreOverrideCursor();
        running_ = false;
    }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

  private:
    bool& running_;
};

}  // namespace

Form1::Form1(Devices devices, std::unique_ptr<rq::Dialogs> dialogs, QWidget* parent)
    : QMainWindow(parent),
      devices_(Checked(std::move(devices))),
      dialogs_(std::make_unique<ShowSettingsFirst>(
          dialogs ? std::move(dialogs) : std::make_unique<QtDialogs>(this),
          [this] {
              if (settingsControls_ != nullptr) {
                  settingsControls_->show();
              }
          })),
      endProgram_([] { QCoreApplication::exit(0); }) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QString::fromUtf8(kWindowTitle));

    auto* client = new QWidget(this);
    setCentralWidget(client);
    controls_ = CreateForm1Controls(*client);
    CreateMenuBar(*menuBar());
    // The client area has a fixed size; the window follows it and cannot be resized.
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    settingsControls_ = new SettingsControls(controls_, settings_, this);
    settingsControls_->fillInitialState();

    controls_.picture1->setKeyHandler([this](char32_t character) {
        if (statusKeyHandler_) {
            runCommand([handler = statusKeyHandler_, character](OperationContext& ctx) {
                handler(ctx, character);
            });
        }
    });
    devices_.serial->setReceiveHandler([this] { onSerialReceive(); });
    fileManager_ = std::make_unique<FileManager>(state_, *controls_.picture1, *dialogs_, [this] {
        show();
        raise();
        activateWindow();
    });
    fileManager_->setBusyCheck([this] { return running_; });
    ConnectMenuCommands(*this);

    controls_.picture1->setFocus();  // first in the focus order
}

Form1::~Form1() {
    devices_.serial->setReceiveHandler({});
    controls_.picture1->setKeyHandler({});
}

OperationContext Form1::context() {
    return {state_,        settings_,        *controls_.picture1, *dialogs_,
            *devices_.hid, *devices_.serial, *devices_.clock};
}

bool Form1::runCommand(const Command& command) {
    if (running_) {
        return false;  // one command at a time; the window does not react meanwhile
    }
    {
        const BusyScope busy(running_);
        settingsControls_->takeEnabledState();
        OperationContext ctx = context();
        // A copy: the command may replace the handler it was started from.
        const Command run = command;
        try {
            run(ctx);
        } catch (const std::exception& failure) {
            // An exception must not escape into Qt's event loop; the operator hears of it.
            reportFailure(failure.what());
        }
        settingsControls_->show();
    }
    if (closeRequested_) {
        endProgram();
        return true;
    }
    if (serialReceivePending_) {
        serialReceivePending_ = false;
        onSerialReceive();
    }
    return true;
}

void Form1::reportFailure(std::string_view what) {
    try {
        dialogs_->messageBox(what, "Error", DialogIcon::Stop, DialogButtons::Ok);
    } catch (const std::exception&) {
        // Nothing more can be told; the window stays usable.
    }
}

void Form1::onMenu(std::string_view entry, Command command) {
    const QString name = QString::fromUtf8(entry.data(), static_cast<qsizetype>(entry.size()));
    QAction* action = nullptr;
    for (QMenu* menu : menuBar()->findChildren<QMenu*>()) {
        for (QAction* candidate : menu->actions()) {
            if (candidate->objectName() == name && !candidate->isSeparator()) {
                action = candidate;
            }
        }
    }
    if (action == nullptr) {
        throw std::logic_error("no menu entry named " + std::string(entry));
    }
    connect(action, &QAction::triggered, this,
            [this, command = std::move(command)] { runCommand(command); });
}

void Form1::endProgram() {
    if (endProgram_) {
        endProgram_();
    }
}

void Form1::setEndProgram(std::function<void()> end) {
    endProgram_ = std::move(end);
}

void Form1::setSerialReceiveHandler(Command handler) {
    serialReceiveHandler_ = std::move(handler);
}

void Form1::setStatusKeyHandler(KeyCommand handler) {
    statusKeyHandler_ = std::move(handler);
}

void Form1::setActivationHandler(Command handler) {
    activationHandler_ = std::move(handler);
}

void Form1::showSettings() {
    settingsControls_->show();
}

void Form1::onSerialReceive() {
    if (running_) {
        serialReceivePending_ = true;  // handled when the command has ended
        return;
    }
    if (serialReceiveHandler_) {
        runCommand(serialReceiveHandler_);
    }
}

void Form1::onActivatedAfterFileManager() {
    // The pending file actions (open, save, firmware update) start here once the file
    // manager exists.
    if (activationHandler_) {
        runCommand(activationHandler_);
    }
}

bool Form1::event(QEvent* event) {
    // An activation while a command runs (e.g. when its message box closes) never
    // starts a pending file action.
    const bool activated = event->type() == QEvent::WindowActivate;
    const bool handled = QMainWindow::event(event);
    if (activated && !running_) {
        onActivatedAfterFileManager();
    }
    return handled;
}

void Form1::closeEvent(QCloseEvent* event) {
    if (running_) {
        // A flash in progress is never cut off: the program ends when the command has.
        closeRequested_ = true;
        event->ignore();
        return;
    }
    event->accept();
    endProgram();
}

void Form1::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!followingScreen_ && windowHandle() != nullptr) {
        followingScreen_ = true;
        connect(windowHandle(), &QWindow::screenChanged, this, [this] { relayout(); });
        relayout();
    }
}

void Form1::relayout() {
    PlaceForm1Controls(*centralWidget(), controls_, TwipScale::of(*this));
    controls_.picture1->update();
}

}  // namespace rq::app
