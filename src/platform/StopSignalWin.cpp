// Ctrl-C and Ctrl-Break in the Windows console. The system calls the handler on a thread
// of its own, at any moment, also while the main thread ends the watch: the handler
// reaches the watch only under a lock that the destructor takes before the watch is
// freed, and only queues the stop for the event loop of the main thread.
#include <windows.h>

#include <QMetaObject>
#include <QObject>

#include "platform/StopSignal.h"

namespace rq {

struct StopSignal::Watch {
    std::function<void()> onStop;
    QObject receiver;  // the stop runs in its thread; events left for it die with it
};

namespace {

// Static and trivially destroyed: still there for a handler that runs while the program
// ends.
SRWLOCK gLock = SRWLOCK_INIT;
StopSignal::Watch* gWatch = nullptr;

BOOL WINAPI OnConsoleEvent(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) {
        return FALSE;  // closing the console ends the program as usual
    }
    ::AcquireSRWLockShared(&gLock);
    if (StopSignal::Watch* watch = gWatch) {
        QMetaObject::invokeMethod(
            &watch->receiver, [watch] { watch->onStop(); }, Qt::QueuedConnection);
    }
    ::ReleaseSRWLockShared(&gLock);
    return TRUE;
}

}  // namespace

StopSignal::StopSignal(std::function<void()> onStop) : watch_(std::make_unique<Watch>()) {
    watch_->onStop = std::move(onStop);
    ::AcquireSRWLockExclusive(&gLock);
    gWatch = watch_.get();
    ::ReleaseSRWLockExclusive(&gLock);
    ::SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

StopSignal::~StopSignal() {
    ::SetConsoleCtrlHandler(OnConsoleEvent, FALSE);
    // A handler already running finishes its queueing first; the queued call dies with
    // the receiver.
    ::AcquireSRWLockExclusive(&gLock);
    gWatch = nullptr;
    ::ReleaseSRWLockExclusive(&gLock);
}

}  // namespace rq
