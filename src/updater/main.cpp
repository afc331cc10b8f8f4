// Firmwareupdater <firmware> <version> [--port PATH] [--baud 115200|57600]
//
// Run by the program's Help > "Firmware Update" as "Firmwareupdater
// firmware/norvoisp 000A" in the program's folder. The port is, in this
// order: --port; NORVOISP_UPDATE_PORT (the program sets it to the port its
// serial driver uses); the port of the "Norvo ISP (COM)" settings.
#include "errors/errors.h"
#include "settings/isp_reg_key.h"
#include "settings/registry_hive.h"
#include "settings/settings_store.h"
#include "updater/firmware_updater.h"

#include <cstdlib>
#include <filesystem>
#include <iostream>

namespace {

const char kUsage[] = "Usage: Firmwareupdater FIRMWARE VERSION [--port PATH] [--baud 115200|57600]\n"
                      "Writes FIRMWARE.hex into the programmer unit (an Arduino Uno or Nano) through its\n"
                      "bootloader with avrdude. VERSION is the firmware version the program needs.\n";

std::string SettingsPort() {
    try {
        std::error_code ec;
        if (!std::filesystem::exists(TRegistryHive::DefaultFileName(), ec)) return "";
        TISPSettings settings;
        settings.LoadSettings(std::string(ISPRegKey) + "\\GLOBAL", sl_registry, ss_global);
        return PortOfSettings(settings);
    } catch (const Exception& e) {
        std::cerr << "Firmwareupdater: settings not read (" << e.Message() << ")\n";
        return "";
    }
}

} // namespace

int main(int argc, char** argv) {
    TUpdateRequest request;
    std::vector<std::string> positional;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if ((a == "--port" || a == "--baud") && i + 1 < argc) {
            const std::string v = argv[++i];
            if (a == "--port") {
                request.Port = v;
            } else if (v == "115200" || v == "57600") {
                request.Baud = std::stoi(v);
            } else {
                std::cerr << "Firmwareupdater: --baud takes 115200 or 57600\n" << kUsage;
                return 2;
            }
        } else if (a == "--help" || a == "-h") {
            std::cout << kUsage;
            return 0;
        } else if (!a.empty() && a[0] == '-') {
            std::cerr << "Firmwareupdater: unknown option " << a << "\n" << kUsage;
            return 2;
        } else {
            positional.push_back(a);
        }
    }
    if (positional.size() != 2) {
        std::cerr << kUsage;
        return 2;
    }
    request.FirmwareBase = positional[0];
    request.Version = positional[1];
    if (request.Port.empty())
        if (const char* fromProgram = std::getenv("NORVOISP_UPDATE_PORT")) request.Port = fromProgram;
    if (request.Port.empty()) request.Port = SettingsPort();
    std::cout << "Firmware update: writing " << request.FirmwareBase << ".hex to "
              << (request.Port.empty() ? std::string("(no port)") : request.Port) << std::endl;
    const TUpdateOutcome outcome = UpdateFirmware(request, [](const std::vector<std::string>& Args) {
        std::cout << "Firmware update: " << Args[0] << " at " << Args[8] << " baud" << std::endl;
        TAvrdudeResult r = RunAvrdude(Args);
        std::cerr << r.Output;
        return r;
    });
    (outcome.Done ? std::cout : std::cerr) << outcome.Message << std::endl;
    return outcome.Done ? 0 : 1;
}
