#include <QSerialPortInfo>

#include <cstdlib>

#include "platform/SerialPortList.h"

namespace rq {

PresentSerialPorts CurrentSerialPorts() {
    PresentSerialPorts ports;
    if (const char* value = std::getenv(kSerialPortsVariable)) {
        SerialPortNumbering numbering = NumberSerialPorts(std::string_view(value), {});
        ports.map = numbering.map;
        ports.leftOut = std::move(numbering.leftOut);
        ports.configured = true;
        return ports;
    }
    std::vector<std::string> found;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        found.push_back(info.systemLocation().toStdString());
    }
    SerialPortNumbering numbering = NumberSerialPorts(std::nullopt, std::move(found));
    ports.map = numbering.map;
    ports.leftOut = std::move(numbering.leftOut);
    return ports;
}

SerialPortMap CurrentSerialPortMap() {
    return CurrentSerialPorts().map;
}

}  // namespace rq
