// What a bulk transfer to an emulated USB board came to.
#pragma once

#include <cstdint>

enum class TUsbResult : std::uint8_t {
    Ok,
    NoDevice, // the board is unplugged
    Timeout,  // a bulk IN found no reply packet
    Overflow, // the reply packet was longer than the bulk IN asked for
};
