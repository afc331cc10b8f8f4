// Program + verify of a 24C256 at 115 200 baud with the catalogue write
// delay (5 ms), on simulated time: the simulated unit (the interpreter in
// process) and the real firmware on the simulated ATmega328P, each with no
// USB turnaround and with the 1 ms of a USB-serial adapter in low-latency
// mode, next to the wire + write-delay bound (every byte of the exchange
// one after the other at 10 bits, plus 5 ms a page). Prints a table.
#include "avr/avr_link.h"
#include "byte_link.h"
#include "catalogue/device_list.h"
#include "chips/chip_factory.h"
#include "programmer/unit/smart_dongle.h"
#include "programmer/unit/smart_serial.h"
#include "settings/settings_store.h"
#include "sim_kinds/sim_serial_line.h"
#include "unit.h"

#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>

namespace {

using namespace std::chrono_literals;

const char kDevice[] = "24C256";

struct TFigures {
    double Program = 0, Verify = 0, Bytes = 0;
};

// The serial driver on Line, programming and verifying a pattern, with or
// without pipelining a buffering unit's commands.
TFigures Run(TSimLine& Line, const std::function<double()>& Bytes, bool Pipelined) {
    TDevice* device = DeviceList().GetNewDeviceInstance(kDevice, TProgrammerSupport{pk_eisp});
    TISPSettings settings;
    settings.SetSetting("COMPORTS", "COM1", ss_global, std::string("(simulated)"));
    TSimLinkClock clock(Line);
    TSmartSerial driver;
    driver.SetHardwareName("NORVO ISP (COM)");
    driver.SetSaveLocation(&settings);
    driver.SetDevice(device);
    driver.SetClock(&clock);
    driver.AllowPipelining = Pipelined;
    driver.SetLineFactory([&Line](const std::string&) { return std::make_unique<TSimSerialLine>(Line); });
    SmartDongle::PageSize = device->PageSize();
    SmartDongle::ClockSpeed = 1;
    driver.HardwareOpen();
    THexList buffer;
    buffer.SetSizeof(static_cast<std::uint32_t>(device->FlashSize()));
    for (std::uint32_t i = 0; i < buffer.Size(); ++i)
        buffer.HexData[i] = static_cast<std::uint8_t>(i * 29 + (i >> 9));
    TFigures f;
    const double bytes0 = Bytes();
    const double t0 = std::chrono::duration<double>(Line.Now()).count();
    driver.ProgramFlash(buffer);
    const double t1 = std::chrono::duration<double>(Line.Now()).count();
    driver.VerifyFlash(buffer);
    const double t2 = std::chrono::duration<double>(Line.Now()).count();
    f.Program = t1 - t0;
    f.Verify = t2 - t1;
    f.Bytes = Bytes() - bytes0;
    driver.DeInitHardwareDriver();
    return f;
}

TFigures OnSimulatedUnit(TSimDuration Turnaround, bool Pipelined) {
    TUnitConfig config;
    config.BuffersCommands = Pipelined;
    TProgrammerUnit unit(config);
    unit.InsertChip(MakeChip(kDevice));
    TByteLinkConfig line;
    line.Turnaround = Turnaround;
    TByteLink link(unit, line);
    return Run(
        link,
        [&] { return static_cast<double>(unit.BytesReceived() + unit.Transcript().AllReceived().size()); },
        Pipelined);
}

TFigures OnFirmware(TSimDuration Turnaround, bool Pipelined) {
    TAvrUnitConfig board;
    board.Firmware = FIRMWARE_ELF;
    TAvrUnit unit(board);
    unit.InsertChip(MakeChip(kDevice));
    TAvrLink link(unit, 115200, Turnaround);
    return Run(
        link, [&] { return static_cast<double>(link.Sent().size() + link.ReceivedCount()); }, Pipelined);
}

void Row(const char* Unit, const char* Mode, double TurnaroundMs, const TFigures& f) {
    const int pages = 32768 / 64;
    const double bound = f.Bytes * 10.0 / 115200.0 + pages * 0.005;
    std::printf("| %-26s | %-9s | %4.0f ms | %8.3f | %8.3f | %8.3f | %8.3f | %6.3fx |\n", Unit, Mode,
                TurnaroundMs, f.Program, f.Verify, f.Program + f.Verify, bound,
                (f.Program + f.Verify) / bound);
}

} // namespace

int main() {
    std::printf("24C256 program + verify, 115 200 baud, 5 ms write delay, simulated seconds\n\n");
    std::printf("| %-26s | %-9s | %-7s | %8s | %8s | %8s | %8s | %7s |\n", "unit", "mode", "USB", "program",
                "verify", "total", "bound", "/bound");
    std::printf("|%s|%s|%s|%s|%s|%s|%s|%s|\n", "----------------------------", "-----------", "---------",
                "----------", "----------", "----------", "----------", "---------");
    for (const auto turnaround : {TSimDuration::zero(), TSimDuration(1ms)}) {
        const double ms = std::chrono::duration<double, std::milli>(turnaround).count();
        for (const bool pipelined : {false, true}) {
            const char* mode = pipelined ? "pipelined" : "lock-step";
            Row("simulated unit", mode, ms, OnSimulatedUnit(turnaround, pipelined));
            Row("firmware on simulated MCU", mode, ms, OnFirmware(turnaround, pipelined));
        }
    }
    return 0;
}
