// What a UART receives of a byte sent at another rate. The receiver finds
// the start bit's falling edge, checks it half a bit later, and samples the
// eight data bits (least significant first) and the stop bit in the middle
// of each of its own bit times; the sender's line is idle (high) after its
// stop bit. Rates a couple of per cent apart agree on every byte; further
// apart the receiver sees another byte, a framing error (no stop bit), or
// more than one character in the time of one.
#pragma once

#include "virtual_clock.h"

#include <cstdint>
#include <vector>

struct TReceivedCharacter {
    std::uint8_t Byte = 0;
    bool Framing = false;
    // From the start of the sent byte to the end of the received
    // character's stop bit (a whole byte time when the rates agree).
    TSimDuration End{0};
};

std::vector<TReceivedCharacter> ReceiveCharacter(std::uint8_t Byte, std::uint32_t SentBaud,
                                                 std::uint32_t ReceiverBaud);

// True when a byte sent at SentBaud reaches a receiver at ReceiverBaud as
// it was sent (one character, no framing error), whatever its value.
bool RatesAgree(std::uint32_t SentBaud, std::uint32_t ReceiverBaud);
