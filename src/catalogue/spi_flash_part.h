// What the database knows about one SPI NOR flash part: its names, the ids
// it answers with, its geometry, its instructions and times, its status
// registers and how it protects itself. The catalogue attaches it to the
// part's TDevice; the chip model and the flash algorithms work from it.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// One erase instruction: the block it erases and how long that takes.
struct TSpiFlashErase {
    std::uint8_t Opcode = 0;  // with a 3-byte address (20h, 52h, D8h)
    std::uint8_t Opcode4 = 0; // the same with a 4-byte address (21h, 5Ch, DCh); 0 = none
    std::uint32_t Size = 0;   // bytes, aligned
    std::uint32_t TypicalMs = 0;
    std::uint32_t MaxMs = 0;
};

// How addresses above 16 MiB are reached.
enum class TSpiAddressing : std::uint8_t {
    ThreeByte,       // 24-bit addresses (parts up to 16 MiB)
    FourByteOpcodes, // instructions of their own that always take 4 address bytes
    EnterExit,       // a 4-byte address mode entered before and left after an operation
};

// A status register: the instruction that reads it and the one that writes
// it. A register after the first whose write instruction is the first
// register's is written as the next data byte of that instruction
// (01h SR1 SR2).
struct TSpiStatusRegister {
    std::uint8_t Read = 0x05;
    std::uint8_t Write = 0x01;
};

// Bit positions over the status registers: bit b of register r is 8 * r + b.
// -1 where the part has no such bit.
struct TSpiStatusBits {
    std::vector<int> BP; // BP0, BP1, ...
    int TB = -1;         // protect from the bottom instead of the top
    int SEC = -1;        // 4 KiB sectors instead of 64 KiB blocks
    int CMP = -1;        // complement the protected range
    int SRP = -1;        // status register protect (SRP0, SRWD): with /WP low the registers are locked
    int SRP1 = -1;       // power-supply lock-down / one-time lock
    int QE = -1;         // quad enable (kept as it is; never changed by a write here)
};

enum class TSpiProtection : std::uint8_t {
    BlockProtect, // BP bits in the status register (with TB, SEC, CMP where present)
    Sst26,        // one protection bit per block in a register of its own, global unlock 98h
};

struct TSpiFlashPart {
    std::string Name;                 // as the datasheet writes it: W25Q128JV
    std::vector<std::string> Aliases; // parts that answer with the same id and the same instructions
    std::string Maker;

    std::optional<std::array<std::uint8_t, 3>> JedecId; // 9Fh: manufacturer, type, capacity
    std::optional<std::uint8_t> ResId;                  // ABh: the electronic signature of old parts
    std::optional<std::array<std::uint8_t, 2>> RemsId;  // 90h: manufacturer, device

    std::uint32_t Size = 0; // bytes
    std::uint32_t PageSize = 256;
    std::vector<TSpiFlashErase> Erases; // ascending sizes, each uniform over the whole part
    std::vector<std::uint8_t> ChipEraseOpcodes;
    std::uint32_t ChipEraseTypicalMs = 0;
    std::uint32_t ChipEraseMaxMs = 0;
    std::uint32_t PageProgramTypicalUs = 0;
    std::uint32_t PageProgramMaxUs = 0;

    std::uint8_t ReadOpcode = 0x03;
    std::uint8_t FastReadOpcode = 0x0B; // one dummy byte after the address
    std::uint32_t ReadMaxHz = 0;        // the highest clock ReadOpcode works at

    TSpiAddressing Addressing = TSpiAddressing::ThreeByte;
    std::uint8_t Read4Opcode = 0x13;
    std::uint8_t FastRead4Opcode = 0x0C;
    std::uint8_t Program4Opcode = 0x12;
    std::uint8_t Enter4Opcode = 0xB7;
    std::uint8_t Exit4Opcode = 0xE9;
    bool Enter4NeedsWriteEnable = false; // WREN before entering and leaving the mode

    std::vector<TSpiStatusRegister> StatusRegisters;
    TSpiStatusBits Bits;
    TSpiProtection Protection = TSpiProtection::BlockProtect;
    // BlockProtect: bytes the lowest BP value protects; each step doubles it
    // and the highest value (or a range reaching the size) protects all.
    std::uint32_t BpUnit = 0;

    double VoltageMin = 0;
    double VoltageMax = 0;
    bool TestedOnHardware = false;

    // Where the entry came from: "<file>: entry <n>".
    std::string Source;

    // "EF 40 18", or the RES/REMS id of a part without a JEDEC id.
    std::string IdText() const;
    bool FourByteAddresses() const { return Addressing != TSpiAddressing::ThreeByte; }
    // The largest erase type (the smart programmer's block), nullptr when none.
    const TSpiFlashErase* LargestErase() const { return Erases.empty() ? nullptr : &Erases.back(); }
    const TSpiFlashErase* SmallestErase() const { return Erases.empty() ? nullptr : &Erases.front(); }
};

// "EF 40 18" for the bytes.
std::string SpiIdText(const std::uint8_t* Bytes, std::size_t Count);
// "16 MiB", "64 KiB" (KiB unless a whole number of MiB).
std::string SpiSizeText(std::uint64_t Bytes);
