// The chip algorithms of the three device families, written once over a bus
// master: how a 24C device is addressed (select byte with block bits, word
// address) and paged, the 25C instructions with A8 in the opcode and the
// status register, the 93C command words per organisation, and the
// whole-device program, read, verify and erase. Every hardware kind runs
// them through its own TBusMaster.
//
// The driver supplies the progress callback, the read check and the hardware
// name its errors carry; everything else an operation runs with (the
// device, the block size of the read and program loops, the organisation,
// the bus number, the reset polarity, the write time) comes in the
// operation's parameters, taken once when it starts
// (operation_parameters.h), and reaches the bus master's frame with them.
// The algorithms read no global. The SPI flash family has algorithms of
// its own (spi_flash_algorithms.h), handed their parameters here.
#pragma once

#include "buffer/hex_list.h"
#include "catalogue/device.h"
#include "programmer/algorithms/bus_master.h"
#include "programmer/algorithms/spi_flash_algorithms.h"
#include "programmer/isp_programmer.h"
#include "programmer/operation_parameters.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

// Microwire command length in bits (start bit, two opcode bits, address) of
// a device in an organisation (8 = x8, anything else x16); nothing for a
// name that is not a known 93C part (exact, case-sensitive).
std::optional<std::uint8_t> MicrowireCommandBits(const TDevice* Device, std::uint8_t ProgMode);

// I2C addressing of byte address a: the device select byte (write) with the
// bus number and the block bits, and the word address bytes.
std::uint8_t I2CSelect(const TDevice& Device, int BusNumber, int a);
std::string I2CWordAddress(const TDevice& Device, int a);

// What a read reports of a byte that read as First, then as Second:
// "Read Unstable at 0010h: Read 5Ah, then 5Bh".
std::string UnstableByteLine(std::uint64_t Address, std::uint8_t First, std::uint8_t Second);
// The failure of a read in which Count bytes differed between two reads.
[[noreturn]] void RaiseUnstableRead(std::uint64_t Count);

class TFamilyAlgorithms {
  public:
    TFamilyAlgorithms(TISPProgrammer& Driver, TBusMaster& Bus, const TOperationParameters& Parameters)
        : FDriver(Driver), FBus(Bus), FParams(Parameters) {}

    const TOperationParameters& Parameters() const { return FParams; }

    // --- whole-device operations, chosen by the device family ---
    void ProgramFlash(THexList& Afile);
    // Reads the device into Afile; with the driver's ReadCheck rc_Compared
    // (the default) every block a second time, logging every byte that
    // differs (UnstableByteLine) and raising EVerifyError at the end
    // (RaiseUnstableRead) when any did.
    void ReadFlash(THexList& Afile);
    // Compares every byte, marks it verified or failed, logs each mismatch
    // and raises EVerifyError with the summary.
    void VerifyFlash(THexList& Afile);
    void EraseDevice();
    // The 25C status register; other families: 0 and nothing.
    std::uint8_t ReadOptionByte();
    void WriteOptionByte(std::uint8_t Option);
    // Reads the block at byte address From into Data[From...] (Microwire:
    // one device page); `length` bytes at most, never past the device's end
    // or the buffer's.
    void ReadBuffer(std::vector<std::uint8_t>& Data, int From, int length);

    // The SPI flash family's algorithms for the selected part, with the
    // driver's progress callback, status log and hardware name; writes to
    // a protected part are refused.
    TSpiFlashAlgorithms SpiFlash();
    TBusMaster& Bus() const { return FBus; }

    // --- per family ---
    void I2CProgramFlash(THexList& Afile);
    void I2CReadBuffer(std::vector<std::uint8_t>& Data, int From, int length);
    void SpiProgramFlash(THexList& Afile);
    void SpiReadBuffer(std::vector<std::uint8_t>& Data, int From, int length);
    void MwProgramFlash(THexList& Afile);
    void MwReadBuffer(std::vector<std::uint8_t>& Data, int From);
    void MwEraseDevice();

  private:
    [[noreturn]] void Fail(const std::string& Message) const;
    TDevice& Dev() const;
    // The block size of the program loop (the parameters', checked).
    int BlockSize() const;
    // The block size of the whole-device read and verify loops: the block
    // size, or the longer block the bus master reads in one go; a 93C
    // device's page.
    int ReadBlock() const;
    // Raises when the buffer cannot hold the device.
    void CheckBuffer(const THexList& Afile) const;
    // Copies the first `length` bytes of Reply to Data[From...], never past
    // the device's end or the buffer's.
    void StoreReply(std::vector<std::uint8_t>& Data, int From, int length,
                    const std::vector<std::uint8_t>& Reply) const;
    // The frame and loop of I2C and SPI programming: Page writes the bytes
    // of the block at byte address a, then the write cycle is waited for.
    void ProgramPages(THexList& Afile,
                      const std::function<void(int a, std::span<const std::uint8_t> Page)>& Page);
    // The bus master's frame around an operation, with the parameters.
    void SelectBus(bool ResetPolarity) { FBus.SelectBus(FParams, ResetPolarity); }
    void BeginOperation(bool PagedWrites) { FBus.BeginOperation(FParams, PagedWrites); }
    // Microwire command length of the selected device and organisation.
    std::uint8_t MwBits() const;
    // Logs a verify mismatch or an unstable byte to the parameters' log; a
    // log that cannot take it is cleared.
    void LogMismatch(const std::string& Line) const;

    TISPProgrammer& FDriver;
    TBusMaster& FBus;
    const TOperationParameters FParams;
};
