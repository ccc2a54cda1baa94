// rq4720-demo: the tool with simulated readers in place of hardware. A reader on USB
// (in-process, on the real clock) and a reader on RS232 behind a pseudo-terminal that
// the tool reaches through its real serial binding as COM1. A small panel plugs the USB
// reader in and out, so every command can be tried on both links.
#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <string_view>
#include <vector>

#include "DemoOptions.h"
#include "DemoPanel.h"
#include "app/Form1.h"
#include "core/ForwardingDevices.h"
#include "core/Text.h"
#include "platform/QtSerialPort.h"
#include "platform/SteadyClock.h"

namespace {

rq::demo::DemoOptions ReadArguments(int argc, char* argv[]) {
    const std::vector<std::string_view> arguments(argv + 1, argv + argc);
    return rq::demo::ParseDemoOptions(arguments);
}

}  // namespace

int main(int argc, char* argv[]) {
    using Action = rq::demo::DemoOptions::Action;
    if (ReadArguments(argc, argv).action == Action::Help) {
        std::fputs(rq::demo::DemoUsage().c_str(), stdout);
        return 0;
    }
    QApplication app(argc, argv);  // takes Qt's own options out of argv
    const rq::demo::DemoOptions options = ReadArguments(argc, argv);
    if (options.action == Action::BadUsage) {
        std::fprintf(stderr, "rq4720-demo: %s\nTry 'rq4720-demo --help' for more information.\n",
                     rq::text::TerminalSafe(options.problem).c_str());
        return 64;  // as sysexits' EX_USAGE, like the tool
    }
    try {
        rq::sim::ReaderConfig serialConfig;
        serialConfig.settings[0] = 6;  // the RS232 reader talks at 19200 baud
        rq::sim::PtyReader serialReader(serialConfig);
        // COM1 is the simulated reader's terminal; set before the port binding exists.
        setenv("RQ4720_SERIAL_PORTS", serialReader.slavePath().c_str(), 1);

        auto clock = std::make_unique<rq::SteadyClock>([] {
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents |
                                            QEventLoop::ExcludeSocketNotifiers);
        });
        // Declared before the window, so it outlives the window's handle to its library;
        // it does not use the clock once the window (which owns the clock) has gone.
        // The USB reader confirms flash mode with "JP-USB"; --flash-text DA-RUR for the other.
        rq::sim::ReaderConfig usbConfig;
        if (!options.flashText.empty()) {
            usbConfig.flashModeText = options.flashText;
        }
        rq::sim::SimulatedUsbReader usbReader(*clock, usbConfig);

        // The HID library belongs to the USB reader; the window gets a forwarding handle.
        rq::app::Devices devices{std::make_unique<rq::ForwardingHidLibrary>(usbReader.library()),
                                 std::make_unique<rq::QtSerialPort>(), std::move(clock)};
        // The file manager starts in the current directory: where the sample images are.
        QDir::setCurrent(QStringLiteral(RQ_SAMPLE_FIRMWARE_DIR));
        rq::app::Form1 window(std::move(devices));
        window.show();

        rq::demo::DemoPanel panel(usbReader, serialReader);
        panel.setKeyboardWindow(&window);
        panel.move(window.frameGeometry().topRight() + QPoint(12, 0));
        panel.show();
        return QApplication::exec();
    } catch (const std::exception& failure) {
        QMessageBox::critical(nullptr, QStringLiteral("rq4720-demo"),
                              QString::fromLocal8Bit(failure.what()));
        return 1;
    }
}
