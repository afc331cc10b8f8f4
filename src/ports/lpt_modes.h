// Operating modes of a PC printer port, as the port access reports them and
// as the programmer driver asks for them.
#pragma once

#include <cstdint>

enum : std::uint8_t {
    LPT_NOT_PRESENT = 0,
    LPT_SPP_MODE = 1,
    LPT_PS2_MODE = 2,
    LPT_EPP_MODE = 3,
    LPT_FAST_CENTRONIX = 4,
    LPT_ECP_MODE = 5,
};
