#include "ports/serial_port_list.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <libserialport.h>
#include <string_view>
#include <system_error>
#include <utility>

namespace {

std::string Canonical(const std::string& Path) {
    std::error_code ec;
    const auto p = std::filesystem::canonical(Path, ec);
    return ec ? Path : p.string();
}

std::string Text(const char* s) {
    return s ? s : "";
}

std::string Hex4(int Value) {
    char text[8];
    std::snprintf(text, sizeof text, "%04x", Value & 0xFFFF);
    return text;
}

TSerialPortInfo Describe(const sp_port* Port) {
    TSerialPortInfo info;
    info.Path = Text(sp_get_port_name(Port));
    info.Description = Text(sp_get_port_description(Port));
    switch (sp_get_port_transport(Port)) {
    case SP_TRANSPORT_USB:
        info.Transport = "USB";
        sp_get_port_usb_vid_pid(Port, &info.Vid, &info.Pid);
        sp_get_port_usb_bus_address(Port, &info.Bus, &info.Address);
        info.Manufacturer = Text(sp_get_port_usb_manufacturer(Port));
        info.Product = Text(sp_get_port_usb_product(Port));
        info.SerialNumber = Text(sp_get_port_usb_serial(Port));
        break;
    case SP_TRANSPORT_BLUETOOTH:
        info.Transport = "Bluetooth";
        info.BluetoothAddress = Text(sp_get_port_bluetooth_address(Port));
        break;
    default:
        info.Transport = "native";
        break;
    }
    return info;
}

} // namespace

bool NaturalLess(const std::string& A, const std::string& B) {
    std::size_t i = 0, j = 0;
    while (i < A.size() && j < B.size()) {
        const bool da = std::isdigit(static_cast<unsigned char>(A[i])) != 0;
        const bool db = std::isdigit(static_cast<unsigned char>(B[j])) != 0;
        if (da && db) {
            std::size_t ei = i, ej = j;
            while (ei < A.size() && std::isdigit(static_cast<unsigned char>(A[ei])))
                ++ei;
            while (ej < B.size() && std::isdigit(static_cast<unsigned char>(B[ej])))
                ++ej;
            // Compare the digit runs by value: strip leading zeros, then length, then digits.
            std::string_view na(A.data() + i, ei - i), nb(B.data() + j, ej - j);
            while (na.size() > 1 && na.front() == '0')
                na.remove_prefix(1);
            while (nb.size() > 1 && nb.front() == '0')
                nb.remove_prefix(1);
            if (na.size() != nb.size()) return na.size() < nb.size();
            if (na != nb) return na < nb;
            i = ei;
            j = ej;
            continue;
        }
        if (A[i] != B[j]) return A[i] < B[j];
        ++i;
        ++j;
    }
    return A.size() - i < B.size() - j;
}

std::vector<TSerialPortInfo> ListSerialPorts() {
    std::vector<TSerialPortInfo> ports;
    sp_port** list = nullptr;
    if (sp_list_ports(&list) == SP_OK) {
        for (sp_port** p = list; *p; ++p)
            ports.push_back(Describe(*p));
        sp_free_port_list(list);
    }

    // Persistent names: a USB adapter keeps its by-id name whatever number
    // the kernel gives its node.
    std::vector<std::pair<std::string, std::string>> byId; // canonical node, link
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator("/dev/serial/by-id", ec))
        byId.emplace_back(Canonical(e.path().string()), e.path().string());
    std::sort(byId.begin(), byId.end());
    for (auto& port : ports) {
        const std::string node = Canonical(port.Path);
        const auto it =
            std::find_if(byId.begin(), byId.end(), [&](const auto& b) { return b.first == node; });
        if (it != byId.end()) port.ById = it->second;
    }
    std::sort(ports.begin(), ports.end(), [](const TSerialPortInfo& a, const TSerialPortInfo& b) {
        return NaturalLess(a.Name(), b.Name());
    });
    return ports;
}

std::string DescribeSerialPort(const TSerialPortInfo& Port) {
    std::string text;
    auto add = [&text](const std::string& Part) {
        if (Part.empty()) return;
        if (!text.empty()) text += ", ";
        text += Part;
    };
    if (Port.Transport == "USB") {
        std::string product = !Port.Product.empty() ? Port.Product : Port.Description;
        if (!Port.Manufacturer.empty() && product.find(Port.Manufacturer) == std::string::npos)
            product += " (" + Port.Manufacturer + ")";
        add(product);
        if (Port.Vid >= 0 && Port.Pid >= 0) add("USB " + Hex4(Port.Vid) + ":" + Hex4(Port.Pid));
        if (!Port.SerialNumber.empty()) add("serial " + Port.SerialNumber);
        if (Port.Bus >= 0 && Port.Address >= 0)
            add("bus " + std::to_string(Port.Bus) + " address " + std::to_string(Port.Address));
        return text;
    }
    add(Port.Description);
    add(Port.Transport);
    if (!Port.BluetoothAddress.empty()) add(Port.BluetoothAddress);
    return text;
}

const TSerialPortInfo* FindSerialPort(const std::vector<TSerialPortInfo>& Ports, const std::string& Path) {
    for (const auto& p : Ports)
        if (p.Path == Path || p.ById == Path) return &p;
    const std::string node = Canonical(Path);
    for (const auto& p : Ports)
        if (Canonical(p.Path) == node) return &p;
    return nullptr;
}

std::string SerialPortLibrary() {
    return std::string("libserialport ") + sp_get_package_version_string();
}
