#include "ports/serial_device.h"

#include "ports/serial_line_sp.h"
#include "ports/serial_line_tty.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <libserialport.h>
#include <string_view>
#include <system_error>

namespace {

std::string Canonical(const std::string& Path) {
    std::error_code ec;
    const auto p = std::filesystem::canonical(Path, ec);
    return ec ? Path : p.string();
}

} // namespace

std::unique_ptr<TSerialLine> OpenSerialDevice(const std::string& Path) {
    // libserialport describes a port by its entry under /sys/class/tty, so it
    // needs the device node, not a link to it; it refuses pseudo-terminals.
    sp_port* port = nullptr;
    if (sp_get_port_by_name(Canonical(Path).c_str(), &port) == SP_OK)
        return std::make_unique<TSpSerialLine>(Path, port);
    return std::make_unique<TTtySerialLine>(Path);
}

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

std::vector<std::string> EnumerateSerialDevices() {
    std::vector<std::string> nodes;
    sp_port** list = nullptr;
    if (sp_list_ports(&list) == SP_OK) {
        for (sp_port** p = list; *p; ++p)
            nodes.emplace_back(sp_get_port_name(*p));
        sp_free_port_list(list);
    }

    // Persistent names: a USB adapter keeps its by-id name whatever number
    // the kernel gives its node.
    std::vector<std::pair<std::string, std::string>> byId; // canonical node, link
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator("/dev/serial/by-id", ec))
        byId.emplace_back(Canonical(e.path().string()), e.path().string());
    std::sort(byId.begin(), byId.end());

    std::vector<std::string> names;
    for (const auto& node : nodes) {
        const std::string canonical = Canonical(node);
        auto it = std::find_if(byId.begin(), byId.end(), [&](const auto& b) { return b.first == canonical; });
        names.push_back(it != byId.end() ? it->second : node);
    }
    std::sort(names.begin(), names.end(), NaturalLess);
    names.erase(std::unique(names.begin(), names.end()), names.end());
    return names;
}
