#include "chips/eeprom_24c.h"

#include "catalogue/device.h"
#include "errors/errors.h"

#include <algorithm>
#include <bit>

T24CChip::T24CChip(std::string Name, std::size_t Size, std::size_t PageSize, TSimDuration WriteTime,
                   std::uint8_t AddressPins, std::uint8_t A16SelectBit)
    : TSimChip(std::move(Name), FAMILY_24C, Size, PageSize, WriteTime), FAddressPins(AddressPins & 7) {
    if (Size < 16 || Size > 131072 || !std::has_single_bit(Size))
        throw Exception("A 24C part holds a power of two from 16 to 131072 bytes");
    if (PageSize < 1 || Size % PageSize != 0)
        throw Exception("The page size of a 24C part must divide its size");
    if (Size == 16) {
        // 24xx00: three don't-care bits, four address bits used.
        FIgnoreSelect = true;
    } else {
        const int addressBits = std::countr_zero(Size);
        FAddressBytes = Size <= 2048 ? 1 : 2;
        FWordBits = 8 * FAddressBytes;
        const int blockBits = addressBits > FWordBits ? addressBits - FWordBits : 0;
        if (addressBits > 16) {
            // Address bit 16 where the part puts it.
            if (A16SelectBit < 1 || A16SelectBit > 3)
                throw Exception("A 24C part of 128 KiB carries address bit 16 in select bit 1, 2 or 3");
            FBlockMask = static_cast<std::uint8_t>(1u << (A16SelectBit - 1));
            FNeedsA2High = A16SelectBit == 3;
        } else {
            if (A16SelectBit) throw Exception("Only a 24C part of 128 KiB has an address bit 16");
            FBlockMask = static_cast<std::uint8_t>((1u << blockBits) - 1);
        }
        FPinMask = static_cast<std::uint8_t>(7 & ~FBlockMask);
    }
    FPage.assign(PageSize, 0xFF);
    FPageLoaded.assign(PageSize, false);
}

void T24CChip::PowerOn() {
    FState = TState::Idle;
    FPointer = 0;
    FDataReceived = false;
    FReleased = false;
}

bool T24CChip::Matches(std::uint8_t Select) const {
    if ((Select & 0xF0) != 0xA0) return false;
    if (FIgnoreSelect) return true;
    if (FNeedsA2High && (FAddressPins & 4) == 0) return false;
    return ((Select >> 1) & FPinMask) == (FAddressPins & FPinMask);
}

std::uint32_t T24CChip::BlockBits(std::uint8_t Select) const {
    if (FBlockMask == 0) return 0;
    // The block bits, moved down to bit 0 (the 24xx1025's sits in select bit 3).
    const auto bits = static_cast<std::uint32_t>((Select >> 1) & FBlockMask) >> std::countr_zero(FBlockMask);
    return bits << FWordBits;
}

void T24CChip::Start() {
    // A START before the STOP of a write abandons the loaded page (this is
    // also how a random read sets the pointer without writing anything).
    FDataReceived = false;
    FReleased = false;
    FState = TState::Select;
}

void T24CChip::Stop() {
    if (FState == TState::WriteData && FDataReceived) {
        auto& mem = Memory();
        for (std::size_t i = 0; i < FPage.size(); ++i)
            if (FPageLoaded[i]) mem[FPageBase + i] = FPage[i];
        StartWriteCycle();
        // The 24xx00 keeps pointing at the byte just written.
        if (Size() == 16) FPointer = FPageBase;
    }
    FDataReceived = false;
    FState = TState::Idle;
}

bool T24CChip::Write(std::uint8_t Byte) {
    const auto mask = static_cast<std::uint32_t>(Size() - 1);
    switch (FState) {
    case TState::Select:
        // During a write cycle the chip acknowledges nothing.
        if (Busy() || !Matches(Byte)) {
            FState = TState::Ignore;
            return false;
        }
        if (Byte & 1) {
            FPointer = ((FPointer & ((1u << FWordBits) - 1)) | BlockBits(Byte)) & mask;
            FState = TState::ReadData;
        } else {
            FPending = BlockBits(Byte);
            FState = FAddressBytes == 2 ? TState::AddressHigh : TState::AddressLow;
        }
        return true;
    case TState::AddressHigh:
        FPending |= static_cast<std::uint32_t>(Byte) << 8;
        FState = TState::AddressLow;
        return true;
    case TState::AddressLow:
        FPointer = (FPending | Byte) & mask;
        FPageBase = FPointer - FPointer % static_cast<std::uint32_t>(PageSize());
        std::fill(FPageLoaded.begin(), FPageLoaded.end(), false);
        FDataReceived = false;
        FState = TState::WriteData;
        return true;
    case TState::WriteData: {
        const std::uint32_t index = FPointer - FPageBase;
        FPage[index] = Byte;
        FPageLoaded[index] = true;
        FDataReceived = true;
        // The pointer wraps inside the page.
        FPointer = FPageBase + (index + 1) % static_cast<std::uint32_t>(PageSize());
        return true;
    }
    case TState::ReadData:
    case TState::Idle:
    case TState::Ignore:
        break;
    }
    return false;
}

std::uint8_t T24CChip::Read(bool Ack) {
    if (FState != TState::ReadData || FReleased) return 0xFF;
    const std::uint8_t value = Memory()[FPointer];
    // Sequential reads roll over from the last address to 0.
    FPointer = (FPointer + 1) % static_cast<std::uint32_t>(Size());
    if (!Ack) FReleased = true;
    return value;
}
