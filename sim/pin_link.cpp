#include "pin_link.h"

#include <limits>

namespace {
constexpr std::uint64_t kForever = std::numeric_limits<std::uint64_t>::max();
}

int ConnectorPin(TUnitPin Pin) {
    switch (Pin) {
    case TUnitPin::MOSI:
        return 16;
    case TUnitPin::SCK:
        return 14;
    case TUnitPin::SYNC:
        return 10;
    case TUnitPin::MISO:
        return 11;
    case TUnitPin::PARR:
        return 17;
    case TUnitPin::RESET:
        return 1;
    }
    return 0;
}

std::optional<TUnitPin> PinAtConnector(int Pin) {
    for (TUnitPin p :
         {TUnitPin::MOSI, TUnitPin::SCK, TUnitPin::SYNC, TUnitPin::MISO, TUnitPin::PARR, TUnitPin::RESET})
        if (ConnectorPin(p) == Pin) return p;
    return std::nullopt;
}

TPinLink::TPinLink(TProgrammerUnit& Unit, TPinLinkConfig Config) : FUnit(Unit), FConfig(Config) {
    FDriven[ConnectorPin(TUnitPin::RESET)] = true;
    FMiso = !FUnit.HasOutput();
    if (FConfig.SyncNeverRises) {
        FSync = true;
        FSyncSeen = false;
        FSyncLag = kForever;
    }
}

void TPinLink::SetPin(TUnitPin Pin, bool High) {
    SetConnectorPin(ConnectorPin(Pin), High);
}

bool TPinLink::GetPin(TUnitPin Pin) {
    return GetConnectorPin(ConnectorPin(Pin));
}

void TPinLink::SetConnectorPin(int Pin, bool High) {
    FUnit.Clock().Advance(FConfig.AccessTime);
    if (Pin < 1 || Pin > 17) return;
    const auto role = PinAtConnector(Pin);
    if (role == TUnitPin::SYNC || role == TUnitPin::MISO) return; // unit outputs
    const bool old = FDriven[Pin];
    FDriven[Pin] = High;
    if (old == High || !role) return;
    if (*role == TUnitPin::RESET) {
        if (!High) {
            // Held in reset: the unit's pins go low and it hears nothing.
            FPhase = TPhase::Reset;
            FSync = FSyncSeen = false;
            FSyncLag = 0;
            FMiso = false;
            FBit = 0;
        } else {
            // Restart: the firmware offers its identification at once.
            FUnit.Reset();
            FPhase = TPhase::Ready;
            FBit = 0;
            if (!Frozen()) {
                DirectionFlag();
                SetSync(true);
            }
        }
        return;
    }
    if (*role != TUnitPin::SCK || FPhase == TPhase::Reset || Frozen()) return;
    if (High && FPhase == TPhase::Ready)
        SckRising();
    else if (!High && FPhase == TPhase::BitTaken)
        SckFalling();
}

bool TPinLink::GetConnectorPin(int Pin) {
    FUnit.Clock().Advance(FConfig.AccessTime);
    if (Pin < 1 || Pin > 17) return false;
    const auto role = PinAtConnector(Pin);
    if (role == TUnitPin::SYNC) return ReadSync();
    if (role == TUnitPin::MISO) return FMiso;
    return FDriven[Pin];
}

void TPinLink::SckRising() {
    if (FBit == 0) {
        // The direction of the byte is fixed by what the unit has to say.
        FSending = FUnit.HasOutput();
        if (FSending) FShiftOut = FUnit.TakeOutput().Byte;
        FShiftIn = 0;
    }
    const int shift = 7 - FBit;
    if (FSending) {
        FMiso = ((FShiftOut >> shift) & 1) != 0;
    } else {
        FShiftIn =
            static_cast<std::uint8_t>((FShiftIn << 1) | (FDriven[ConnectorPin(TUnitPin::MOSI)] ? 1 : 0));
        FMiso = ((FConfig.EchoPattern >> shift) & 1) != 0;
    }
    FPhase = TPhase::BitTaken;
    SetSync(false);
}

void TPinLink::SckFalling() {
    FPhase = TPhase::Ready;
    if (++FBit == 8) {
        FBit = 0;
        if (!FSending) FUnit.Receive(FShiftIn);
        // A unit that froze on this byte never raises SYNC again.
        if (Frozen()) return;
        DirectionFlag();
    }
    SetSync(true);
}

void TPinLink::DirectionFlag() {
    FMiso = !FUnit.HasOutput();
}

void TPinLink::SetSync(bool High) {
    if (High == FSync) return;
    FSync = High;
    if (High)
        FSyncLag = FConfig.SyncNeverRises ? kForever : FConfig.SlowSyncRisePolls;
    else
        FSyncLag = FConfig.SlowSyncFallPolls;
    if (FSyncLag == 0) FSyncSeen = FSync;
}

bool TPinLink::ReadSync() {
    ++FSyncReads;
    if (FSyncSeen != FSync) {
        if (FSyncLag > 0) {
            if (FSyncLag != kForever) --FSyncLag;
            return FSyncSeen;
        }
        FSyncSeen = FSync;
    }
    return FSyncSeen;
}
