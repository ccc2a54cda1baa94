#pragma once

#include <QPointer>
#include <QWidget>

#include "PtyReader.h"
#include "SimulatedUsbReader.h"

class QCheckBox;
class QLabel;
class QPlainTextEdit;

namespace rq::demo {

// A small window beside the tool: plugs the simulated USB reader in and out, names the
// RS232 reader's terminal, places an iButton on both, and shows the settings and firmware
// version both readers hold, so that a write, a reset or an update can be seen landing.
class DemoPanel final : public QWidget {
    Q_OBJECT

  public:
    DemoPanel(sim::SimulatedUsbReader& usb, sim::PtyReader& serial, QWidget* parent = nullptr);

    // The window the USB reader types into, as the keyboard's focus would be there.
    void setKeyboardWindow(QWidget* window);

  private:
    void refresh();

    sim::SimulatedUsbReader& usb_;
    sim::PtyReader& serial_;
    QCheckBox* usbPlugged_;
    QPlainTextEdit* settingsView_;
    QPointer<QWidget> keyboardWindow_;
};

}  // namespace rq::demo
