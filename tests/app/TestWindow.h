#pragma once

#include <functional>
#include <memory>

#include "app/Form1.h"
#include "support/FakeDialogs.h"
#include "support/NoDevices.h"

namespace rq::app::testing {

// A serial port without a port that lets a test deliver receive notifications.
class NotifyingSerialPort final : public rq::testing::NoSerialPort {
  public:
    void setReceiveHandler(std::function<void()> handler) override {
        handler_ = std::move(handler);
    }
    void notify() {
        if (handler_) {
            handler_();
        }
    }

  private:
    std::function<void()> handler_;
};

// A main window over stand-in devices and fake message boxes that answer Ok unless told.
struct TestWindow {
    TestWindow();

    rq::testing::FakeDialogs* dialogs = nullptr;  // owned by the window
    NotifyingSerialPort* serial = nullptr;        // owned by the window
    int programEnds = 0;
    std::unique_ptr<Form1> window;

    Form1& operator*() { return *window; }
    Form1* operator->() { return window.get(); }

    // Chooses a menu entry by its name.
    void choose(const char* entry);
};

}  // namespace rq::app::testing
