// An SPI NOR flash (W25Q, MX25L, GD25Q, SST26 and relatives), made from
// its entry in the parts database so that every part there can be put in a
// socket. SPI mode 0, most significant bit first.
//
// Instructions, as the part's entry lists them:
//   9Fh  JEDEC id (manufacturer, type, capacity, repeated); a part without
//        one leaves SO floating (FFh)
//   ABh  3 dummy bytes, then the RES id; 90h 3 address bytes, then the REMS
//        id (manufacturer first when A0 = 0)
//   5Ah  3 address bytes and a dummy byte, then the SFDP table
//        (spi_nor_sfdp.h); FFh past its end
//   03h / 0Bh (a dummy byte after the address) read, wrapping at the end
//   06h WREN, 04h WRDI, 50h (write enable for the status registers only);
//        they take effect when /CS rises
//   the status registers' read and write instructions (05h/01h, 35h/31h,
//        15h/11h; a register written "after" the first takes the next data
//        byte of 01h). Writes need WEL and are refused while SRP is set
//        with /WP low. Only the bits the entry names can be written.
//   02h page program: bytes wrap inside the page, bits only go from 1 to 0
//   the entry's erase instructions (blocks aligned to their size) and
//        chip erase instructions
//   4-byte parts: the 4-byte instructions (13h, 0Ch, 12h, the erases'
//        opcode4) always take 4 address bytes; a part with a 4-byte mode
//        enters it with B7h and leaves it with E9h (after WREN when its
//        entry says so); in the mode 03h, 0Bh, 02h and the erases take 4
//        address bytes
//   SST26: 72h reads and 42h writes the block protection register (MSB
//        first), 98h clears it (global unlock); every block is write-locked
//        at power-up
// Program, erase and status writes start when /CS rises after them on a
// byte boundary; they need WEL, which they clear. One into a protected area
// is not done at all and leaves WEL set, as the parts do: a chip erase is
// not done while any block is protected. While the part is busy only the
// status registers can be read; everything else is ignored. Times are the
// entry's typical ones (or its maximum ones, for a slow part) on the clock
// the socket attaches.
#pragma once

#include "catalogue/spi_flash_part.h"
#include "chips/chip.h"

#include <cstdint>
#include <optional>
#include <vector>

struct TSpiNorFaults {
    // Once a write or erase has begun, WIP never clears again.
    bool NeverReady = false;
    // SO held low: every byte reads 00h.
    bool MisoLow = false;
    // A loose contact on SO: in every other selection the bytes shifted out
    // have bit 1 wrong.
    bool BadContact = false;
    // An older part without an SFDP table: 5Ah is not answered (SO floats).
    bool NoSfdp = false;
    // The clip comes off when write or erase number N (from 1) would begin:
    // it is not done and from then on SO floats (FFh) and nothing is taken.
    std::optional<std::uint64_t> RemovedAtWrite;
};

class TSpiNorChip : public TSimChip, public TSpiTarget {
  public:
    // SlowestTimes: every write and erase takes the entry's maximum time.
    explicit TSpiNorChip(TSpiFlashPart Part, bool SlowestTimes = false);

    const TSpiFlashPart& Part() const { return FPart; }
    // Status register Index (0 = SR1) as its read instruction returns it.
    std::uint8_t StatusRegister(std::size_t Index) const;
    // Presets a status register's writable bits without a write cycle.
    void SetStatusRegister(std::size_t Index, std::uint8_t Value);
    // Level of the /WP pin: true = low (asserted).
    void SetWriteProtectPin(bool Asserted) { FWPAsserted = Asserted; }
    bool WriteEnabled() const { return FWEL; }
    bool FourByteMode() const { return FFourByteMode; }
    // SST26: the block protection register, most significant byte first.
    const std::vector<std::uint8_t>& BlockProtection() const { return FBpr; }
    void SetBlockProtection(std::vector<std::uint8_t> Bpr);
    // Whether a program or erase at Address would be refused now.
    bool Protected(std::uint32_t Address) const;
    const std::vector<std::uint8_t>& Sfdp() const { return FSfdp; }

    TSpiNorFaults& Faults() { return FFaults; }
    // The clip comes off now.
    void Remove() { FRemoved = true; }
    bool Removed() const { return FRemoved; }
    // Writes and erases begun (those refused as protected not counted).
    std::uint64_t PagePrograms() const { return FPagePrograms; }
    std::uint64_t BlockErases() const { return FBlockErases; }
    std::uint64_t ChipErases() const { return FChipErases; }

    void PowerOn() override;
    TSpiTarget* AsSpi() override { return this; }
    void Select(bool Active) override;
    std::uint8_t Transfer(std::uint8_t Mosi) override;

  private:
    enum class TState : std::uint8_t {
        Idle,  // waiting for the instruction byte
        Armed, // a complete instruction that acts when /CS rises; one more byte cancels it
        Address,
        Dummy,
        Read,
        Program,
        StatusOut,
        StatusIn,
        IdOut,
        ResOut,
        RemsOut,
        SfdpOut,
        BprOut,
        BprIn,
        Ignore,
    };
    enum class TCommand : std::uint8_t { None, Read, Program, Erase, Rems, Sfdp, Res };

    std::uint8_t Output();
    void Opcode(std::uint8_t Op);
    void AddressComplete();
    void Execute();
    // Starts a write or erase of Time; false when the clip came off instead.
    bool BeginWrite(std::uint64_t TimeUs);
    bool BlockProtected(std::uint32_t From, std::uint32_t Size) const;
    bool BpProtected(std::uint32_t Address) const;
    bool Sst26Protected(std::uint32_t Address) const;
    int Sst26BitOf(std::uint32_t Address) const;
    bool StatusLocked() const;
    std::uint8_t WritableMask(std::size_t Index) const;
    std::uint64_t Time(std::uint64_t TypicalUs, std::uint64_t MaxUs) const {
        return FSlowest ? MaxUs : TypicalUs;
    }

    TSpiFlashPart FPart;
    bool FSlowest;
    std::vector<std::uint8_t> FSfdp;
    std::vector<std::uint8_t> FStatus; // one per register, WIP and WEL not kept here
    std::vector<std::uint8_t> FBpr;
    TSpiNorFaults FFaults;

    bool FWEL = false;
    bool FStatusWriteEnable = false; // 50h
    bool FWPAsserted = false;
    bool FFourByteMode = false;
    bool FStuck = false;
    bool FRemoved = false;
    std::uint64_t FWrites = 0;
    std::uint64_t FPagePrograms = 0;
    std::uint64_t FBlockErases = 0;
    std::uint64_t FChipErases = 0;
    std::uint64_t FSelections = 0;

    // the instruction in progress
    bool FSelected = false;
    TState FState = TState::Idle;
    TCommand FCommand = TCommand::None;
    std::uint8_t FOpcode = 0;
    int FAddressLeft = 0;
    int FDummyLeft = 0;
    std::uint32_t FAddress = 0;
    std::size_t FIndex = 0; // register, id byte or table offset being shifted
    const TSpiFlashErase* FErase = nullptr;
    std::vector<std::uint8_t> FPage;
    std::vector<bool> FLoaded;
    std::uint32_t FPageBase = 0;
    std::vector<std::uint8_t> FIn; // status or BPR bytes shifted in
};
