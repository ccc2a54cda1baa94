#include <QApplication>
#include <memory>

#include "app/Form1.h"
#include "platform/HidapiLibrary.h"
#include "platform/QtSerialPort.h"
#include "platform/SteadyClock.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    // No application display name: the desktop would append it to the window title.

    rq::app::Devices devices{
        std::make_unique<rq::HidapiLibrary>(),
        std::make_unique<rq::QtSerialPort>(),
        // Waits keep the window painted but take no operator input and no serial
        // notifications until the command has ended.
        std::make_unique<rq::SteadyClock>([] {
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents |
                                            QEventLoop::ExcludeSocketNotifiers);
        }),
    };
    rq::app::Form1 window(std::move(devices));
    window.show();
    return QApplication::exec();
}
