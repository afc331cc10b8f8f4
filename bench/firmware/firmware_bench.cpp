// The programmer unit's link on simulated time: the serial driver on the
// real firmware on the simulated ATmega328P (and, for comparison, on the
// simulated unit in process), with no USB turnaround and with the 1 ms of
// an adapter in low-latency mode. Prints three tables:
//
//  1. 24C256 program + verify at 115 200 baud (lock-step and pipelined, as
//     before the fast link) and at 1 and 2 Mbaud, next to its bound: the
//     512 write cycles of 5 ms, the I2C clock of every byte the unit puts
//     on the bus at the fast setting (400 kHz, nine clocks a byte), and the
//     line time that cannot overlap them (one page's commands before the
//     first write starts, one block's reply after the last read).
//  2. Reads at 2 Mbaud against the line bound (every byte of the exchange
//     one after the other): the largest 25C part through the driver's read
//     (blocks of 256 bytes, each read once), and 1 MiB of a plain SPI flash model read
//     through the unit's SPI primitives as one sequential read ("X", READ
//     and a 24-bit address, then "R" 256 bytes at a time, four ahead of
//     the replies: TSmartSerial::ReadSequential), from which the 16 MiB
//     figure is the same per byte.
//  3. The firmware's flash and RAM (avr-size) and the deepest stack of the
//     runs above.
#include "avr/avr_link.h"
#include "byte_link.h"
#include "catalogue/device_list.h"
#include "chips/chip.h"
#include "chips/chip_factory.h"
#include "programmer/unit/smart_dongle.h"
#include "programmer/unit/smart_serial.h"
#include "settings/settings_store.h"
#include "sim_kinds/sim_serial_line.h"
#include "unit.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <memory>
#include <string>

namespace {

using namespace std::chrono_literals;

double Seconds(TSimTime t) {
    return std::chrono::duration<double>(t).count();
}

// A serial driver on a simulated line, opened, the cap on its rate set.
struct TDriver {
    TDevice* Device;
    TISPSettings Settings;
    TSimLinkClock Clock;
    TSmartSerial Serial;

    TDriver(const char* Name, TSimLine& Line, bool Pipelined, std::uint32_t MaxBaud)
        : Device(DeviceList().GetNewDeviceInstance(Name, TProgrammerSupport{pk_eisp})), Clock(Line) {
        Settings.SetSetting("COMPORTS", "COM1", ss_global, std::string("(simulated)"));
        Settings.SetSetting("NORVO ISP (COM)", TSmartSerial::kMaxBaudKey, ss_global,
                            static_cast<std::int32_t>(MaxBaud));
        Serial.SetHardwareName("NORVO ISP (COM)");
        Serial.SetSaveLocation(&Settings);
        Serial.SetDevice(Device);
        Serial.SetClock(&Clock);
        Serial.AllowPipelining = Pipelined;
        Serial.SetLineFactory([&Line](const std::string&) { return std::make_unique<TSimSerialLine>(Line); });
        SmartDongle::PageSize = Device->PageSize();
        SmartDongle::ClockSpeed = 1;
        Serial.HardwareOpen();
    }
    ~TDriver() { Serial.DeInitHardwareDriver(); }
};

struct TFigures {
    double Program = 0, Verify = 0;
    std::uint32_t Baud = 0;
};

TFigures ProgramVerify(TSimLine& Line, bool Pipelined, std::uint32_t MaxBaud) {
    TDriver d("24C256", Line, Pipelined, MaxBaud);
    THexList buffer;
    buffer.SetSizeof(static_cast<std::uint32_t>(d.Device->FlashSize()));
    for (std::uint32_t i = 0; i < buffer.Size(); ++i)
        buffer.HexData[i] = static_cast<std::uint8_t>(i * 29 + (i >> 9));
    TFigures f;
    f.Baud = d.Serial.LineBaud();
    const double t0 = Seconds(Line.Now());
    d.Serial.ProgramFlash(buffer);
    const double t1 = Seconds(Line.Now());
    d.Serial.VerifyFlash(buffer);
    f.Program = t1 - t0;
    f.Verify = Seconds(Line.Now()) - t1;
    return f;
}

// 24C256: 512 pages of 64 bytes, read back in blocks of 64 (a unit
// without the fast link) or 256.
double Bound24C256(std::uint32_t Baud, int ReadBlock) {
    const double byteI2C = 9 / 400e3;
    const double writeBytes = 512 * (3 + 64);                         // select, address, data
    const double readBytes = (32768.0 / ReadBlock) * (4 + ReadBlock); // select, address, select, data
    const double line = 10.0 / Baud;
    const double pageCommands = 7 + 2 + 64;   // "X", "w" x 3, "W" count and data
    const double lastReply = ReadBlock + 1.0; // and its acknowledgement
    return 512 * 0.005 + (writeBytes + readBytes) * byteI2C + (pageCommands + lastReply) * line;
}

TFigures OnFirmware(TSimDuration Turnaround, bool Pipelined, std::uint32_t MaxBaud, unsigned& Stack) {
    TAvrUnitConfig board;
    board.Firmware = FIRMWARE_ELF;
    TAvrUnit unit(board);
    unit.InsertChip(MakeChip("24C256"));
    TAvrLink link(unit, 115200, Turnaround);
    const TFigures f = ProgramVerify(link, Pipelined, MaxBaud);
    Stack = std::max(Stack, unit.Mcu().StackDepth());
    return f;
}

TFigures OnSimulatedUnit(TSimDuration Turnaround, bool Pipelined) {
    TUnitConfig config;
    config.BuffersCommands = Pipelined;
    TProgrammerUnit unit(config);
    unit.InsertChip(MakeChip("24C256"));
    TByteLinkConfig line;
    line.Turnaround = Turnaround;
    TByteLink link(unit, line);
    return ProgramVerify(link, Pipelined, 0);
}

void Row(const char* Unit, const char* Mode, double TurnaroundMs, const TFigures& f, double Bound) {
    const double total = f.Program + f.Verify;
    std::printf("| %-14s | %-9s | %9u | %4.0f ms | %7.3f | %7.3f | %7.3f | %7.3f | %6.3fx |\n", Unit, Mode,
                f.Baud, TurnaroundMs, f.Program, f.Verify, total, Bound, total / Bound);
}

// ---------------------------------------------------------------- reads

// A plain SPI flash: READ (03h) and a 24-bit address, then sequential data.
class TPlainSpiFlash final : public TSimChip, public TSpiTarget {
  public:
    explicit TPlainSpiFlash(std::size_t Size) : TSimChip("SPI flash", FAMILY_25C, Size, 256, 0ms) {
        for (std::size_t i = 0; i < Size; ++i)
            Memory()[i] = static_cast<std::uint8_t>(i * 7 + (i >> 10));
    }
    void PowerOn() override { FState = 0; }
    TSpiTarget* AsSpi() override { return this; }
    void Select(bool Active) override { FState = Active ? 1 : 0; }
    std::uint8_t Transfer(std::uint8_t Mosi) override {
        if (FState == 1) {
            FState = Mosi == 0x03 ? 2 : 0;
            FAddress = 0;
            return 0xFF;
        }
        if (FState >= 2 && FState <= 4) {
            FAddress = (FAddress << 8) | Mosi;
            ++FState;
            return 0xFF;
        }
        if (FState == 5) return Memory()[FAddress++ % Size()];
        return 0xFF;
    }

  private:
    int FState = 0;
    std::size_t FAddress = 0;
};

struct TReadFigures {
    double Seconds = 0, Bound = 0;
    std::uint64_t Bytes = 0;
};

TReadFigures Read25C(TSimDuration Turnaround, unsigned& Stack) {
    TAvrUnitConfig board;
    board.Firmware = FIRMWARE_ELF;
    TAvrUnit unit(board);
    unit.InsertChip(MakeChip("25HP512"));
    TAvrLink link(unit, 115200, Turnaround);
    TDriver d("25HP512", link, true, 0);
    THexList buffer;
    buffer.SetSizeof(65536);
    d.Serial.ReadCheck = rc_Single; // each block once: the line's figure
    const std::size_t sent0 = link.Sent().size();
    const std::uint64_t received0 = link.ReceivedCount();
    const double t0 = Seconds(link.Now());
    d.Serial.ReadFlash(buffer);
    TReadFigures f;
    f.Seconds = Seconds(link.Now()) - t0;
    f.Bytes = 65536;
    f.Bound = static_cast<double>(link.Sent().size() - sent0 + link.ReceivedCount() - received0) * 10 / 2e6;
    Stack = std::max(Stack, unit.Mcu().StackDepth());
    return f;
}

TReadFigures ReadFlashModel(TSimDuration Turnaround, std::size_t Size, unsigned& Stack) {
    TAvrUnitConfig board;
    board.Firmware = FIRMWARE_ELF;
    TAvrUnit unit(board);
    unit.InsertChip(std::make_unique<TPlainSpiFlash>(Size));
    TAvrLink link(unit, 115200, Turnaround);
    TDriver d("25HP512", link, true, 0); // any 25C part selects the SPI bus
    d.Serial.EnableProgramming();
    const std::size_t sent0 = link.Sent().size();
    const std::uint64_t received0 = link.ReceivedCount();
    const double t0 = Seconds(link.Now());
    d.Serial.Start();
    for (const std::uint8_t b : {std::uint8_t{0x03}, std::uint8_t{0}, std::uint8_t{0}, std::uint8_t{0}})
        d.Serial.writebyte(b);
    std::vector<std::uint8_t> data(Size);
    d.Serial.ReadSequential(data);
    d.Serial.Stop();
    std::uint64_t wrong = 0;
    for (std::size_t i = 0; i < Size; ++i)
        wrong += data[i] != unit.Chip()->Memory()[i];
    TReadFigures f;
    f.Seconds = Seconds(link.Now()) - t0;
    f.Bytes = Size;
    f.Bound = static_cast<double>(link.Sent().size() - sent0 + link.ReceivedCount() - received0) * 10 / 2e6;
    if (wrong) std::printf("(%llu bytes read wrong)\n", static_cast<unsigned long long>(wrong));
    Stack = std::max(Stack, unit.Mcu().StackDepth());
    return f;
}

void ReadRow(const char* What, double TurnaroundMs, const TReadFigures& f) {
    std::printf("| %-40s | %4.0f ms | %8.3f | %8.3f | %6.3fx | %6.1f |\n", What, TurnaroundMs, f.Seconds,
                f.Bound, f.Seconds / f.Bound, static_cast<double>(f.Bytes) / f.Seconds / 1024);
}

void SizeReport(unsigned Stack) {
    std::ifstream report(FIRMWARE_SIZE_REPORT);
    std::string line;
    unsigned flash = 0, data = 0;
    while (std::getline(report, line)) {
        if (line.rfind("Program:", 0) == 0) flash = static_cast<unsigned>(std::stoul(line.substr(8)));
        if (line.rfind("Data:", 0) == 0) data = static_cast<unsigned>(std::stoul(line.substr(5)));
    }
    std::printf(
        "\nfirmware: %u bytes of flash (%.1f KiB of 30), %u bytes of static RAM + %u bytes of stack at "
        "most = %u (of 1536)\n",
        flash, flash / 1024.0, data, Stack, data + Stack);
}

} // namespace

int main(int argc, char** argv) {
    const bool quick = argc > 1 && std::string(argv[1]) == "--quick";
    unsigned stack = 0;
    std::printf("24C256 program + verify, 5 ms write delay, I2C fast (400 kHz), simulated seconds\n\n");
    std::printf("| %-14s | %-9s | %9s | %-7s | %7s | %7s | %7s | %7s | %7s |\n", "unit", "mode", "baud",
                "USB", "program", "verify", "total", "bound", "/bound");
    std::printf("|----------------|-----------|-----------|---------|---------|---------|---------|---------|"
                "---------|\n");
    for (const auto turnaround : {TSimDuration::zero(), TSimDuration(1ms)}) {
        const double ms = std::chrono::duration<double, std::milli>(turnaround).count();
        const TFigures lock = OnFirmware(turnaround, false, 115200, stack);
        Row("firmware", "lock-step", ms, lock, Bound24C256(115200, 64));
        for (const std::uint32_t baud : {115200u, 1000000u, 2000000u}) {
            const TFigures f = OnFirmware(turnaround, true, baud, stack);
            Row("firmware", "pipelined", ms, f, Bound24C256(f.Baud, f.Baud > 115200 ? 256 : 64));
        }
        Row("simulated unit", "pipelined", ms, OnSimulatedUnit(turnaround, true), Bound24C256(115200, 64));
    }

    std::printf(
        "\nReads at 2 Mbaud, SPI fast (2 MHz); bound: every byte of the exchange at 10 bits, one after "
        "the other\n\n");
    std::printf("| %-40s | %-7s | %8s | %8s | %7s | %6s |\n", "read", "USB", "seconds", "bound", "/bound",
                "KiB/s");
    std::printf(
        "|------------------------------------------|---------|----------|----------|---------|--------|\n");
    const std::size_t model = quick ? 64 * 1024 : 1024 * 1024;
    for (const auto turnaround : {TSimDuration::zero(), TSimDuration(1ms)}) {
        const double ms = std::chrono::duration<double, std::milli>(turnaround).count();
        ReadRow("25HP512 (64 KiB), ReadFlash", ms, Read25C(turnaround, stack));
        const TReadFigures f = ReadFlashModel(turnaround, model, stack);
        ReadRow(quick ? "SPI flash model, 64 KiB sequential" : "SPI flash model, 1 MiB sequential", ms, f);
        std::printf("|   16 MiB at the same rate: %.1f s, bound %.1f s%*s |\n",
                    f.Seconds * (16.0 * 1024 * 1024 / model), f.Bound * (16.0 * 1024 * 1024 / model), 42, "");
    }
    SizeReport(stack);
    return 0;
}
