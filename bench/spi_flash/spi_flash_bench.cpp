// SPI NOR flash on the CH341A kind, on its emulated board.
//
//   bench_spi_flash [timing]        W25Q128JV: read, program + verify with
//                                   every block different, and the same image
//                                   again with 64 KiB changed
//   bench_spi_flash memory          the 64 MiB job (W25Q512JV) from a binary
//                                   and from an Intel hex image, each in a
//                                   process of its own: peak memory
//   bench_spi_flash job FILE [PART] one job: load FILE into the part's
//                                   buffer, checksums, smart program, verify,
//                                   save in FILE's format (used by "memory")
//
// Timing model. The times are the board's virtual clock, which the emulator
// (sim/ch341a/ch341_emulator.h) moves by: 8 bits per SPI byte at 1.5 MHz, one
// microsecond per UIO (chip select) step, and 1 ms per bulk IN transfer (a
// full-speed host polls once a frame); the part's page program and erase
// cycles run on the same clock with the database's typical times. The
// bound a programmer on this bus cannot beat is the time the pins are busy
// with transfers (bus_s, the delay commands left out) plus the part's own
// write cycles (write_s). These constants are the
// emulator's, not measurements of a board: a real board's figures (its SPI
// clock, the latency of a bulk IN) remain to be measured and cited.
//
// Memory: peak resident set of the job process (wait4's ru_maxrss, the figure
// /usr/bin/time -v prints) next to the chip model's own array, which a job on
// real hardware does not have.
#include "buffer/checksums.h"
#include "catalogue/device_list.h"
#include "chips/spi_nor.h"
#include "formats/file_loader.h"
#include "formats/file_types.h"
#include "programmer/algorithms/family_algorithms.h"
#include "programmer/ch341a/ch341a_driver.h"
#include "settings/settings_store.h"
#include "sim_kinds/sim_ch341_bus.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(TSimDuration d) {
    return std::chrono::duration<double>(d).count();
}

// The CH341A kind with the part in the socket of its emulated board.
struct TBoard {
    TISPSettings Settings;
    TCh341A Driver{nullptr};
    TSimCh341Bus* Bus = nullptr;
    TDevice* Device = nullptr;

    explicit TBoard(const std::string& Part) {
        auto bus = std::make_unique<TSimCh341Bus>(Driver, TSimOptions{});
        Bus = bus.get();
        Driver.SetUsbBus(std::move(bus));
        Device = DeviceList().GetNewDeviceInstance(Part, TProgrammerSupport{pk_usb});
        if (!Device || !Device->SpiFlash()) throw std::runtime_error("no SPI flash part " + Part);
        Driver.SetHardwareName("CH341A (USB)");
        Driver.SetSaveLocation(&Settings);
        Driver.SetDevice(Device);
        Driver.HardwareOpen();
        Bus->EnsureChip();
    }
    TCh341Emulator& Board() { return Bus->Emulator(); }
    TSpiFlashAlgorithms Flash() {
        TSpiFlashParameters p;
        p.Part = Device->SpiFlash();
        p.HardwareName = "CH341A (USB)";
        return TSpiFlashAlgorithms(Driver.Master(), p);
    }
};

struct TFigures {
    double Model = 0, Bus = 0, Writes = 0, Wall = 0;
    std::uint64_t Trips = 0;
};

// Runs Work on the board, with the write cycles it started at the part's typical times.
template <class TWork> TFigures Measure(TBoard& B, TWork&& Work) {
    TCh341Emulator& e = B.Board();
    const TSpiFlashPart& p = *B.Device->SpiFlash();
    auto* chip = dynamic_cast<TSpiNorChip*>(e.Chip());
    const TCh341Stats s0 = e.Stats();
    const auto pages0 = chip->PagePrograms(), erases0 = chip->BlockErases();
    const double t0 = e.Clock().Seconds();
    const auto w0 = Clock::now();
    Work();
    TFigures f;
    f.Wall = std::chrono::duration<double>(Clock::now() - w0).count();
    f.Model = e.Clock().Seconds() - t0;
    // The pins' transfers; the delay commands' pauses overlap the part's write cycles.
    f.Bus = Seconds((e.Stats().BusTime - e.Stats().DelayTime) - (s0.BusTime - s0.DelayTime));
    f.Trips = e.Stats().InTransfers - s0.InTransfers;
    f.Writes = static_cast<double>(chip->PagePrograms() - pages0) * p.PageProgramTypicalUs * 1e-6 +
               static_cast<double>(chip->BlockErases() - erases0) * p.LargestErase()->TypicalMs * 1e-3;
    return f;
}

void Row(const char* What, const TFigures& f) {
    const double bound = f.Bus + f.Writes;
    std::printf("| %s | %.1f | %.1f | %.1f | %.1f | %.2f | %llu | %.1f |\n", What, f.Model, f.Bus, f.Writes,
                bound, f.Model / bound, static_cast<unsigned long long>(f.Trips), f.Wall);
}

int Timing() {
    TBoard b("W25Q128JV");
    auto* chip = dynamic_cast<TSpiNorChip*>(b.Board().Chip());
    const std::uint32_t size = b.Device->SpiFlash()->Size;
    THexList image;
    image.SetSizeof(size);
    for (std::uint32_t a = 0; a < size; ++a)
        image.HexData[a] = static_cast<std::uint8_t>((a * 2654435761u) >> 24);
    std::printf(
        "W25Q128JV (16 MiB) on the emulated CH341A, virtual seconds (timing model in the source).\n\n");
    std::printf(
        "| Operation | model s | bus_s | write_s | bound s | model / bound | round trips | real s |\n");
    std::printf("|---|---:|---:|---:|---:|---:|---:|---:|\n");

    chip->Memory() = image.HexData;
    THexList read;
    read.SetSizeof(size);
    Row("read 16 MiB", Measure(b, [&] { b.Flash().ReadFlash(read); }));
    if (read.HexData != image.HexData) return std::puts("read: wrong data"), 1;

    // Every block different: the chip holds zeros, so each block is erased.
    std::fill(chip->Memory().begin(), chip->Memory().end(), 0x00);
    TSpiFlashReport report;
    const TFigures full = Measure(b, [&] { report = b.Flash().ProgramFlash(image); });
    Row("program + verify, every block different", full);
    std::printf("|   (%s) | | | | | | | |\n", report.Summary().c_str());

    // The same image with 64 KiB changed.
    for (std::uint32_t a = 0x400000; a < 0x410000; ++a)
        image.HexData[a] ^= 0x5A;
    const TFigures again = Measure(b, [&] { report = b.Flash().ProgramFlash(image); });
    Row("the same with 64 KiB changed", again);
    std::printf("|   (%s; %.1f %% of the full program) | | | | | | | |\n", report.Summary().c_str(),
                100.0 * again.Model / full.Model);
    if (chip->Memory() != image.HexData) return std::puts("program: wrong data"), 1;
    return 0;
}

// One 64 MiB job in this process; prints its phases.
int Job(const std::string& File, const std::string& Part) {
    const auto t0 = Clock::now();
    TBoard b(Part);
    THexList buffer;
    buffer.SetSizeof(static_cast<std::uint32_t>(b.Device->FlashSize()));
    int type = 0;
    if (TFileLoader::LoadAnyFile(File, buffer, type) != 0) return std::puts("load failed"), 1;
    const auto t1 = Clock::now();
    const TChecksums sums = BufferChecksums(buffer);
    const TSpiFlashReport report = b.Flash().ProgramFlash(buffer);
    const auto t2 = Clock::now();
    // Saved in the format it came in.
    const bool binary = type <= 0;
    const std::string out = File + ".saved";
    if ((binary ? TFileLoader::SaveBinary(out, buffer) : TFileLoader::SaveFile(out, buffer, ft_IntelHex32)) !=
        0)
        return std::puts("save failed"), 1;
    std::filesystem::remove(out);
    const auto t3 = Clock::now();
    const auto s = [](auto a, auto b2) { return std::chrono::duration<double>(b2 - a).count(); };
    std::printf("%s: %s; CRC-32 %s; %s; load %.1f s, program + verify %.1f s (real), save %.1f s\n",
                File.c_str(), TFileLoader::WhatIs(type).c_str(), sums.Crc32Text().c_str(),
                report.Summary().c_str(), s(t0, t1), s(t1, t2), s(t2, t3));
    return 0;
}

int Memory(const char* Self) {
    const std::string part = "W25Q512JV";
    const std::uint32_t size = 64u * 1024 * 1024;
    const std::string folder = (std::filesystem::temp_directory_path() / "norvoisp-bench-spi-flash").string();
    std::filesystem::create_directories(folder);
    THexList image;
    image.SetSizeof(size);
    // A firmware-like image: dense data with erased stretches.
    for (std::uint32_t a = 0; a < size; ++a)
        image.HexData[a] = (a >> 16) % 8 == 7 ? 0xFF : static_cast<std::uint8_t>((a * 2654435761u) >> 24);
    const std::string bin = folder + "/image.bin", hex = folder + "/image.hex";
    if (TFileLoader::SaveBinary(bin, image) != 0 || TFileLoader::SaveFile(hex, image, ft_IntelHex32) != 0)
        return std::puts("cannot write the images"), 1;
    image.SetSizeof(0);

    std::printf(
        "The 64 MiB job (%s on the emulated CH341A): load, checksums, smart program, verify, save in\n"
        "the format it came in, each in a process of its own. The chip model's array (64 MiB) lives in the "
        "job's\n"
        "process too; the job's own memory is the peak less that array.\n\n",
        part.c_str());
    std::printf("| Input | file MiB | peak RSS MiB | model MiB | job MiB | job / image "
                "|\n|---|---:|---:|---:|---:|---:|\n");
    for (const std::string& file : {bin, hex}) {
        std::vector<std::string> args{Self, "job", file, part};
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        pid_t pid = 0;
        if (posix_spawn(&pid, Self, nullptr, nullptr, argv.data(), environ) != 0) return 1;
        int status = 0;
        rusage usage{};
        if (wait4(pid, &status, 0, &usage) < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
            return std::puts("the job failed"), 1;
        const double peak = static_cast<double>(usage.ru_maxrss) / 1024, model = 64,
                     fileMiB = static_cast<double>(std::filesystem::file_size(file)) / (1024 * 1024);
        std::printf("| %s | %.0f | %.0f | %.0f | %.0f | %.2fx |\n", file == bin ? "binary" : "Intel hex 32",
                    fileMiB, peak, model, peak - model, (peak - model) / 64);
    }
    std::filesystem::remove_all(folder);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "timing";
    try {
        if (mode == "timing") return Timing();
        if (mode == "memory") return Memory("/proc/self/exe");
        if (mode == "job" && argc >= 3) return Job(argv[2], argc > 3 ? argv[3] : "W25Q512JV");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    std::fprintf(stderr, "usage: bench_spi_flash [timing | memory | job FILE [PART]]\n");
    return 2;
}
