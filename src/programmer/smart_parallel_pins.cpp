// The byte layer of the printer-port link: each byte crosses six connector
// pins bit by bit with a handshake (PC clocks SCK and MOSI, the unit paces
// every bit with SYNC and answers on MISO). This is the place of that
// handshake over `Port`; the printer-port access it needs is not part of
// this build yet, so these operations report the link as unavailable.
// TSmartSerial replaces all three with its serial port.
#include "programmer/smart_parallel.h"

namespace {

const char kNoPinLink[] = "The printer port link is not available in this build";

} // namespace

bool TSmartParallel::WaitReady() {
    Fail(kNoPinLink);
}

void TSmartParallel::Writedata(std::uint8_t) {
    Fail(kNoPinLink);
}

void TSmartParallel::Writedata(char Adata) {
    Writedata(static_cast<std::uint8_t>(Adata));
}

std::uint8_t TSmartParallel::ReadData(bool) {
    Fail(kNoPinLink);
}
