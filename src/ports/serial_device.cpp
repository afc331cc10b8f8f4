#include "ports/serial_device.h"

#include "ports/serial_line_tty.h"
#include "ports/serial_port_list.h"

#include <algorithm>

std::unique_ptr<TSerialLine> OpenSerialDevice(const std::string& Path) {
    return std::make_unique<TTtySerialLine>(Path);
}

std::vector<std::string> EnumerateSerialDevices() {
    std::vector<std::string> names;
    for (const auto& port : ListSerialPorts())
        names.push_back(port.Name());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    return names;
}
