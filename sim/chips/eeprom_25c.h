// 25C serial EEPROM on SPI (25AA040, 25LC640, AT25HP512 and relatives).
//
// Instructions: WREN 0x06, WRDI 0x04, RDSR 0x05, WRSR 0x01, READ 0000 A011,
// WRITE 0000 A010. Parts of 512 bytes carry address bit 8 in bit 3 (A) of
// READ and WRITE and take one address byte; smaller parts take one address
// byte and ignore bit 3; larger parts take two address bytes (bits above the
// array are don't care).
//
// Status register: bit 0 WIP (write in progress), bit 1 WEL (write enable
// latch), bits 3..2 BP1:BP0 (block protection: none, upper quarter, upper
// half, all), bit 7 WPEN. BP and WPEN are non-volatile and written by WRSR,
// which is refused while WPEN is set and /WP is low. WREN and WRDI take effect
// when /CS rises. WRITE and WRSR need WEL; when /CS rises after their data the
// write cycle starts and WEL is cleared. A WRITE whose page lies in the
// protected area is ignored as a whole (WEL stays set). Page data wraps inside
// its page. While a write cycle runs only RDSR is accepted; everything else is
// ignored.
#pragma once

#include "chips/chip.h"

class T25CChip : public TSimChip, public TSpiTarget {
  public:
    T25CChip(std::string Name, std::size_t Size, std::size_t PageSize, TSimDuration WriteTime,
             std::uint8_t Status = 0);

    // The status register as RDSR returns it now.
    std::uint8_t Status() const;
    // Presets the non-volatile bits (WPEN, BP1, BP0) without a write cycle.
    void SetNonVolatileStatus(std::uint8_t Value) { FStatusNV = Value & 0x8C; }
    // Level of the /WP pin: true = low (asserted).
    void SetWriteProtectPin(bool Asserted) { FWPAsserted = Asserted; }
    int AddressBytes() const { return FAddressBytes; }
    // First protected byte address for the present BP bits (Size() when none).
    std::size_t ProtectedFrom() const;

    // What the next Transfer will shift out on SO. It never depends on the
    // byte shifted in at the same time, so pin-level wiring can present it
    // before the first clock of a byte.
    std::uint8_t NextOutput() const;

    void PowerOn() override;
    TSpiTarget* AsSpi() override { return this; }

    void Select(bool Active) override;
    std::uint8_t Transfer(std::uint8_t Mosi) override;

  private:
    enum class TState { Deselected, Opcode, Address, WriteData, ReadData, StatusOut, StatusIn, Ignore };

    int FAddressBytes = 1;
    bool FA8InOpcode = false;
    std::uint8_t FStatusNV = 0; // WPEN, BP1, BP0
    bool FWEL = false;
    bool FWPAsserted = false;

    bool FSelected = false;
    TState FState = TState::Deselected;
    std::uint8_t FOpcode = 0;
    int FAddressLeft = 0;
    std::uint32_t FAddress = 0;
    std::vector<std::uint8_t> FPage;
    std::vector<bool> FPageLoaded;
    std::uint32_t FPageBase = 0;
    bool FDataReceived = false;
    std::uint8_t FNewStatus = 0;
};
