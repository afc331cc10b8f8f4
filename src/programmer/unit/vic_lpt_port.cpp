#include "programmer/unit/vic_lpt_port.h"

#include "errors/errors.h"
#include "ports/system_lpt_io.h"

void TVicLptPort::SetActive(int Value) {
    FLpt->SetActive(static_cast<std::uint8_t>(Value <= 0 ? 0 : Value > 255 ? 255 : Value));
}

void TVicLptPort::SetCurrentLPT(int Number) {
    if (Number < 1 || Number > 7)
        throw EISPException("Printer port LPT" + std::to_string(Number) + " does not exist (LPT1 to LPT7)");
    FLpt->SetCurrentLPT(static_cast<std::uint8_t>(Number));
}

std::unique_ptr<TParallelPort> NewSystemParallelPort() {
    const TSystemLptPaths paths = TSystemLptPaths::FromEnvironment();
    return std::make_unique<TVicLptPort>(
        std::make_unique<TVicLPT>(std::make_unique<TSystemLptIo>(paths), paths.DiscoveryRoot));
}
