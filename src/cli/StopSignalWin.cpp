// Ctrl-C and Ctrl-Break in the Windows console. The system calls the handler on a thread
// of its own; it only queues the stop for the event loop of the main thread.
#include <windows.h>

#include <QMetaObject>
#include <QObject>

#include <atomic>

#include "cli/StopSignal.h"

namespace rq::cli {

struct StopSignal::Watch {
    std::function<void()> onStop;
    QObject receiver;  // the stop runs in its thread; events left for it die with it
};

namespace {

std::atomic<StopSignal::Watch*> gWatch{nullptr};

BOOL WINAPI OnConsoleEvent(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) {
        return FALSE;  // closing the console ends the program as usual
    }
    if (StopSignal::Watch* watch = gWatch.load()) {
        QMetaObject::invokeMethod(
            &watch->receiver, [watch] { watch->onStop(); }, Qt::QueuedConnection);
    }
    return TRUE;
}

}  // namespace

StopSignal::StopSignal(std::function<void()> onStop) : watch_(std::make_unique<Watch>()) {
    watch_->onStop = std::move(onStop);
    gWatch = watch_.get();
    ::SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

StopSignal::~StopSignal() {
    ::SetConsoleCtrlHandler(OnConsoleEvent, FALSE);
    gWatch = nullptr;
}

}  // namespace rq::cli
