#include "chips/eeprom_25c.h"

#include "catalogue/device.h"
#include "errors/errors.h"

#include <algorithm>
#include <bit>

namespace {
constexpr std::uint8_t kWRSR = 0x01;
constexpr std::uint8_t kWRITE = 0x02;
constexpr std::uint8_t kREAD = 0x03;
constexpr std::uint8_t kWRDI = 0x04;
constexpr std::uint8_t kRDSR = 0x05;
constexpr std::uint8_t kWREN = 0x06;
} // namespace

T25CChip::T25CChip(std::string Name, std::size_t Size, std::size_t PageSize, TSimDuration WriteTime,
                   std::uint8_t Status)
    : TSimChip(std::move(Name), FAMILY_25C, Size, PageSize, WriteTime), FStatusNV(Status & 0x8C) {
    if (Size < 16 || Size > 65536 || !std::has_single_bit(Size))
        throw Exception("A 25C part holds a power of two from 16 to 65536 bytes");
    if (PageSize < 1 || Size % PageSize != 0)
        throw Exception("The page size of a 25C part must divide its size");
    FAddressBytes = Size <= 512 ? 1 : 2;
    FA8InOpcode = Size == 512;
    FPage.assign(PageSize, 0xFF);
    FPageLoaded.assign(PageSize, false);
}

std::uint8_t T25CChip::Status() const {
    return static_cast<std::uint8_t>(FStatusNV | (FWEL ? 0x02 : 0) | (Busy() ? 0x01 : 0));
}

std::size_t T25CChip::ProtectedFrom() const {
    switch ((FStatusNV >> 2) & 3) {
    case 1:
        return Size() / 4 * 3;
    case 2:
        return Size() / 2;
    case 3:
        return 0;
    default:
        return Size();
    }
}

void T25CChip::PowerOn() {
    FWEL = false;
    FSelected = false;
    FState = TState::Deselected;
}

void T25CChip::Select(bool Active) {
    if (Active) {
        if (!FSelected) {
            FSelected = true;
            FState = TState::Opcode;
            FOpcode = 0;
            FDataReceived = false;
        }
        return;
    }
    if (!FSelected) return;
    FSelected = false;
    // Instructions take effect when /CS rises after them.
    switch (FOpcode) {
    case kWREN:
        FWEL = true;
        break;
    case kWRDI:
        FWEL = false;
        break;
    case kWRITE:
        if (FDataReceived) {
            auto& mem = Memory();
            for (std::size_t i = 0; i < FPage.size(); ++i)
                if (FPageLoaded[i]) mem[FPageBase + i] = FPage[i];
            StartWriteCycle();
            FWEL = false;
        }
        break;
    case kWRSR:
        if (FDataReceived) {
            FStatusNV = FNewStatus & 0x8C;
            StartWriteCycle();
            FWEL = false;
        }
        break;
    default:
        break;
    }
    FOpcode = 0;
    FState = TState::Deselected;
}

std::uint8_t T25CChip::NextOutput() const {
    if (!FSelected) return 0xFF;
    switch (FState) {
    case TState::ReadData:
        return Memory()[FAddress];
    case TState::StatusOut:
        return Status();
    default:
        return 0xFF;
    }
}

std::uint8_t T25CChip::Transfer(std::uint8_t Mosi) {
    if (!FSelected) return 0xFF;
    switch (FState) {
    case TState::Opcode: {
        FState = TState::Ignore;
        // During a write cycle only RDSR is accepted.
        if (Busy() && Mosi != kRDSR) return 0xFF;
        const auto base = static_cast<std::uint8_t>(Mosi & 0xF7);
        if (Mosi == kWREN || Mosi == kWRDI) {
            FOpcode = Mosi;
        } else if (Mosi == kRDSR) {
            FState = TState::StatusOut;
        } else if (Mosi == kWRSR) {
            // Refused without WEL, and while WPEN is set with /WP low.
            if (FWEL && !((FStatusNV & 0x80) && FWPAsserted)) {
                FOpcode = kWRSR;
                FState = TState::StatusIn;
            }
        } else if (base == kREAD || (base == kWRITE && FWEL)) {
            FOpcode = base;
            FAddress = FA8InOpcode ? (Mosi >> 3) & 1u : 0u;
            FAddressLeft = FAddressBytes;
            FState = TState::Address;
        }
        return 0xFF;
    }
    case TState::Address:
        FAddress = (FAddress << 8) | Mosi;
        if (--FAddressLeft == 0) {
            FAddress &= static_cast<std::uint32_t>(Size() - 1);
            if (FOpcode == kREAD) {
                FState = TState::ReadData;
            } else if (FAddress >= ProtectedFrom()) {
                // A write into a protected block is ignored as a whole.
                FOpcode = 0;
                FState = TState::Ignore;
            } else {
                FPageBase = FAddress - FAddress % static_cast<std::uint32_t>(PageSize());
                std::fill(FPageLoaded.begin(), FPageLoaded.end(), false);
                FState = TState::WriteData;
            }
        }
        return 0xFF;
    case TState::ReadData: {
        const std::uint8_t value = Memory()[FAddress];
        FAddress = (FAddress + 1) % static_cast<std::uint32_t>(Size());
        return value;
    }
    case TState::WriteData: {
        const std::uint32_t index = FAddress - FPageBase;
        FPage[index] = Mosi;
        FPageLoaded[index] = true;
        FDataReceived = true;
        FAddress = FPageBase + (index + 1) % static_cast<std::uint32_t>(PageSize());
        return 0xFF;
    }
    case TState::StatusOut:
        return Status();
    case TState::StatusIn:
        FNewStatus = Mosi;
        FDataReceived = true;
        FState = TState::Ignore;
        return 0xFF;
    case TState::Deselected:
    case TState::Ignore:
        break;
    }
    return 0xFF;
}
