#include "chips/eeprom_93c.h"

#include "catalogue/device.h"
#include "errors/errors.h"

#include <algorithm>
#include <bit>

T93CChip::T93CChip(std::string Name, std::size_t Size, std::size_t PageSize, TSimDuration WriteTime,
                   int AddressBitsX8, int AddressBitsX16, int Organisation)
    : TSimChip(std::move(Name), FAMILY_93C, Size, PageSize, WriteTime), FAddressBitsX8(AddressBitsX8),
      FAddressBitsX16(AddressBitsX16), FOrg(Organisation == 8 ? 8 : 16) {
    if (Size < 2 || Size > 65536 || !std::has_single_bit(Size))
        throw Exception("A 93C part holds a power of two from 2 to 65536 bytes");
    // The address field must reach every location and leave room for the
    // two bits that select EWEN/EWDS/ERAL/WRAL.
    if (AddressBitsX8 < 2 || AddressBitsX8 > 16 || (1u << AddressBitsX8) < Size || AddressBitsX16 < 2 ||
        AddressBitsX16 > 16 || (1u << AddressBitsX16) < Size / 2)
        throw Exception("The address field of a 93C part does not fit its size");
}

void T93CChip::PowerOn() {
    FEnabled = false;
    FSelected = false;
    FState = TState::Standby;
    FArmed = false;
    FDO = true;
}

std::uint32_t T93CChip::Words() const {
    return static_cast<std::uint32_t>(FOrg == 8 ? Size() : Size() / 2);
}

std::uint16_t T93CChip::WordAt(std::uint32_t Address) const {
    const auto& mem = Memory();
    if (FOrg == 8) return mem[Address];
    return static_cast<std::uint16_t>(mem[2 * Address] | (mem[2 * Address + 1] << 8));
}

void T93CChip::StoreWord(std::uint32_t Address, std::uint16_t Value) {
    auto& mem = Memory();
    if (FOrg == 8) {
        mem[Address] = static_cast<std::uint8_t>(Value);
    } else {
        mem[2 * Address] = static_cast<std::uint8_t>(Value);
        mem[2 * Address + 1] = static_cast<std::uint8_t>(Value >> 8);
    }
}

void T93CChip::Select(bool Active) {
    if (Active == FSelected) return;
    FSelected = Active;
    if (Active) {
        // Waiting for the start bit; DO shows ready/busy meanwhile.
        FState = TState::WaitStart;
        FShowStatus = true;
        return;
    }
    // A complete programming instruction starts its cycle when CS falls.
    if (FArmed) Execute();
    FArmed = false;
    FState = TState::Standby;
    FShowStatus = false;
    FDO = true;
}

bool T93CChip::DataOut() const {
    if (!FSelected) return true; // high impedance
    if (FShowStatus) return !Busy();
    return FDO;
}

bool T93CChip::Clock(bool DI) {
    if (!FSelected) return true;
    switch (FState) {
    case TState::WaitStart:
        if (!DI) break; // leading zeros are ignored
        FShowStatus = false;
        FDO = true;
        if (Busy()) {
            // Instructions are ignored while a cycle runs.
            FState = TState::Done;
            break;
        }
        FState = TState::Command;
        FBitsIn = 0;
        FShift = 0;
        break;
    case TState::Command:
        FShift = (FShift << 1) | (DI ? 1u : 0u);
        if (++FBitsIn == 2 + AddressBits()) Decode();
        break;
    case TState::Data:
        FData = static_cast<std::uint16_t>((FData << 1) | (DI ? 1u : 0u));
        if (++FBitsIn == WordBits()) {
            FArmed = FEnabled;
            FState = TState::Done;
        }
        break;
    case TState::Reading: {
        if (FOutBit == WordBits()) {
            // Sequential read: the next location follows without a dummy bit.
            FAddress = (FAddress + 1) % Words();
            FData = WordAt(FAddress);
            FOutBit = 0;
        }
        FDO = ((FData >> (WordBits() - 1 - FOutBit)) & 1) != 0;
        ++FOutBit;
        break;
    }
    case TState::Standby:
    case TState::Done:
        break;
    }
    return DataOut();
}

void T93CChip::Decode() {
    const int bits = AddressBits();
    const std::uint32_t opcode = (FShift >> bits) & 3;
    const std::uint32_t field = FShift & ((1u << bits) - 1);
    FAddress = field % Words();
    FState = TState::Done;
    switch (opcode) {
    case 2: // READ: the dummy 0 comes with the last address bit
        FOp = TOp::Read;
        FData = WordAt(FAddress);
        FOutBit = 0;
        FDO = false;
        FState = TState::Reading;
        break;
    case 1:
        FOp = TOp::Write;
        FData = 0;
        FBitsIn = 0;
        FState = TState::Data;
        break;
    case 3:
        FOp = TOp::Erase;
        FArmed = FEnabled;
        break;
    default:
        switch ((field >> (bits - 2)) & 3) {
        case 3:
            FOp = TOp::Ewen;
            FEnabled = true;
            break;
        case 0:
            FOp = TOp::Ewds;
            FEnabled = false;
            break;
        case 2:
            FOp = TOp::Eral;
            FArmed = FEnabled;
            break;
        default:
            FOp = TOp::Wral;
            FData = 0;
            FBitsIn = 0;
            FState = TState::Data;
            break;
        }
        break;
    }
}

void T93CChip::Execute() {
    const auto full = static_cast<std::uint16_t>(FOrg == 8 ? 0xFF : 0xFFFF);
    switch (FOp) {
    case TOp::Write:
        StoreWord(FAddress, FData);
        break;
    case TOp::Erase:
        StoreWord(FAddress, full);
        break;
    case TOp::Eral:
        std::fill(Memory().begin(), Memory().end(), 0xFF);
        break;
    case TOp::Wral:
        for (std::uint32_t a = 0; a < Words(); ++a)
            StoreWord(a, FData);
        break;
    default:
        return;
    }
    StartWriteCycle();
}
