// 93C serial EEPROM on Microwire (93C06 ... 93C86).
//
// With CS high the chip waits for a start bit (the first 1 on DI); then two
// opcode bits and the address field, whose width depends on the part and the
// organisation (ORG pin: x8 or x16): READ 10 A, WRITE 01 A + data, ERASE 11 A,
// and under opcode 00 the top two address bits choose EWEN 11, EWDS 00,
// ERAL 10 and WRAL 01 + data. Address bits above the array are don't care.
//
// READ: a dummy 0 appears on DO with the last address bit, then the data
// most significant bit first, one bit per rising clock; with CS held high the
// next locations follow without another dummy bit, rolling over at the end.
// WRITE, ERASE, ERAL and WRAL need EWEN (the chip powers up disabled) and
// begin their self-timed cycle when CS falls after the last required bit.
// While the cycle runs the chip ignores instructions; with CS high DO shows
// busy (0) or ready (1) until the next start bit. In x16 the word at word
// address w is memory bytes 2w (low) and 2w + 1 (high), high byte first on
// the wire.
#pragma once

#include "chips/chip.h"

class T93CChip : public TSimChip, public TMicrowireTarget {
  public:
    // AddressBitsX8 / AddressBitsX16: width of the address field in each
    // organisation; Organisation 8 or 16 (any other value counts as 16).
    T93CChip(std::string Name, std::size_t Size, std::size_t PageSize, TSimDuration WriteTime,
             int AddressBitsX8, int AddressBitsX16, int Organisation = 16);

    int Organisation() const { return FOrg; }
    void SetOrganisation(int Org) { FOrg = Org == 8 ? 8 : 16; }
    int AddressBits() const { return FOrg == 8 ? FAddressBitsX8 : FAddressBitsX16; }
    bool WriteEnabled() const { return FEnabled; }

    void PowerOn() override;
    TMicrowireTarget* AsMicrowire() override { return this; }

    void Select(bool Active) override;
    bool Clock(bool DI) override;
    bool DataOut() const override;

  private:
    enum class TState { Standby, WaitStart, Command, Data, Reading, Done };
    enum class TOp { None, Read, Write, Erase, Ewen, Ewds, Eral, Wral };

    int WordBits() const { return FOrg == 8 ? 8 : 16; }
    std::uint32_t Words() const;
    std::uint16_t WordAt(std::uint32_t Address) const;
    void StoreWord(std::uint32_t Address, std::uint16_t Value);
    void Decode();
    void Execute(); // at CS falling

    int FAddressBitsX8;
    int FAddressBitsX16;
    int FOrg;
    bool FEnabled = false;

    bool FSelected = false;
    TState FState = TState::Standby;
    bool FShowStatus = false; // DO shows ready/busy while CS is high
    int FBitsIn = 0;
    std::uint32_t FShift = 0;
    TOp FOp = TOp::None;
    std::uint32_t FAddress = 0;
    std::uint16_t FData = 0;
    bool FDO = true;     // present DO level (1 = high or high impedance)
    int FOutBit = 0;     // bits of the present word already shifted out
    bool FArmed = false; // a complete programming instruction waits for CS low
};
