// 24C serial EEPROM on I2C (AT24C01A ... AT24C1024, 24xx00, 24xx1025, M24M01).
//
// Select byte 1010 b3 b2 b1 R/W. Bits 3..1 are compared with the chip-address
// pins A2 A1 A0 where the part has them; the others carry the high address
// bits: A8..A10 from bit 1 up on parts with a one-byte word address (24C04,
// 24C08, 24C16), A16 of a 128 KiB part where its catalogue row says: bit 1
// on the AT24C1024 and M24M01, bit 3 on Microchip's 24xx1025, whose A2 pin
// must then be tied high or the part does not answer at all. The 24C00 has
// no address pins (three don't-care bits) and uses only the low four bits of
// its word address.
//
// Writes go into a page buffer whose address wraps inside the page; STOP after
// at least one data byte starts the write cycle, during which the chip does
// not acknowledge anything. A START before that STOP abandons the buffer.
// Reads are sequential and roll over from the last address to 0. The 24C00
// writes single bytes only (a page of one) and keeps its address pointer on
// the byte just written.
#pragma once

#include "chips/chip.h"

class T24CChip : public TSimChip, public TI2CTarget {
  public:
    // Size a power of two from 16 to 131072 bytes; PageSize at least 1 and a
    // divisor of Size. AddressPins: levels of A2 A1 A0 (bits 2..0).
    // A16SelectBit: the select bit (1 to 3) that carries address bit 16, for
    // a part of 131072 bytes only.
    T24CChip(std::string Name, std::size_t Size, std::size_t PageSize, TSimDuration WriteTime,
             std::uint8_t AddressPins = 0, std::uint8_t A16SelectBit = 0);

    // Select bits 3..1 that are compared with pins (bit 0 = select bit 1).
    std::uint8_t PinMask() const { return FPinMask; }
    // Select bits 3..1 that carry address bits above the word address.
    std::uint8_t BlockMask() const { return FBlockMask; }
    // Bytes of word address after the select byte (1 or 2).
    int AddressBytes() const { return FAddressBytes; }
    std::uint8_t AddressPins() const { return FAddressPins; }
    void SetAddressPins(std::uint8_t Pins) { FAddressPins = Pins & 7; }
    // The internal address pointer.
    std::uint32_t AddressPointer() const { return FPointer; }

    void PowerOn() override;
    TI2CTarget* AsI2C() override { return this; }

    void Start() override;
    void Stop() override;
    bool Write(std::uint8_t Byte) override;
    std::uint8_t Read(bool Ack) override;

  private:
    enum class TState { Idle, Select, AddressHigh, AddressLow, WriteData, ReadData, Ignore };

    bool Matches(std::uint8_t Select) const;
    std::uint32_t BlockBits(std::uint8_t Select) const;

    std::uint8_t FPinMask = 0;
    std::uint8_t FBlockMask = 0;
    int FAddressBytes = 1;
    int FWordBits = 8;
    bool FIgnoreSelect = false;
    bool FNeedsA2High = false; // the 24xx1025's A2 pin, given up to the block bit
    std::uint8_t FAddressPins = 0;

    TState FState = TState::Idle;
    std::uint32_t FPointer = 0;
    std::uint32_t FPending = 0; // address being assembled
    std::vector<std::uint8_t> FPage;
    std::vector<bool> FPageLoaded;
    std::uint32_t FPageBase = 0;
    bool FDataReceived = false;
    bool FReleased = false; // master did not acknowledge: SDA released until STOP/START
};
