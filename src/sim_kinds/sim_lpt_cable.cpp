#include "sim_kinds/sim_lpt_cable.h"

TSimLptCable::TSimLptCable(TPinLink& Link, TSimDuration IoTime)
    : FLink(Link), FSyncPin(ConnectorPin(TUnitPin::SYNC)), FMisoPin(ConnectorPin(TUnitPin::MISO)),
      FIoTime(IoTime) {
    FLink.Config().AccessTime = TSimDuration::zero();
}

void TSimLptCable::SetPin(int Pin, bool High) {
    FLink.SetConnectorPin(Pin, High);
}

bool TSimLptCable::GetPin(int Pin) {
    if (Pin == FSyncPin || Pin == FMisoPin) return FLink.GetConnectorPin(Pin);
    return true; // not connected: pulled up
}

void TSimLptCable::IoCycle() {
    ++FCycles;
    FLink.Clock().Advance(FIoTime);
}
