#include "TestWindow.h"

#include <QAction>
#include <stdexcept>

#include "platform/SteadyClock.h"

namespace rq::app::testing {

TestWindow::TestWindow() {
    auto fakeDialogs = std::make_unique<rq::testing::FakeDialogs>();
    dialogs = fakeDialogs.get();
    auto port = std::make_unique<NotifyingSerialPort>();
    serial = port.get();
    Devices devices{std::make_unique<rq::testing::NoHidLibrary>(), std::move(port),
                    std::make_unique<SteadyClock>()};
    window = std::make_unique<Form1>(std::move(devices), std::move(fakeDialogs));
    window->setEndProgram([this] { ++programEnds; });
}

void TestWindow::choose(const char* entry) {
    auto* action = window->findChild<QAction*>(QString::fromLatin1(entry));
    if (action == nullptr) {
        throw std::logic_error(std::string("no menu entry ") + entry);
    }
    action->trigger();
}

}  // namespace rq::app::testing
