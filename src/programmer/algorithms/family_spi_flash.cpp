// The SPI flash family in the drivers' dispatch: its algorithms get the
// selected part and the driver's callbacks as parameters.
#include "programmer/algorithms/family_algorithms.h"
#include "programmer/driver_host.h"

namespace {

// The programmer unit's "W" and "R" carry a one-byte count; runs of 128
// keep a 256-byte page to two commands.
constexpr std::size_t kTransferSize = 128;

} // namespace

TSpiFlashAlgorithms TFamilyAlgorithms::SpiFlash() {
    const TSpiFlashPart* part = Dev().SpiFlash();
    if (!part) Fail("The " + Dev().DeviceName() + " is no SPI flash part");
    TSpiFlashParameters p;
    p.Part = part;
    p.TransferSize = kTransferSize;
    p.Progress = [this](std::int64_t Done, std::int64_t Total) {
        FDriver.DoUpdateProgress(static_cast<int>(Done), static_cast<int>(Total));
    };
    p.Log = [this](const std::string& Line) { LogMismatch(Line); };
    p.HardwareName = FDriver.HardwareName();
    p.Operation = FParams;
    return TSpiFlashAlgorithms(FBus, std::move(p));
}
