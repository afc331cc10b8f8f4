// The CH347 as the family algorithms' bus master for 25C parts: the chip's
// SPI engine with the part on CS1. Primitives are queued and go out when a
// read needs its answer (Sync, a write cycle to wait for), so a page, or a
// whole-device read, costs one USB round trip; reads of any length are cut
// into the bridge's frames by the engine, which is where long SPI flash
// transfers will go too.
//
// Write cycles end by polling the WIP bit of the status register, one
// round trip a poll, judged by the time each poll was sent and bounded by
// the write cycle limit.
//
// I2C (24C) and Microwire (93C) are not driven by this master yet: it
// refuses them with a clear message rather than drive the wrong bus.
#pragma once

#include "ports/link_clock.h"
#include "ports/usb_bulk_device.h"
#include "programmer/algorithms/bus_master.h"
#include "programmer/ch347/ch347_spi.h"

#include <cstdint>
#include <functional>
#include <string>

struct TCh347Settings {
    int Prescaler = 2; // 60 MHz / 2^n: 15 MHz
    int SpiMode = 0;
    // How long a write cycle may take before the polls give up.
    TLinkDuration WriteCycleLimit = std::chrono::milliseconds(30);
    std::string DeviceName = "chip"; // for messages
    std::string HardwareName = "CH347 (USB)";
};

class TCh347BusMaster final : public TBusMaster {
  public:
    TCh347BusMaster(TUsbTransfer& Link, std::uint8_t Family, TCh347Settings Settings);

    // Configures the engine for the settings and sends that at once (so a
    // bridge that went away shows up here, before the operation begins).
    void ConfigureBus();

    void SelectBus(const TOperationParameters& Parameters, bool ResetPolarity) override;
    void BeginOperation(const TOperationParameters& Parameters, bool PagedWrites) override;
    void EndOperation() override;
    void Start() override;
    void Stop() override;
    void WriteByte(std::uint8_t Byte) override;
    void ReadByte(std::uint8_t& Into) override;
    void WritePage(std::span<const std::uint8_t> Bytes) override;
    void WriteBits(std::uint8_t Count, std::uint16_t Word) override;
    void ReadPage(std::span<std::uint8_t> Into) override;
    void WaitWriteCycle(TWriteCycle Cycle) override;
    void Sync() override;
    // A whole-device read in one piece: the engine cuts it into frames.
    int ReadBlockSize(int PageSize, int DeviceSize) const override;

  private:
    [[noreturn]] void Fail(const std::string& Message) const;
    void CheckFamily() const;

    TUsbTransfer& FLink;
    TCh347Spi FSpi;
    std::uint8_t FFamily;
    TCh347Settings FSettings;
};
