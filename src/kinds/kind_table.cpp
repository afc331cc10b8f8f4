#include "kinds/kind_table.h"

#include "programmer/unit/smart_dongle.h"
#include "sim_kinds/sim_kinds.h"

std::span<const THardwareKind* const> KindTable() {
    // The printer-port kind and the CH341A as the simulated kinds' library
    // offers them: on simulated hardware when the environment asks for it.
    static const THardwareKind* const kinds[] = {&LptKindWithSimulation(), &ComKind,
                                                 &Ch341aKindWithEmulation(), &SimKind};
    return kinds;
}

const THardwareKind& CommandLineDefaultKind() {
    // A production line's units sit on serial ports.
    return ComKind;
}

const THardwareKind& StandInKind() {
    return SimKind;
}
